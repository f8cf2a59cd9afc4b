// The conversions of the byte codes to Unicode (UTF-8, UTF-16 in either byte
// order), in one pass: every unit maps through the Unicode mapping of its
// Shift-JIS image (codes/unicode.h), with no Shift-JIS text in between.
//
// Each reads exactly the n bytes it is given (it does not need the byte
// after the text), writes inside the destination that its growth rule sizes
// (Growth::kToUnicode), allocates nothing and writes no terminator: the
// outcome counts what it wrote. It stops at the first unit without a
// Unicode form in strict mode, with what came before written.
#ifndef LUMTRAX_TO_UNICODE_TO_UNICODE_H
#define LUMTRAX_TO_UNICODE_TO_UNICODE_H

#include <cstddef>
#include <cstdint>

#include "codes/unicode.h"
#include "codes/units.h"
#include "simd/kernels.h"
#include "tables/host_tables.h"

namespace lumtrax {

// The byte code `from` (with its table set, for the EBCDIC host code; the
// 8-bit host code reads both start sequences) of src (n bytes) to Unicode in
// form, through the kernels of a level.
UnicodeOutcome DecodeToUnicode(const Kernels& kernels, SourceCode from, TableSet table_set, const std::uint8_t* src,
                               std::size_t n, UnicodeForm form, const UnicodeOptions& options, std::uint8_t* dst);

// The loop of each byte code (with its kernel; none in double-byte-only
// mode).
UnicodeOutcome SjisToUnicode(const Kernels& kernels, const std::uint8_t* src, std::size_t n, UnicodeForm form,
                             const UnicodeOptions& options, std::uint8_t* dst);
UnicodeOutcome EbcdicHostToUnicode(const Kernels& kernels, const std::uint8_t* src, std::size_t n, TableSet table_set,
                                   UnicodeForm form, const UnicodeOptions& options, std::uint8_t* dst);
UnicodeOutcome EightBitHostToUnicode(const Kernels& kernels, const std::uint8_t* src, std::size_t n, UnicodeForm form,
                                     const UnicodeOptions& options, std::uint8_t* dst);
UnicodeOutcome EucToUnicode(const Kernels& kernels, const std::uint8_t* src, std::size_t n, UnicodeForm form,
                            const UnicodeOptions& options, std::uint8_t* dst);

}  // namespace lumtrax

#endif  // LUMTRAX_TO_UNICODE_TO_UNICODE_H
