// The tables the conversions to and from Unicode look units up in, derived
// at compile time from the generated mapping tables (unicode_tables.h) and
// the EBCDIC host code's single bytes (host_tables.h): one lookup per unit,
// in the plain loops and in the kernels alike.
//
// Decoding: one table of scalar values per mapping, indexed by the unit:
//
//   [0, 256)       a byte of the EBCDIC host code, table set 0
//   [256, 512)     a byte of the EBCDIC host code, table set 1
//   [512, 768)     a single byte as Shift-JIS reads it (the 8-bit host code
//                  outside a run, EUC after 8E, Shift-JIS)
//   [768, 12048)   a Shift-JIS pair, 188 entries per lead (81-9F, E0-FC) by
//                  its trail (40-7E, 80-FC): for the leads up to EF that is
//                  the JIS square, row by row, so that a JIS code (of a host
//                  pair, high bits set or not) indexes it as
//                  768 + 94 (row - 21) + (cell - 21).
//
// Encoding: the single bytes of each byte code as the kernels write them
// (the host byte, or 8E and the byte in EUC).
//
// Each table of 16-bit entries has one entry more than it indexes, so that a
// kernel may read any entry as 32 bits (a gather of 32-bit lanes) and keep
// the low half.
#ifndef LUMTRAX_CODES_UNICODE_UNITS_H
#define LUMTRAX_CODES_UNICODE_UNITS_H

#include <array>
#include <cstddef>
#include <cstdint>

#include "tables/host_tables.h"
#include "codes/unicode_map.h"
#include "tables/unicode_tables.h"

namespace lumtrax {

inline constexpr std::uint16_t kEbcdicSet0Units = 0;
inline constexpr std::uint16_t kEbcdicSet1Units = 256;
inline constexpr std::uint16_t kSingleByteUnits = 512;
inline constexpr std::uint16_t kPairUnits = 768;
inline constexpr std::size_t kUnitCount = kPairUnits + 60 * 188;

using UnitScalars = std::array<std::uint16_t, kUnitCount + 1>;

// The place of a Shift-JIS lead (81-9F, E0-FC) among the leads, and of a
// trail (40-7E, 80-FC) among the trails.
constexpr int SjisLeadIndex(std::uint8_t lead) { return lead <= 0x9F ? lead - 0x81 : lead - 0xE0 + 31; }
constexpr int SjisTrailIndex(std::uint8_t trail) { return trail - 0x40 - (trail >= 0x80 ? 1 : 0); }

// The unit of a Shift-JIS pair (IsSjisDoubleByte), and of a JIS code with
// or without its high bits.
constexpr std::uint16_t SjisPairUnit(std::uint8_t lead, std::uint8_t trail) {
    return static_cast<std::uint16_t>(kPairUnits + 188 * SjisLeadIndex(lead) + SjisTrailIndex(trail));
}
constexpr std::uint16_t JisUnit(std::uint8_t row, std::uint8_t cell) {
    return static_cast<std::uint16_t>(kPairUnits + 94 * ((row & 0x7F) - 0x21) + ((cell & 0x7F) - 0x21));
}

constexpr UnitScalars MakeUnitScalars(const std::array<std::uint16_t, 256>& single,
                                      const std::array<std::uint16_t, 8836>& square,
                                      const std::array<std::uint16_t, 2444>& upper) {
    UnitScalars t{};
    for (std::size_t b = 0; b < 256; ++b) {
        t[kEbcdicSet0Units + b] = single[kHostToSjisSet0[b]];
        t[kEbcdicSet1Units + b] = single[kHostToSjisSet1[b]];
        t[kSingleByteUnits + b] = single[b];
    }
    for (std::size_t k = 0; k < square.size(); ++k) t[kPairUnits + k] = square[k];
    for (std::size_t k = 0; k < upper.size(); ++k) t[kPairUnits + square.size() + k] = upper[k];
    return t;
}

inline constexpr UnitScalars kCp932Units =
    MakeUnitScalars(unicode_tables::kCp932Single, unicode_tables::kCp932Square, unicode_tables::kCp932Upper);
inline constexpr UnitScalars kJisUnits =
    MakeUnitScalars(unicode_tables::kJisSingle, unicode_tables::kJisSquare, unicode_tables::kJisUpper);

namespace unicode_units_checks {

// A pair indexes the table as the mapping reads it, through either form of
// the index, at the ends of both lead ranges and of the user-defined area.
constexpr bool PairsAgree(const UnitScalars& units, const MappingTables& t) {
    const std::uint8_t kLeads[] = {0x81, 0x88, 0x9F, 0xE0, 0xEA, 0xEF, 0xF0, 0xF9, 0xFC};
    const std::uint8_t kTrails[] = {0x40, 0x7E, 0x80, 0x9E, 0x9F, 0xFC};
    for (std::uint8_t lead : kLeads) {
        for (std::uint8_t trail : kTrails) {
            if (units[SjisPairUnit(lead, trail)] != SjisDoubleByteScalar(t, lead, trail)) return false;
            if (lead <= 0xEF) {
                const BytePair jis = SjisToJis(lead, trail);
                if (units[JisUnit(jis.lead | 0x80, jis.trail | 0x80)] != units[SjisPairUnit(lead, trail)]) return false;
            }
        }
    }
    return true;
}

static_assert(PairsAgree(kCp932Units, kCp932Tables) && PairsAgree(kJisUnits, kJisTables));
static_assert(SjisPairUnit(0xFC, 0xFC) == kUnitCount - 1 && SjisPairUnit(0xF0, 0x40) == kPairUnits + 8836);
// C1 is A in both EBCDIC table sets; 81 is a and the katakana ｱ.
static_assert(kCp932Units[kEbcdicSet0Units + 0xC1] == 'A' && kJisUnits[kEbcdicSet1Units + 0xC1] == 'A');
static_assert(kCp932Units[kEbcdicSet0Units + 0x81] == 'a' && kCp932Units[kEbcdicSet1Units + 0x81] == 0xFF71);
static_assert(kCp932Units[kSingleByteUnits + 0xA0] == 0xF8F0 && kJisUnits[kSingleByteUnits + 0xA0] == kNoScalar);

}  // namespace unicode_units_checks

// ---- encoding: the single bytes a kernel writes --------------------------------

// A Shift-JIS single byte as each byte code writes it: the byte (and, from
// 100 up, a second byte after it: 8E X in EUC).
using SingleForms = std::array<std::uint16_t, 256 + 1>;

constexpr SingleForms MakeSingleForms(const ByteTable* table, bool euc) {
    SingleForms forms{};
    for (std::size_t b = 0; b < 256; ++b) {
        if (table != nullptr) {
            forms[b] = (*table)[b];
        } else if (euc && b >= 0x80) {
            forms[b] = static_cast<std::uint16_t>(0x8E | b << 8);
        } else {
            forms[b] = static_cast<std::uint16_t>(b);
        }
    }
    return forms;
}

inline constexpr SingleForms kEbcdicSet0Singles = MakeSingleForms(&kSjisToHostSet0, false);
inline constexpr SingleForms kEbcdicSet1Singles = MakeSingleForms(&kSjisToHostSet1, false);
inline constexpr SingleForms kSameSingles = MakeSingleForms(nullptr, false);
inline constexpr SingleForms kEucSingles = MakeSingleForms(nullptr, true);

// The entries of the table of every character of the BMP that the kernels
// from Unicode look characters up in (from_unicode/direct_codes.h): a
// kanji's JIS code, a single byte's Shift-JIS image, or one of these.
inline constexpr std::uint16_t kNoDirectCode = 0xFFFF;
inline constexpr std::uint16_t kGaijiClass = 0xFFFE;
using DirectCodes = std::array<std::uint16_t, 0x10000 + 1>;

static_assert(kEbcdicSet0Singles['A'] == 0xC1 && kSameSingles[0xB1] == 0xB1 && kEucSingles[0xB1] == 0xB18E &&
              kEucSingles['A'] == 'A');

}  // namespace lumtrax

#endif  // LUMTRAX_CODES_UNICODE_UNITS_H
