// The arithmetic from a two-byte JIS X 0208 code to its Shift-JIS code, used
// by every conversion into Shift-JIS for the double-byte characters it does
// not hand to the gaiji server.
#ifndef LUMTRAX_TO_SJIS_JIS_TO_SJIS_H
#define LUMTRAX_TO_SJIS_JIS_TO_SJIS_H

#include <cstdint>

#include "common/bytes.h"

namespace lumtrax {

// Takes the code with or without its high bits set (the host codes and EUC
// carry them set) and returns the Shift-JIS lead and trail.
constexpr BytePair JisToSjis(std::uint8_t lead, std::uint8_t trail) {
    const int row = lead & 0x7F;
    const int cell = trail & 0x7F;
    const int sjis_lead = ((row + 1) >> 1) + (row < 0x5F ? 0x70 : 0xB0);
    // Odd rows take the trails 40-9E (skipping 7F), even rows 9F-FC.
    const int sjis_trail = row % 2 == 1 ? cell + 0x1F + (cell >= 0x60 ? 1 : 0) : cell + 0x7E;
    return {static_cast<std::uint8_t>(sjis_lead), static_cast<std::uint8_t>(sjis_trail)};
}

static_assert(JisToSjis(0xB0, 0xA1).lead == 0x88 && JisToSjis(0xB0, 0xA1).trail == 0x9F);
static_assert(JisToSjis(0xA1, 0xE0).lead == 0x81 && JisToSjis(0xA1, 0xE0).trail == 0x80);
static_assert(JisToSjis(0xF4, 0xA6).lead == 0xEA && JisToSjis(0xF4, 0xA6).trail == 0xA4);

}  // namespace lumtrax

#endif  // LUMTRAX_TO_SJIS_JIS_TO_SJIS_H
