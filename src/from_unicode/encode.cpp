// EncodeFromUnicode: the loop of the byte code.
#include "from_unicode/from_unicode.h"

namespace lumtrax {

UnicodeOutcome EncodeFromUnicode(const Kernels& kernels, UnicodeForm form, const std::uint8_t* src, std::size_t n,
                                 SourceCode to, TableSet table_set, StartSequence start, const UnicodeOptions& options,
                                 std::uint8_t* dst) {
    switch (to) {
        case SourceCode::kEbcdicHost:
            return UnicodeToEbcdicHost(kernels, form, src, n, table_set, options, dst);
        case SourceCode::kEightBitHost:
            return UnicodeToEightBitHost(kernels, form, src, n, start, options, dst);
        case SourceCode::kEuc:
            return UnicodeToEuc(kernels, form, src, n, options, dst);
        case SourceCode::kShiftJis:
        case SourceCode::kUtf8:  // not a byte code: no row has it
        case SourceCode::kUtf16Le:
        case SourceCode::kUtf16Be:
            break;
    }
    return UnicodeToSjis(kernels, form, src, n, options, dst);
}

}  // namespace lumtrax
