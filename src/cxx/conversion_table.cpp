// The table of conversions as the C++ API shows it (lumtrax.hpp): each
// conversion's name and codes, from the library's own table
// (codes/conversions.h).
#include <cstddef>
#include <cstdint>

#include "codes/conversions.h"
#include "lumtrax.hpp"

namespace lumtrax {
namespace {

constexpr Code PublicCode(SourceCode code, TableSet table_set, StartSequence start, bool written) {
    switch (code) {
        case SourceCode::kShiftJis:
            return Code::kShiftJis;
        case SourceCode::kEbcdicHost:
            return table_set == TableSet::kKana ? Code::kEbcdicKana : Code::kEbcdic;
        case SourceCode::kEightBitHost:
            return written && start == StartSequence::k70 ? Code::kEightBit70 : Code::kEightBit;
        case SourceCode::kEuc:
            return Code::kEuc;
        case SourceCode::kUtf8:
            return Code::kUtf8;
        case SourceCode::kUtf16Le:
            return Code::kUtf16Le;
        case SourceCode::kUtf16Be:
            return Code::kUtf16Be;
    }
    return Code::kShiftJis;
}

struct PublicTable {
    ConversionInfo rows[kConversionCount];
    constexpr PublicTable() : rows() {
        for (std::size_t k = 0; k < kConversionCount; ++k) {
            const ConversionRow& row = kConversions[k];
            rows[k] = {static_cast<Conversion>(row.type), row.name,
                       PublicCode(row.source, row.table_set, row.start, false),
                       PublicCode(row.target, row.table_set, row.start, true)};
        }
    }
};
constexpr PublicTable kTable;

char Folded(char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
    return c == '-' ? '_' : c;
}

// name as a table name: any case, '-' for '_', "8bit" for "eightbit".
bool NameMatches(std::string_view name, std::string_view table_name) {
    std::string folded;
    for (const char c : name) folded += Folded(c);
    for (std::size_t at = folded.find("8bit"); at != std::string::npos; at = folded.find("8bit", at)) {
        folded.replace(at, 4, "eightbit");
    }
    return folded == table_name;
}

}  // namespace

const ConversionInfo* Conversions(std::size_t& count) noexcept {
    count = kConversionCount;
    return kTable.rows;
}

const ConversionInfo* Describe(Conversion conversion) noexcept {
    const auto* row = FindAnyConversion(static_cast<std::int32_t>(conversion));
    return row != nullptr ? &kTable.rows[row - kConversions] : nullptr;
}

std::optional<Conversion> ConversionNamed(std::string_view name) noexcept {
    try {
        for (const ConversionInfo& info : kTable.rows) {
            if (NameMatches(name, info.name)) return info.conversion;
        }
    } catch (...) {  // no memory for the folded name: no match
    }
    return std::nullopt;
}

std::optional<Conversion> ConversionBetween(Code from, Code to) noexcept {
    // The 8-bit host code is read alike with either start sequence.
    if (from == Code::kEightBit70) from = Code::kEightBit;
    for (const ConversionInfo& info : kTable.rows) {
        if (info.from == from && info.to == to && info.conversion != Conversion::kRawByteEscape) {
            return info.conversion;
        }
    }
    return std::nullopt;
}

}  // namespace lumtrax
