// Texts as hex, for the tests of the C++ API: "41 88 9F" and back.
#ifndef LUMTRAX_TESTS_HEX_TEXT_H
#define LUMTRAX_TESTS_HEX_TEXT_H

#include <cstdio>
#include <string>

namespace hex_text {

// The bytes of "41 88 9F": two digits a byte, one space between.
inline std::string Bytes(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 3) {
        bytes += static_cast<char>(std::stoul(hex.substr(i, 2), nullptr, 16));
    }
    return bytes;
}

inline std::string Hex(const std::string& bytes) {
    std::string hex;
    char digits[4];
    for (unsigned char b : bytes) {
        std::snprintf(digits, sizeof digits, hex.empty() ? "%02X" : " %02X", b);
        hex += digits;
    }
    return hex;
}

}  // namespace hex_text

#endif  // LUMTRAX_TESTS_HEX_TEXT_H
