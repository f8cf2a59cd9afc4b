// The target of the host codes with a shift state (the EBCDIC host code, the
// 8-bit host code), with the run logic of the conversions out of Shift-JIS
// (to_host/shifted_host.h): a double-byte character opens a run unless one
// is open, a single byte closes it, a kept line end closes it and a dropped
// one leaves it open, the end of the text closes it. Without shift codes
// (and in double-byte-only mode) no run is ever marked.
//
// A Code says how its host code writes, as in to_host/: Single(b),
// Kanji(jis), Gaiji(answer), PutOpen, PutClose, kKind, and kAsciiIsItself
// when single bytes 00-7F are written as they are.
#ifndef LUMTRAX_FROM_UNICODE_SHIFTED_TARGET_H
#define LUMTRAX_FROM_UNICODE_SHIFTED_TARGET_H

#include "from_unicode/encode_loop.h"
#include "to_host/shifted_host.h"

namespace lumtrax {

template <typename Code>
struct ShiftedTarget {
    ShiftedTarget(std::uint8_t* dst, const Code& host_code, const UnicodeOptions& options)
        : c(OutputCursor(dst)),
          code(host_code),
          shift(WritesShiftCodes(options.mode.shift) && !options.double_byte_only ? ShiftMode::kPlain
                                                                                  : ShiftMode::kNoShift) {}

    Cursor c;
    const Code code;
    const ShiftMode shift;

    bool CopiesAscii() const { return Code::kAsciiIsItself && !c.in_run; }
    void Single(std::uint8_t b) {
        CloseRun(c, code);
        c.Put(code.Single(b));
    }
    void Kanji(CodeEntry e) { PutPair(code.Kanji(e.jis())); }
    bool Gaiji(BytePair sjis, GaijiOutcome& status) {
        GaijiOutcome call = GaijiOutcome::kNone;
        const BytePair answer = GaijiToHost(sjis.lead, sjis.trail, Code::kKind, call);
        const bool converted = call == GaijiOutcome::kConverted;
        status = AfterServerCall(status, converted);
        PutPair(code.Gaiji(answer));
        return converted;
    }
    void Substitute() { PutPair(code.Kanji(kSubstituteJis)); }
    void LineEnd(LineEndMode line_end) {
        if (line_end == LineEndMode::kDrop) return;
        CloseRun(c, code);
        if (line_end != LineEndMode::kLfOnly) c.Put(code.Single(kCarriageReturn));
        c.Put(code.Single(kLineFeed));
    }
    void Finish() { CloseRun(c, code); }

private:
    void PutPair(BytePair pair) {
        OpenRun(c, code, shift);
        c.Put(pair.lead, pair.trail);
    }
};

}  // namespace lumtrax

#endif  // LUMTRAX_FROM_UNICODE_SHIFTED_TARGET_H
