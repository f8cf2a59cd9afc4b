#include "api/unicode_dispatch.h"

#include "from_unicode/from_unicode.h"
#include "to_unicode/to_unicode.h"

namespace lumtrax {

UnicodeOutcome ConvertUnicode(const ConversionRow& row, const std::uint8_t* src, std::size_t n,
                              const UnicodeOptions& options, const Kernels& kernels, std::uint8_t* dst) {
    static const std::uint8_t kNothing = 0;
    if (n == 0) src = &kNothing;
    if (IsUnicode(row.target)) {
        return DecodeToUnicode(kernels, row.source, row.table_set, src, n, FormOf(row.target), options, dst);
    }
    return EncodeFromUnicode(kernels, FormOf(row.source), src, n, row.target, row.table_set, row.start, options, dst);
}

UnicodeOutcome ConvertUnicode(const ConversionRow& row, const std::uint8_t* src, std::size_t n,
                              const UnicodeOptions& options, std::uint8_t* dst) {
    return ConvertUnicode(row, src, n, options, ActiveKernels(), dst);
}

}  // namespace lumtrax
