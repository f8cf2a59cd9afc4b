// The conversions of Unicode (UTF-8, UTF-16 in either byte order) to the
// byte codes, in one pass: every character maps through the Unicode mapping
// (codes/unicode.h) to the code of its Shift-JIS image in the byte code,
// with no Shift-JIS text in between.
//
// Each reads exactly the n bytes it is given, writes inside the destination
// that its growth rule sizes (Growth::kUtf8ToPlain to kUtf16ToEightBit),
// allocates nothing and writes no terminator: the outcome counts what it
// wrote. It stops at invalid UTF-8 or UTF-16, and in strict mode at the
// first character without a code, with what came before written and an
// open run of the host codes closed.
#ifndef LUMTRAX_FROM_UNICODE_FROM_UNICODE_H
#define LUMTRAX_FROM_UNICODE_FROM_UNICODE_H

#include <cstddef>
#include <cstdint>

#include "codes/eightbit_host.h"
#include "codes/unicode.h"
#include "codes/units.h"
#include "simd/kernels.h"
#include "tables/host_tables.h"

namespace lumtrax {

// Unicode in form (n bytes of src) to the byte code `to`, with its table set
// (the EBCDIC host code) and start sequence (the 8-bit host code), through
// the kernels of a level.
UnicodeOutcome EncodeFromUnicode(const Kernels& kernels, UnicodeForm form, const std::uint8_t* src, std::size_t n,
                                 SourceCode to, TableSet table_set, StartSequence start, const UnicodeOptions& options,
                                 std::uint8_t* dst);

// The conversion into each byte code (with its kernel; none in
// double-byte-only mode).
UnicodeOutcome UnicodeToSjis(const Kernels& kernels, UnicodeForm form, const std::uint8_t* src, std::size_t n,
                             const UnicodeOptions& options, std::uint8_t* dst);
UnicodeOutcome UnicodeToEbcdicHost(const Kernels& kernels, UnicodeForm form, const std::uint8_t* src, std::size_t n,
                                   TableSet table_set, const UnicodeOptions& options, std::uint8_t* dst);
UnicodeOutcome UnicodeToEightBitHost(const Kernels& kernels, UnicodeForm form, const std::uint8_t* src, std::size_t n,
                                     StartSequence start, const UnicodeOptions& options, std::uint8_t* dst);
UnicodeOutcome UnicodeToEuc(const Kernels& kernels, UnicodeForm form, const std::uint8_t* src, std::size_t n,
                            const UnicodeOptions& options, std::uint8_t* dst);

}  // namespace lumtrax

#endif  // LUMTRAX_FROM_UNICODE_FROM_UNICODE_H
