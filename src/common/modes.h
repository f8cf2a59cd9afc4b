// How a call converts, in the core's own terms: the line-end mode, the
// treatment of shift codes that the three exports choose, and what the call
// met of gaiji. The C interface passes these as numbers and flags; the
// exports and the C++ API turn them into these types once, at their edge.
#ifndef LUMTRAX_COMMON_MODES_H
#define LUMTRAX_COMMON_MODES_H

#include <cstdint>

namespace lumtrax {

// What becomes of a CR LF in Shift-JIS text (read by the conversions out of
// Shift-JIS only).
enum class LineEndMode : std::uint8_t {
    kKeep,    // CR and LF
    kLfOnly,  // LF only
    kDrop,    // neither
};

// The C interface's number: 1 and 2 are LF only and dropped; every other
// value keeps both bytes.
constexpr LineEndMode LineEndModeOf(std::int32_t mode) {
    return mode == 1 ? LineEndMode::kLfOnly : mode == 2 ? LineEndMode::kDrop : LineEndMode::kKeep;
}

// What the three conversion exports ask of shift codes and sequences:
// Lumtrax writes and reads them (kPlain), Lumtrax_LRSS keeps the placeholder
// A0 in Shift-JIS text for each (kLrss), Lumtrax_NoShift writes none
// (kNoShift). The C++ API also has placeholders that open and close runs
// written without codes (kLrssNoShift).
enum class ShiftMode : std::uint8_t { kPlain, kLrss, kNoShift, kLrssNoShift };

constexpr ShiftMode ShiftModeOf(bool lrss, bool shift) {
    return lrss ? (shift ? ShiftMode::kLrss : ShiftMode::kLrssNoShift)
                : (shift ? ShiftMode::kPlain : ShiftMode::kNoShift);
}
// A0 in Shift-JIS text stands for a shift code or sequence, and the raw-byte
// escape is not recognised.
constexpr bool HasPlaceholders(ShiftMode mode) { return mode == ShiftMode::kLrss || mode == ShiftMode::kLrssNoShift; }
constexpr bool WritesShiftCodes(ShiftMode mode) { return mode == ShiftMode::kPlain || mode == ShiftMode::kLrss; }

// Everything a call's mode says.
struct CallMode {
    LineEndMode line_end = LineEndMode::kKeep;
    ShiftMode shift = ShiftMode::kPlain;
};

// What a call met of gaiji: none, every one converted by the gaiji server,
// or at least one replaced by the substitute. The C interface stores it as
// 0, 1 or 2.
enum class GaijiOutcome : std::int32_t { kNone = 0, kConverted = 1, kReplaced = 2 };

// The outcome of a call after one more server call: a replacement is final.
constexpr GaijiOutcome AfterServerCall(GaijiOutcome so_far, bool converted) {
    if (!converted) return GaijiOutcome::kReplaced;
    return so_far == GaijiOutcome::kReplaced ? so_far : GaijiOutcome::kConverted;
}

// The outcome of two pieces of one text.
constexpr GaijiOutcome Merge(GaijiOutcome earlier, GaijiOutcome later) {
    return static_cast<std::int32_t>(later) > static_cast<std::int32_t>(earlier) ? later : earlier;
}

static_assert(LineEndModeOf(7) == LineEndMode::kKeep && LineEndModeOf(2) == LineEndMode::kDrop);
static_assert(HasPlaceholders(ShiftModeOf(true, false)) && !WritesShiftCodes(ShiftModeOf(true, false)));
static_assert(AfterServerCall(GaijiOutcome::kReplaced, true) == GaijiOutcome::kReplaced);

}  // namespace lumtrax

#endif  // LUMTRAX_COMMON_MODES_H
