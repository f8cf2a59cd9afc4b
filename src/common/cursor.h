// Where one conversion stands, shared by its plain loop and the block
// kernels that speed it up (src/simd/): the next unit of the source, where
// its bytes go, and the shift state.
#ifndef LUMTRAX_COMMON_CURSOR_H
#define LUMTRAX_COMMON_CURSOR_H

#include <cstddef>
#include <cstdint>

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

// How a conversion out of Shift-JIS treats the units that are no character:
// the line-end mode, and the flags that the exports add.
struct SjisToHostMode {
    std::int32_t line_end;  // LUMTRAX_LINE_END_*: every value but 1 and 2 keeps CR LF
    bool lrss;              // LRSS mode: A0 stands for a shift code, escapes are not recognised
    bool shift;             // write shift codes or sequences
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

}  // namespace lumtrax

#endif  // LUMTRAX_COMMON_CURSOR_H
