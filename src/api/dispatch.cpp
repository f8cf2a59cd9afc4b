#include "api/dispatch.h"

#include <cstring>

#include "codes/conversions.h"
#include "codes/shift_jis.h"
#include "codes/units.h"
#include "lumtrax.h"
#include "to_host/sjis_to_host.h"
#include "to_sjis/host_to_sjis.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace lumtrax {
namespace {

constexpr std::int32_t kFailed = -1;

// The length of a NUL-terminated host text.
std::size_t PlainLength(const std::uint8_t* src) {
#if defined(_WIN32)
    return static_cast<std::size_t>(lstrlenA(reinterpret_cast<const char*>(src)));
#else
    return std::strlen(reinterpret_cast<const char*>(src));
#endif
}

// Copies src up to and including its first NUL.
void CopyUnconverted(std::uint8_t* dst, const std::uint8_t* src) {
#if defined(_WIN32)
    lstrcpyA(reinterpret_cast<char*>(dst), reinterpret_cast<const char*>(src));
#else
    std::strcpy(reinterpret_cast<char*>(dst), reinterpret_cast<const char*>(src));
#endif
}

std::int32_t EmptyText(std::uint8_t* dst) {
    dst[0] = 0x00;
    return 0;
}

// Writes 5C 01, the first source byte and 00; returns 3.
std::int32_t MakeRawByteEscape(std::uint8_t* dst, const std::uint8_t* src) {
    dst[0] = kEscapeFirst;
    dst[1] = kEscapeSecond;
    dst[2] = src[0];
    dst[3] = 0x00;
    return 3;
}

std::int32_t RunConversion(const Kernels& kernels, const ConversionRow& info, std::uint8_t* dst,
                           const std::uint8_t* src, std::int32_t len, const CallMode& mode, GaijiOutcome& status) {
    switch (info.source) {
        case SourceCode::kShiftJis:
            switch (info.target) {
                case SourceCode::kEbcdicHost:
                    return SjisToEbcdicHost(kernels, dst, src, len, mode, status, info.table_set);
                case SourceCode::kEightBitHost:
                    return SjisToEightBitHost(kernels, dst, src, len, mode, status, info.start);
                case SourceCode::kEuc:
                    return SjisToEuc(kernels, dst, src, len, mode.line_end, status);
                case SourceCode::kShiftJis:
                    return MakeRawByteEscape(dst, src);
                case SourceCode::kUtf8:
                case SourceCode::kUtf16Le:
                case SourceCode::kUtf16Be:
                    break;
            }
            break;
        case SourceCode::kEbcdicHost:
            return EbcdicHostToSjis(kernels, dst, src, len, mode.shift, info.table_set, status);
        case SourceCode::kEightBitHost:
            return EightBitHostToSjis(kernels, dst, src, len, mode.shift, status);
        case SourceCode::kEuc:
            return EucToSjis(kernels, dst, src, len, status);
        case SourceCode::kUtf8:  // the Unicode rows have a dispatcher of their own (api/unicode_dispatch.h)
        case SourceCode::kUtf16Le:
        case SourceCode::kUtf16Be:
            break;
    }
    return kFailed;  // not reached: every row of the C interface has its loop
}

}  // namespace

std::size_t EscapedLength(const std::uint8_t* src) { return EscapedEnd(src, PlainLength(src)); }

std::int32_t ConvertDispatch(std::int32_t type, std::uint8_t* dst, const std::uint8_t* src, std::int32_t len,
                             const CallMode& mode, GaijiOutcome& status) {
    return ConvertDispatch(ActiveKernels(), type, dst, src, len, mode, status);
}

std::int32_t ConvertDispatch(const Kernels& kernels, std::int32_t type, std::uint8_t* dst, const std::uint8_t* src,
                             std::int32_t len, const CallMode& mode, GaijiOutcome& status) {
    status = GaijiOutcome::kNone;
    if (dst == nullptr || src == nullptr) return kFailed;
    const ConversionRow* info = FindConversion(type);
    if (info == nullptr) {
        CopyUnconverted(dst, src);
        return kFailed;
    }
    if (info->growth == Growth::kEscape) return MakeRawByteEscape(dst, src);
    if (len < 0) return EmptyText(dst);
    // With kernels, a NUL-terminated Shift-JIS text's end is found as it is
    // converted (ConvertText), where it would take two passes, strlen and
    // memchr for an escape's 01, before it. A host text's one pass, strlen,
    // costs a short record less than learning its bytes on the way.
    if (len == 0 && kernels.level != SimdLevel::kScalar && HasShiftJisSource(*info)) {
        return RunConversion(kernels, *info, dst, src, kLengthToFind, mode, status);
    }
    const std::size_t length = len > 0                    ? static_cast<std::size_t>(len)
                               : HasShiftJisSource(*info) ? EscapedLength(src)
                                                          : PlainLength(src);
    // A text whose result could not be counted is refused before anything
    // of it is read, rather than converted with a result that has wrapped.
    if (!ResultFitsACount(info->growth, length)) {
        EmptyText(dst);
        return kFailed;
    }
    return RunConversion(kernels, *info, dst, src, static_cast<std::int32_t>(length), mode, status);
}

}  // namespace lumtrax
