// The shift state of a conversion into a host code: single-byte at the start
// of every call, double-byte inside a run of double-byte characters. Opening
// and closing a run writes the host code's shift code (EBCDIC host code, one
// byte) or shift sequence (8-bit host code, two bytes); with shift codes
// switched off the state stays single-byte and nothing is written.
#ifndef LUMTRAX_TO_HOST_SHIFT_STATE_H
#define LUMTRAX_TO_HOST_SHIFT_STATE_H

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace lumtrax {

struct ShiftCodes {
    std::uint8_t open[2];
    std::uint8_t close[2];
    std::size_t width;  // 1 or 2 bytes each
};

class ShiftState {
public:
    ShiftState(const ShiftCodes& codes, bool enabled) : codes_(codes), enabled_(enabled) {}

    bool in_run() const { return in_run_; }

    // Before a double-byte character.
    void Open(std::uint8_t*& out) {
        if (!in_run_ && enabled_) Write(codes_.open, out, true);
    }
    // Before a byte that ends a run, and at the end of the text.
    void Close(std::uint8_t*& out) {
        if (in_run_) Write(codes_.close, out, false);
    }
    // An LRSS placeholder: opens a run outside one, closes it inside one.
    void Toggle(std::uint8_t*& out) {
        if (in_run_) {
            Close(out);
        } else {
            Open(out);
        }
    }

private:
    void Write(const std::uint8_t* code, std::uint8_t*& out, bool now_in_run) {
        std::memcpy(out, code, codes_.width);
        out += codes_.width;
        in_run_ = now_in_run;
    }

    const ShiftCodes& codes_;
    bool enabled_;
    bool in_run_ = false;
};

}  // namespace lumtrax

#endif  // LUMTRAX_TO_HOST_SHIFT_STATE_H
