// lumtrax: the safe C++ interface.
//
// The same conversions as the C functions in lumtrax.h, without their
// dangers: the library sizes the destination by each conversion's growth rule
// (no input can overflow it), hands the conversion the 00 byte it may read
// just after the text, and carries 00 bytes inside the text. The text's
// length is always given explicitly (it is never computed from a 00).
//
// Nothing here throws. Every failure comes back as a std::error_code in the
// lumtrax::Errc category:
//   Errc::kUnassignedType  the conversion is none of the assigned types
//                          (nothing is converted; the C functions would copy
//                          the text unchanged)
//   Errc::kHeapExhausted   memory for the result could not be had
//                          (std::bad_alloc is caught; the conversions
//                          themselves allocate nothing)
//   Errc::kTooLong         the text, or the longest result the conversion
//                          could make of it, has more bytes than an int can
//                          count (see MaxTextSize)
// The result types are [[nodiscard]]: look at the error before the text.
//
// Requires C++17. Link with lumtrax::cxx (CMake) or `pkg-config lumtrax-cxx`:
// the static library liblumtrax_cxx.a, which imports the gaiji server from
// libquobel.so at load time, as liblumtrax.so does.
#ifndef LUMTRAX_HPP
#define LUMTRAX_HPP

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>
#include <type_traits>

namespace lumtrax {

// The conversion types, numbered as the C interface numbers them.
enum class Conversion : int {
    kSjisToEbcdic = 0,      // EBCDIC host code, lower-case table set
    kSjisToEbcdicKana = 1,  // EBCDIC host code, kana table set
    kSjisToEightBit = 2,    // 8-bit host code, runs opened by 93 F0
    kSjisToEuc = 3,
    kEbcdicToSjis = 4,      // lower-case table set
    kEbcdicKanaToSjis = 5,  // kana table set
    kEightBitToSjis = 6,    // reads runs opened by 93 F0 and by 93 70
    kEucToSjis = 7,
    kSjisToEightBit70 = 10,  // 8-bit host code, runs opened by 93 70
    kRawByteEscape = 11,     // 5C 01 X from the text's first byte X
};

// How a CR LF in Shift-JIS text is carried (read by the conversions out of
// Shift-JIS only).
enum class LineEnd : int {
    kKeep = 0,    // CR and LF
    kLfOnly = 1,  // LF only
    kDrop = 2,    // neither
};

// What the conversion met of user-defined characters (gaiji).
enum class GaijiStatus : int {
    kNone = 0,       // no gaiji
    kConverted = 1,  // every gaiji was converted by the gaiji server
    kReplaced = 2,   // at least one was replaced by the substitute (a black square)
};

// The flags of the C exports: Lumtrax is {lrss = false, shift = true},
// Lumtrax_LRSS is {lrss = true, shift = true}, Lumtrax_NoShift is
// {lrss = false, shift = false}. With lrss and no shift, the placeholders of
// a Shift-JIS text open and close runs that are written without shift codes.
struct Options {
    LineEnd line_end = LineEnd::kKeep;
    bool lrss = false;   // LRSS mode: A0 stands for each shift code or sequence
    bool shift = true;   // false: write no shift code or sequence
};

enum class Errc : int {
    kUnassignedType = 1,
    kHeapExhausted = 2,
    kTooLong = 3,
};

const std::error_category& ErrorCategory() noexcept;
std::error_code make_error_code(Errc error) noexcept;

}  // namespace lumtrax

namespace std {
template <>
struct is_error_code_enum<lumtrax::Errc> : true_type {};
}  // namespace std

namespace lumtrax {

// The outcome of one conversion. On error, text is empty and gaiji is kNone.
struct [[nodiscard]] Result {
    std::string text;  // the converted bytes; may hold 00 bytes
    GaijiStatus gaiji = GaijiStatus::kNone;
    std::error_code error;

    bool ok() const noexcept { return !error; }
    explicit operator bool() const noexcept { return ok(); }
};

// Converts the size bytes at text, as one call of the core. The text is
// converted as if a 00 byte followed it (a unit of two bytes that begins at
// its last byte gets 00 as its second byte); an empty text gives an empty
// result, except for kRawByteEscape, which then carries 00.
Result Convert(Conversion conversion, std::string_view text, const Options& options = {}) noexcept;
Result Convert(Conversion conversion, const void* text, std::size_t size,
               const Options& options = {}) noexcept;

// As Convert, into out: its content is replaced by the result (its capacity
// is reused, so a loop over records allocates only while records grow), and
// the gaiji status is stored in gaiji. On error out is empty and gaiji kNone.
[[nodiscard]] std::error_code ConvertInto(Conversion conversion, std::string_view text,
                                          std::string& out, GaijiStatus& gaiji,
                                          const Options& options = {}) noexcept;

// True for the types listed in Conversion.
bool IsAssigned(Conversion conversion) noexcept;

// The most bytes a conversion of size bytes can give: its growth rule, less
// the terminating 00 that the C interface adds. 0 for an unassigned type.
std::size_t MaxResultSize(Conversion conversion, std::size_t size) noexcept;

// The longest text the conversion takes in one call: the text and its longest
// result must both be countable by an int. 0 for an unassigned type.
std::size_t MaxTextSize(Conversion conversion) noexcept;

// The library's version, "MAJOR.MINOR.PATCH".
const char* Version() noexcept;

// The instruction-set level of the conversion kernels this process uses:
// "scalar", "sse2", "ssse3", "avx2" or "avx512". It is the highest the CPU
// and the build have, capped by the environment variable LUMTRAX_SIMD when
// that names a level. It changes the speed only, never a result.
const char* ActiveSimdLevel() noexcept;

// The highest level that this build has kernels for and this CPU runs.
const char* BestSimdLevel() noexcept;

// The gaiji server's version, and whether it answered 0 for the level asked
// (what GetGaijiServerVersion returns as 1).
struct GaijiServerInfo {
    int version = 0;
    bool level_ok = false;
};
GaijiServerInfo GaijiServer(int level = 0) noexcept;

}  // namespace lumtrax

#endif  // LUMTRAX_HPP
