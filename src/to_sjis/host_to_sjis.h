// The conversions into Shift-JIS. Each walks the counted text once, unit by
// unit, writes dst directly, sets the gaiji status, and returns the bytes
// written before its terminating 00. A unit of two bytes that begins at the
// last counted byte takes the byte after the text as its second byte.
#ifndef LUMTRAX_TO_SJIS_HOST_TO_SJIS_H
#define LUMTRAX_TO_SJIS_HOST_TO_SJIS_H

#include <cstdint>

#include "common/modes.h"
#include "simd/kernels.h"
#include "tables/host_tables.h"

namespace lumtrax {

// EBCDIC host code to Shift-JIS (types 4 and 5), through the reverse table of
// the table set.
std::int32_t EbcdicHostToSjis(const Kernels& kernels, std::uint8_t* dst, const std::uint8_t* src, std::int32_t len,
                              ShiftMode mode, TableSet table_set, GaijiOutcome& status);

// 8-bit host code to Shift-JIS (type 6); reads runs opened by 93 F0 and by
// 93 70 alike.
std::int32_t EightBitHostToSjis(const Kernels& kernels, std::uint8_t* dst, const std::uint8_t* src, std::int32_t len,
                                ShiftMode mode, GaijiOutcome& status);

// EUC to Shift-JIS (type 7).
std::int32_t EucToSjis(const Kernels& kernels, std::uint8_t* dst, const std::uint8_t* src, std::int32_t len,
                       GaijiOutcome& status);

}  // namespace lumtrax

#endif  // LUMTRAX_TO_SJIS_HOST_TO_SJIS_H
