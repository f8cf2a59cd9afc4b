// The kernels into Shift-JIS (types 4-7), written once over a level's
// operations (isa.h) and included inside that level's namespace, after
// generic/window.h.
//
// A window is the W bytes at a unit boundary (fewer at the end of the text),
// with the byte after each. Whole windows follow each other at a fixed
// stride: a unit that begins at a window's last byte (a pair, or a shift
// sequence of two bytes) is carried, its second byte opening the next window.
//
// The host codes keep a shift state. Where every shift code of a window
// turns the state (an open outside a run, a close inside one) and lies where
// a unit begins, the state after each byte is the parity of the codes before
// it, and the pairs begin at every second byte of each run: no loop. Where
// that does not hold (a redundant code, a code where a pair's second byte
// goes), the window is walked segment by segment: outside a run every byte
// up to the next shift code is a single byte; inside one the units are pairs
// from the segment's start, and a shift code counts only where a pair would
// begin. EUC has no state: a byte 80-FF begins a pair wherever a unit begins.
// A window stops before the first pair that arithmetic does not convert (it
// goes to the gaiji server, in text order); its bytes are converted in
// vectors and written out without the shift codes (or with A0 for each in
// LRSS mode).

constexpr Bits kEvenBits = 0x5555555555555555u;

LUMTRAX_INLINE unsigned HighestBit(Bits bits) { return 63u - static_cast<unsigned>(__builtin_clzll(bits)); }

// Bit k of the result: the parity of the bits 0-k of bits.
LUMTRAX_INLINE Bits PrefixParity(Bits bits) {
    bits ^= bits << 1;
    bits ^= bits << 2;
    bits ^= bits << 4;
    bits ^= bits << 8;
    bits ^= bits << 16;
    bits ^= bits << 32;
    return bits;
}

LUMTRAX_INLINE Vec AsTheyAre(Vec bytes) { return bytes; }

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

// What a window carries into the next: the second byte of a unit that began
// at its last byte.
struct Carry {
    bool trail = false;  // of a pair: a trail, of an odd row or not
    bool odd_row = false;
    bool space = false;     // (8-bit host code) of the ideographic space 20 20
    bool sequence = false;  // of a shift sequence: a byte that goes
    Bits bit() const { return trail || sequence ? 1u : 0u; }
};

// The units of a window of a host code with a shift state.
struct HostWindow {
    Bits singles = 0;
    Bits leads = 0;
    Bits codes = 0;        // the first byte of each shift code or sequence taken
    unsigned end = 0;      // the bytes taken
    bool in_run = false;   // the state after them
    bool stopped = false;  // at a pair for the plain loop
    bool carries = false;  // a unit that begins at the last byte goes on in the next window
};

// The codes whose second byte lies past them: the sequences of two bytes.
LUMTRAX_INLINE Bits SequenceCodes(Bits codes, unsigned code_width) { return code_width == 2 ? codes : 0; }

// The quick way, for a whole window: false where its codes do not all turn
// the state where units begin. codes and open_codes are the first bytes of
// the shift codes or sequences and those that open a run, code_width their
// width, convertible the pairs that arithmetic converts.
LUMTRAX_INLINE bool QuickHostWindow(Bits codes, Bits open_codes, Bits convertible, unsigned code_width,
                                    const Carry& carry, bool in_run, HostWindow& w) {
    const Bits window = Below(kWidth);
    const Bits carried = carry.bit();
    codes &= ~carried;
    const Bits seconds = code_width == 2 ? codes << 1 & window : 0;
    // The state after each byte, were every code a turn of it.
    const Bits state = PrefixParity(codes) ^ (in_run ? ~Bits{0} : 0);
    if ((codes & state) != (codes & open_codes)) return false;
    const Bits run_bytes = state & ~codes & ~seconds & ~carried & window;
    const Bits leads = PairStarts(run_bytes);
    // Each run holds whole pairs; only the last byte's pair may go on.
    if (((leads | leads << 1) & window) != run_bytes) return false;
    w.singles = ~state & ~codes & ~seconds & ~carried & window;
    w.leads = leads;
    w.codes = codes;
    w.end = kWidth;
    w.in_run = (state >> (kWidth - 1) & 1u) != 0;
    w.carries = ((leads | SequenceCodes(codes, code_width)) >> (kWidth - 1) & 1u) != 0;
    if (const Bits bad = leads & ~convertible) {
        const unsigned at = LowestBit(bad);
        w.singles &= Below(at);
        w.leads &= Below(at);
        w.codes &= Below(at);
        w.end = at;
        w.in_run = true;
        w.stopped = true;
        w.carries = false;
    }
    return true;
}

// The walk, segment by segment, for any window; limit counts its bytes, and
// whole says whether a unit may go on into the next window.
LUMTRAX_INLINE HostWindow WalkHostWindow(Bits codes, Bits open_codes, Bits convertible, unsigned code_width,
                                         unsigned limit, bool whole, const Carry& carry, bool in_run) {
    HostWindow w;
    const Bits counted = Below(limit);
    unsigned pos = static_cast<unsigned>(carry.bit());
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
                if (last + 2 > kWidth && !whole) {  // a trail past the vector at the end of the text
                    w.leads |= run_leads & ~Bit(last);
                    pos = last;
                    break;
                }
                w.leads |= run_leads;
                pos = last + 2;  // the code, or past the window
            }
        }
        if (code >= limit) break;
        if (code + code_width > kWidth && !whole) break;  // a sequence past the vector at the end of the text
        w.codes |= Bit(code);
        in_run = (open_codes >> code & 1u) != 0;
        pos = code + code_width;
    }
    w.carries = pos > kWidth;
    w.end = pos > kWidth ? kWidth : pos;
    w.in_run = in_run;
    return w;
}

// The Shift-JIS bytes of a window of a host code with a shift state over
// bytes (its single bytes converted already): the pairs by arithmetic (and
// the 8-bit host code's spaces), the shift codes left out or A0 in LRSS
// mode. Writes them, moves the cursor, and returns what the next window
// carries.
LUMTRAX_INLINE Carry WriteHostWindow(Cursor& c, Vec v, Vec bytes, const HostWindow& w, const Carry& carry,
                                     unsigned code_width, Bits spaces, bool lrss) {
    const Bits odd_leads = ToBits(VEq(AndB(v, Splat(1)), 1)) & w.leads;
    const Bits trails = w.leads << 1 | (carry.trail ? 1u : 0u);
    if ((w.leads | trails) != 0) {
        bytes = Select(FromBits(trails), SjisTrails(v, odd_leads << 1 | (carry.odd_row ? 1u : 0u)), bytes);
        bytes = Select(FromBits(w.leads), SjisLeads(v), bytes);
    }
    const Bits space_leads = w.leads & spaces;
    if (space_leads != 0 || carry.space) {
        bytes = Select(FromBits(space_leads), Splat(kSjisIdeographicSpace.lead), bytes);
        bytes = Select(FromBits(space_leads << 1 | (carry.space ? 1u : 0u)), Splat(kSjisIdeographicSpace.trail), bytes);
    }
    const Bits seconds = (code_width == 2 ? w.codes << 1 : 0) | (carry.sequence ? 1u : 0u);
    Bits removed = seconds;
    if (lrss) {
        bytes = Select(FromBits(w.codes), Splat(kLrssPlaceholder), bytes);
    } else {
        removed |= w.codes;
    }
    c.out = WriteWithin(c.out, c.out_end, 2 * kWidth,
                        [&](std::uint8_t* at) { return WriteKept(bytes, w.end, removed, at); });
    MovePast(c, w.end);
    c.in_run = w.in_run;
    Carry next;
    if (w.carries) {
        const Bits last = Bit(kWidth - 1);
        next.trail = (w.leads & last) != 0;
        next.odd_row = (odd_leads & last) != 0;
        next.space = (space_leads & last) != 0;
        next.sequence = code_width == 2 && (w.codes & last) != 0;
    }
    return next;
}

// The kernel of a host code with a shift state: code_width 1 for the EBCDIC
// host code (codes 2B and 2C, single bytes through the table), 2 for the
// 8-bit host code (sequences 93 F0, 93 70, 93 F1, single bytes as they are).
template <unsigned kCodeWidth>
void ShiftedHostToSjisBlocks(Cursor& c, const ByteTable* table, bool lrss) {
    Carry carry;
    bool single_bytes = true;  // the window before held no shift code: try the quick window
    while (HasWindow(c)) {
        const std::size_t left = c.n - c.i;
        // Single bytes up to the end of a window with no shift code.
        const auto code_bytes = [](Vec bytes) {
            if constexpr (kCodeWidth == 1) return ToBits(VOr(VEq(bytes, kEbcdicRunOpen), VEq(bytes, kEbcdicRunClose)));
            return ToBits(VEq(bytes, kEightBitSequenceLead));
        };
        const auto singles = [&](Vec bytes) {
            if constexpr (kCodeWidth == 1) return Lookup(*table, bytes, ToBits(VHigh(bytes)) != 0);
            return bytes;
        };
        if (single_bytes && !c.in_run && !carry.sequence && TakeSingleByteWindow(c, code_bytes, singles)) continue;
        Vec v, next;
        LoadWindow(c.src + c.i, left, v, next);
        const bool whole = left > kWidth;
        const unsigned limit = whole ? kWidth : static_cast<unsigned>(left);
        Bits codes = 0, opens = 0, convertible = 0, spaces = 0;
        if constexpr (kCodeWidth == 1) {
            const VMask open_codes = VEq(v, kEbcdicRunOpen);
            codes = ToBits(VOr(open_codes, VEq(v, kEbcdicRunClose)));
            opens = ToBits(open_codes);
            // The assigned area of JIS X 0208 (IsEbcdicJisPair).
            const VMask whole_rows =
                VAnd(VOr(VIn(v, kEbcdicWholeRowsLow), VIn(v, kEbcdicWholeRowsHigh)), VIn(next, kHighJisBytes));
            const VMask short_rows = VOr(VAnd(VEq(v, kEbcdicShortRowLow), VIn(next, kEbcdicShortRowLowCells)),
                                         VAnd(VEq(v, kEbcdicShortRowHigh), VIn(next, kEbcdicShortRowHighCells)));
            convertible = ToBits(VOr(whole_rows, short_rows));
        } else {
            const VMask open_seconds = VOr(VEq(next, kEightBitStartF0), VEq(next, kEightBitStart70));
            codes = ToBits(VAnd(VEq(v, kEightBitSequenceLead), VOr(open_seconds, VEq(next, kEightBitEnd))));
            opens = ToBits(open_seconds);
            spaces = ToBits(VAnd(VEq(v, kEightBitSpace.lead), VEq(next, kEightBitSpace.trail)));
            convertible = ToBits(VAnd(VIn(v, kHighJisBytes), VIn(next, kHighJisBytes))) | spaces;
        }
        codes &= Below(limit);
        HostWindow w;
        if (!whole || !QuickHostWindow(codes, opens, convertible, kCodeWidth, carry, c.in_run, w)) {
            w = WalkHostWindow(codes, opens, convertible, kCodeWidth, limit, whole, carry, c.in_run);
        }
        if (w.end == 0) return;
        single_bytes = w.codes == 0;
        Vec bytes = v;
        if constexpr (kCodeWidth == 1) {
            if (w.singles != 0) bytes = Lookup(*table, v, (ToBits(VHigh(v)) & w.singles) != 0);
        }
        carry = WriteHostWindow(c, v, bytes, w, carry, kCodeWidth, spaces, lrss);
        if (w.stopped) return;
    }
}

void EbcdicToSjisBlocks(Cursor& c, const ByteTable& table, ShiftMode mode) {
    ShiftedHostToSjisBlocks<1>(c, &table, HasPlaceholders(mode));
}

void EightBitToSjisBlocks(Cursor& c, ShiftMode mode) { ShiftedHostToSjisBlocks<2>(c, nullptr, HasPlaceholders(mode)); }

void EucToSjisBlocks(Cursor& c) {
    bool carried = false;       // the window's first byte is the trail of a pair begun before it
    bool carried_odd = false;   // ... of an odd row
    bool carried_kana = false;  // ... after the prefix 8E: kept as it is
    while (HasWindow(c)) {
        const std::size_t left = c.n - c.i;
        const auto high = [](Vec bytes) { return ToBits(VHigh(bytes)); };
        if (!carried && TakeSingleByteWindow(c, high, AsTheyAre)) continue;
        Vec v, next;
        LoadWindow(c.src + c.i, left, v, next);
        const bool whole = left > kWidth;
        const unsigned limit = whole ? kWidth : static_cast<unsigned>(left);
        const Bits carried_bit = carried ? 1u : 0u;
        const Bits starts = PairStarts(ToBits(VHigh(v)) & Below(limit) & ~carried_bit);
        const Bits prefixes = starts & ToBits(VEq(v, kSingleShift2));
        // Rows 1-8 and 16-84 (IsEucJisPair).
        const VMask jis = VAnd(VOr(VIn(v, kEucJisRowsLow), VIn(v, kEucJisRowsHigh)), VIn(next, kHighJisBytes));
        const Bits leads_all = starts & ToBits(jis);
        const WindowEnd window_end = EndOfWindow(starts, starts & ~prefixes & ~leads_all, limit, whole);
        const unsigned count = window_end.count, end = window_end.end;
        const bool carries = window_end.carries, stopped = window_end.stopped;
        if (end == 0) return;
        const Bits leads = leads_all & Below(count);
        const Bits odd_leads = ToBits(VEq(AndB(v, Splat(1)), 1)) & leads;
        Vec bytes = v;
        const Bits trails = leads << 1 | (carried && !carried_kana ? 1u : 0u);
        if ((leads | trails) != 0) {
            bytes = Select(FromBits(trails), SjisTrails(v, odd_leads << 1 | (carried_odd ? 1u : 0u)), bytes);
            bytes = Select(FromBits(leads), SjisLeads(v), bytes);
        }
        const Bits removed = prefixes & Below(count);
        c.out = WriteWithin(c.out, c.out_end, 2 * kWidth,
                            [&](std::uint8_t* at) { return WriteKept(bytes, end, removed, at); });
        MovePast(c, end);
        const Bits last = Bit(kWidth - 1);
        carried = carries;
        carried_odd = carries && (odd_leads & last) != 0;
        carried_kana = carries && (prefixes & last) != 0;
        if (stopped) return;
    }
}
