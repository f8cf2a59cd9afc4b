// The kernels into Shift-JIS (types 4-7), written once over a level's
// operations (isa.h) and included inside that level's namespace, after
// sjis_to_host.h.
//
// A window is the W bytes at a unit boundary (fewer at the end of the text),
// with the byte after each. The host codes keep a shift state, so the units
// of a window are found segment by segment in its bit masks: outside a run
// every byte up to the next shift code or sequence is a single byte; inside
// one the units are pairs from the segment's start, and a shift code counts
// only where a pair would begin. EUC has no state: a byte 80-FF begins a
// pair wherever a unit begins. The window stops before the first pair that
// arithmetic does not convert (it goes to the gaiji server, in text order),
// and its bytes are converted in vectors and written out without the shift
// codes (or with A0 for each in LRSS mode).

constexpr Bits kEvenBits = 0x5555555555555555u;

// The Shift-JIS lead of every byte read as the row of a JIS pair (high bit
// set or not): (row + 1) / 2 + 70, or + B0 from the row 5F on.
LUMTRAX_INLINE Vec SjisLeads(Vec v) {
    const Vec row = AndB(v, Splat(0x7F));
    return AddWhere(VInRange(row, 0x5F, 0x7F), AddB(HalfUp(row), Splat(0x70)), 0x40);
}

// The Shift-JIS trail of every byte read as the cell of a JIS pair whose row
// is odd where odd_row has it: cell + 1F (+ 1 from 60 on, past 7F), or cell
// + 7E for an even row.
LUMTRAX_INLINE Vec SjisTrails(Vec v, Bits odd_row) {
    const Vec cell = AndB(v, Splat(0x7F));
    const Vec odd = AddWhere(VInRange(cell, 0x60, 0x7F), AddB(cell, Splat(0x1F)), 1);
    return Select(FromBits(odd_row), odd, AddB(cell, Splat(0x7E)));
}

// The Shift-JIS bytes of the JIS pairs whose leads are at leads, over bytes.
LUMTRAX_INLINE Vec PutSjisOfPairs(Vec v, Bits leads, Vec bytes) {
    const Bits odd_rows = (ToBits(VEq(AndB(v, Splat(1)), 1)) & leads) << 1;
    bytes = Select(FromBits(leads << 1), SjisTrails(v, odd_rows), bytes);
    return Select(FromBits(leads), SjisLeads(v), bytes);
}

// The units of a window of a host code with a shift state, from the
// cursor's state: shift codes or sequences are code_width bytes at the set
// bits of codes (those of open_codes open a run), and a pair inside a run
// needs its bit in convertible.
struct HostWindow {
    Bits singles = 0;
    Bits leads = 0;
    Bits codes = 0;        // the first byte of each shift code or sequence taken
    unsigned end = 0;      // the bytes taken
    bool in_run = false;   // the state after them
    bool stopped = false;  // at a pair for the plain loop
};

LUMTRAX_INLINE unsigned HighestBit(Bits bits) { return 63u - static_cast<unsigned>(__builtin_clzll(bits)); }

LUMTRAX_INLINE HostWindow WalkHostWindow(Bits codes, Bits open_codes, Bits convertible, unsigned code_width,
                                         unsigned limit, bool in_run) {
    HostWindow w;
    const Bits counted = Below(limit);
    unsigned pos = 0;
    while (pos < limit) {
        unsigned code = 0;
        if (!in_run) {
            // Single bytes up to the next shift code, wherever it lies.
            code = FirstOr(codes & ~Below(pos), limit);
            w.singles |= Below(code) & ~Below(pos);
            pos = code;
        } else {
            // Pairs from pos on, up to a shift code where a pair would begin.
            const Bits ahead = (pos % 2 == 0 ? kEvenBits : ~kEvenBits) & ~Below(pos) & counted;
            code = FirstOr(codes & ahead, limit);
            const Bits run_leads = ahead & Below(code);
            if (const Bits bad = run_leads & ~convertible) {
                pos = LowestBit(bad);
                w.leads |= run_leads & Below(pos);
                w.stopped = true;
                break;
            }
            if (run_leads != 0) {
                const unsigned last = HighestBit(run_leads);
                if (last + 2 > kWidth) {  // its trail lies past the vector: the next window's
                    w.leads |= run_leads & ~Bit(last);
                    pos = last;
                    break;
                }
                w.leads |= run_leads;
                pos = last + 2;  // the code, or past the counted bytes when the last pair takes the byte after them
            }
        }
        if (code >= limit) break;
        if (code + code_width > kWidth) break;  // a sequence that ends past the vector: the next window's
        w.codes |= Bit(code);
        in_run = (open_codes >> code & 1u) != 0;
        pos = code + code_width;
    }
    w.end = pos;
    w.in_run = in_run;
    return w;
}

// Writes a window's bytes without its shift codes, or with A0 for each in
// LRSS mode, and moves the cursor past them.
LUMTRAX_INLINE void WriteHostWindow(Cursor& c, Vec bytes, const HostWindow& w, Bits removed) {
    c.out = WriteWithin(c.out, c.out_end, 2 * kWidth,
                        [&](std::uint8_t* at) { return WriteKept(bytes, w.end, removed, at); });
    c.i += w.end;
    c.in_run = w.in_run;
}

void EbcdicToSjis(Cursor& c, const ByteTable& table, bool lrss) {
    while (c.i < c.n) {
        const std::size_t left = c.n - c.i;
        if (left > kWidth && !c.in_run) {
            // Single bytes up to the end of a window with no shift code.
            const Vec singles = Load(c.src + c.i);
            if (ToBits(VOr(VEq(singles, kEbcdicRunOpen), VEq(singles, kEbcdicRunClose))) == 0) {
                Store(c.out, Lookup(table, singles, ToBits(VHigh(singles)) != 0));
                c.out += kWidth;
                c.i += kWidth;
                continue;
            }
        }
        Vec v, next;
        LoadWindow(c.src + c.i, left, v, next);
        const unsigned limit = left > kWidth ? kWidth : static_cast<unsigned>(left);
        const VMask opens = VEq(v, kEbcdicRunOpen);
        const Bits codes = ToBits(VOr(opens, VEq(v, kEbcdicRunClose))) & Below(limit);
        // The assigned area of JIS X 0208: rows A1-A7 and B0-F3 whole, A8 up
        // to C0, F4 up to A6.
        const VMask whole_rows = VAnd(VOr(VInRange(v, 0xA1, 0xA7), VInRange(v, 0xB0, 0xF3)), VInRange(next, 0xA1, 0xFE));
        const VMask short_rows = VOr(VAnd(VEq(v, 0xA8), VInRange(next, 0xA1, 0xC0)),
                                     VAnd(VEq(v, 0xF4), VInRange(next, 0xA1, 0xA6)));
        const HostWindow w = WalkHostWindow(codes, ToBits(opens), ToBits(VOr(whole_rows, short_rows)), 1, limit, c.in_run);
        if (w.end == 0) return;
        Vec bytes = v;
        if (w.singles != 0) bytes = Lookup(table, v, (ToBits(VHigh(v)) & w.singles) != 0);
        if (w.leads != 0) bytes = PutSjisOfPairs(v, w.leads, bytes);
        if (lrss) bytes = Select(FromBits(w.codes), Splat(kLrssPlaceholder), bytes);
        WriteHostWindow(c, bytes, w, lrss ? 0 : w.codes);
        if (w.stopped) return;
    }
}

void EightBitToSjis(Cursor& c, bool lrss) {
    while (c.i < c.n) {
        const std::size_t left = c.n - c.i;
        if (left > kWidth && !c.in_run) {
            // Single bytes up to the end of a window with no byte 93.
            const Vec singles = Load(c.src + c.i);
            if (ToBits(VEq(singles, kSequenceLead)) == 0) {
                Store(c.out, singles);
                c.out += kWidth;
                c.i += kWidth;
                continue;
            }
        }
        Vec v, next;
        LoadWindow(c.src + c.i, left, v, next);
        const unsigned limit = left > kWidth ? kWidth : static_cast<unsigned>(left);
        const VMask opens = VOr(VEq(next, kStartF0), VEq(next, kStart70));
        const VMask sequences = VAnd(VEq(v, kSequenceLead), VOr(opens, VEq(next, kEnd)));
        const VMask spaces = VAnd(VEq(v, 0x20), VEq(next, 0x20));
        const VMask jis = VAnd(VInRange(v, 0xA1, 0xFE), VInRange(next, 0xA1, 0xFE));
        const HostWindow w = WalkHostWindow(ToBits(sequences) & Below(limit), ToBits(opens), ToBits(VOr(jis, spaces)), 2,
                                            limit, c.in_run);
        if (w.end == 0) return;
        Vec bytes = v;
        if (w.leads != 0) {
            bytes = PutSjisOfPairs(v, w.leads, bytes);
            const Bits space_leads = w.leads & ToBits(spaces);
            bytes = Select(FromBits(space_leads), Splat(kSjisIdeographicSpace.lead), bytes);
            bytes = Select(FromBits(space_leads << 1), Splat(kSjisIdeographicSpace.trail), bytes);
        }
        if (lrss) bytes = Select(FromBits(w.codes), Splat(kLrssPlaceholder), bytes);
        // A sequence's second byte goes, and in plain mode its first too.
        WriteHostWindow(c, bytes, w, (lrss ? 0 : w.codes) | w.codes << 1);
        if (w.stopped) return;
    }
}

void EucToSjis(Cursor& c) {
    while (c.i < c.n) {
        const std::size_t left = c.n - c.i;
        if (left > kWidth) {
            const Vec ascii = Load(c.src + c.i);
            if (ToBits(VHigh(ascii)) == 0) {
                Store(c.out, ascii);
                c.out += kWidth;
                c.i += kWidth;
                continue;
            }
        }
        Vec v, next;
        LoadWindow(c.src + c.i, left, v, next);
        const unsigned limit = left > kWidth ? kWidth : static_cast<unsigned>(left);
        const Bits starts = PairStarts(ToBits(VHigh(v)) & Below(limit));
        const Bits prefixes = starts & ToBits(VEq(v, kSingleShift2));
        // Rows 1-8 and 16-84.
        const VMask jis = VAnd(VOr(VInRange(v, 0xA1, 0xA8), VInRange(v, 0xB0, 0xF4)), VInRange(next, 0xA1, 0xFE));
        const Bits leads = starts & ToBits(jis);
        unsigned count = FirstOr(starts & ~prefixes & ~leads, limit);
        const bool stopped = count < limit;
        unsigned end = count;
        if (count > 0 && (starts >> (count - 1) & 1u) != 0) {
            // A pair that begins at the last byte: past the vector it waits
            // for the next window; at the end of the text it takes the byte
            // after it, which the vector holds.
            if (count < kWidth) {
                end = count + 1;
            } else {
                count -= 1;
                end = count;
            }
        }
        if (end == 0) return;
        const Vec bytes = PutSjisOfPairs(v, leads & Below(count), v);
        HostWindow w;
        w.end = end;
        w.in_run = false;
        WriteHostWindow(c, bytes, w, prefixes);
        if (stopped) return;
    }
}
