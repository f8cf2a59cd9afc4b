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

// Whether the n bytes from p lie in p's page, so that reading them cannot
// fault whatever follows the text. (Under AddressSanitizer, which reports a
// read past an allocation wherever it lies, never: there an open text is
// learnt a byte at a time.)
#if defined(__SANITIZE_ADDRESS__)
#define LUMTRAX_READS_ONLY_THE_TEXT 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
#define LUMTRAX_READS_ONLY_THE_TEXT 1
#endif
#endif
LUMTRAX_INLINE bool WithinPage(const std::uint8_t* p, std::size_t n) {
#if defined(LUMTRAX_READS_ONLY_THE_TEXT)
    (void)p;
    (void)n;
    return false;
#else
    constexpr std::uintptr_t kPage = 4096;  // the least page of an x86 system
    return (reinterpret_cast<std::uintptr_t>(p) & (kPage - 1)) <= kPage - n;
#endif
}

// Learns the bytes of an open text (c.open) after the known ones: up to
// four vectors' worth where they lie in the page of the first, which holds
// that byte and so can be read whole, else the one byte. Either they are
// known then, or the 00 among them that ends the text is found.
LUMTRAX_INLINE void LearnWindow(Cursor& c) {
    constexpr unsigned kVectors = 4;
    const std::uint8_t* p = c.src + c.n;
    if (!WithinPage(p, kWidth)) {
        LearnByte(c);
        return;
    }
    const unsigned vectors = WithinPage(p, kVectors * kWidth) ? kVectors : 1;
    const EndRule rule = c.open->rule;
    Bits markers = 0;  // where the rule has one: its markers before the end
    for (unsigned k = 0; k < vectors; ++k) {
        const Vec bytes = Load(p + k * kWidth);
        const Bits nuls = ToBits(VEq(bytes, 0x00));
        if (rule.end != nullptr) {
            markers |= ToBits(VEq(bytes, rule.marker)) & (nuls == 0 ? ~Bits{0} : Below(LowestBit(nuls)));
        }
        if (nuls != 0) {
            c.open->saw_marker = c.open->saw_marker || markers != 0;
            EndNear(c, c.n + k * kWidth + LowestBit(nuls));
            return;
        }
    }
    c.open->saw_marker = c.open->saw_marker || markers != 0;
    KnowUpTo(c, c.n + vectors * kWidth);
}

// Whether a kernel has its next window: where the text's end is still to be
// found, its bytes are learnt until the window and the byte after it are
// known, or the end is.
LUMTRAX_INLINE bool HasWindow(Cursor& c) {
    while (c.open != nullptr && c.n - c.i <= kWidth) LearnWindow(c);
    return c.i < c.n;
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
