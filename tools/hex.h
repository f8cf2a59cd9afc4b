// --hex-in and --hex-out: bytes as pairs of hex digits.
#ifndef LUMTRAX_TOOLS_HEX_H
#define LUMTRAX_TOOLS_HEX_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lumtrax_cli {

// "C1 2B" for the bytes C1 2B: upper-case pairs separated by one space.
void AppendHex(std::string_view bytes, std::string& out);

// Reads hex text piece by piece. Whitespace between pairs is skipped; any
// other character that is no hex digit, a digit that pairs with whitespace,
// or an odd digit at the end is an error, reported with its offset.
class HexDecoder {
public:
    // Appends the bytes of the next piece to out. Throws Failure (exit 3)
    // naming `name` on text that is not hex.
    void Decode(std::string_view text, std::string& out, const std::string& name);
    // At the end of the input: throws when a digit is left without its pair.
    void Finish(const std::string& name) const;

private:
    std::uint64_t offset_ = 0;          // of the next character in the hex text
    int pending_ = -1;                  // the first digit of a pair, or -1
    std::uint64_t pending_offset_ = 0;  // where that digit is
};

}  // namespace lumtrax_cli

#endif  // LUMTRAX_TOOLS_HEX_H
