// The conversions into Shift-JIS. Each reads its source once, writes dst
// directly, sets the gaiji status, and returns the bytes written before its
// terminating 00. A unit of two bytes that begins at the last counted byte
// takes the byte after the text as its second byte.
#ifndef LUMTRAX_TO_SJIS_HOST_TO_SJIS_H
#define LUMTRAX_TO_SJIS_HOST_TO_SJIS_H

#include <cstdint>

namespace lumtrax {

// EBCDIC host code to Shift-JIS, through the reverse table of the table set.
std::int32_t EbcdicHostToSjis(std::uint8_t* dst, const std::uint8_t* src, std::int32_t len,
                              std::int32_t* status, bool lrss, std::int32_t table_set);

// 8-bit host code to Shift-JIS; reads runs opened by 93 F0 and by 93 70 alike.
std::int32_t EightBitHostToSjis(std::uint8_t* dst, const std::uint8_t* src, std::int32_t len,
                                std::int32_t* status, bool lrss);

// EUC to Shift-JIS.
std::int32_t EucToSjis(std::uint8_t* dst, const std::uint8_t* src, std::int32_t len,
                       std::int32_t* status);

}  // namespace lumtrax

#endif  // LUMTRAX_TO_SJIS_HOST_TO_SJIS_H
