// The loop that the two host codes with a shift state share (the EBCDIC host
// code, types 0 and 1, and the 8-bit host code, types 2 and 10), over one
// unit of Shift-JIS at a time:
//
//   a double-byte character   opens a run (unless one is open) and is written
//                             as its code: a kanji from its JIS code, a gaiji
//                             from the gaiji server's code;
//   a line end CR LF          closes an open run and is written as CR LF or LF
//                             alone, or is dropped, leaving the run open so
//                             that the characters on both sides share it;
//   an LRSS placeholder A0    (LRSS mode) opens a run, or closes the open one;
//   a raw-byte escape 5C 01 X (not in LRSS mode) closes a run and writes X;
//   any other byte            closes a run (not in LRSS mode) and is written
//                             as the host code's single byte.
//
// At the end of the text an open run is closed. Without shift codes (the
// shift flag off) no run is ever open and nothing marks one.
//
// A Code says how its host code writes: Single(b) a single byte, Kanji(jis)
// a kanji of the JIS form, Gaiji(code) the server's code; PutOpen and
// PutClose the shift code or sequence; kKind the server's kind of it.
#ifndef LUMTRAX_TO_HOST_SHIFTED_HOST_H
#define LUMTRAX_TO_HOST_SHIFTED_HOST_H

#include <cstdint>

#include "codes/shift_jis.h"
#include "codes/units.h"
#include "common/bytes.h"
#include "common/cursor.h"
#include "common/modes.h"
#include "gaiji/gaiji.h"

namespace lumtrax {

template <typename Code>
void OpenRun(Cursor& c, const Code& code, ShiftMode mode) {
    if (c.in_run || !WritesShiftCodes(mode)) return;
    code.PutOpen(c);
    c.in_run = true;
}

template <typename Code>
void CloseRun(Cursor& c, const Code& code) {
    if (!c.in_run) return;
    code.PutClose(c);
    c.in_run = false;
}

template <typename Code>
void ConvertShiftedUnit(Cursor& c, const Code& code, const CallMode& mode, GaijiOutcome& status) {
    const bool lrss = HasPlaceholders(mode.shift);
    const std::uint8_t lead = c.src[c.i];
    const std::uint8_t trail = c.src[c.i + 1];  // at the last counted byte, the byte after the text
    if (IsSjisDoubleByte(lead, trail)) {
        OpenRun(c, code, mode.shift);
        const BytePair pair = IsSjisGaiji(lead, trail) ? code.Gaiji(GaijiToHost(lead, trail, Code::kKind, status))
                                                       : code.Kanji(SjisToJis(lead, trail));
        c.Put(pair.lead, pair.trail);
        c.i += 2;
    } else if (IsLineEndAt(c.src, c.i, c.n)) {
        if (mode.line_end != LineEndMode::kDrop) {
            CloseRun(c, code);
            if (mode.line_end != LineEndMode::kLfOnly) c.Put(code.Single(kCarriageReturn));
            c.Put(code.Single(kLineFeed));
        }
        c.i += 2;
    } else if (lrss && lead == kLrssPlaceholder) {
        if (c.in_run) {
            CloseRun(c, code);
        } else {
            OpenRun(c, code, mode.shift);
        }
        c.i += 1;
    } else if (lrss) {
        // In LRSS mode only placeholders, kept line ends and the end of the
        // text close a run.
        c.Put(code.Single(lead));
        c.i += 1;
    } else {
        CloseRun(c, code);
        if (IsRawByteEscapeAt(c.src, c.i, c.n)) {
            c.Put(c.src[c.i + 2]);
            c.i += 3;
        } else {
            c.Put(code.Single(lead));
            c.i += 1;
        }
    }
}

// Converts the counted text of src into dst (see ConvertText), through
// kernel where has_kernel, and closes the run at its end. Returns the bytes
// written before the terminator.
template <typename Code, typename Kernel>
std::int32_t ConvertToShiftedHost(Growth growth, std::uint8_t* dst, const std::uint8_t* src, std::int32_t len,
                                  const Code& code, const CallMode& mode, GaijiOutcome& status, bool has_kernel,
                                  Kernel kernel) {
    return ConvertText(
        growth, dst, src, len, has_kernel, kernel, [&](Cursor& at) { ConvertShiftedUnit(at, code, mode, status); },
        [&](Cursor& at) { CloseRun(at, code); }, kShiftJisEnd);
}

}  // namespace lumtrax

#endif  // LUMTRAX_TO_HOST_SHIFTED_HOST_H
