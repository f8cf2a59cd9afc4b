// What the kernels of both directions share about a window: where pairs
// begin in it, the quick single-byte window, where a window ends, and
// writing near the end of the destination. Written once over a level's
// operations (isa.h) and included inside that level's namespace, before the
// kernels (generic/kernels.h).
//
// A window is the W bytes at a unit boundary (fewer at the end of the text),
// with the byte after each.

// A byte range of the codes (src/codes/), tested on every byte of a vector.
LUMTRAX_INLINE VMask VIn(Vec v, ByteValues range) { return VInRange(v, range.lo, range.hi); }

// Where the pairs of a window begin, given the bytes that could begin one
// (bit 0 begins a unit). Adding the first bit of a run that begins at an
// even place carries through the run and clears it; the runs that begin at
// an odd place stay.
LUMTRAX_INLINE Bits PairStarts(Bits may_begin) {
    constexpr Bits kEven = 0x5555555555555555u;
    const Bits run_starts = may_begin & ~(may_begin << 1);
    const Bits even_runs = may_begin & ~(may_begin + (run_starts & kEven));
    const Bits odd_runs = may_begin & ~even_runs;
    return (even_runs & kEven) | (odd_runs & ~kEven);
}

// Takes the next whole window at once where it holds single bytes alone that
// write one byte each: where stops(bytes) finds none of the bytes that would
// make it otherwise, writes convert(bytes) and moves the cursor on. (Such a
// window writes as many bytes as it takes, so they lie inside the
// destination.) False where it does not.
template <typename Stops, typename Convert>
LUMTRAX_INLINE bool TakeSingleByteWindow(Cursor& c, Stops stops, Convert convert) {
    if (c.n - c.i <= kWidth) return false;
    const Vec bytes = Load(c.src + c.i);
    if (stops(bytes) != 0) return false;
    Store(c.out, convert(bytes));
    c.out += kWidth;
    c.i += kWidth;
    return true;
}

// Where a window's units end, for the units of two bytes that begin at
// starts and the units for the plain loop at stops, of which the first ends
// the window. A pair that begins at a whole window's last byte is carried:
// its trail is the next window's first byte. At the end of the text, such a
// pair takes the byte after the text, which the vector holds, unless the
// window is full: then the pair begins the next window.
struct WindowEnd {
    unsigned count;  // the units converted end here (or carry on)
    unsigned end;    // the bytes of the window written and taken
    bool carries;
    bool stopped;  // at a unit for the plain loop
};

LUMTRAX_INLINE WindowEnd EndOfWindow(Bits starts, Bits stops, unsigned limit, bool whole) {
    const unsigned count = FirstOr(stops, limit);
    WindowEnd e{count, count, false, stops != 0};
    if (e.stopped || (starts >> (limit - 1) & 1u) == 0) return e;
    if (whole) {
        e.carries = true;
    } else if (limit < kWidth) {
        e.end = limit + 1;
    } else {
        e.count = e.end = limit - 1;
    }
    return e;
}

// Writes through write(out) where a write may reach `reach` bytes from out;
// near the end of the destination, through a scratch block and a copy of
// what was written.
template <typename Write>
LUMTRAX_INLINE std::uint8_t* WriteWithin(std::uint8_t* out, const std::uint8_t* out_end, std::size_t reach,
                                         Write write) {
    if (kExactWrites || static_cast<std::size_t>(out_end - out) >= reach) return write(out);
    alignas(64) std::uint8_t scratch[5 * kWidth];
    const std::size_t written = static_cast<std::size_t>(write(scratch) - scratch);
    CopyShort(out, scratch, written);
    return out + written;
}

// Moves the cursor past a window's bytes: a whole window by a constant, so
// that the next window's place does not wait for this one's units.
LUMTRAX_INLINE void MovePast(Cursor& c, unsigned end) {
    if (__builtin_expect(end == kWidth, 1)) {
        c.i += kWidth;
    } else {
        c.i += end;
    }
}
