// The cut rule, and finding cuts (cxx/cut_finder.h, FindCut in lumtrax.hpp).
#include "cxx/cut_finder.h"

#include <algorithm>
#include <string_view>

#include "codes/conversions.h"
#include "gaiji/server_characters.h"

namespace lumtrax {
namespace {

using Position = UnitPosition;

// The last safe cut after p and at or before end, walking from p, which is
// where a unit begins with its true state; where there is none, the first
// one after end and at or before beyond; 0 when there is none either. The
// text has size bytes, and a unit that the bytes after it could still change
// (a character that a variation selector could join) is no place to cut.
std::size_t CutFrom(const UnitRules& walk, const std::uint8_t* s, std::size_t size, Position p, std::size_t end,
                    std::size_t beyond) {
    std::size_t last = 0;
    bool sure = true;  // the unit before p is what it is in the whole text
    for (;;) {
        if (p.at > 0 && !p.open && sure) {
            if (p.at <= end) {
                last = p.at;
            } else if (last == 0 && p.at <= beyond) {
                return p.at;
            }
        }
        if (p.at >= end && (last != 0 || p.at >= beyond)) return last;
        if (p.at >= size) return last;
        sure = StepOverUnit(walk, s, size, p) == LastByte::kWhole;
    }
}

// The true position at or after k, found without the bytes before k: walks
// from k under every position and state the text may have there (a unit
// begins at k, or at one of the next widest - 1 bytes, with a run open or
// not) until the walks meet, which the truth, one of them, then shares.
// False when they have not met before end.
bool Synchronise(const UnitRules& walk, const std::uint8_t* s, std::size_t size, std::size_t k, std::size_t end,
                 Position& agreed) {
    Position walks[6];
    std::size_t count = 0;
    for (std::size_t offset = 0; offset < walk.widest(); ++offset) {
        walks[count++] = {k + offset, false};
        if (walk.runs) walks[count++] = {k + offset, true};
    }
    while (count > 1) {
        std::size_t behind = 0;
        for (std::size_t i = 1; i < count; ++i) {
            if (walks[i].at < walks[behind].at) behind = i;
        }
        if (walks[behind].at >= end) return false;
        StepOverUnit(walk, s, size, walks[behind]);
        for (std::size_t i = 0; i < count; ++i) {
            if (i != behind && walks[i] == walks[behind]) {
                walks[behind] = walks[--count];
                break;
            }
        }
    }
    agreed = walks[0];
    return true;
}

}  // namespace

CallMode CallModeOf(const Options& options) {
    return {LineEndModeOf(static_cast<std::int32_t>(options.line_end)), ShiftModeOf(options.lrss, options.shift)};
}

UnicodeOptions UnicodeOptionsOf(const Options& options) {
    UnicodeOptions unicode;
    unicode.mapping = options.mapping == Mapping::kJis ? lumtrax::UnicodeMapping::kJis : lumtrax::UnicodeMapping::kCp932;
    unicode.errors = options.errors == OnError::kReplace ? ErrorMode::kReplace : ErrorMode::kStrict;
    unicode.mode = {LineEndModeOf(static_cast<std::int32_t>(options.line_end)),
                    options.shift ? ShiftMode::kPlain : ShiftMode::kNoShift};
    unicode.site = &ServerSiteCharacters();
    return unicode;
}

UnitRules RulesOf(Conversion conversion, const Options& options) {
    const ConversionRow& row = *FindAnyConversion(static_cast<std::int32_t>(conversion));
    if (IsUnicodeConversion(row)) return RulesOf(row, UnicodeOptionsOf(options));
    return RulesOf(row, CallModeOf(options));
}

std::size_t WalkToCut(const UnitRules& rules, const std::uint8_t* s, std::size_t size, UnitPosition& p) {
    // A cut needs the byte after it, which decides the unit that begins there.
    while (p.at + 1 < size) {
        const UnitPosition before = p;
        if (StepOverUnit(rules, s, size, p) != LastByte::kWhole) {
            p = before;  // the bytes to come decide this unit
            return 0;
        }
        if (p.at < size && !p.open) return p.at;
    }
    return 0;
}

// The cut rule. A cut at c is safe when
//   - a unit of the whole text begins at c, as the conversion walks it: no
//     double-byte character, host pair, shift sequence, raw-byte escape or
//     CR LF is split, and the unit that ends at c is the one it is in the
//     whole text (its bytes, and s[c], which decided it, are read), so the
//     00 that the first piece's call puts after it changes nothing;
//   - no run is open at c: a conversion into a host code closes an open run
//     at the end of every call and a conversion out of one starts every call
//     in single-byte state, so only a closed run gives the same bytes. Runs
//     are opened by double-byte characters (LRSS: and by placeholders) and
//     closed by single bytes and escapes (LRSS: by placeholders only), by
//     kept line ends, or by the host's shift codes and sequences; a dropped
//     line end, and in LRSS mode every single byte, leaves the run as it was,
//     so there is no cut inside such a run: the caller grows the text. Without
//     shift codes (NoShift) and into EUC there is no run to close.
// The statuses of the pieces merge into that of the whole (MergeGaiji): each
// unit asks the gaiji server alone.
std::size_t FindCut(Conversion conversion, std::string_view text, std::size_t limit, const Options& options) noexcept {
    if (!IsAssigned(conversion) || conversion == Conversion::kRawByteEscape || text.size() < 2) {
        return 0;
    }
    const std::size_t last = text.size() - 1;
    const std::size_t end = std::min(limit, last);
    const auto* s = reinterpret_cast<const std::uint8_t*>(text.data());
    const UnitRules walk = RulesOf(conversion, options);
    // Near end first; farther back while that does not settle it (a text
    // that has not shown its state in 64 KiB rarely shows it in more); from
    // the beginning, whose state is known, at last, and past end if need be.
    for (std::size_t window = 256;; window *= 16) {
        if (window >= end || window > (64u << 10)) return CutFrom(walk, s, text.size(), Position{0, false}, end, last);
        Position agreed{};
        if (Synchronise(walk, s, text.size(), end - window, end, agreed)) {
            if (const std::size_t cut = CutFrom(walk, s, text.size(), agreed, end, end)) return cut;
        }
    }
}

GaijiStatus MergeGaiji(GaijiStatus earlier, GaijiStatus later) noexcept {
    return static_cast<int>(later) > static_cast<int>(earlier) ? later : earlier;
}

}  // namespace lumtrax
