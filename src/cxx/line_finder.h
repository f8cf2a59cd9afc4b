// Where a line of a source ends, found the way the conversion walks its
// source (codes/units.h), so that a line end is only ever a byte that
// begins a unit: the second byte of a double-byte character or host pair,
// and the byte a raw-byte escape carries, never end a line. Internal to the
// C++ API (SourceCutter).
//
// The line end is LF: 0A, or 25 in the EBCDIC host code. Each line is its
// own call and starts in single-byte state, so an LF that begins a unit ends
// the line even inside a run that was never closed.
#ifndef LUMTRAX_CXX_LINE_FINDER_H
#define LUMTRAX_CXX_LINE_FINDER_H

#include <cstddef>
#include <cstdint>

#include "codes/units.h"

namespace lumtrax {

// How far a search for a line's end has looked: the next unit, and (in
// Shift-JIS) the bytes that hold no LF. Zero at the start of a line.
struct LineSearch {
    UnitPosition position;
    std::size_t searched = 0;
};

// Looks at data[0, size) from where the search stopped and returns the
// length of the first line, its line end included, or 0 when no line end is
// there yet. at_end says that no more bytes follow (the byte after the data
// is then taken as 00, as the conversions take it). Start the search afresh
// (LineSearch{}) for the data after a line.
std::size_t FindLineEnd(const UnitRules& rules, LineSearch& search, const std::uint8_t* data, std::size_t size,
                        bool at_end);

// After FindLineEnd has found a line: whether its line end is read as the
// first byte of a host pair (an LF that begins a unit inside a run), so that
// the line ends inside a unit.
constexpr bool LineEndsInsideUnit(const UnitRules& rules, const LineSearch& search) {
    return search.position.open && rules.source != SourceCode::kShiftJis;
}

}  // namespace lumtrax

#endif  // LUMTRAX_CXX_LINE_FINDER_H
