// The table of conversion types: for each, its number, its name, the code it
// reads and the code it writes (with the table set or start sequence that
// picks a variant), and its growth rule. The dispatcher's checks, the growth
// rules, the longest text one call takes, the C++ API's names and codes,
// the command's --from/--to and Python's enumeration all read this table; a
// new conversion type is a row here and its loop (docs/design.md).
//
// The rows from 32 on are the conversions to and from Unicode, which the C
// interface does not have (its exports and both DLLs keep the types 0-7, 10
// and 11; FindConversion does not see the others). They are reached through
// their own dispatcher (api/unicode_dispatch.h), numbered by form: 32 + 16 ×
// (0 UTF-8, 1 UTF-16LE, 2 UTF-16BE), then 0-4 from Shift-JIS, the EBCDIC host
// code with either table set, the 8-bit host code and EUC, and 8-13 into
// Shift-JIS, the EBCDIC host code with either table set, the 8-bit host code
// with either start sequence and EUC.
#ifndef LUMTRAX_CODES_CONVERSIONS_H
#define LUMTRAX_CODES_CONVERSIONS_H

#include <cstddef>
#include <cstdint>

#include "codes/eightbit_host.h"
#include "codes/unicode.h"
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
    bool exported = true;  // a type of the C interface
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
    // UTF-8
    {32, "sjis_to_utf8", SC::kShiftJis, SC::kUtf8, TableSet::kLowerCase, StartSequence::kF0, Growth::kToUnicode, false},
    {33, "ebcdic_to_utf8", SC::kEbcdicHost, SC::kUtf8, TableSet::kLowerCase, StartSequence::kF0, Growth::kToUnicode,
     false},
    {34, "ebcdic_kana_to_utf8", SC::kEbcdicHost, SC::kUtf8, TableSet::kKana, StartSequence::kF0, Growth::kToUnicode,
     false},
    {35, "eightbit_to_utf8", SC::kEightBitHost, SC::kUtf8, TableSet::kLowerCase, StartSequence::kF0, Growth::kToUnicode,
     false},
    {36, "euc_to_utf8", SC::kEuc, SC::kUtf8, TableSet::kLowerCase, StartSequence::kF0, Growth::kToUnicode, false},
    {40, "utf8_to_sjis", SC::kUtf8, SC::kShiftJis, TableSet::kLowerCase, StartSequence::kF0, Growth::kUtf8ToPlain,
     false},
    {41, "utf8_to_ebcdic", SC::kUtf8, SC::kEbcdicHost, TableSet::kLowerCase, StartSequence::kF0, Growth::kUtf8ToEbcdic,
     false},
    {42, "utf8_to_ebcdic_kana", SC::kUtf8, SC::kEbcdicHost, TableSet::kKana, StartSequence::kF0, Growth::kUtf8ToEbcdic,
     false},
    {43, "utf8_to_eightbit", SC::kUtf8, SC::kEightBitHost, TableSet::kLowerCase, StartSequence::kF0,
     Growth::kUtf8ToEightBit, false},
    {44, "utf8_to_eightbit_70", SC::kUtf8, SC::kEightBitHost, TableSet::kLowerCase, StartSequence::k70,
     Growth::kUtf8ToEightBit, false},
    {45, "utf8_to_euc", SC::kUtf8, SC::kEuc, TableSet::kLowerCase, StartSequence::kF0, Growth::kUtf8ToPlain, false},
    // UTF-16LE
    {48, "sjis_to_utf16le", SC::kShiftJis, SC::kUtf16Le, TableSet::kLowerCase, StartSequence::kF0, Growth::kToUnicode,
     false},
    {49, "ebcdic_to_utf16le", SC::kEbcdicHost, SC::kUtf16Le, TableSet::kLowerCase, StartSequence::kF0,
     Growth::kToUnicode, false},
    {50, "ebcdic_kana_to_utf16le", SC::kEbcdicHost, SC::kUtf16Le, TableSet::kKana, StartSequence::kF0,
     Growth::kToUnicode, false},
    {51, "eightbit_to_utf16le", SC::kEightBitHost, SC::kUtf16Le, TableSet::kLowerCase, StartSequence::kF0,
     Growth::kToUnicode, false},
    {52, "euc_to_utf16le", SC::kEuc, SC::kUtf16Le, TableSet::kLowerCase, StartSequence::kF0, Growth::kToUnicode, false},
    {56, "utf16le_to_sjis", SC::kUtf16Le, SC::kShiftJis, TableSet::kLowerCase, StartSequence::kF0,
     Growth::kUtf16ToPlain, false},
    {57, "utf16le_to_ebcdic", SC::kUtf16Le, SC::kEbcdicHost, TableSet::kLowerCase, StartSequence::kF0,
     Growth::kUtf16ToEbcdic, false},
    {58, "utf16le_to_ebcdic_kana", SC::kUtf16Le, SC::kEbcdicHost, TableSet::kKana, StartSequence::kF0,
     Growth::kUtf16ToEbcdic, false},
    {59, "utf16le_to_eightbit", SC::kUtf16Le, SC::kEightBitHost, TableSet::kLowerCase, StartSequence::kF0,
     Growth::kUtf16ToEightBit, false},
    {60, "utf16le_to_eightbit_70", SC::kUtf16Le, SC::kEightBitHost, TableSet::kLowerCase, StartSequence::k70,
     Growth::kUtf16ToEightBit, false},
    {61, "utf16le_to_euc", SC::kUtf16Le, SC::kEuc, TableSet::kLowerCase, StartSequence::kF0, Growth::kUtf16ToPlain,
     false},
    // UTF-16BE
    {64, "sjis_to_utf16be", SC::kShiftJis, SC::kUtf16Be, TableSet::kLowerCase, StartSequence::kF0, Growth::kToUnicode,
     false},
    {65, "ebcdic_to_utf16be", SC::kEbcdicHost, SC::kUtf16Be, TableSet::kLowerCase, StartSequence::kF0,
     Growth::kToUnicode, false},
    {66, "ebcdic_kana_to_utf16be", SC::kEbcdicHost, SC::kUtf16Be, TableSet::kKana, StartSequence::kF0,
     Growth::kToUnicode, false},
    {67, "eightbit_to_utf16be", SC::kEightBitHost, SC::kUtf16Be, TableSet::kLowerCase, StartSequence::kF0,
     Growth::kToUnicode, false},
    {68, "euc_to_utf16be", SC::kEuc, SC::kUtf16Be, TableSet::kLowerCase, StartSequence::kF0, Growth::kToUnicode, false},
    {72, "utf16be_to_sjis", SC::kUtf16Be, SC::kShiftJis, TableSet::kLowerCase, StartSequence::kF0,
     Growth::kUtf16ToPlain, false},
    {73, "utf16be_to_ebcdic", SC::kUtf16Be, SC::kEbcdicHost, TableSet::kLowerCase, StartSequence::kF0,
     Growth::kUtf16ToEbcdic, false},
    {74, "utf16be_to_ebcdic_kana", SC::kUtf16Be, SC::kEbcdicHost, TableSet::kKana, StartSequence::kF0,
     Growth::kUtf16ToEbcdic, false},
    {75, "utf16be_to_eightbit", SC::kUtf16Be, SC::kEightBitHost, TableSet::kLowerCase, StartSequence::kF0,
     Growth::kUtf16ToEightBit, false},
    {76, "utf16be_to_eightbit_70", SC::kUtf16Be, SC::kEightBitHost, TableSet::kLowerCase, StartSequence::k70,
     Growth::kUtf16ToEightBit, false},
    {77, "utf16be_to_euc", SC::kUtf16Be, SC::kEuc, TableSet::kLowerCase, StartSequence::kF0, Growth::kUtf16ToPlain,
     false},
};
inline constexpr std::size_t kConversionCount = sizeof kConversions / sizeof kConversions[0];

// The row of a type of any interface, or null.
constexpr const ConversionRow* FindAnyConversion(std::int32_t type) {
    for (const ConversionRow& info : kConversions) {
        if (info.type == type) return &info;
    }
    return nullptr;
}

// The row of a type of the C interface, or null for a type that is not
// assigned there.
constexpr const ConversionRow* FindConversion(std::int32_t type) {
    const ConversionRow* info = FindAnyConversion(type);
    return info != nullptr && info->exported ? info : nullptr;
}

// Whether the conversion reads or writes Unicode text.
constexpr bool IsUnicodeConversion(const ConversionRow& info) {
    return IsUnicode(info.source) || IsUnicode(info.target);
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

// How a conversion to or from Unicode walks its source with the given
// options (codes/units.h): a host code as its conversion into Shift-JIS
// walks it (in double-byte-only mode, two bytes at a time), Shift-JIS with
// no escapes, Unicode text character by character, with the run state of a
// host code with shift codes that it is written into.
inline UnitRules RulesOf(const ConversionRow& info, const UnicodeOptions& options) {
    UnitRules rules;
    rules.source = info.source;
    if (IsUnicode(info.source)) {
        rules.site = options.site_characters();
        rules.runs = (info.target == SourceCode::kEbcdicHost || info.target == SourceCode::kEightBitHost) &&
                     WritesShiftCodes(options.mode.shift) && !options.double_byte_only;
        rules.line_ends_close = options.mode.line_end != LineEndMode::kDrop;
        rules.tables = &TablesOf(options.mapping);
        rules.substitutes = options.errors == ErrorMode::kReplace;
    } else if (options.double_byte_only) {
        rules.pairs_only = true;
    } else {
        rules.runs = info.source == SourceCode::kEbcdicHost || info.source == SourceCode::kEightBitHost;
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
// The Unicode rows: none in the C interface, each its number by the rule
// above, the decoders' source a byte code and the encoders' a form.
constexpr bool UnicodeRowsAreNumbered() {
    int count = 0;
    for (const ConversionRow& info : kConversions) {
        if (!IsUnicodeConversion(info)) continue;
        ++count;
        const bool decodes = IsUnicode(info.target);
        const SourceCode form = decodes ? info.target : info.source;
        const int base = 32 + 16 * (static_cast<int>(form) - static_cast<int>(SourceCode::kUtf8));
        if (info.exported || info.type < base || info.type >= base + 16) return false;
        if (decodes != (info.type < base + 8) || IsUnicode(decodes ? info.source : info.target)) return false;
    }
    return count == 33;
}
static_assert(UnicodeRowsAreNumbered());
static_assert(FindConversion(32) == nullptr && FindAnyConversion(32)->type == 32 &&
              FindAnyConversion(41)->target == SourceCode::kEbcdicHost &&
              FindAnyConversion(76)->start == StartSequence::k70 &&
              FindAnyConversion(50)->table_set == TableSet::kKana);

}  // namespace lumtrax

#endif  // LUMTRAX_CODES_CONVERSIONS_H
