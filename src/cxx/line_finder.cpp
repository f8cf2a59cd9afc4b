#include "cxx/line_finder.h"

#include <cstring>

namespace lumtrax {
namespace {

// Whether the code unit before end is LF, in a Unicode form.
bool EndsWithLineFeed(SourceCode code, const std::uint8_t* data, std::size_t end) {
    switch (code) {
        case SourceCode::kUtf16Le:
            return end >= 2 && data[end - 2] == kLineFeed && data[end - 1] == 0x00;
        case SourceCode::kUtf16Be:
            return end >= 2 && data[end - 2] == 0x00 && data[end - 1] == kLineFeed;
        default:
            return end >= 1 && data[end - 1] == kLineFeed;
    }
}

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
    const bool unicode = IsUnicode(rules.source);
    UnitPosition& p = search.position;
    while (p.at < size) {
        const std::size_t i = p.at;
        // The host codes and EUC: a line ends at an LF that begins a unit,
        // even inside a run (the source's own state).
        if (!unicode && data[i] == LineFeedOf(rules.source)) return i + 1;
        UnitPosition next = p;
        const LastByte last = StepOverUnit(rules, data, size, next);
        // The bytes to come decide this unit: wait for them.
        if (last != LastByte::kWhole && !at_end) return 0;
        p = next;
        // Unicode text: a line ends after a unit that ends with LF (LF
        // alone, or CR LF).
        if (unicode && p.at <= size && EndsWithLineFeed(rules.source, data, p.at)) return p.at;
    }
    return 0;
}

}  // namespace lumtrax
