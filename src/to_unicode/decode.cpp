// DecodeToUnicode: the loop of the byte code.
#include "to_unicode/to_unicode.h"

namespace lumtrax {

UnicodeOutcome DecodeToUnicode(const Kernels& kernels, SourceCode from, TableSet table_set, const std::uint8_t* src,
                               std::size_t n, UnicodeForm form, const UnicodeOptions& options, std::uint8_t* dst) {
    switch (from) {
        case SourceCode::kEbcdicHost:
            return EbcdicHostToUnicode(kernels, src, n, table_set, form, options, dst);
        case SourceCode::kEightBitHost:
            return EightBitHostToUnicode(kernels, src, n, form, options, dst);
        case SourceCode::kEuc:
            return EucToUnicode(kernels, src, n, form, options, dst);
        case SourceCode::kShiftJis:
        case SourceCode::kUtf8:  // not a byte code: no row has it
        case SourceCode::kUtf16Le:
        case SourceCode::kUtf16Be:
            break;
    }
    return SjisToUnicode(kernels, src, n, form, options, dst);
}

}  // namespace lumtrax
