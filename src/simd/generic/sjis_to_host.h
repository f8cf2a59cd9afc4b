// The kernels out of Shift-JIS (types 0-3 and 10), written once over a
// level's operations (isa.h) and included inside that level's namespace.
//
// A window is the W bytes at a unit boundary (fewer at the end of the
// text), with the byte after each. Its units are found at once: a byte that
// could lead a pair (81-9F, E0-FC, with a trail 40-7E or 80-FC after it)
// begins one where a unit begins, and within a run of such bytes the pairs
// begin at the run's first byte and every second byte after it (PairStarts).
// The window stops before the first unit the plain loop must take: a gaiji
// (its server call comes in text order), a raw-byte escape where escapes
// count, a line end that the mode rewrites, an LRSS placeholder. Everything
// before it is converted byte by byte in vectors (a pair's bytes by the JIS
// arithmetic, a single byte by the code's rule) and written out with the
// shift codes, sequences or prefixes that the units call for.

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

// The JIS form of every byte of a window read as the lead of a pair (the
// row: 2L - E1 for 81-9F, 2L - 161 for E0-EF, one more before a trail from
// 9F) and as its trail (the cell: T - 1F for 40-7E, T - 20 for 80-9E, T - 7E
// from 9F), each with the high bit set. In bytes that wrap around: a lead
// from E0 has 40 set, and 2L + 2 * 40 + 1F gives its row.
LUMTRAX_INLINE Vec HighJisRows(Vec v, Vec next) {
    const Vec lead_40 = AddB(v, AndB(v, Splat(0x40)));
    const Vec row = AddB(AddB(lead_40, lead_40), Splat(0x1F));
    return OrB(AddWhere(VInRange(next, 0x9F, 0xFF), row, 1), Splat(0x80));
}

LUMTRAX_INLINE Vec HighJisCells(Vec v) {
    Vec cell = SubB(v, Splat(0x1F));
    cell = AddWhere(VHigh(v), cell, 0xFF);                 // -20 from 80
    cell = AddWhere(VInRange(v, 0x9F, 0xFF), cell, 0xA2);  // -7E from 9F
    return OrB(cell, Splat(0x80));
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
    std::memcpy(out, scratch, written);
    return out + written;
}

template <HostCodeKind kCode>
struct SjisTarget {
    static constexpr bool kShifted = kCode != HostCodeKind::kEuc;
    static constexpr unsigned kCodeWidth = kCode == HostCodeKind::kEightBitHost ? 2 : 1;
    const ByteTable* table;  // EBCDIC host code: the single bytes
    std::uint8_t open[kCodeWidth];
    std::uint8_t close[kCodeWidth];
};

// Converts the windows at the cursor while they hold units the kernel can
// take, and leaves the cursor at the first unit it cannot (or at the end).
template <HostCodeKind kCode>
void SjisToHost(Cursor& c, const SjisTarget<kCode>& target, const SjisToHostMode& mode) {
    using Target = SjisTarget<kCode>;
    // EUC has no LRSS mode and recognises escapes always.
    const bool lrss = Target::kShifted && mode.lrss;
    const bool escapes = !lrss;
    const bool shift = Target::kShifted && mode.shift;
    const bool split_line_ends = mode.line_end == kLineEndLfOnly || mode.line_end == kLineEndDrop;

    // Whole windows follow each other at a fixed stride: a pair that begins
    // at a window's last byte (whose trail the next vector reads) is written
    // in both, its lead in the first and its trail, carried, in the second.
    // So where the next window begins never waits for this one's units.
    bool carried = false;        // the window's first byte is a carried trail
    bool carried_space = false;  // ... of the ideographic space 81 40
    while (c.i < c.n) {
        const std::size_t left = c.n - c.i;
        const std::uint8_t* const p = c.src + c.i;
        // A window of bytes below 80 with no escape or line end that would
        // stop it, where no run must close before it.
        const bool line_ends_stop = split_line_ends || (lrss && c.in_run);
        const auto ascii_stops = [&](Vec bytes) {
            Bits stop = ToBits(VHigh(bytes));
            if (escapes) stop |= ToBits(VEq(bytes, kEscapeFirst));
            if (line_ends_stop) stop |= ToBits(VEq(bytes, kCarriageReturn));
            return stop;
        };
        const auto ascii_image = [&](Vec bytes) {
            if constexpr (kCode == HostCodeKind::kEbcdicHost) return Lookup(*target.table, bytes, false);
            return bytes;
        };
        if (!carried && !(shift && !lrss && c.in_run) && TakeSingleByteWindow(c, ascii_stops, ascii_image)) continue;
        Vec v, next;
        LoadWindow(p, left, v, next);
        const bool whole = left > kWidth;
        const unsigned limit = whole ? kWidth : static_cast<unsigned>(left);
        const Bits counted = Below(limit);
        // An escape or line end needs its first two bytes inside the text.
        const Bits two_inside = whole ? counted : Below(limit - 1);
        const Bits carried_trail = carried ? 1u : 0u;

        const Bits high = ToBits(VHigh(v)) & counted;
        Bits starts = 0;
        Bits stops = 0;
        if (high != 0) {
            const VMask leads = VOr(VInRange(v, 0x81, 0x9F), VInRange(v, 0xE0, 0xFC));
            const VMask trails = VOr(VInRange(next, 0x40, 0x7E), VInRange(next, 0x80, 0xFC));
            starts = PairStarts(ToBits(VAnd(leads, trails)) & counted & ~carried_trail);
            // Gaiji: the leads ED-EE and F0-FC, and 87 with a trail of row 13
            // (looked at only where a pair has a lead from ED or 87).
            if ((starts & ToBits(VOr(VInRange(v, 0xED, 0xFC), VEq(v, 0x87)))) != 0) {
                const VMask gaiji = VOr(VOr(VInRange(v, 0xED, 0xEE), VInRange(v, 0xF0, 0xFC)),
                                        VAnd(VEq(v, 0x87), VInRange(next, 0x40, 0x9E)));
                stops = starts & ToBits(gaiji);
            }
        }
        const Bits pair_bytes = starts | starts << 1 | carried_trail;
        const Bits singles = counted & ~pair_bytes;
        // A byte pair 5C 01 or 0D 0A where a single byte begins, and inside
        // the text.
        const auto pairs_at = [&](std::uint8_t first, std::uint8_t second) -> Bits {
            const Bits firsts = singles & two_inside & ToBits(VEq(v, first));
            return firsts != 0 ? firsts & ToBits(VEq(next, second)) : 0;
        };
        if (escapes) stops |= pairs_at(kEscapeFirst, kEscapeSecond);
        // In LRSS mode a kept line end closes a run that is open or that a
        // pair opens.
        const bool closing_line_ends = lrss && shift && (c.in_run || starts != 0);
        const Bits line_ends = split_line_ends || closing_line_ends ? pairs_at(kCarriageReturn, kLineFeed) : 0;
        if (split_line_ends) stops |= line_ends;
        if (lrss && (high & singles) != 0) stops |= singles & ToBits(VEq(v, kLrssPlaceholder));
        const WindowEnd window_end = EndOfWindow(starts, stops, limit, whole);
        const unsigned count = window_end.count, end = window_end.end;
        const bool carries = window_end.carries, stopped = window_end.stopped;
        if (end == 0) return;

        // The shift codes: outside LRSS mode a run opens at each pair after a
        // single byte and closes at each single byte after a pair; in LRSS
        // mode it opens at a pair and closes only at a kept line end.
        Codes<Target::kCodeWidth> codes{};
        bool in_run = c.in_run;
        if (shift) {
            const Bits units = Below(count);
            if (!lrss) {
                const Bits after_pair = pair_bytes << 1 | (c.in_run ? 1u : 0u);
                codes.first_marks = starts & ~after_pair & units;
                codes.second_marks = singles & after_pair & units;
                in_run = (pair_bytes >> (end - 1) & 1u) != 0;
            } else {
                // Segment by segment between the kept line ends: a line end
                // closes the run that is open before it, and the first pair
                // after it opens the next one.
                Bits pairs = starts & units;
                for (Bits ends = line_ends & units; ends != 0; ends &= ends - 1) {
                    const Bits end_bit = ends & (0 - ends);
                    const Bits before = pairs & (end_bit - 1);
                    codes.first_marks |= in_run ? 0 : before & (0 - before);
                    codes.second_marks |= in_run || before != 0 ? end_bit : 0;
                    in_run = false;
                    pairs &= ~(2 * end_bit - 1);
                }
                codes.first_marks |= in_run ? 0 : pairs & (0 - pairs);
                in_run = in_run || pairs != 0;
            }
            std::memcpy(codes.first, target.open, Target::kCodeWidth);
            std::memcpy(codes.second, target.close, Target::kCodeWidth);
        } else if constexpr (kCode == HostCodeKind::kEuc) {
            // A single byte 80-FF gets the prefix 8E.
            codes.first_marks = singles & high & Below(count);
            codes.first[0] = kSingleShift2;
        }

        // The bytes: a pair's as JIS with the high bits set, a single byte by
        // the code's rule.
        Vec bytes = v;
        if constexpr (kCode == HostCodeKind::kEbcdicHost) bytes = Lookup(*target.table, v, (high & singles) != 0);
        if (pair_bytes != 0) {
            const Vec pairs = Select(FromBits(starts), HighJisRows(v, next), HighJisCells(v));
            bytes = Select(FromBits(pair_bytes), pairs, bytes);
            if constexpr (kCode == HostCodeKind::kEightBitHost) {
                // The ideographic space 81 40 is two ASCII spaces.
                const Bits spaces = starts & ToBits(VAnd(VEq(v, 0x81), VEq(next, 0x40)));
                const Bits space_bytes = spaces | spaces << 1 | (carried_space ? 1u : 0u);
                bytes = Select(FromBits(space_bytes), Splat(0x20), bytes);
                carried_space = carries && (spaces >> (kWidth - 1) & 1u) != 0;
            }
        }
        const std::size_t reach = (2 + Target::kCodeWidth) * kWidth;
        c.out =
            WriteWithin(c.out, c.out_end, reach, [&](std::uint8_t* at) { return WriteCoded(bytes, end, codes, at); });
        c.in_run = in_run;
        carried = carries;
        // A whole window moves on by a constant, so that the next window's
        // place does not wait for this one's units.
        if (__builtin_expect(whole && !stopped, 1)) {
            c.i += kWidth;
            continue;
        }
        c.i += end;
        if (stopped) return;  // a unit for the plain loop
    }
}

void SjisToEbcdic(Cursor& c, const ByteTable& table, const SjisToHostMode& mode) {
    const SjisTarget<HostCodeKind::kEbcdicHost> target{&table, {kEbcdicRunOpen}, {kEbcdicRunClose}};
    SjisToHost(c, target, mode);
}

void SjisToEightBit(Cursor& c, StartSequence start, const SjisToHostMode& mode) {
    const std::uint8_t second = start == StartSequence::k70 ? kStart70 : kStartF0;
    const SjisTarget<HostCodeKind::kEightBitHost> target{nullptr, {kSequenceLead, second}, {kSequenceLead, kEnd}};
    SjisToHost(c, target, mode);
}

void SjisToEuc(Cursor& c, std::int32_t line_end) {
    const SjisTarget<HostCodeKind::kEuc> target{nullptr, {kSingleShift2}, {kSingleShift2}};
    SjisToHost(c, target, SjisToHostMode{line_end, false, false});
}
