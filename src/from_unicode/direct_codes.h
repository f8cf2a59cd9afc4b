// The code of every character of the BMP in one table per mapping, for the
// kernels from Unicode: one lookup per character instead of the two of the
// encoding table (codes/unicode_map.h), built from it once per process.
//
// An entry is what a writer of a byte code needs: a kanji's JIS code
// (2121-7E7E), a single byte's Shift-JIS image (0000-00FF), kGaijiClass for
// a code of the gaiji class (row 13, ED-EE, F0-FC), which the gaiji server
// or the plain loop takes, and kNoDirectCode for none.
#ifndef LUMTRAX_FROM_UNICODE_DIRECT_CODES_H
#define LUMTRAX_FROM_UNICODE_DIRECT_CODES_H

#include <array>
#include <cstdint>

#include "codes/unicode.h"
#include "codes/unicode_map.h"
#include "codes/unicode_units.h"

namespace lumtrax {

// The entry of one character, from the encoding table.
constexpr std::uint16_t DirectCodeOf(const MappingTables& t, char32_t c) {
    const CodeEntry e = LookupCode(t, c);
    if (e.none()) return kNoDirectCode;
    if (e.single()) return e.sjis();
    if (e.kanji()) return static_cast<std::uint16_t>(e.jis().lead << 8 | e.jis().trail);
    return kGaijiClass;
}

static_assert(DirectCodeOf(kCp932Tables, 0x4E9C) == 0x3021 && DirectCodeOf(kCp932Tables, 0xFF71) == 0xB1);
static_assert(DirectCodeOf(kCp932Tables, 0x2460) == kGaijiClass && DirectCodeOf(kJisTables, 0xFF5E) == kNoDirectCode);

// The table of the mapping, built on the first call.
const DirectCodes& DirectCodesOf(UnicodeMapping mapping);

}  // namespace lumtrax

#endif  // LUMTRAX_FROM_UNICODE_DIRECT_CODES_H
