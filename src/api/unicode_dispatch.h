// The dispatcher of the conversions to and from Unicode: the rows from 32 on
// of the table of conversions (codes/conversions.h), which the C interface
// does not have. The C++ API, the command and Python reach them through it.
#ifndef LUMTRAX_API_UNICODE_DISPATCH_H
#define LUMTRAX_API_UNICODE_DISPATCH_H

#include <cstddef>
#include <cstdint>

#include "codes/conversions.h"
#include "codes/unicode.h"
#include "simd/kernels.h"

namespace lumtrax {

// Runs the conversion of a Unicode row (IsUnicodeConversion) over the n
// bytes of src (which may be null when n is 0) into dst, which holds
// DestinationCapacity(row.growth, n) bytes; the conversion writes anywhere
// inside them and counts in the outcome the bytes of its result, with no
// terminator. It reads nothing past the n bytes and allocates nothing.
// options.site gives the site's characters (ServerSiteCharacters() of
// gaiji/server_characters.h for the gaiji server's), or null for none. The
// kernels are those of a level (KernelsOf), or of the process (the second
// form, ActiveKernels()); they change the speed, never the outcome.
UnicodeOutcome ConvertUnicode(const ConversionRow& row, const std::uint8_t* src, std::size_t n,
                              const UnicodeOptions& options, const Kernels& kernels, std::uint8_t* dst);
UnicodeOutcome ConvertUnicode(const ConversionRow& row, const std::uint8_t* src, std::size_t n,
                              const UnicodeOptions& options, std::uint8_t* dst);

}  // namespace lumtrax

#endif  // LUMTRAX_API_UNICODE_DISPATCH_H
