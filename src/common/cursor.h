// Where one conversion stands, shared by its plain loop and the block
// kernels that speed it up (src/simd/): the next unit of the source, where
// its bytes go, and the shift state.
#ifndef LUMTRAX_COMMON_CURSOR_H
#define LUMTRAX_COMMON_CURSOR_H

#include <cstddef>
#include <cstdint>

#include "common/growth.h"

namespace lumtrax {

struct Cursor {
    const std::uint8_t* src;  // the text: n counted bytes, and src[n] readable
    std::size_t n;
    std::size_t i;          // where the next unit begins
    std::uint8_t* out;      // where its bytes go
    std::uint8_t* out_end;  // the end of the destination, as the growth rule sizes it
    bool in_run;            // inside a run of double-byte characters

    bool done() const { return i >= n; }
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

// The loop of every conversion: while units are left, the kernel (when the
// level has one) converts what it can a block at a time, and unit(c)
// converts the one unit after it.
template <typename Kernel, typename Unit>
void ConvertUnits(Cursor& c, bool has_kernel, Kernel kernel, Unit unit) {
    while (!c.done()) {
        if (has_kernel) {
            kernel(c);
            if (c.done()) return;
        }
        unit(c);
    }
}

// One conversion over the len counted bytes of src (none when len is 0 or
// less) into dst, whose end is where the conversion's growth rule puts it:
// ConvertUnits over the text, then finish(c) for what ends it (closing an
// open run), then the terminator. Returns the bytes written before it. The
// status is the caller's to set.
template <typename Kernel, typename Unit, typename Finish>
std::int32_t ConvertText(Growth growth, std::uint8_t* dst, const std::uint8_t* src, std::int32_t len, bool has_kernel,
                         Kernel kernel, Unit unit, Finish finish) {
    const std::size_t n = len > 0 ? static_cast<std::size_t>(len) : 0;
    Cursor c{src, n, 0, dst, dst + DestinationCapacity(growth, n), false};
    ConvertUnits(c, has_kernel, kernel, unit);
    finish(c);
    *c.out = 0x00;
    return static_cast<std::int32_t>(c.out - dst);
}

}  // namespace lumtrax

#endif  // LUMTRAX_COMMON_CURSOR_H
