// The conversions out of Shift-JIS. Each walks the counted text once, unit by
// unit, writes dst directly, sets the gaiji status, and returns the bytes
// written before its terminating 00. A unit of two bytes that begins at the
// last counted byte takes the byte after the text as its second byte.
#ifndef LUMTRAX_TO_HOST_SJIS_TO_HOST_H
#define LUMTRAX_TO_HOST_SJIS_TO_HOST_H

#include <cstdint>

#include "codes/eightbit_host.h"
#include "common/cursor.h"
#include "common/modes.h"
#include "simd/kernels.h"
#include "tables/host_tables.h"

namespace lumtrax {

// Shift-JIS to the EBCDIC host code (types 0 and 1): single bytes through the
// table set, double-byte characters as JIS with the high bits set, runs
// between the shift codes 2B and 2C.
std::int32_t SjisToEbcdicHost(const Kernels& kernels, std::uint8_t* dst, const std::uint8_t* src, std::int32_t len,
                              const CallMode& mode, GaijiOutcome& status, TableSet table_set);

// Shift-JIS to the 8-bit host code (types 2 and 10): single bytes unchanged,
// runs between a start sequence and the end sequence 93 F1.
std::int32_t SjisToEightBitHost(const Kernels& kernels, std::uint8_t* dst, const std::uint8_t* src, std::int32_t len,
                                const CallMode& mode, GaijiOutcome& status, StartSequence start);

// Shift-JIS to EUC (type 3). It takes no shift flag and ignores LRSS mode:
// it recognises escapes through every export.
std::int32_t SjisToEuc(const Kernels& kernels, std::uint8_t* dst, const std::uint8_t* src, std::int32_t len,
                       LineEndMode line_end, GaijiOutcome& status);

}  // namespace lumtrax

#endif  // LUMTRAX_TO_HOST_SJIS_TO_HOST_H
