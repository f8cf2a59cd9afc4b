#include "cxx/line_finder.h"

#include <cstring>

namespace lumtrax {
namespace {

// In Shift-JIS, 0A is neither a lead nor a trail byte: an 0A begins a unit,
// and ends a line, unless it is the byte that an escape 5C 01 carries. Only
// where 5C 01 stands before it are the units walked, from the line's start.
std::size_t FindInShiftJis(const UnitRules& rules, LineSearch& search, const std::uint8_t* data, std::size_t size) {
    while (search.searched < size) {
        const void* found = std::memchr(data + search.searched, kLineFeed, size - search.searched);
        if (found == nullptr) {
            search.searched = size;
            return 0;
        }
        const std::size_t lf = static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - data);
        search.searched = lf + 1;
        if (!rules.escapes || lf < 2 || data[lf - 2] != kEscapeFirst || data[lf - 1] != kEscapeSecond) {
            return lf + 1;
        }
        // Every unit before the LF lies in the data; a CR LF is a unit that
        // ends with the LF.
        UnitPosition& p = search.position;
        while (p.at < lf) StepOverUnit(rules, data, p);
        if (p.at == lf || (p.at == lf + 1 && data[lf - 1] == kCarriageReturn)) return lf + 1;
    }
    return 0;
}

}  // namespace

std::size_t FindLineEnd(const UnitRules& rules, LineSearch& search, const std::uint8_t* data, std::size_t size,
                        bool at_end) {
    if (rules.source == SourceCode::kShiftJis) return FindInShiftJis(rules, search, data, size);
    // The host codes and EUC: the line ends at an LF that begins a unit; a
    // run's state is the source's own.
    const std::uint8_t line_feed = LineFeedOf(rules.source);
    UnitPosition& p = search.position;
    while (p.at < size) {
        const std::size_t i = p.at;
        if (data[i] == line_feed) return i + 1;
        if (i + 1 < size) {
            StepOverUnit(rules, data, p);
            continue;
        }
        // The last byte: the byte after it decides an 8-bit host code's
        // sequence; at the end of the source the conversions take it as 00.
        if (!at_end && rules.source == SourceCode::kEightBitHost) return 0;
        const std::uint8_t last[2] = {data[i], 0x00};
        UnitPosition q{0, p.open};
        StepOverUnit(rules, last, q);
        p = {i + q.at, q.open};
    }
    return 0;
}

}  // namespace lumtrax
