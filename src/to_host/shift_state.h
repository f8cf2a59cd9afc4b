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
    std::uint8_t codes[2][2];  // the open code, then the close code
    std::size_t width;         // 1 or 2 bytes each
    const std::uint8_t* open() const { return codes[0]; }
    const std::uint8_t* close() const { return codes[1]; }
};

// The shift codes that a block of units needs, one bit per byte: a code
// goes before each unit whose bit is set, the open code where opens has it.
struct BlockShiftCodes {
    unsigned opens;
    unsigned closes;
};

class ShiftState {
public:
    ShiftState(const ShiftCodes& codes, bool enabled) : codes_(codes), enabled_(enabled) {}

    bool in_run() const { return in_run_; }
    std::size_t code_width() const { return codes_.width; }

    // The codes before the units of a block's bytes from..count-1, of which
    // pair_starts begin double-byte characters (pair_bytes holds their bytes;
    // a trail at from carries on a run) and closers close a run. A run opens
    // at a double-byte character and closes at a closer. Where every other
    // unit is a closer (singles_close: every single byte ends a run), the
    // state before a unit is whether the byte before it belongs to a
    // double-byte character; else (in LRSS mode, where only kept line ends
    // close a run) the state changes at the first double-byte character after
    // a closer and at the first closer after a double-byte character. Moves
    // the state to after those units.
    BlockShiftCodes CodesOfBlock(unsigned pair_starts, unsigned pair_bytes, unsigned closers, unsigned from,
                                 unsigned count, bool singles_close) {
        if (!enabled_) return {0, 0};
        const unsigned before_count = (1u << count) - 1;
        if (singles_close) {
            const unsigned in_run_before = ((pair_bytes << 1) & ~((2u << from) - 1)) | (in_run_ ? 1u << from : 0u);
            const BlockShiftCodes codes{pair_starts & ~in_run_before & before_count,
                                        closers & in_run_before & before_count};
            in_run_ = (in_run_before >> count & 1u) != 0;
            return codes;
        }
        BlockShiftCodes codes{0, 0};
        unsigned opens = pair_starts & before_count;
        unsigned closes = closers & before_count;
        for (;;) {
            const unsigned events = in_run_ ? closes : opens;
            if (events == 0) return codes;
            const unsigned event = events & (0u - events);
            (in_run_ ? codes.closes : codes.opens) |= event;
            in_run_ = !in_run_;
            const unsigned after = ~(2 * event - 1);
            opens &= after;
            closes &= after;
        }
    }

    // Writes the open code or the close code at at: two bytes, of which the
    // second is left for what follows to write over when the code has one.
    void WriteCode(bool open, std::uint8_t* at) const {
        const std::uint8_t* code = codes_.codes[open ? 0 : 1];
        at[0] = code[0];
        at[1] = code[1];
    }

    // Before a double-byte character.
    void Open(std::uint8_t*& out) {
        if (!in_run_ && enabled_) Write(codes_.open(), out, true);
    }
    // Before a byte that ends a run, and at the end of the text.
    void Close(std::uint8_t*& out) {
        if (in_run_) Write(codes_.close(), out, false);
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
