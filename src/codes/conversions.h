// The table of conversion types: for each, its number, its name, the code it
// reads and the code it writes (with the table set or start sequence that
// picks a variant), and its growth rule. The dispatcher's checks, the growth
// rules, the longest text one call takes, the C++ API's names and codes,
// the command's --from/--to and Python's enumeration all read this table; a
// new conversion type is a row here and its loop (docs/design.md).
#ifndef LUMTRAX_CODES_CONVERSIONS_H
#define LUMTRAX_CODES_CONVERSIONS_H

#include <cstddef>
#include <cstdint>

#include "codes/eightbit_host.h"
#include "codes/units.h"
#include "common/growth.h"
#include "common/modes.h"
#include "lumtrax.h"
#include "tables/host_tables.h"

namespace lumtrax {

struct ConversionRow {
    std::int32_t type;                          // the LUMTRAX_* number of the C interface
    const char* name;                           // lower case, as the command and Python name it
    SourceCode source;                          // the code it reads
    SourceCode target;                          // the code it writes
    TableSet table_set = TableSet::kLowerCase;  // EBCDIC host code: the single bytes' layout
    StartSequence start = StartSequence::kF0;   // 8-bit host code: the start sequence it writes
    Growth growth = Growth::kNoLonger;
};

using SC = SourceCode;
inline constexpr ConversionRow kConversions[] = {
    {LUMTRAX_SJIS_TO_EBCDIC, "sjis_to_ebcdic", SC::kShiftJis, SC::kEbcdicHost, TableSet::kLowerCase, StartSequence::kF0,
     Growth::kEbcdicRuns},
    {LUMTRAX_SJIS_TO_EBCDIC_KANA, "sjis_to_ebcdic_kana", SC::kShiftJis, SC::kEbcdicHost, TableSet::kKana,
     StartSequence::kF0, Growth::kEbcdicRuns},
    {LUMTRAX_SJIS_TO_8BIT, "sjis_to_eightbit", SC::kShiftJis, SC::kEightBitHost, TableSet::kLowerCase,
     StartSequence::kF0, Growth::kEightBitRuns},
    {LUMTRAX_SJIS_TO_EUC, "sjis_to_euc", SC::kShiftJis, SC::kEuc, TableSet::kLowerCase, StartSequence::kF0,
     Growth::kEucPrefixes},
    {LUMTRAX_EBCDIC_TO_SJIS, "ebcdic_to_sjis", SC::kEbcdicHost, SC::kShiftJis, TableSet::kLowerCase, StartSequence::kF0,
     Growth::kNoLonger},
    {LUMTRAX_EBCDIC_KANA_TO_SJIS, "ebcdic_kana_to_sjis", SC::kEbcdicHost, SC::kShiftJis, TableSet::kKana,
     StartSequence::kF0, Growth::kNoLonger},
    {LUMTRAX_8BIT_TO_SJIS, "eightbit_to_sjis", SC::kEightBitHost, SC::kShiftJis, TableSet::kLowerCase,
     StartSequence::kF0, Growth::kNoLonger},
    {LUMTRAX_EUC_TO_SJIS, "euc_to_sjis", SC::kEuc, SC::kShiftJis, TableSet::kLowerCase, StartSequence::kF0,
     Growth::kNoLonger},
    {LUMTRAX_SJIS_TO_8BIT_70, "sjis_to_eightbit_70", SC::kShiftJis, SC::kEightBitHost, TableSet::kLowerCase,
     StartSequence::k70, Growth::kEightBitRuns},
    {LUMTRAX_RAW_BYTE_ESCAPE, "raw_byte_escape", SC::kShiftJis, SC::kShiftJis, TableSet::kLowerCase, StartSequence::kF0,
     Growth::kEscape},
};
inline constexpr std::size_t kConversionCount = sizeof kConversions / sizeof kConversions[0];

// The row of a type, or null for a type that is not assigned.
constexpr const ConversionRow* FindConversion(std::int32_t type) {
    for (const ConversionRow& info : kConversions) {
        if (info.type == type) return &info;
    }
    return nullptr;
}

// The growth rule of any type: an unassigned one copies its source.
constexpr Growth GrowthOf(std::int32_t type) {
    const ConversionRow* info = FindConversion(type);
    return info != nullptr ? info->growth : Growth::kCopy;
}

constexpr std::uint64_t DestinationCapacity(std::int32_t type, std::uint64_t len) {
    return DestinationCapacity(GrowthOf(type), len);
}

// Whether the conversion reads Shift-JIS: it then computes a length by
// characters, and takes the line-end mode.
constexpr bool HasShiftJisSource(const ConversionRow& info) {
    return info.source == SourceCode::kShiftJis && info.growth != Growth::kEscape;
}

// Whether it writes a host code with shift codes or sequences.
constexpr bool WritesShiftedHost(const ConversionRow& info) {
    return info.source == SourceCode::kShiftJis &&
           (info.target == SourceCode::kEbcdicHost || info.target == SourceCode::kEightBitHost);
}

// How the conversion walks its source in the given mode (codes/units.h).
constexpr UnitRules RulesOf(const ConversionRow& info, const CallMode& mode) {
    UnitRules rules;
    rules.source = info.source;
    if (WritesShiftedHost(info)) {
        const bool lrss = HasPlaceholders(mode.shift);
        rules.escapes = !lrss;
        rules.placeholders = lrss;
        rules.runs = WritesShiftCodes(mode.shift);
        rules.singles_close = !lrss;
        rules.line_ends_close = mode.line_end != LineEndMode::kDrop;
    } else if (info.target == SourceCode::kEuc) {
        rules.escapes = true;  // in every mode: EUC has no LRSS mode
    } else if (info.source == SourceCode::kEbcdicHost || info.source == SourceCode::kEightBitHost) {
        rules.runs = true;
    }
    return rules;
}

constexpr bool TypesAreUnique() {
    for (std::size_t i = 0; i < kConversionCount; ++i) {
        for (std::size_t k = i + 1; k < kConversionCount; ++k) {
            if (kConversions[i].type == kConversions[k].type) return false;
        }
    }
    return true;
}
static_assert(TypesAreUnique());
static_assert(FindConversion(8) == nullptr && FindConversion(9) == nullptr && FindConversion(-1) == nullptr);
static_assert(HasShiftJisSource(*FindConversion(LUMTRAX_SJIS_TO_8BIT_70)) &&
              !HasShiftJisSource(*FindConversion(LUMTRAX_RAW_BYTE_ESCAPE)));
static_assert(GrowthOf(LUMTRAX_SJIS_TO_8BIT_70) == Growth::kEightBitRuns && GrowthOf(12) == Growth::kCopy);

}  // namespace lumtrax

#endif  // LUMTRAX_CODES_CONVERSIONS_H
