// What the conversions between Unicode (UTF-8, UTF-16 in either byte order)
// and the byte codes share: the mapping they read and write by, the form of
// the Unicode text, the error mode, a call's options and its outcome.
//
// Every unit of a byte code maps through the Unicode mapping of its
// Shift-JIS image (codes/unicode_map.h), with no Shift-JIS text in between;
// a gaiji maps by the site's character where the site's gaiji table gives
// it one (codes/site_characters.h). The entry points are DecodeToUnicode
// (to_unicode/to_unicode.h), EncodeFromUnicode (from_unicode/from_unicode.h)
// and, over both, the dispatcher of the table's Unicode rows
// (api/unicode_dispatch.h). The growth rules are the kinds kToUnicode to
// kUtf16ToEightBit of common/growth.h.
#ifndef LUMTRAX_CODES_UNICODE_H
#define LUMTRAX_CODES_UNICODE_H

#include <cstddef>
#include <cstdint>

#include "codes/site_characters.h"
#include "codes/unicode_failure.h"
#include "codes/units.h"
#include "common/modes.h"
#include "codes/unicode_map.h"

namespace lumtrax {

// The two mappings (codes/unicode_map.h says where they differ): cp932,
// Windows code page 932, the default; jis, JIS X 0208 alone.
enum class UnicodeMapping : std::uint8_t { kCp932, kJis };

constexpr const MappingTables& TablesOf(UnicodeMapping mapping) {
    return mapping == UnicodeMapping::kCp932 ? kCp932Tables : kJisTables;
}

enum class UnicodeForm : std::uint8_t { kUtf8, kUtf16Le, kUtf16Be };

// Strict: stop at the first unit without a Unicode form, or character
// without a code. Replace: write U+FFFD for such a unit (decoding), or the
// code's substitute, the black square (encoding), and go on. Invalid UTF-8
// or UTF-16 stops the conversion in both.
enum class ErrorMode : std::uint8_t { kStrict, kReplace };

struct UnicodeOptions {
    UnicodeMapping mapping = UnicodeMapping::kCp932;
    ErrorMode errors = ErrorMode::kStrict;
    // Pairs only, no shift codes (a double-byte-only field): decoding reads
    // every two bytes as a pair (EUC and Shift-JIS: a unit that is no pair
    // has no form); encoding writes pairs alone, and a character without a
    // double-byte code has none. Line ends are no units of their own then.
    bool double_byte_only = false;
    // Encoding: what a line end CR LF becomes, and whether the host codes'
    // runs are marked by shift codes or sequences (WritesShiftCodes). Unicode
    // text has no placeholders: the LRSS modes count as their shift codes.
    CallMode mode;
    // The characters of the site's gaiji table (ServerSiteCharacters() of
    // gaiji/server_characters.h), or null for none.
    const SiteCharacters* site = nullptr;

    // The site's characters where it gives any, else null.
    const SiteCharacters* site_characters() const { return site != nullptr && !site->empty() ? site : nullptr; }
};

struct UnicodeOutcome {
    std::size_t written = 0;                   // bytes written into dst
    GaijiOutcome gaiji = GaijiOutcome::kNone;  // as the byte-code conversions report it; a replacement is kReplaced
    UnicodeFailure failure = UnicodeFailure::kNone;
    std::size_t failure_offset = 0;  // in the source, of the unit or character that failed
    std::size_t failure_length = 0;
    std::size_t replaced_offset = 0;  // in the source, of the first unit whose result is a substitute
    std::size_t replaced_length = 0;  // 0 when nothing was replaced

    bool ok() const { return failure == UnicodeFailure::kNone; }
    bool replaced() const { return replaced_length != 0; }
};

// The form of a Unicode code of the table of conversions (codes/units.h).
constexpr UnicodeForm FormOf(SourceCode code) {
    return code == SourceCode::kUtf16Le   ? UnicodeForm::kUtf16Le
           : code == SourceCode::kUtf16Be ? UnicodeForm::kUtf16Be
                                          : UnicodeForm::kUtf8;
}

}  // namespace lumtrax

#endif  // LUMTRAX_CODES_UNICODE_H
