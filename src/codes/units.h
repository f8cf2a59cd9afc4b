// The units of a text in each code, and the shift state, as the conversions
// walk them: the one place that says how wide a unit is and whether a run
// of double-byte characters is open after it. The cut finder, the line
// finder, the computed length of a Shift-JIS text and the end-of-text
// checks all step through a text with StepOverUnit; the conversions
// themselves (src/to_host/, src/to_sjis/) walk the same units and are held
// to these rules by the tests of the cut finder.
#ifndef LUMTRAX_CODES_UNITS_H
#define LUMTRAX_CODES_UNITS_H

#include <cstddef>
#include <cstdint>

#include "codes/ebcdic_host.h"
#include "codes/eightbit_host.h"
#include "codes/euc.h"
#include "codes/shift_jis.h"
#include "common/bytes.h"

namespace lumtrax {

// The code of a text that a conversion reads (or writes).
enum class SourceCode : std::uint8_t { kShiftJis, kEbcdicHost, kEightBitHost, kEuc };

// How a conversion walks its source: the units it reads, and what opens and
// closes a run of double-byte characters whose state matters to what it
// writes.
struct UnitRules {
    SourceCode source = SourceCode::kShiftJis;
    bool escapes = false;          // Shift-JIS: 5C 01 X is one unit
    bool placeholders = false;     // Shift-JIS, LRSS mode: A0 opens or closes a run
    bool runs = false;             // whether the run state changes the bytes written
    bool singles_close = false;    // Shift-JIS: a single byte or an escape closes a run
    bool line_ends_close = false;  // Shift-JIS: a CR LF closes a run

    // The most bytes one unit takes.
    constexpr std::size_t widest() const { return escapes ? 3 : 2; }
};

// Where a unit begins, and whether a run is open there.
struct UnitPosition {
    std::size_t at = 0;
    bool open = false;
    constexpr bool operator==(const UnitPosition& other) const { return at == other.at && open == other.open; }
};

// Steps over the unit at p, as the conversion takes it. Reads s[p.at] and
// s[p.at + 1]: a unit's width and meaning are those it has where both bytes
// are the text's own.
constexpr void StepOverUnit(const UnitRules& rules, const std::uint8_t* s, UnitPosition& p) {
    const std::uint8_t b = s[p.at];
    const std::uint8_t next = s[p.at + 1];
    switch (rules.source) {
        case SourceCode::kShiftJis:
            if (IsSjisDoubleByte(b, next)) {
                p.at += 2;
                p.open = rules.runs;
            } else if (b == kCarriageReturn && next == kLineFeed) {
                p.at += 2;  // a dropped line end leaves the run as it was
                if (rules.line_ends_close) p.open = false;
            } else if (rules.placeholders && b == kLrssPlaceholder) {
                p.at += 1;
                p.open = rules.runs && !p.open;
            } else {
                p.at += rules.escapes && b == kEscapeFirst && next == kEscapeSecond ? 3 : 1;
                if (rules.singles_close) p.open = false;
            }
            break;
        case SourceCode::kEbcdicHost:
            // Shift codes count wherever a unit begins; in a run, a pair.
            if (IsEbcdicShiftCode(b)) {
                p.open = b == kEbcdicRunOpen;
                p.at += 1;
            } else {
                p.at += p.open ? 2 : 1;
            }
            break;
        case SourceCode::kEightBitHost:
            if (IsEightBitSequence(b, next)) {
                p.open = EightBitSequenceOpens(next);
                p.at += 2;
            } else {
                p.at += p.open ? 2 : 1;
            }
            break;
        case SourceCode::kEuc:
            p.at += b < 0x80 ? 1 : 2;  // every byte 80-FF begins a unit of two
            break;
    }
}

// What the end of a text makes of the unit that begins at its last byte b.
enum class LastByte {
    kWhole,     // a unit of its own, whatever follows
    kMayGrow,   // a unit of its own here, but the byte after it could lengthen it
    kNeedsMore  // the first byte of a unit of two or more
};

constexpr LastByte UnitAtLastByte(const UnitRules& rules, std::uint8_t b, bool open) {
    switch (rules.source) {
        case SourceCode::kShiftJis:
            if (IsSjisLead(b)) return LastByte::kNeedsMore;  // its trail is missing
            if ((rules.escapes && b == kEscapeFirst) || b == kCarriageReturn) return LastByte::kMayGrow;
            return LastByte::kWhole;
        case SourceCode::kEbcdicHost:
            return open && !IsEbcdicShiftCode(b) ? LastByte::kNeedsMore : LastByte::kWhole;
        case SourceCode::kEightBitHost:
            if (open) return LastByte::kNeedsMore;
            return b == kEightBitSequenceLead ? LastByte::kMayGrow : LastByte::kWhole;
        case SourceCode::kEuc:
            return b < 0x80 ? LastByte::kWhole : LastByte::kNeedsMore;
    }
    return LastByte::kWhole;
}

// Where the first unit of the text begins that its end cuts: one that needs
// bytes after the text, or (with may_grow) one that the byte after it could
// make longer. size when there is none. Walks the text from its start, which
// must be where a unit begins with no run open; reads nothing past size.
constexpr std::size_t FirstCutUnit(const UnitRules& rules, const std::uint8_t* s, std::size_t size, bool may_grow) {
    UnitPosition p;
    while (p.at < size) {
        if (p.at + 1 == size) {
            const LastByte last = UnitAtLastByte(rules, s[p.at], p.open);
            return last == LastByte::kNeedsMore || (may_grow && last == LastByte::kMayGrow) ? p.at : size;
        }
        UnitPosition next = p;
        StepOverUnit(rules, s, next);
        if (next.at > size) return p.at;
        p = next;
    }
    return size;
}

// True when the last unit of the text begins inside it and needs a byte
// after it: a Shift-JIS lead byte or the 5C 01 of an escape at the end, a
// host pair in a run, an EUC byte 80-FF. The conversions then take 00 as that
// byte.
constexpr bool EndsInsideUnit(const UnitRules& rules, const std::uint8_t* s, std::size_t size) {
    return FirstCutUnit(rules, s, size, false) < size;
}

// The longest prefix of the text whose units no byte after it could change:
// what is left whole of a text that a read error cut short.
constexpr std::size_t WholeUnitsLength(const UnitRules& rules, const std::uint8_t* s, std::size_t size) {
    return FirstCutUnit(rules, s, size, true);
}

// The byte that ends a line in a text of the code: LF, which the EBCDIC host
// code writes as 25.
constexpr std::uint8_t LineFeedOf(SourceCode code) {
    return code == SourceCode::kEbcdicHost ? kEbcdicLineFeed : kLineFeed;
}

}  // namespace lumtrax

#endif  // LUMTRAX_CODES_UNITS_H
