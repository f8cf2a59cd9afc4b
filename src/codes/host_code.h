// What the conversions and the gaiji server exchange about a host code: its
// kind, as the server is told it, and the code record a gaiji travels in.
#ifndef LUMTRAX_CODES_HOST_CODE_H
#define LUMTRAX_CODES_HOST_CODE_H

#include <cstdint>

namespace lumtrax {

// The kind of host code, as the server is told it.
enum class HostCodeKind : std::int32_t { kEbcdicHost = 1, kEightBitHost = 2, kEuc = 3 };

// A code record as the server takes it: the code's bytes and a 00; up to
// four bytes.
struct CodeRecord {
    std::uint8_t bytes[4];
};

}  // namespace lumtrax

#endif  // LUMTRAX_CODES_HOST_CODE_H
