// --lines: where a line of the source ends, found the way the conversion
// walks its source, so that a line end is only ever a byte that begins a
// unit: the second byte of a double-byte character or host pair, and the
// byte a raw-byte escape carries, never end a line.
//
// The line end is the byte LF: 0A in Shift-JIS, the 8-bit host code and EUC,
// 25 in the EBCDIC host code (what the conversions write for 0A). Each line
// is its own call and starts in single-byte state, so an LF that begins a
// unit ends the line even inside a run that was never closed.
#ifndef LUMTRAX_TOOLS_LINES_H
#define LUMTRAX_TOOLS_LINES_H

#include <cstddef>
#include <cstdint>

#include "lumtrax.hpp"

namespace lumtrax_cli {

enum class SourceCode { kShiftJis, kEbcdicHost, kEightBitHost, kEuc };

SourceCode SourceOf(lumtrax::Conversion conversion);

// Finds line ends in a growing buffer. Scan looks at data[0, size) from where
// the last call stopped and returns the length of the first line, its line
// end included, or 0 when no line end is there yet. at_end says that no more
// input follows (the byte after the data is then taken as 00, as the library
// takes it). After a line has been taken, call Restart and pass the data
// after it.
class LineScanner {
public:
    LineScanner(SourceCode code, bool escapes) : code_(code), escapes_(escapes) {}

    std::size_t Scan(const std::uint8_t* data, std::size_t size, bool at_end);
    // After Scan has found a line: whether its line end is read as the first
    // byte of a host pair (an LF that begins a unit inside a run), so that
    // the line ends inside a unit.
    bool EndsInsideUnit() const { return in_run_; }
    void Restart() {
        position_ = 0;
        searched_ = 0;
        in_run_ = false;
    }

private:
    std::size_t ScanShiftJis(const std::uint8_t* data, std::size_t size);

    SourceCode code_;
    bool escapes_;              // Shift-JIS: whether 5C 01 X is one unit
    std::size_t position_ = 0;  // where the next unit begins
    std::size_t searched_ = 0;  // Shift-JIS: the bytes before it hold no line end
    bool in_run_ = false;       // host codes: inside a run of pairs
};

// True when the last unit of the text begins inside it and needs a byte after
// it: a Shift-JIS lead byte (81-9F, E0-FC) or the 5C 01 of an escape at the
// end, a host pair in a run, an EUC byte 80-FF. The library then takes 00 as
// that byte (a lone lead byte stays a single byte; an escape carries 00; a
// host or EUC pair becomes the substitute, or 00 after 8E); the command warns.
bool EndsInsideUnit(SourceCode code, bool escapes, const std::uint8_t* data, std::size_t size);

// The length of the longest prefix of the text whose units no byte after it
// could change: without a last unit that needs a byte after it, or that the
// byte after it could make longer (a Shift-JIS lead byte, 5C or 5C 01 where
// escapes count, a CR before a possible LF; 93 in the 8-bit host code).
// What is left of a text that a read error cut short.
std::size_t WholeUnitsLength(SourceCode code, bool escapes, const std::uint8_t* data, std::size_t size);

}  // namespace lumtrax_cli

#endif  // LUMTRAX_TOOLS_LINES_H
