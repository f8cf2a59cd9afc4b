// The units of a text in each code, and the shift state, as the conversions
// walk them: the one place that says how wide a unit is and whether a run
// of double-byte characters is open after it. The cut finder, the line
// finder, the computed length of a Shift-JIS text and the end-of-text
// checks all step through a text with StepOverUnit; the conversions
// themselves (src/to_host/, src/to_sjis/, src/to_unicode/, src/from_unicode/)
// walk the same units and are held to these rules by the tests of the cut
// finder.
//
// A unit of Unicode text is one character (a scalar value; for invalid
// text, the bytes of one fault), or two where the conversion takes them as
// one: CR LF, and a site character with its variation selector. Written into
// a host code with shift codes, a run is open after a character whose code
// there is double-byte (a kanji, a gaiji, the substitute in replace mode)
// and closed after one that is a single byte, and by a line end CR LF unless
// the line-end mode drops it; which it is, the mapping and the site's
// characters say.
#ifndef LUMTRAX_CODES_UNITS_H
#define LUMTRAX_CODES_UNITS_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "codes/ebcdic_host.h"
#include "codes/eightbit_host.h"
#include "codes/euc.h"
#include "codes/shift_jis.h"
#include "codes/site_characters.h"
#include "codes/utf16.h"
#include "codes/utf8.h"
#include "common/bytes.h"
#include "common/cursor.h"
#include "codes/unicode_map.h"

namespace lumtrax {

// The code of a text that a conversion reads (or writes).
enum class SourceCode : std::uint8_t { kShiftJis, kEbcdicHost, kEightBitHost, kEuc, kUtf8, kUtf16Le, kUtf16Be };

constexpr bool IsUnicode(SourceCode code) {
    return code == SourceCode::kUtf8 || code == SourceCode::kUtf16Le || code == SourceCode::kUtf16Be;
}

// How a conversion walks its source: the units it reads, and what opens and
// closes a run of double-byte characters whose state matters to what it
// writes.
struct UnitRules {
    SourceCode source = SourceCode::kShiftJis;
    bool escapes = false;          // Shift-JIS: 5C 01 X is one unit
    bool placeholders = false;     // Shift-JIS, LRSS mode: A0 opens or closes a run
    bool runs = false;             // whether the run state changes the bytes written
    bool singles_close = false;    // Shift-JIS: a single byte or an escape closes a run
    bool line_ends_close = false;  // Shift-JIS, Unicode: a CR LF closes a run
    bool pairs_only = false;       // a host code or Shift-JIS read as a double-byte-only field: every unit two bytes
    // Unicode text: the site's characters (null for none), which join a
    // character and a variation selector into one unit; and where a run
    // matters, the mapping that says which characters are double-byte, and
    // whether a character without a code is the substitute (replace mode).
    const SiteCharacters* site = nullptr;
    const MappingTables* tables = nullptr;
    bool substitutes = false;

    // The most bytes one unit takes; for Unicode text, the bytes after a
    // place inside a unit at which a walk must begin to meet the text's
    // units with their state (StepOverCharacter): the LF of a CR LF, in
    // UTF-16 behind an odd byte.
    constexpr std::size_t widest() const {
        if (IsUnicode(source)) return source == SourceCode::kUtf8 ? 2 : 3;
        return escapes ? 3 : 2;
    }
};

// Where a unit begins, and whether a run is open there.
struct UnitPosition {
    std::size_t at = 0;
    bool open = false;
    constexpr bool operator==(const UnitPosition& other) const { return at == other.at && open == other.open; }
};

// What the end of a text makes of the unit that begins at its last byte b
// (or, for Unicode text, of the last unit).
enum class LastByte {
    kWhole,     // a unit of its own, whatever follows
    kMayGrow,   // a unit of its own here, but the bytes after it could lengthen it
    kNeedsMore  // the first byte(s) of a unit that needs more
};

namespace units_detail {

// One character of Unicode text at `at`, reading nothing at or past size.
constexpr DecodedScalar CharacterAt(SourceCode source, const std::uint8_t* s, std::size_t at, std::size_t size) {
    if (source == SourceCode::kUtf8) return DecodeUtf8(s + at, size - at);
    return DecodeUtf16(s + at, size - at,
                       source == SourceCode::kUtf16Le ? ByteOrder::kLittleEndian : ByteOrder::kBigEndian);
}

// The bytes of a character that the end of the text cut short: as many as
// its first byte (UTF-8) or first unit (UTF-16) asks for.
constexpr std::size_t FullLength(SourceCode source, const std::uint8_t* s, std::size_t at, std::size_t size) {
    if (source == SourceCode::kUtf8) return static_cast<std::size_t>(Utf8SequenceLength(s[at]));
    if (size - at < 2) return 2;
    return IsHighSurrogate(
               ReadUtf16Unit(s + at, source == SourceCode::kUtf16Le ? ByteOrder::kLittleEndian : ByteOrder::kBigEndian))
               ? 4
               : 2;
}

// What a character (with a variation selector, or 0) makes of the run
// state written: open after a double-byte code, closed after a single byte;
// a character without a code stops the conversion in strict mode and leaves
// the state as it was.
inline bool RunOpenAfter(const UnitRules& rules, char32_t c, char32_t selector, bool open) {
    if (!rules.runs) return false;
    if (rules.site != nullptr && rules.site->OfCharacter(c, selector) != nullptr) return true;
    const CodeEntry e = selector == 0 ? LookupCode(*rules.tables, c) : CodeEntry{kNoSjisCode};
    if (e.none()) return rules.substitutes || open;
    return !e.single();
}

// Steps over the unit of Unicode text at p, reading nothing at or past
// size: one that the end cuts short goes past it. Invalid text stops the
// conversion: its bytes are stepped over (one at a time where a character
// cannot begin) with the state left as it was, so that a walk that begins
// inside a character (the cut finder's) rejoins the text where the
// character ends with the state it had. So does UTF-16 at an odd offset.
inline LastByte StepOverCharacter(const UnitRules& rules, const std::uint8_t* s, std::size_t size, UnitPosition& p) {
    if (rules.source != SourceCode::kUtf8 && p.at % 2 != 0) {
        p.at += 1;
        return LastByte::kWhole;
    }
    const DecodedScalar d = CharacterAt(rules.source, s, p.at, size);
    if (d.fault == UnicodeFailure::kTruncated) {
        p.at += FullLength(rules.source, s, p.at, size);
        return LastByte::kNeedsMore;
    }
    const std::size_t after = p.at + d.length;
    if (d.fault != UnicodeFailure::kNone) {
        p.at = after;
        return LastByte::kWhole;
    }
    // CR may take an LF, a site character a variation selector.
    const bool cr = d.scalar == kCarriageReturn;
    const bool joins = cr || (rules.site != nullptr && rules.site->MayBegin(d.scalar));
    const DecodedScalar next = joins && after < size ? CharacterAt(rules.source, s, after, size)
                                                     : DecodedScalar{0, 0, UnicodeFailure::kTruncated};
    const LastByte last = joins && next.fault == UnicodeFailure::kTruncated ? LastByte::kMayGrow : LastByte::kWhole;
    if (cr && next.fault == UnicodeFailure::kNone && next.scalar == kLineFeed) {
        p.at = after + next.length;  // a dropped line end leaves the run as it was
        if (rules.line_ends_close) p.open = false;
        return LastByte::kWhole;
    }
    if (!cr && joins && next.fault == UnicodeFailure::kNone && IsVariationSelector(next.scalar) &&
        rules.site->OfCharacter(d.scalar, next.scalar) != nullptr) {
        p.at = after + next.length;
        p.open = rules.runs;
        return LastByte::kWhole;
    }
    p.at = after;
    p.open = RunOpenAfter(rules, d.scalar, 0, p.open);
    return last;
}

}  // namespace units_detail

// Steps over the unit at p of a byte code's text, as the conversion takes
// it. Reads s[p.at] and s[p.at + 1]: a unit's width and meaning are those it
// has where both bytes are the text's own. (Unicode text steps with its
// size, below; here a character would count as one byte.)
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
        case SourceCode::kUtf8:
        case SourceCode::kUtf16Le:
        case SourceCode::kUtf16Be:
            p.at += 1;
            break;
    }
}

constexpr LastByte UnitAtLastByte(const UnitRules& rules, std::uint8_t b, bool open) {
    if (rules.pairs_only) return LastByte::kNeedsMore;
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
        case SourceCode::kUtf8:
            // A lead byte needs its continuation bytes; a CR may take an LF;
            // a continuation byte or F8-FF alone is a fault of its own.
            if (b >= 0x80) return Utf8SequenceLength(b) > 1 ? LastByte::kNeedsMore : LastByte::kWhole;
            return b == kCarriageReturn ? LastByte::kMayGrow : LastByte::kWhole;
        case SourceCode::kUtf16Le:
        case SourceCode::kUtf16Be:
            return LastByte::kNeedsMore;  // half a code unit
    }
    return LastByte::kWhole;
}

// Where a NUL-terminated Shift-JIS text ends when its first 00 lies at nul:
// there, unless an escape 5C 01 X carries that 00. Every escape holds a 01,
// so where none comes before nul, none can; else the end is the first 00
// where a unit begins, stepping from the text's start (in LRSS mode the
// conversion's own units are not the escapes').
inline std::size_t EscapedEnd(const std::uint8_t* s, std::size_t nul) {
    if (std::memchr(s, kEscapeSecond, nul) == nullptr) return nul;
    UnitRules rules;
    rules.escapes = true;
    UnitPosition p;
    while (s[p.at] != 0x00) StepOverUnit(rules, s, p);
    return p.at;
}

// The end of a NUL-terminated Shift-JIS text, for a conversion that finds it
// as it reads (common/cursor.h).
inline constexpr EndRule kShiftJisEnd{EscapedEnd, kEscapeSecond};

// Steps over the unit at p of a text of size bytes, of any code, reading
// nothing at or past size, and says what the text's end makes of the unit:
// whole, whole but the bytes after it could lengthen it (a cut after it
// would change it), or cut short (p.at goes past size). A byte code's unit
// at the last byte is read as if 00 followed it. For Unicode text it reads
// the unit's bytes and those of the character after it that could join it.
inline LastByte StepOverUnit(const UnitRules& rules, const std::uint8_t* s, std::size_t size, UnitPosition& p) {
    if (IsUnicode(rules.source)) return units_detail::StepOverCharacter(rules, s, size, p);
    if (p.at + 1 < size) {
        if (rules.pairs_only) {
            p.at += 2;
        } else {
            StepOverUnit(rules, s, p);
        }
        return p.at > size ? LastByte::kNeedsMore : LastByte::kWhole;
    }
    const LastByte last = UnitAtLastByte(rules, s[p.at], p.open);
    if (last == LastByte::kNeedsMore) {
        p.at = size + 1;
        return last;
    }
    const std::uint8_t alone[2] = {s[p.at], 0x00};
    UnitPosition q{0, p.open};
    StepOverUnit(rules, alone, q);
    p.at += q.at;
    p.open = q.open;
    return last;
}

// Where the first unit of the text begins that its end cuts: one that needs
// bytes after the text, or (with may_grow) one that the byte after it could
// make longer. size when there is none. Walks the text from its start, which
// must be where a unit begins with no run open; reads nothing past size.
inline std::size_t FirstCutUnit(const UnitRules& rules, const std::uint8_t* s, std::size_t size, bool may_grow) {
    UnitPosition p;
    while (p.at < size) {
        UnitPosition next = p;
        const LastByte last = StepOverUnit(rules, s, size, next);
        if (last == LastByte::kNeedsMore || (may_grow && last == LastByte::kMayGrow)) return p.at;
        p = next;
    }
    return size;
}

// True when the last unit of the text begins inside it and needs a byte
// after it: a Shift-JIS lead byte or the 5C 01 of an escape at the end, a
// host pair in a run, an EUC byte 80-FF, a character of Unicode text cut
// short. The conversions of the byte codes then take 00 as that byte; those
// of Unicode text find no form or invalid text there.
inline bool EndsInsideUnit(const UnitRules& rules, const std::uint8_t* s, std::size_t size) {
    return FirstCutUnit(rules, s, size, false) < size;
}

// The longest prefix of the text whose units no byte after it could change:
// what is left whole of a text that a read error cut short.
inline std::size_t WholeUnitsLength(const UnitRules& rules, const std::uint8_t* s, std::size_t size) {
    return FirstCutUnit(rules, s, size, true);
}

// The byte that ends a line in a text of the code: LF, which the EBCDIC host
// code writes as 25.
constexpr std::uint8_t LineFeedOf(SourceCode code) {
    return code == SourceCode::kEbcdicHost ? kEbcdicLineFeed : kLineFeed;
}

}  // namespace lumtrax

#endif  // LUMTRAX_CODES_UNITS_H
