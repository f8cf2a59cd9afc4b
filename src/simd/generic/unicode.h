// The kernels of the conversions to and from Unicode (to_unicode/,
// from_unicode/), written once over a level's operations and included inside
// its namespace after the other kernels. They read nothing past the counted
// text and take only units whose result the mapping gives: a unit without a
// form, a gaiji, a site character, invalid UTF-8 or UTF-16, a line end that
// the mode rewrites go to the plain loop, which also writes every failure
// and replacement.
//
// At every level, whole windows of single bytes that are ASCII go at once
// (the EBCDIC host code's through its table). Where a level has 32-bit
// lanes with gathers (lanes.h: AVX2, AVX-512), any window goes in four steps:
//
//   classify      where the window's units begin, which are pairs, where
//                 the window stops (for the host codes, by their shift state,
//                 as the kernels into Shift-JIS walk it);
//   pack          the units' bytes into lanes, 16 or 8 at a time;
//   look up       each unit's index in the mapping's table of units
//                 (codes/unicode_units.h) and its scalar value by a gather;
//                 or, from Unicode, each character's scalar value from its
//                 bytes and its code by the two gathers of the encoding table;
//   write         each lane's bytes (UTF-8, or a host code's bytes with the
//                 shift code or sequence that opens or closes a run before
//                 them) packed one after another.

// ---- where the bytes go ------------------------------------------------------------

// Where a window's bytes go: the destination, or near its end (where a
// write may reach past it) a scratch block, copied there when done.
class WindowOutput {
public:
    WindowOutput(Cursor& c, std::size_t reach)
        : c_(c), near_end_(static_cast<std::size_t>(c.out_end - c.out) < reach), at(near_end_ ? scratch_ : c.out) {}

    // The window's bytes end at `at`.
    void Done() {
        if (!near_end_) {
            c_.out = at;
            return;
        }
        const std::size_t written = static_cast<std::size_t>(at - scratch_);
        std::memcpy(c_.out, scratch_, written);
        c_.out += written;
    }

private:
    Cursor& c_;
    const bool near_end_;
    alignas(64) std::uint8_t scratch_[6 * kWidth + 64];

public:
    std::uint8_t* at;
};

// ---- the ASCII windows, at every level -------------------------------------------

// Decoding: a whole window of single bytes whose characters are ASCII. The
// EBCDIC host code's go through the reverse table of the table set, whose
// images below 80 are ASCII; its shift codes are images of lead bytes.
template <SourceCode kCode, UnicodeForm kForm>
LUMTRAX_INLINE bool TakeAsciiToUnicode(Cursor& c, const ToUnicodeTables& t) {
    if (c.n - c.i < kWidth || c.in_run) return false;
    Vec v = Load(c.src + c.i);
    if constexpr (kCode == SourceCode::kEbcdicHost) {
        v = Lookup(HostToSjisTable(t.singles == kEbcdicSet0Units ? TableSet::kLowerCase : TableSet::kKana), v,
                   ToBits(VHigh(v)) != 0);
    }
    if (ToBits(VHigh(v)) != 0) return false;
    if constexpr (kForm == UnicodeForm::kUtf8) {
        Store(c.out, v);
        c.out += kWidth;
    } else {
        StoreWords(c.out, v, kForm == UnicodeForm::kUtf16Be);
        c.out += 2 * kWidth;
    }
    c.i += kWidth;
    return true;
}

// Encoding: a whole window of characters below 80, each a single byte of
// the target (through the EBCDIC host code's table); where a run is open,
// the first closes it. A CR goes to the plain loop where the mode rewrites
// line ends.
template <UnicodeForm kForm, SourceCode kTarget>
LUMTRAX_INLINE bool TakeAsciiFromUnicode(Cursor& c, const FromUnicodeTables& t) {
    constexpr std::size_t kBytes = kForm == UnicodeForm::kUtf8 ? kWidth : 2 * kWidth;
    if (c.n - c.i < kBytes) return false;
    Vec v;
    if constexpr (kForm == UnicodeForm::kUtf8) {
        v = Load(c.src + c.i);
        if (ToBits(VHigh(v)) != 0) return false;
    } else if (!LoadAsciiWords(c.src + c.i, kForm == UnicodeForm::kUtf16Be, v)) {
        return false;
    }
    if (!t.keeps_line_ends && ToBits(VEq(v, kCarriageReturn)) != 0) return false;
    if (c.in_run) {
        std::memcpy(c.out, t.close, t.code_width);
        c.out += t.code_width;
        c.in_run = false;
    }
    if constexpr (kTarget == SourceCode::kEbcdicHost) v = Lookup(*t.table, v, false);
    Store(c.out, v);
    c.out += kWidth;
    c.i += kBytes;
    return true;
}

#if defined(LUMTRAX_ISA_HAS_LANES)

// ---- lanes -------------------------------------------------------------------------

// The UTF-8 bytes of BMP scalar values, and which have two and three.
struct Utf8Lanes {
    Lanes bytes;
    LaneBits two, three;
};

LUMTRAX_INLINE Utf8Lanes EncodeUtf8Lanes(Lanes c) {
    const LaneBits two = ~LBelow(c, 0x80), three = ~LBelow(c, 0x800);
    const Lanes low = LOr(LAnd(c, LSplat(0x3F)), LSplat(0x80));
    const Lanes middle = LOr(LAnd(LShr<6>(c), LSplat(0x3F)), LSplat(0x80));
    const Lanes b2 = LOr(LOr(LShr<6>(c), LSplat(0xC0)), LShl<8>(low));
    const Lanes b3 = LOr(LOr(LOr(LShr<12>(c), LSplat(0xE0)), LShl<8>(middle)), LShl<16>(low));
    return {LSelect(three, b3, LSelect(two, b2, c)), two, three};
}

template <UnicodeForm kForm>
LUMTRAX_INLINE std::uint8_t* PutScalars(std::uint8_t* out, Lanes scalars, LaneBits m) {
    if constexpr (kForm == UnicodeForm::kUtf8) {
        const Utf8Lanes utf8 = EncodeUtf8Lanes(scalars);
        return PutLaneBytes(out, utf8.bytes, m, utf8.two, utf8.three, 0);
    } else {
        return PutLaneWords(out, scalars, m, kForm == UnicodeForm::kUtf16Be);
    }
}

// ---- to Unicode: the units of a window ----------------------------------------------

struct DecodeWindow {
    Bits starts = 0;  // where the units begin
    Bits pairs = 0;   // which are two bytes (EUC: 8E X too)
    unsigned end = 0;
    bool in_run = false;   // after them
    bool stopped = false;  // at a unit for the plain loop
};

// A host code with a shift state. Where every shift code of a window turns
// the state, the state after each byte is the parity of the codes before it
// and the pairs begin at every second byte of each run (as in
// QuickHostWindow); a unit that begins at a whole window's last byte waits
// for the next window. Any other window is walked as the kernels into
// Shift-JIS walk it.
LUMTRAX_INLINE DecodeWindow HostUnits(Bits codes, Bits opens, Bits convertible, unsigned code_width, unsigned limit,
                                      bool in_run) {
    // At the end of the text (limit below W) a pair or sequence cut short is
    // none: its second byte reads as 00, so it is no sequence, and no
    // convertible pair, and the window stops there.
    const Bits window = Below(limit);
    const Bits seconds = code_width == 2 ? codes << 1 & window : 0;
    const Bits state = PrefixParity(codes) ^ (in_run ? ~Bits{0} : 0);
    const Bits run_bytes = state & ~codes & ~seconds & window;
    const Bits leads = PairStarts(run_bytes);
    if ((codes & state) == (codes & opens) && ((leads | leads << 1) & window) == run_bytes) {
        const Bits last = Bit(limit - 1);
        DecodeWindow w{(~state & ~codes & ~seconds & window) | leads, leads, limit, (state & last) != 0, false};
        if (limit == kWidth && (leads & last) != 0) {  // a pair whose trail is in the next window
            w.starts &= ~last;
            w.pairs &= ~last;
            w.end = kWidth - 1;
        } else if (limit == kWidth && code_width == 2 && (codes & last) != 0) {  // a sequence likewise
            w.end = kWidth - 1;
            w.in_run = !w.in_run;
        }
        if (const Bits bad = w.pairs & ~convertible) {
            const unsigned at = LowestBit(bad);
            w.starts &= Below(at);
            w.pairs &= Below(at);
            w.end = at;
            w.in_run = true;
            w.stopped = true;
        }
        return w;
    }
    const HostWindow w = WalkHostWindow(codes, opens, convertible, code_width, limit, false, Carry{}, in_run);
    return {w.singles | w.leads, w.leads, w.end, w.in_run, w.stopped};
}

// Pairs that begin where PairStarts says, the rest single bytes; a pair
// whose second byte lies past the window waits for the next, and the window
// stops at the first of stops.
LUMTRAX_INLINE DecodeWindow PairedUnits(Bits pair_starts, Bits stops, unsigned limit) {
    const Bits across = pair_starts & Bit(limit - 1);
    const unsigned end = FirstOr(stops | across, limit);
    DecodeWindow w;
    w.end = end;
    w.pairs = pair_starts & Below(end);
    w.starts = (w.pairs | ~(pair_starts | pair_starts << 1)) & Below(end);
    w.stopped = (stops & Below(end + 1)) != 0;
    return w;
}

template <SourceCode kCode>
LUMTRAX_INLINE DecodeWindow ClassifyToUnicode(Vec v, Vec next, unsigned limit, bool in_run, bool stops_at_gaiji) {
    const Bits counted = Below(limit);
    if constexpr (kCode == SourceCode::kEbcdicHost) {
        const VMask open_codes = VEq(v, kEbcdicRunOpen);
        const Bits codes = ToBits(VOr(open_codes, VEq(v, kEbcdicRunClose))) & counted;
        const VMask whole_rows =
            VAnd(VOr(VIn(v, kEbcdicWholeRowsLow), VIn(v, kEbcdicWholeRowsHigh)), VIn(next, kHighJisBytes));
        const VMask short_rows = VOr(VAnd(VEq(v, kEbcdicShortRowLow), VIn(next, kEbcdicShortRowLowCells)),
                                     VAnd(VEq(v, kEbcdicShortRowHigh), VIn(next, kEbcdicShortRowHighCells)));
        return HostUnits(codes, ToBits(open_codes), ToBits(VOr(whole_rows, short_rows)), 1, limit, in_run);
    } else if constexpr (kCode == SourceCode::kEightBitHost) {
        const VMask open_seconds = VOr(VEq(next, kEightBitStartF0), VEq(next, kEightBitStart70));
        const Bits codes =
            ToBits(VAnd(VEq(v, kEightBitSequenceLead), VOr(open_seconds, VEq(next, kEightBitEnd)))) & counted;
        const Bits spaces = ToBits(VAnd(VEq(v, kEightBitSpace.lead), VEq(next, kEightBitSpace.trail)));
        Bits jis = ToBits(VAnd(VIn(v, kHighJisBytes), VIn(next, kHighJisBytes)));
        // Row 13 and the rows of the leads ED-EE are gaiji of Shift-JIS.
        if (stops_at_gaiji) jis &= ~ToBits(VOr(VEq(v, 0xAD), VInRange(v, 0xF9, 0xFC)));
        return HostUnits(codes, ToBits(open_seconds), jis | spaces, 2, limit, in_run);
    } else if constexpr (kCode == SourceCode::kEuc) {
        const Bits pair_starts = PairStarts(ToBits(VHigh(v)) & counted);
        const Bits prefixes = ToBits(VEq(v, kSingleShift2));
        const Bits jis = ToBits(VAnd(VOr(VIn(v, kEucJisRowsLow), VIn(v, kEucJisRowsHigh)), VIn(next, kHighJisBytes)));
        return PairedUnits(pair_starts, pair_starts & ~prefixes & ~jis, limit);
    } else {
        const VMask lead = VOr(VIn(v, kSjisLeadsLow), VIn(v, kSjisLeadsHigh));
        const VMask trail = VOr(VIn(next, kSjisTrailsLow), VIn(next, kSjisTrailsHigh));
        const Bits pair_starts = PairStarts(ToBits(VAnd(lead, trail)) & counted);
        Bits stops = 0;
        if (stops_at_gaiji) {
            const VMask row13 =
                VAnd(VEq(v, kSjisRow13Lead), VOr(VIn(next, kSjisTrailsLow), VIn(next, kSjisRow13TrailsHigh)));
            stops = pair_starts & ToBits(VOr(row13, VOr(VIn(v, kSjisGaijiLeadsNec), VIn(v, kSjisGaijiLeadsHigh))));
        }
        return PairedUnits(pair_starts, stops, limit);
    }
}

// The EBCDIC host code's single bytes as Shift-JIS images, which below 80
// are their ASCII characters.
LUMTRAX_INLINE const ByteTable& EbcdicImages(const ToUnicodeTables& t) {
    return HostToSjisTable(t.singles == kEbcdicSet0Units ? TableSet::kLowerCase : TableSet::kKana);
}

// Each unit's place in the mapping's table of units (codes/unicode_units.h).
template <SourceCode kCode>
LUMTRAX_INLINE Lanes UnitIndex(Lanes first, Lanes second, LaneBits pairs, const ToUnicodeTables& t) {
    // A JIS code (high bits set or not): 768 + 94 (row - 21) + (cell - 21).
    const auto jis = [&] {
        return LAdd(LAdd(LMul(LAnd(first, LSplat(0x7F)), 94), LAnd(second, LSplat(0x7F))),
                    LSplat(static_cast<std::uint32_t>(kPairUnits - 94 * 0x21 - 0x21)));
    };
    const Lanes single = LAdd(first, LSplat(t.singles));
    if constexpr (kCode == SourceCode::kShiftJis) {
        // 768 + 188 x the lead's place + the trail's place.
        const Lanes lead = LSub(LSub(first, LSplat(0x81)), LSelect(~LBelow(first, 0xE0), LSplat(0x40), LSplat(0)));
        const Lanes trail = LSub(LSub(second, LSplat(0x40)), LSelect(~LBelow(second, 0x80), LSplat(1), LSplat(0)));
        return LSelect(pairs, LAdd(LAdd(LMul(lead, 188), trail), LSplat(kPairUnits)), single);
    } else if constexpr (kCode == SourceCode::kEuc) {
        const LaneBits prefixed = pairs & LEq(first, kSingleShift2);
        return LSelect(prefixed, LAdd(second, LSplat(kSingleByteUnits)), LSelect(pairs, jis(), single));
    } else if constexpr (kCode == SourceCode::kEightBitHost) {
        const LaneBits spaces = pairs & LEq(first, kEightBitSpace.lead);
        return LSelect(spaces, LSplat(JisUnit(0x21, 0x21)), LSelect(pairs, jis(), single));
    } else {
        return LSelect(pairs, jis(), single);
    }
}

// Converts one window's units, or the units before the first that the
// plain loop must take. False where it stopped, or took nothing.
template <SourceCode kCode, UnicodeForm kForm>
LUMTRAX_INLINE bool TakeUnitsToUnicode(Cursor& c, const ToUnicodeTables& t) {
    const std::size_t left = c.n - c.i;
    Vec v, next;
    LoadUnitWindow(c.src + c.i, left, v, next);
    const unsigned limit = left < kWidth ? static_cast<unsigned>(left) : kWidth;
    const DecodeWindow w = ClassifyToUnicode<kCode>(v, next, limit, c.in_run, t.stops_at_gaiji);
    if (w.end == 0) return false;
    const UnitBytes u = UnitsAt(w.starts);
    const Vec firsts = PackBytes(u, v), seconds = PackBytes(u, next);
    // A single byte whose character is ASCII has it in the byte domain (the
    // EBCDIC host code's through its table); the rest are gathered, every
    // batch's before any is written.
    Vec images = v;
    if constexpr (kCode == SourceCode::kEbcdicHost) images = Lookup(EbcdicImages(t), v, ToBits(VHigh(v)) != 0);
    const Vec ascii = kCode == SourceCode::kEbcdicHost ? PackBytes(u, images) : firsts;
    const Bits direct = w.starts & ~w.pairs & ~ToBits(VHigh(images));
    Lanes scalars[kWidth / kLanes];
    LaneBits none = 0;
    unsigned batch = 0;
    for (; batch < BatchCount(u); ++batch) {
        const LaneBits units = BatchUnits(u, batch), simple = BatchBits(u, direct, batch);
        const Lanes index =
            UnitIndex<kCode>(BatchLanes(firsts, batch), BatchLanes(seconds, batch), BatchBits(u, w.pairs, batch), t);
        // A gather costs more than a window of ASCII: none where no unit needs it.
        const LaneBits looked_up = units & ~simple;
        scalars[batch] = LSelect(simple, BatchLanes(ascii, batch),
                                 looked_up != 0 ? LGatherWords(t.units, index, looked_up) : LSplat(0));
        none = units & ~simple & LEq(scalars[batch], kNoScalar);
        if (none != 0) break;
    }
    unsigned none_at = kWidth;  // the place of the first unit without a form
    if (none != 0) none_at = PlaceOf(u, batch, LowestBit(none));
    WindowOutput out(c, 3 * kWidth + 64);
    for (unsigned b = 0; b < BatchCount(u) && b <= batch; ++b) {
        LaneBits units = BatchUnits(u, b);
        if (b == batch) units &= static_cast<LaneBits>(Below(LowestBit(none)));
        out.at = PutScalars<kForm>(out.at, scalars[b], units);
    }
    out.Done();
    constexpr bool kShifted = kCode == SourceCode::kEbcdicHost || kCode == SourceCode::kEightBitHost;
    if (none_at < kWidth) {
        c.i += none_at;
        c.in_run = kShifted && (w.pairs >> none_at & 1u) != 0;
        return false;
    }
    c.i += w.end;
    c.in_run = w.in_run;
    return !w.stopped;
}

#endif  // LUMTRAX_ISA_HAS_LANES

// The cursor is copied into the kernel and back, so that its place stays in
// registers from window to window.
template <SourceCode kCode, UnicodeForm kForm>
void ToUnicodeBlocks(Cursor& cursor, const ToUnicodeTables& t) {
    Cursor c = cursor;
    while (!c.done()) {
        if (TakeAsciiToUnicode<kCode, kForm>(c, t)) continue;
#if defined(LUMTRAX_ISA_HAS_LANES)
        if (TakeUnitsToUnicode<kCode, kForm>(c, t)) continue;
#endif
        break;
    }
    cursor = c;
}

#if defined(LUMTRAX_ISA_HAS_LANES)

// ---- from Unicode ---------------------------------------------------------------------

// The target's bytes for a batch of characters (their codes, CodesOf; in
// the lanes of ascii below 80, whose single bytes are ascii_forms) and
// the shift codes between them, written out; `carry` says whether a run is
// open before the first and receives whether one is after the last
// written. The lanes at and after the first character that the plain loop
// must take (one without a code, or of the gaiji class) are not written:
// stop_lane receives it (kLanes for none).
// The code of each character (from_unicode/direct_codes.h): a kanji's JIS
// code, or a single byte's Shift-JIS image; the ASCII ones are themselves.
LUMTRAX_INLINE Lanes CodesOf(Lanes scalars, LaneBits others, const FromUnicodeTables& t) {
    return others != 0 ? LSelect(others, LGatherWords(t.codes, scalars, others), scalars) : scalars;
}

template <SourceCode kTarget>
LUMTRAX_INLINE std::uint8_t* PutTargetBytes(std::uint8_t* out, Lanes code, LaneBits units, LaneBits ascii,
                                            Lanes ascii_forms, const FromUnicodeTables& t, bool& carry,
                                            unsigned& stop_lane) {
    const LaneBits others = units & ~ascii;
    const LaneBits stops = others & ~LBelow(code, kGaijiClass);
    if (stops != 0) {
        stop_lane = LowestBit(stops);
        units &= static_cast<LaneBits>(Below(stop_lane));
    }
    const LaneBits single = units & LBelow(code, 0x100);
    const LaneBits pairs = units & ~single;
    const LaneBits other_singles = single & ~ascii;
    Lanes single_forms = ascii_forms;
    if (other_singles != 0) {
        single_forms = LSelect(other_singles, LGatherWords(t.singles->data(), code, other_singles), ascii_forms);
    }
    Lanes pair_bytes;
    const Lanes row = LShr<8>(code), cell = LAnd(code, LSplat(0xFF));
    if constexpr (kTarget == SourceCode::kShiftJis) {
        // The Shift-JIS code of the JIS code (codes/shift_jis.h, JisToSjis).
        const Lanes lead = LAdd(LShr<1>(LAdd(row, LSplat(1))), LSelect(LBelow(row, 0x5F), LSplat(0x70), LSplat(0xB0)));
        const LaneBits odd = ~LEq(LAnd(row, LSplat(1)), 0);
        const Lanes odd_trail = LAddWhere(~LBelow(cell, 0x60), LAdd(cell, LSplat(0x1F)), 1);
        pair_bytes = LOr(lead, LShl<8>(LSelect(odd, odd_trail, LAdd(cell, LSplat(0x7E)))));
    } else {
        // The JIS code with both high bits; the 8-bit host code writes the
        // ideographic space as 20 20.
        pair_bytes = LOr(LOr(row, LShl<8>(cell)), LSplat(0x8080));
        if constexpr (kTarget == SourceCode::kEightBitHost) {
            pair_bytes = LSelect(LEq(pair_bytes, 0xA1A1), LSplat(0x2020), pair_bytes);
        }
    }
    Lanes bytes = LSelect(pairs, pair_bytes, single_forms);
    LaneBits two = pairs | (units & ~LBelow(single_forms, 0x100));
    LaneBits three = 0, four = 0;
    if (t.code_width != 0) {
        // A run opens before a pair after a single byte, and closes before a
        // single byte after a pair.
        const LaneBits before =
            static_cast<LaneBits>(_pdep_u32(_pext_u32(pairs, units) << 1 | (carry ? 1u : 0u), units));
        const LaneBits opens = pairs & ~before, closes = units & ~pairs & before;
        const LaneBits coded = opens | closes;
        if (coded != 0) {
            const std::uint32_t open = t.open[0] | (t.code_width == 2 ? t.open[1] << 8 : 0);
            const std::uint32_t close = t.close[0] | (t.code_width == 2 ? t.close[1] << 8 : 0);
            const Lanes codes = LSelect(opens, LSplat(open), LSplat(close));
            if (t.code_width == 1) {
                bytes = LSelect(coded, LOr(codes, LShl<8>(bytes)), bytes);
                three = two & coded;
                two |= coded;
            } else {
                bytes = LSelect(coded, LOr(codes, LShl<16>(bytes)), bytes);
                four = two & coded;
                three = coded;
                two |= coded;
            }
        }
        if (units != 0) carry = (pairs >> (31 - __builtin_clz(units)) & 1u) != 0;
    }
    return PutLaneBytes(out, bytes, units, two, three, four);
}

// UTF-8: one window of characters of 1 to 3 bytes, or those before the
// first that the plain loop must take. False where it stopped, or took
// nothing.
template <SourceCode kTarget>
LUMTRAX_INLINE bool TakeUtf8Characters(Cursor& c, const FromUnicodeTables& t) {
    const std::size_t left = c.n - c.i;
    Vec v, next, next2;
    LoadUnitWindow(c.src + c.i, left, v, next, next2);
    const unsigned limit = left < kWidth ? static_cast<unsigned>(left) : kWidth;
    const Bits counted = Below(limit);
    const Bits high = ToBits(VHigh(v)) & counted;
    const Bits follows = ToBits(VInRange(v, 0x80, 0xBF)) & counted;
    const Bits two = ToBits(VInRange(v, 0xC2, 0xDF)) & counted;
    const Bits three = ToBits(VInRange(v, 0xE0, 0xEF)) & counted;
    // A character whose bytes go on past the window waits for the next one.
    const Bits across = left > kWidth ? ((two | three) & Bit(kWidth - 1)) | (three & Bit(kWidth - 2)) : 0;
    Bits stops = high & ~follows & ~two & ~three;  // C0, C1, F0-FF
    stops |= (two & ~(follows >> 1)) | (three & ~(follows >> 1 & follows >> 2));
    stops |= follows & ~(two << 1 | three << 1 | three << 2);
    // Overlong (E0 80-9F) and surrogates (ED A0-BF).
    stops |= three & ToBits(VOr(VAnd(VEq(v, 0xE0), VInRange(next, 0x80, 0x9F)),
                                VAnd(VEq(v, 0xED), VInRange(next, 0xA0, 0xBF))));
    if (!t.keeps_line_ends) stops |= ToBits(VEq(v, kCarriageReturn)) & counted;
    if (t.stops_at_site) stops |= high & ~follows;
    stops &= ~across;
    const unsigned end = FirstOr(stops | across, limit);
    if (end == 0) return false;
    const UnitBytes u = UnitsAt(~follows & Below(end));
    // The single bytes of ASCII characters, as the target writes them.
    Vec ascii_bytes = v;
    if constexpr (kTarget == SourceCode::kEbcdicHost) ascii_bytes = Lookup(*t.table, v, (high & Below(end)) != 0);
    const Vec firsts = PackBytes(u, v), seconds = PackBytes(u, next), thirds = PackBytes(u, next2);
    const Vec forms = PackBytes(u, ascii_bytes);
    unsigned stop = kWidth;
    // Every batch's codes are gathered before any is written.
    Lanes codes[kWidth / kLanes];
    LaneBits asciis[kWidth / kLanes];
    const unsigned batches = BatchCount(u);
    for (unsigned b = 0; b < batches; ++b) {
        const LaneBits units = BatchUnits(u, b);
        const Lanes first = BatchLanes(firsts, b), second = BatchLanes(seconds, b);
        const LaneBits ascii = units & LBelow(first, 0x80);
        const LaneBits pair = units & LBelow(first, 0xE0) & ~ascii;
        const Lanes last6 = LAnd(second, LSplat(0x3F));
        const Lanes of_two = LOr(LShl<6>(LAnd(first, LSplat(0x1F))), last6);
        const Lanes of_three =
            LOr(LOr(LShl<12>(LAnd(first, LSplat(0x0F))), LShl<6>(last6)), LAnd(BatchLanes(thirds, b), LSplat(0x3F)));
        const Lanes scalars = LSelect(ascii, first, LSelect(pair, of_two, of_three));
        codes[b] = CodesOf(scalars, units & ~ascii, t);
        asciis[b] = ascii;
    }
    WindowOutput out(c, 4 * kWidth + 64);
    for (unsigned b = 0; b < batches; ++b) {
        unsigned stop_lane = kLanes;
        out.at = PutTargetBytes<kTarget>(out.at, codes[b], BatchUnits(u, b), asciis[b], BatchLanes(forms, b), t,
                                         c.in_run, stop_lane);
        if (stop_lane < kLanes) {
            stop = PlaceOf(u, b, stop_lane);
            break;
        }
    }
    out.Done();
    if (stop < kWidth) {
        c.i += stop;
        return false;
    }
    c.i += end;
    return (stops & Below(end + 1)) == 0;
}

// UTF-16: one batch of code units, or those before the first that the plain
// loop must take (a surrogate, a CR where the mode rewrites line ends).
template <SourceCode kTarget, bool kBigEndian>
LUMTRAX_INLINE bool TakeUtf16Characters(Cursor& c, const FromUnicodeTables& t) {
    const std::size_t left = c.n - c.i;
    const unsigned count = left >= 2 * kLanes ? kLanes : static_cast<unsigned>(left / 2);
    if (count == 0) return false;
    const Lanes scalars = WordLanes(c.src + c.i, left, 0, kBigEndian);
    LaneBits units = static_cast<LaneBits>(Below(count));
    LaneBits stops = units & LInRange(scalars, 0xD800, 0xDFFF);
    if (!t.keeps_line_ends) stops |= units & LEq(scalars, kCarriageReturn);
    if (t.stops_at_site) stops |= units & ~LBelow(scalars, 0x80);
    if (stops != 0) units &= static_cast<LaneBits>(Below(LowestBit(stops)));
    if (units == 0) return false;
    unsigned stop_lane = kLanes;
    // ASCII's single bytes as the target writes them (the EBCDIC host code's
    // through its table).
    const LaneBits ascii = units & LBelow(scalars, 0x80);
    const Lanes forms = kTarget == SourceCode::kEbcdicHost ? LGatherWords(t.singles->data(), scalars, ascii) : scalars;
    WindowOutput out(c, 4 * kLanes + 64);
    out.at = PutTargetBytes<kTarget>(out.at, CodesOf(scalars, units & ~ascii, t), units, ascii, forms, t, c.in_run,
                                     stop_lane);
    out.Done();
    const unsigned taken = stop_lane < kLanes ? stop_lane : BitCount(units);
    c.i += 2 * taken;
    return stop_lane == kLanes && stops == 0;
}

#endif  // LUMTRAX_ISA_HAS_LANES

template <UnicodeForm kForm, SourceCode kTarget>
void FromUnicodeBlocks(Cursor& cursor, const FromUnicodeTables& t) {
    Cursor c = cursor;
    while (!c.done()) {
        if (TakeAsciiFromUnicode<kForm, kTarget>(c, t)) continue;
#if defined(LUMTRAX_ISA_HAS_LANES)
        if constexpr (kForm == UnicodeForm::kUtf8) {
            if (TakeUtf8Characters<kTarget>(c, t)) continue;
        } else {
            if (TakeUtf16Characters<kTarget, kForm == UnicodeForm::kUtf16Be>(c, t)) continue;
        }
#endif
        break;
    }
    cursor = c;
}
