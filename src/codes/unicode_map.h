// The Unicode mappings of the byte codes, read from the generated tables
// (unicode_tables.h, written by make_unicode_tables.py): each unit a
// conversion reads maps to the character of its Shift-JIS image in one of
// two mappings, and each character back to the code of that image.
//
//   cp932  Windows code page 932: JIS X 0208, NEC row 13 (lead 87), the
//          NEC-selected IBM extensions (ED40-EEFC), the IBM extensions
//          (FA40-FC4B), the user-defined area F040-F9FC as U+E000-U+E757,
//          the single bytes 80, A0 and FD-FF as U+0080 and U+F8F0-U+F8F3.
//          A character with several codes is written as its JIS X 0208
//          code, else its row-13 code, else its IBM extension code, never
//          as its NEC-selected copy; six best-fit characters are written
//          too (U+301C 8160, U+2016 8161, U+2212 817C, U+00A2 8191,
//          U+00A3 8192, U+00AC 81CA) and never read back.
//   jis    JIS X 0208 as the shift_jis codec of Python reads it, the single
//          bytes 00-7F and A1-DF, and the user-defined area as in cp932.
//          Writing is the exact inverse.
//
// Where the two read a code differently (everything else they share):
//   8160 U+FF5E (cp932) / U+301C (jis)      8161 U+2225 / U+2016
//   817C U+FF0D / U+2212                    8191 U+FFE0 / U+00A2
//   8192 U+FFE1 / U+00A3                    81CA U+FFE2 / U+00AC
// and cp932 alone reads row 13, ED40-EEFC, FA40-FC4B and the single bytes
// 80, A0, FD-FF. (815F is U+FF3C in both.) So jis writes U+301C as 8160
// and cp932 writes it there too, as a best fit; cp932 writes U+FF5E as 8160,
// which jis cannot write at all.
//
// A single byte whose image is a lead byte (81-9F, E0-FC) or that the
// mapping leaves undefined has no Unicode form, nor has a pair the mapping
// leaves undefined (8540, an empty cell of JIS X 0208, ...). Every
// character of both mappings lies in the BMP, below U+FFFF, so FFFF marks
// "none" in every table.
#ifndef LUMTRAX_CODES_UNICODE_MAP_H
#define LUMTRAX_CODES_UNICODE_MAP_H

#include <cstdint>

#include "codes/shift_jis.h"
#include "tables/unicode_tables.h"

namespace lumtrax {

// No Unicode form (decoding), no code (encoding).
constexpr std::uint16_t kNoScalar = 0xFFFF;
constexpr std::uint16_t kNoSjisCode = 0xFFFF;

struct MappingTables {
    const std::uint16_t* single;  // by byte
    const std::uint16_t* square;  // by JIS code
    const std::uint16_t* upper;   // by Shift-JIS code with a lead F0-FC
    const std::uint16_t* pages;   // by scalar value / 64, a block of unicode_tables::kEncodeBlocks
};

inline constexpr MappingTables kCp932Tables = {unicode_tables::kCp932Single.data(), unicode_tables::kCp932Square.data(),
                                               unicode_tables::kCp932Upper.data(), unicode_tables::kCp932Pages.data()};
inline constexpr MappingTables kJisTables = {unicode_tables::kJisSingle.data(), unicode_tables::kJisSquare.data(),
                                             unicode_tables::kJisUpper.data(), unicode_tables::kJisPages.data()};

// ---- decoding ------------------------------------------------------------------

constexpr std::uint16_t SingleByteScalar(const MappingTables& t, std::uint8_t b) { return t.single[b]; }

// The scalar value of a JIS code, its bytes 21-7E with or without the high
// bit (the host codes and EUC carry it set).
constexpr std::uint16_t JisScalar(const MappingTables& t, std::uint8_t row, std::uint8_t cell) {
    return t.square[((row & 0x7F) - 0x21) * 94 + ((cell & 0x7F) - 0x21)];
}

// The place of a trail among 40-7E, 80-FC.
constexpr int TrailIndex(std::uint8_t trail) { return trail - 0x40 - (trail >= 0x80 ? 1 : 0); }

// The scalar value of a Shift-JIS pair (IsSjisDoubleByte): the kanji class
// through its JIS code, the leads F0-FC through their own table.
constexpr std::uint16_t SjisDoubleByteScalar(const MappingTables& t, std::uint8_t lead, std::uint8_t trail) {
    if (lead >= 0xF0) return t.upper[(lead - 0xF0) * 188 + TrailIndex(trail)];
    const BytePair jis = SjisToJis(lead, trail);
    return JisScalar(t, jis.lead, jis.trail);
}

// The same for any two bytes: none for those that are no Shift-JIS pair.
constexpr std::uint16_t SjisPairScalar(const MappingTables& t, std::uint8_t lead, std::uint8_t trail) {
    return IsSjisDoubleByte(lead, trail) ? SjisDoubleByteScalar(t, lead, trail) : kNoScalar;
}

// The bytes 00-7F are ASCII in both mappings, both ways; the loops copy
// them as they are.
constexpr bool AsciiIsItself(const MappingTables& t) {
    for (std::uint16_t b = 0; b < 0x80; ++b) {
        if (t.single[b] != b) return false;
    }
    return true;
}

static_assert(AsciiIsItself(kCp932Tables) && AsciiIsItself(kJisTables));

// ---- encoding ------------------------------------------------------------------

// A character's entry: its Shift-JIS code, and what a host writer needs.
struct CodeEntry {
    std::uint32_t bits;

    constexpr bool none() const { return (bits & 0xFFFF) == kNoSjisCode; }
    constexpr std::uint16_t sjis() const { return static_cast<std::uint16_t>(bits); }
    constexpr bool single() const { return (bits & 0xFF00) == 0; }
    constexpr std::uint8_t lead() const { return static_cast<std::uint8_t>(bits >> 8); }
    constexpr std::uint8_t trail() const { return static_cast<std::uint8_t>(bits); }
    // A plain kanji: its JIS code, both bytes 21-7E. Otherwise (a single
    // byte, or a gaiji-class pair for the gaiji server) 0.
    constexpr bool kanji() const { return (bits >> 16) != 0; }
    constexpr BytePair jis() const {
        return {static_cast<std::uint8_t>(bits >> 24), static_cast<std::uint8_t>(bits >> 16)};
    }
};

constexpr CodeEntry LookupCode(const MappingTables& t, char32_t c) {
    if (c > 0xFFFF) return {kNoSjisCode};
    return {unicode_tables::kEncodeBlocks[t.pages[c >> 6] * 64u + (c & 63)]};
}

// ---- the edges -------------------------------------------------------------------

namespace unicode_map_checks {

constexpr bool Decodes(const MappingTables& t, std::uint16_t code, std::uint16_t scalar) {
    return code < 0x100
               ? SingleByteScalar(t, static_cast<std::uint8_t>(code)) == scalar
               : SjisPairScalar(t, static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code)) == scalar;
}

constexpr bool Encodes(const MappingTables& t, char32_t scalar, std::uint16_t code) {
    return LookupCode(t, scalar).sjis() == code;
}

constexpr bool RoundTrips(const MappingTables& t, std::uint16_t code, std::uint16_t scalar) {
    return Decodes(t, code, scalar) && Encodes(t, scalar, code);
}

inline constexpr const MappingTables& kC = kCp932Tables;
inline constexpr const MappingTables& kJ = kJisTables;

// Single bytes.
static_assert(RoundTrips(kC, 0x00, 0x0000) && RoundTrips(kC, 0x5C, 0x005C) && RoundTrips(kC, 0x7E, 0x007E));
static_assert(RoundTrips(kC, 0x80, 0x0080) && RoundTrips(kC, 0xA0, 0xF8F0) && RoundTrips(kC, 0xFD, 0xF8F1) &&
              RoundTrips(kC, 0xFF, 0xF8F3));
static_assert(RoundTrips(kC, 0xA1, 0xFF61) && RoundTrips(kC, 0xDF, 0xFF9F) && RoundTrips(kJ, 0xDF, 0xFF9F));
static_assert(Decodes(kC, 0x81, kNoScalar) && Decodes(kC, 0xFC, kNoScalar) && Decodes(kJ, 0x80, kNoScalar) &&
              Decodes(kJ, 0xA0, kNoScalar) && Decodes(kJ, 0xFD, kNoScalar) && Encodes(kJ, 0x0080, kNoSjisCode));
// The user-defined area, at both ends, in both mappings.
static_assert(RoundTrips(kC, 0xF040, 0xE000) && RoundTrips(kC, 0xF9FC, 0xE757) && RoundTrips(kJ, 0xF040, 0xE000) &&
              RoundTrips(kJ, 0xF9FC, 0xE757));
static_assert(Encodes(kC, 0xE758, kNoSjisCode) && Decodes(kC, 0xFC4C, kNoScalar) && Decodes(kJ, 0xFA40, kNoScalar));
// Duplicates: JIS X 0208 before row 13, row 13 before the IBM extensions,
// never the NEC-selected copy.
static_assert(Decodes(kC, 0x8790, 0x2252) && Encodes(kC, 0x2252, 0x81E0));  // row 13 and JIS X 0208
static_assert(Decodes(kC, 0xFA58, 0x3231) && Encodes(kC, 0x3231, 0x878A));  // the IBM and row 13
static_assert(Decodes(kC, 0xEEEF, 0x2170) && Encodes(kC, 0x2170, 0xFA40));  // NEC-selected and IBM
static_assert(Decodes(kC, 0xEEF9, 0xFFE2) && Decodes(kC, 0xFA54, 0xFFE2) && Encodes(kC, 0xFFE2, 0x81CA));
// Where the mappings differ, and the best-fit six.
static_assert(RoundTrips(kC, 0x8160, 0xFF5E) && RoundTrips(kJ, 0x8160, 0x301C) && Encodes(kC, 0x301C, 0x8160));
static_assert(Encodes(kC, 0x2016, 0x8161) && Encodes(kC, 0x2212, 0x817C) && Encodes(kC, 0x00A2, 0x8191) &&
              Encodes(kC, 0x00A3, 0x8192) && Encodes(kC, 0x00AC, 0x81CA) && Encodes(kJ, 0xFF5E, kNoSjisCode));
static_assert(RoundTrips(kC, 0x815F, 0xFF3C) && RoundTrips(kJ, 0x815F, 0xFF3C));
// Pairs without a form, and the codes of a host writer.
static_assert(Decodes(kC, 0x8540, kNoScalar) && Decodes(kC, 0x81AD, kNoScalar) && Decodes(kJ, 0x8740, kNoScalar));
static_assert(LookupCode(kCp932Tables, 0x4E9C).kanji() && LookupCode(kCp932Tables, 0x4E9C).jis().lead == 0x30 &&
              LookupCode(kCp932Tables, 0x4E9C).jis().trail == 0x21);
static_assert(!LookupCode(kCp932Tables, 0x2460).kanji() && LookupCode(kCp932Tables, 0x2460).sjis() == 0x8740);
static_assert(LookupCode(kCp932Tables, 0x41).single() && !LookupCode(kCp932Tables, 0x41).kanji());
static_assert(LookupCode(kCp932Tables, 0x20B9F).none() && LookupCode(kJisTables, 0xFFFF).none());

}  // namespace unicode_map_checks

}  // namespace lumtrax

#endif  // LUMTRAX_CODES_UNICODE_MAP_H
