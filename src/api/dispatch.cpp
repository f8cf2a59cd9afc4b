#include "api/dispatch.h"

#include <cstring>

#include "api/growth.h"
#include "codes/shift_jis.h"
#include "gaiji/gaiji.h"
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

std::int32_t EmptyText(std::uint8_t* dst, std::int32_t* status) {
    *status = kGaijiNone;
    dst[0] = 0x00;
    return 0;
}

std::int32_t RunConversion(const Kernels& kernels, std::int32_t type, std::uint8_t* dst, const std::uint8_t* src,
                           std::int32_t len, std::int32_t mode, std::int32_t* status, bool lrss, bool shift) {
    const SjisToHostMode to_host{mode, lrss, shift};
    switch (type) {
        case LUMTRAX_SJIS_TO_EBCDIC:
            return SjisToEbcdicHost(kernels, dst, src, len, to_host, status, TableSet::kLowerCase);
        case LUMTRAX_SJIS_TO_EBCDIC_KANA:
            return SjisToEbcdicHost(kernels, dst, src, len, to_host, status, TableSet::kKana);
        case LUMTRAX_SJIS_TO_8BIT:
            return SjisToEightBitHost(kernels, dst, src, len, to_host, status, StartSequence::kF0);
        case LUMTRAX_SJIS_TO_8BIT_70:
            return SjisToEightBitHost(kernels, dst, src, len, to_host, status, StartSequence::k70);
        case LUMTRAX_SJIS_TO_EUC:
            return SjisToEuc(kernels, dst, src, len, mode, status);
        case LUMTRAX_EBCDIC_TO_SJIS:
            return EbcdicHostToSjis(kernels, dst, src, len, status, lrss, TableSet::kLowerCase);
        case LUMTRAX_EBCDIC_KANA_TO_SJIS:
            return EbcdicHostToSjis(kernels, dst, src, len, status, lrss, TableSet::kKana);
        case LUMTRAX_8BIT_TO_SJIS:
            return EightBitHostToSjis(kernels, dst, src, len, status, lrss);
        case LUMTRAX_EUC_TO_SJIS:
            return EucToSjis(kernels, dst, src, len, status);
        default:
            return kFailed;  // not reached: the dispatcher answers the other types
    }
}

}  // namespace

std::size_t EscapedLength(const std::uint8_t* src) {
    // A 00 inside a character can only be the byte an escape carries, and
    // every escape holds a 01: before the first 01 the walk below ends where
    // the plain length does.
    const std::size_t plain = PlainLength(src);
    if (std::memchr(src, kEscapeSecond, plain) == nullptr) return plain;
    std::size_t i = 0;
    while (src[i] != 0x00) {
        if (IsSjisDoubleByte(src[i], src[i + 1])) {
            i += 2;
        } else if (src[i] == kEscapeFirst && src[i + 1] == kEscapeSecond) {
            i += 3;  // the carried byte may be 00
        } else {
            i += 1;
        }
    }
    return i;
}

std::int32_t MakeRawByteEscape(std::uint8_t* dst, const std::uint8_t* src, std::int32_t* status) {
    *status = kGaijiNone;
    dst[0] = kEscapeFirst;
    dst[1] = kEscapeSecond;
    dst[2] = src[0];
    dst[3] = 0x00;
    return 3;
}

bool HasShiftJisSource(std::int32_t type) {
    return type == LUMTRAX_SJIS_TO_EBCDIC || type == LUMTRAX_SJIS_TO_EBCDIC_KANA || type == LUMTRAX_SJIS_TO_8BIT ||
           type == LUMTRAX_SJIS_TO_EUC || type == LUMTRAX_SJIS_TO_8BIT_70;
}

bool IsAssignedType(std::int32_t type) {
    const std::uint32_t code = static_cast<std::uint32_t>(type);
    return code <= LUMTRAX_RAW_BYTE_ESCAPE && code != 8 && code != 9;
}

std::int32_t ConvertDispatch(std::int32_t type, std::uint8_t* dst, const std::uint8_t* src, std::int32_t len,
                             std::int32_t mode, std::int32_t* status, bool lrss, bool shift) {
    return ConvertDispatch(ActiveKernels(), type, dst, src, len, mode, status, lrss, shift);
}

std::int32_t ConvertDispatch(const Kernels& kernels, std::int32_t type, std::uint8_t* dst, const std::uint8_t* src,
                             std::int32_t len, std::int32_t mode, std::int32_t* status, bool lrss, bool shift) {
    std::int32_t unreported = kGaijiNone;
    if (status == nullptr) status = &unreported;
    if (dst == nullptr || src == nullptr) {
        *status = kGaijiNone;
        return kFailed;
    }
    if (!IsAssignedType(type)) {
        *status = kGaijiNone;
        CopyUnconverted(dst, src);
        return kFailed;
    }
    if (type == LUMTRAX_RAW_BYTE_ESCAPE) return MakeRawByteEscape(dst, src, status);
    if (len < 0) return EmptyText(dst, status);
    const std::size_t length = len > 0                   ? static_cast<std::size_t>(len)
                               : HasShiftJisSource(type) ? EscapedLength(src)
                                                         : PlainLength(src);
    // A text whose result could not be counted is refused before anything
    // of it is read, rather than converted with a result that has wrapped.
    if (!ResultFitsACount(type, length)) {
        EmptyText(dst, status);
        return kFailed;
    }
    len = static_cast<std::int32_t>(length);
    return RunConversion(kernels, type, dst, src, len, mode, status, lrss, shift);
}

}  // namespace lumtrax
