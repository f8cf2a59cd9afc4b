// The kernels out of Shift-JIS (types 0-3 and 10), written once over a
// level's operations (isa.h) and included inside that level's namespace,
// after generic/window.h.
//
// A window's units are found at once: a byte that could lead a pair (81-9F,
// E0-FC, with a trail 40-7E or 80-FC after it) begins one where a unit
// begins, and within a run of such bytes the pairs begin at the run's first
// byte and every second byte after it (PairStarts). The window stops before
// the first unit the plain loop must take: a gaiji (its server call comes in
// text order), a raw-byte escape where escapes count, a line end that the
// mode rewrites, an LRSS placeholder. Each window goes through three steps:
//
//   ClassifySjisWindow  which bytes begin pairs, which are single, where the
//                       window stops;
//   PlaceShiftCodes     which units get a shift code or sequence (or, in
//                       EUC, the prefix 8E) before them;
//   SjisWindowBytes     every byte converted: a pair's by the JIS
//                       arithmetic, a single byte by the code's rule;
//
// and is then written out with its codes.

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

// What the kernel out of Shift-JIS writes: how single bytes become the
// code's, and what opens and closes a run.
template <HostCodeKind kCode>
struct SjisTarget {
    static constexpr bool kShifted = kCode != HostCodeKind::kEuc;
    static constexpr unsigned kCodeWidth = kCode == HostCodeKind::kEightBitHost ? 2 : 1;
    const ByteTable* table;  // EBCDIC host code: the single bytes
    std::uint8_t open[kCodeWidth];
    std::uint8_t close[kCodeWidth];
};

// The mode of a call, as the kernel needs it.
struct SjisFlags {
    bool lrss;             // A0 opens and closes runs; escapes are not recognised
    bool escapes;          // 5C 01 X is a unit for the plain loop
    bool shift;            // runs are marked by shift codes or sequences
    bool split_line_ends;  // CR LF is rewritten (LF only, or dropped)
};

template <HostCodeKind kCode>
LUMTRAX_INLINE SjisFlags FlagsOf(const CallMode& mode) {
    // EUC has no LRSS mode and recognises escapes always.
    const bool lrss = SjisTarget<kCode>::kShifted && HasPlaceholders(mode.shift);
    return {lrss, !lrss, SjisTarget<kCode>::kShifted && WritesShiftCodes(mode.shift),
            mode.line_end != LineEndMode::kKeep};
}

// The units of one window.
struct SjisWindow {
    Vec v, next;
    unsigned limit;  // the bytes counted
    bool whole;      // the text goes on past the window
    Bits high;       // bytes 80-FF
    Bits starts;     // bytes that begin a pair
    Bits pair_bytes;
    Bits singles;
    Bits line_ends;  // CR LF where a single byte begins, where the mode cares
    WindowEnd end;
};

// Step 1: where the pairs and single bytes of the window at the cursor are,
// and where it stops. carried says that its first byte is the trail of a
// pair begun in the window before.
template <HostCodeKind kCode>
LUMTRAX_INLINE SjisWindow ClassifySjisWindow(const Cursor& c, const SjisFlags& f, bool carried) {
    SjisWindow w;
    const std::size_t left = c.n - c.i;
    LoadWindow(c.src + c.i, left, w.v, w.next);
    w.whole = left > kWidth;
    w.limit = w.whole ? kWidth : static_cast<unsigned>(left);
    const Vec v = w.v, next = w.next;
    const Bits counted = Below(w.limit);
    // An escape or line end needs its first two bytes inside the text.
    const Bits two_inside = w.whole ? counted : Below(w.limit - 1);
    const Bits carried_trail = carried ? 1u : 0u;

    w.high = ToBits(VHigh(v)) & counted;
    w.starts = 0;
    Bits stops = 0;
    if (w.high != 0) {
        const VMask leads = VOr(VIn(v, kSjisLeadsLow), VIn(v, kSjisLeadsHigh));
        const VMask trails = VOr(VIn(next, kSjisTrailsLow), VIn(next, kSjisTrailsHigh));
        w.starts = PairStarts(ToBits(VAnd(leads, trails)) & counted & ~carried_trail);
        // Gaiji: the leads ED-EE and F0-FC, and 87 with a trail of row 13
        // (looked at only where a pair has a lead from ED or 87).
        if ((w.starts &
             ToBits(VOr(VInRange(v, kSjisGaijiLeadsNec.lo, kSjisGaijiLeadsHigh.hi), VEq(v, kSjisRow13Lead)))) != 0) {
            const VMask row13 =
                VAnd(VEq(v, kSjisRow13Lead), VInRange(next, kSjisTrailsLow.lo, kSjisRow13TrailsHigh.hi));
            const VMask gaiji = VOr(VOr(VIn(v, kSjisGaijiLeadsNec), VIn(v, kSjisGaijiLeadsHigh)), row13);
            stops = w.starts & ToBits(gaiji);
        }
    }
    w.pair_bytes = w.starts | w.starts << 1 | carried_trail;
    w.singles = counted & ~w.pair_bytes;
    // A byte pair 5C 01 or 0D 0A where a single byte begins, and inside the
    // text.
    const auto pairs_at = [&](std::uint8_t first, std::uint8_t second) -> Bits {
        const Bits firsts = w.singles & two_inside & ToBits(VEq(v, first));
        return firsts != 0 ? firsts & ToBits(VEq(next, second)) : 0;
    };
    if (f.escapes) stops |= pairs_at(kEscapeFirst, kEscapeSecond);
    // In LRSS mode a kept line end closes a run that is open or that a pair
    // opens.
    const bool closing_line_ends = f.lrss && f.shift && (c.in_run || w.starts != 0);
    w.line_ends = f.split_line_ends || closing_line_ends ? pairs_at(kCarriageReturn, kLineFeed) : 0;
    if (f.split_line_ends) stops |= w.line_ends;
    if (f.lrss && (w.high & w.singles) != 0) stops |= w.singles & ToBits(VEq(v, kLrssPlaceholder));
    w.end = EndOfWindow(w.starts, stops, w.limit, w.whole);
    return w;
}

// Step 2: the codes that the window's units get before them, and whether a
// run is open after them. Outside LRSS mode a run opens at each pair after a
// single byte and closes at each single byte after a pair; in LRSS mode it
// opens at a pair and closes only at a kept line end. Into EUC, a single
// byte 80-FF gets the prefix 8E.
template <HostCodeKind kCode>
LUMTRAX_INLINE Codes<SjisTarget<kCode>::kCodeWidth> PlaceShiftCodes(const SjisWindow& w, const SjisFlags& f,
                                                                    const SjisTarget<kCode>& target, bool& in_run) {
    using Target = SjisTarget<kCode>;
    Codes<Target::kCodeWidth> codes{};
    const Bits units = Below(w.end.count);
    if (f.shift) {
        if (!f.lrss) {
            const Bits after_pair = w.pair_bytes << 1 | (in_run ? 1u : 0u);
            codes.first_marks = w.starts & ~after_pair & units;
            codes.second_marks = w.singles & after_pair & units;
            in_run = (w.pair_bytes >> (w.end.end - 1) & 1u) != 0;
        } else {
            // Segment by segment between the kept line ends: a line end
            // closes the run that is open before it, and the first pair after
            // it opens the next one.
            Bits pairs = w.starts & units;
            for (Bits ends = w.line_ends & units; ends != 0; ends &= ends - 1) {
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
        codes.first_marks = w.singles & w.high & units;
        codes.first[0] = kSingleShift2;
    }
    return codes;
}

// Step 3: the window's bytes in the target code: a pair's as JIS with the
// high bits set (the 8-bit host code's ideographic space as two spaces), a
// single byte by the code's rule.
template <HostCodeKind kCode>
LUMTRAX_INLINE Vec SjisWindowBytes(const SjisWindow& w, const SjisTarget<kCode>& target, bool carried_space,
                                   bool& carries_space) {
    Vec bytes = w.v;
    if constexpr (kCode == HostCodeKind::kEbcdicHost) bytes = Lookup(*target.table, w.v, (w.high & w.singles) != 0);
    carries_space = false;
    if (w.pair_bytes == 0) return bytes;
    const Vec pairs = Select(FromBits(w.starts), HighJisRows(w.v, w.next), HighJisCells(w.v));
    bytes = Select(FromBits(w.pair_bytes), pairs, bytes);
    if constexpr (kCode == HostCodeKind::kEightBitHost) {
        const Bits spaces =
            w.starts & ToBits(VAnd(VEq(w.v, kSjisIdeographicSpace.lead), VEq(w.next, kSjisIdeographicSpace.trail)));
        const Bits space_bytes = spaces | spaces << 1 | (carried_space ? 1u : 0u);
        bytes = Select(FromBits(space_bytes), Splat(kEightBitSpace.lead), bytes);
        carries_space = w.end.carries && (spaces >> (kWidth - 1) & 1u) != 0;
    }
    return bytes;
}

// Converts the windows at the cursor while they hold units the kernel can
// take, and leaves the cursor at the first unit it cannot (or at the end).
template <HostCodeKind kCode>
void SjisToHostBlocks(Cursor& c, const SjisTarget<kCode>& target, const CallMode& mode) {
    using Target = SjisTarget<kCode>;
    const SjisFlags f = FlagsOf<kCode>(mode);
    // Whole windows follow each other at a fixed stride: a pair that begins
    // at a window's last byte (whose trail the next vector reads) is written
    // in both, its lead in the first and its trail, carried, in the second.
    // So where the next window begins never waits for this one's units.
    bool carried = false;        // the window's first byte is a carried trail
    bool carried_space = false;  // ... of the ideographic space 81 40
    bool single_bytes = true;    // the window before held no pair: try the quick window
    while (HasWindow(c)) {
        // A window of bytes below 80 with no escape or line end that would
        // stop it, where no run must close before it.
        const bool line_ends_stop = f.split_line_ends || (f.lrss && c.in_run);
        const auto ascii_stops = [&](Vec bytes) {
            Bits stop = ToBits(VHigh(bytes));
            if (f.escapes) stop |= ToBits(VEq(bytes, kEscapeFirst));
            if (line_ends_stop) stop |= ToBits(VEq(bytes, kCarriageReturn));
            return stop;
        };
        const auto ascii_image = [&](Vec bytes) {
            if constexpr (kCode == HostCodeKind::kEbcdicHost) return Lookup(*target.table, bytes, false);
            return bytes;
        };
        if (single_bytes && !carried && !(f.shift && !f.lrss && c.in_run) &&
            TakeSingleByteWindow(c, ascii_stops, ascii_image)) {
            continue;
        }
        const SjisWindow w = ClassifySjisWindow<kCode>(c, f, carried);
        if (w.end.end == 0) return;
        single_bytes = w.pair_bytes == 0;
        bool in_run = c.in_run;
        const Codes<Target::kCodeWidth> codes = PlaceShiftCodes(w, f, target, in_run);
        const Vec bytes = SjisWindowBytes(w, target, carried_space, carried_space);
        const std::size_t reach = (2 + Target::kCodeWidth) * kWidth;
        c.out = WriteWithin(c.out, c.out_end, reach,
                            [&](std::uint8_t* at) { return WriteCoded(bytes, w.end.end, codes, at); });
        c.in_run = in_run;
        carried = w.end.carries;
        if (__builtin_expect(w.whole && !w.end.stopped, 1)) {
            c.i += kWidth;
            continue;
        }
        c.i += w.end.end;
        if (w.end.stopped) return;  // a unit for the plain loop
    }
}

void SjisToEbcdicBlocks(Cursor& c, const ByteTable& table, const CallMode& mode) {
    const SjisTarget<HostCodeKind::kEbcdicHost> target{&table, {kEbcdicRunOpen}, {kEbcdicRunClose}};
    SjisToHostBlocks(c, target, mode);
}

void SjisToEightBitBlocks(Cursor& c, StartSequence start, const CallMode& mode) {
    const std::uint8_t second = start == StartSequence::k70 ? kEightBitStart70 : kEightBitStartF0;
    const SjisTarget<HostCodeKind::kEightBitHost> target{
        nullptr, {kEightBitSequenceLead, second}, {kEightBitSequenceLead, kEightBitEnd}};
    SjisToHostBlocks(c, target, mode);
}

void SjisToEucBlocks(Cursor& c, LineEndMode line_end) {
    const SjisTarget<HostCodeKind::kEuc> target{nullptr, {kSingleShift2}, {kSingleShift2}};
    SjisToHostBlocks(c, target, CallMode{line_end, ShiftMode::kNoShift});
}
