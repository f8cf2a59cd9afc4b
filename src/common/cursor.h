// Where one conversion stands, shared by its plain loop and the block
// kernels that speed it up (src/simd/): the next unit of the source, where
// its bytes go, and the shift state.
#ifndef LUMTRAX_COMMON_CURSOR_H
#define LUMTRAX_COMMON_CURSOR_H

#include <cstddef>
#include <cstdint>

#include "common/growth.h"

namespace lumtrax {

// Where a NUL-terminated text ends when its first 00 lies at nul: there,
// unless the byte marker came before it; then end(src, nul) says. (A
// Shift-JIS escape 5C 01 X may carry a 00: codes/units.h, kShiftJisEnd.) A
// rule without end: at the first 00.
struct EndRule {
    std::size_t (*end)(const std::uint8_t* src, std::size_t nul) = nullptr;
    std::uint8_t marker = 0;
};

// A NUL-terminated text whose end the conversion finds as it reads it
// (ConvertText with kLengthToFind): the destination's end grows with the
// bytes known, and a text too long for one call stops the conversion.
struct OpenEnd {
    std::uint8_t* dst;
    Growth growth;
    EndRule rule;
    bool too_long = false;
    bool saw_marker = false;  // among the bytes known: else the text ends at its first 00
};

struct Cursor {
    const std::uint8_t* src;  // the text: n counted bytes, and src[n] readable
    std::size_t n;
    std::size_t i;          // where the next unit begins
    std::uint8_t* out;      // where its bytes go
    std::uint8_t* out_end;  // the end of the destination, as the growth rule sizes it
    bool in_run;            // inside a run of double-byte characters
    // Where the text's end is still to be found: n counts the bytes known so
    // far to come before it (and src[n] is readable: the text's or its 00).
    OpenEnd* open = nullptr;

    bool done() const { return open == nullptr && i >= n; }
    void Put(std::uint8_t b) { *out++ = b; }
    void Put(std::uint8_t first, std::uint8_t second) {
        out[0] = first;
        out[1] = second;
        out += 2;
    }
};

// When a kernel of a conversion to or from Unicode took nothing, the loop
// converts the units of the next kPause bytes alone before it asks again:
// asking at every unit of a stretch that no window of the level takes (the
// pairs of Japanese text, at a level whose kernels take ASCII windows only)
// costs more than the units themselves. Skipping a kernel changes no result:
// the plain loop is the reference.
class KernelPause {
public:
    static constexpr std::size_t kPause = 16;

    bool Due(const Cursor& c) const { return c.i >= resume_at_; }
    // After the kernel ran from before: a pause where it took nothing.
    void After(std::size_t before, const Cursor& c) {
        if (c.i == before) resume_at_ = before + kPause;
    }

private:
    std::size_t resume_at_ = 0;
};

// The bytes of an open text known up to known (none of them its end): the
// destination's end moves with them; past what one call can count, the
// conversion stops and the call fails.
inline void KnowUpTo(Cursor& c, std::size_t known) {
    if (!ResultFitsACount(c.open->growth, known)) {
        c.open->too_long = true;
        c.open = nullptr;
        c.n = c.i;
        return;
    }
    c.n = known;
    c.out_end = c.open->dst + DestinationCapacity(c.open->growth, known);
}

// The first 00 after the known bytes of an open text lies at nul: the text
// ends there, or where its rule says.
inline void EndNear(Cursor& c, std::size_t nul) {
    const OpenEnd& open = *c.open;
    KnowUpTo(c, open.saw_marker ? open.rule.end(c.src, nul) : nul);
    c.open = nullptr;
}

// One more byte of an open text known, or its end found.
inline void LearnByte(Cursor& c) {
    const std::uint8_t b = c.src[c.n];
    if (b == 0x00) {
        EndNear(c, c.n);
        return;
    }
    c.open->saw_marker = c.open->saw_marker || (c.open->rule.end != nullptr && b == c.open->rule.marker);
    KnowUpTo(c, c.n + 1);
}

// The plain loop reads a unit's bytes and the two after its first.
inline constexpr std::size_t kUnitReach = 4;

// The loop of every conversion: while units are left, the kernel (when the
// level has one) converts what it can a block at a time, and unit(c)
// converts the one unit after it. A kernel learns an open text's bytes a
// window at a time as it goes; the loop a byte at a time.
template <typename Kernel, typename Unit>
void ConvertUnits(Cursor& c, bool has_kernel, Kernel kernel, Unit unit) {
    while (!c.done()) {
        if (has_kernel) {
            kernel(c);
            if (c.done()) return;
        }
        while (c.open != nullptr && c.n - c.i < kUnitReach) LearnByte(c);
        if (c.done()) return;
        unit(c);
    }
}

// The len of a NUL-terminated text whose end the conversion finds as it
// reads: the first 00 where a unit begins, or where the text's rule puts it.
inline constexpr std::int32_t kLengthToFind = -1;

// One conversion over the len counted bytes of src (none when len is 0 or
// less; to its end where len is kLengthToFind, by end_rule) into dst, whose
// end is where the conversion's growth rule puts it: ConvertUnits over the
// text, then finish(c) for what ends it (closing an open run), then the
// terminator. Returns the bytes written before it, or -1 (and an empty text)
// where a text to its end is too long for one call. The status is the
// caller's to set.
template <typename Kernel, typename Unit, typename Finish>
std::int32_t ConvertText(Growth growth, std::uint8_t* dst, const std::uint8_t* src, std::int32_t len, bool has_kernel,
                         Kernel kernel, Unit unit, Finish finish, EndRule end_rule = {}) {
    const std::size_t n = len > 0 ? static_cast<std::size_t>(len) : 0;
    OpenEnd open{dst, growth, end_rule};
    Cursor c{src, n, 0, dst, dst + DestinationCapacity(growth, n), false, len == kLengthToFind ? &open : nullptr};
    ConvertUnits(c, has_kernel, kernel, unit);
    if (open.too_long) {
        dst[0] = 0x00;
        return -1;
    }
    finish(c);
    *c.out = 0x00;
    return static_cast<std::int32_t>(c.out - dst);
}

}  // namespace lumtrax

#endif  // LUMTRAX_COMMON_CURSOR_H
