// The conversions out of Shift-JIS. Each returns the bytes written to dst
// before its terminating 00, or -1 when the working copy cannot be had.
#ifndef LUMTRAX_TO_HOST_SJIS_TO_HOST_H
#define LUMTRAX_TO_HOST_SJIS_TO_HOST_H

#include <cstdint>

namespace lumtrax {

// Shift-JIS to the EBCDIC host code: single bytes through the table set,
// double-byte characters as JIS with the high bits set, runs between the
// shift codes 2B and 2C.
std::int32_t SjisToEbcdicHost(std::uint8_t* dst, const std::uint8_t* src, std::int32_t len,
                              std::int32_t mode, std::int32_t* status, bool lrss, bool shift,
                              std::int32_t table_set);

// Shift-JIS to the 8-bit host code: single bytes unchanged, runs between a
// start sequence (93 F0, or 93 70 for the selector 1) and the end sequence 93 F1.
std::int32_t SjisToEightBitHost(std::uint8_t* dst, const std::uint8_t* src, std::int32_t len,
                                std::int32_t mode, std::int32_t* status, bool lrss, bool shift,
                                std::int32_t selector);

// Shift-JIS to EUC.
std::int32_t SjisToEuc(std::uint8_t* dst, const std::uint8_t* src, std::int32_t len,
                       std::int32_t mode, std::int32_t* status);

}  // namespace lumtrax

#endif  // LUMTRAX_TO_HOST_SJIS_TO_HOST_H
