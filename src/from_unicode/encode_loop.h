// The loop that every conversion from Unicode shares, over one character at
// a time:
//
//   invalid UTF-8 or UTF-16   stops the conversion, in every mode;
//   a line end CR LF          the target's line end: CR LF, LF alone, or
//                             nothing, by the line-end mode;
//   a site character          (the scalar and a variation selector after
//                             it, or the scalar alone) the code of its gaiji;
//   any other character       its code in the mapping: a single byte, a
//                             kanji by its JIS code, or a gaiji-class pair,
//                             which the host codes hand to the gaiji server;
//   a character without a code (or, in double-byte-only mode, without a
//                             double-byte code) stops the conversion, or in
//                             replace mode becomes the target's substitute.
//
// A Target writes the code: Single(byte) a single byte (its Shift-JIS
// image), Kanji(entry) a kanji, Gaiji(sjis, status) a gaiji-class pair
// (false when the gaiji server failed it and the substitute stands),
// Substitute() the black square, LineEnd(line_end), Finish() at the end; and
// says by CopiesAscii() whether bytes 00-7F may be copied as they are.
#ifndef LUMTRAX_FROM_UNICODE_ENCODE_LOOP_H
#define LUMTRAX_FROM_UNICODE_ENCODE_LOOP_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "codes/unicode.h"
#include "codes/utf16.h"
#include "codes/utf8.h"
#include "common/bytes.h"
#include "common/cursor.h"
#include "common/growth.h"
#include "common/modes.h"
#include "from_unicode/direct_codes.h"
#include "gaiji/gaiji.h"
#include "simd/kernels.h"
#include "codes/unicode_units.h"

namespace lumtrax {

struct Utf8Reader {
    static constexpr bool kAsciiBytes = true;  // a byte 00-7F is that character
    static DecodedScalar Read(const std::uint8_t* p, std::size_t left) { return DecodeUtf8(p, left); }
};

template <ByteOrder kOrder>
struct Utf16Reader {
    static constexpr bool kAsciiBytes = false;
    static DecodedScalar Read(const std::uint8_t* p, std::size_t left) { return DecodeUtf16(p, left, kOrder); }
};

// The black square, JIS 22 23, as a kanji of the host codes.
constexpr BytePair kSubstituteJis = {0x22, 0x23};

// Writes the character at [at, at + length) through the target; false when
// the conversion stops there.
template <typename Target>
class EncodeState {
public:
    EncodeState(Target& target, const UnicodeOptions& options)
        : target_(target),
          tables_(TablesOf(options.mapping)),
          site_(options.site_characters()),
          replace_(options.errors == ErrorMode::kReplace),
          double_byte_only_(options.double_byte_only) {}

    const SiteCharacters* site() const { return site_; }
    const MappingTables& tables() const { return tables_; }

    bool Write(CodeEntry e, std::size_t at, std::size_t length) {
        if (e.none() || (double_byte_only_ && e.single())) {
            if (!replace_) return Fail(UnicodeFailure::kNoCode, at, length);
            target_.Substitute();
            NoteReplaced(at, length);
        } else if (e.single()) {
            target_.Single(e.trail());
        } else if (e.kanji()) {
            target_.Kanji(e);
        } else if (!target_.Gaiji({e.lead(), e.trail()}, outcome_.gaiji)) {
            NoteReplaced(at, length);
        }
        return true;
    }

    bool Fail(UnicodeFailure failure, std::size_t at, std::size_t length) {
        outcome_.failure = failure;
        outcome_.failure_offset = at;
        outcome_.failure_length = length;
        return false;
    }

    UnicodeOutcome& outcome() { return outcome_; }

private:
    void NoteReplaced(std::size_t at, std::size_t length) {
        outcome_.gaiji = GaijiOutcome::kReplaced;
        if (outcome_.replaced_length == 0) {
            outcome_.replaced_offset = at;
            outcome_.replaced_length = length;
        }
    }

    Target& target_;
    const MappingTables& tables_;
    const SiteCharacters* site_;
    const bool replace_;
    const bool double_byte_only_;
    UnicodeOutcome outcome_;
};

// The code of the character c (length bytes at i) and of a variation
// selector after it, where the site gives the sequence a gaiji; length grows
// by the selector's bytes then.
template <typename Reader>
CodeEntry SiteOrMappedCode(const SiteCharacters& site, const MappingTables& tables, char32_t c, const std::uint8_t* src,
                           std::size_t n, std::size_t i, std::size_t& length) {
    if (i + length < n) {
        const DecodedScalar next = Reader::Read(src + i + length, n - i - length);
        if (next.fault == UnicodeFailure::kNone && IsVariationSelector(next.scalar)) {
            if (const SiteCharacter* s = site.OfCharacter(c, next.scalar)) {
                length += next.length;
                return {s->sjis};
            }
        }
    }
    if (const SiteCharacter* s = site.OfCharacter(c, 0)) return {s->sjis};
    return LookupCode(tables, c);
}

// A kernel of the level for the conversion, and what it writes by.
struct EncodeKernel {
    void (*blocks)(Cursor& c, const FromUnicodeTables& t) = nullptr;
    FromUnicodeTables tables{};
};

// The loop: while characters are left, the kernel (when the level has one,
// and is not paused: KernelPause) converts what it can, then one character
// is converted here. The target's cursor reads src and writes dst, whose end
// the growth rule puts.
template <typename Reader, typename Target>
UnicodeOutcome EncodeText(const EncodeKernel& kernel, const std::uint8_t* src, std::size_t n,
                          const UnicodeOptions& options, Target& target, std::uint8_t* dst, Growth growth) {
    EncodeState<Target> state(target, options);
    Cursor& c = target.c;
    c = Cursor{src, n, 0, dst, dst + DestinationCapacity(growth, n), false};
    const bool line_ends = !options.double_byte_only;
    const bool keeps_line_ends = options.mode.line_end == LineEndMode::kKeep;
    const bool copies_ascii = Reader::kAsciiBytes && keeps_line_ends && !options.double_byte_only;
    KernelPause pause;
    while (!c.done()) {
        if (kernel.blocks != nullptr && pause.Due(c)) {
            const std::size_t before = c.i;
            kernel.blocks(c, kernel.tables);
            if (c.done()) break;
            pause.After(before, c);
        }
        const std::size_t i = c.i;
        if (copies_ascii && src[i] < 0x80 && target.CopiesAscii()) {
            std::size_t after = i;
            while (after + 8 <= n) {
                std::uint64_t word;
                std::memcpy(&word, src + after, 8);
                if ((word & 0x8080808080808080u) != 0) break;
                std::memcpy(c.out, &word, 8);
                c.out += 8;
                after += 8;
            }
            if (after != i) {
                c.i = after;
                continue;
            }
        }
        const DecodedScalar d = Reader::Read(src + i, n - i);
        if (d.fault != UnicodeFailure::kNone) {
            state.Fail(d.fault, i, d.length);
            break;
        }
        std::size_t length = d.length;
        if (d.scalar == kCarriageReturn && line_ends && i + length < n) {
            const DecodedScalar next = Reader::Read(src + i + length, n - i - length);
            if (next.fault == UnicodeFailure::kNone && next.scalar == kLineFeed) {
                target.LineEnd(options.mode.line_end);
                c.i = i + length + next.length;
                continue;
            }
        }
        const CodeEntry e = state.site() != nullptr && state.site()->MayBegin(d.scalar)
                                ? SiteOrMappedCode<Reader>(*state.site(), state.tables(), d.scalar, src, n, i, length)
                                : LookupCode(state.tables(), d.scalar);
        if (!state.Write(e, i, length)) break;
        c.i = i + length;
    }
    target.Finish();
    UnicodeOutcome outcome = state.outcome();
    outcome.written = static_cast<std::size_t>(c.out - dst);
    return outcome;
}

// The growth rule of a conversion from the form into the code.
constexpr Growth EncodeGrowthOf(UnicodeForm form, SourceCode to) {
    const bool utf8 = form == UnicodeForm::kUtf8;
    switch (to) {
        case SourceCode::kEbcdicHost:
            return utf8 ? Growth::kUtf8ToEbcdic : Growth::kUtf16ToEbcdic;
        case SourceCode::kEightBitHost:
            return utf8 ? Growth::kUtf8ToEightBit : Growth::kUtf16ToEightBit;
        default:
            return utf8 ? Growth::kUtf8ToPlain : Growth::kUtf16ToPlain;
    }
}

// What every kernel from Unicode writes by, for a target of the options:
// its single bytes and shift codes (codes 0 when it writes none).
inline FromUnicodeTables KernelTablesOf(const UnicodeOptions& options, const SingleForms& singles,
                                        const ByteTable* table, unsigned code_width, BytePair open, BytePair close) {
    FromUnicodeTables t{};
    t.codes = DirectCodesOf(options.mapping).data();
    t.singles = &singles;
    t.table = table;
    t.code_width = WritesShiftCodes(options.mode.shift) ? code_width : 0;
    t.open[0] = open.lead;
    t.open[1] = open.trail;
    t.close[0] = close.lead;
    t.close[1] = close.trail;
    t.keeps_line_ends = options.mode.line_end == LineEndMode::kKeep;
    t.stops_at_site = options.site_characters() != nullptr;
    return t;
}

// Runs EncodeText with the reader of the form, and the level's kernel for
// the form and the target (none in double-byte-only mode).
template <typename Target>
UnicodeOutcome EncodeInForm(const Kernels& kernels, SourceCode to, const FromUnicodeTables& tables, UnicodeForm form,
                            const std::uint8_t* src, std::size_t n, const UnicodeOptions& options, Target& target,
                            std::uint8_t* dst) {
    EncodeKernel kernel{kernels.from_unicode[static_cast<int>(form)][static_cast<int>(to)], tables};
    if (options.double_byte_only) kernel.blocks = nullptr;
    const Growth growth = EncodeGrowthOf(form, to);
    switch (form) {
        case UnicodeForm::kUtf16Le:
            return EncodeText<Utf16Reader<ByteOrder::kLittleEndian>>(kernel, src, n, options, target, dst, growth);
        case UnicodeForm::kUtf16Be:
            return EncodeText<Utf16Reader<ByteOrder::kBigEndian>>(kernel, src, n, options, target, dst, growth);
        case UnicodeForm::kUtf8:
            break;
    }
    return EncodeText<Utf8Reader>(kernel, src, n, options, target, dst, growth);
}

// Where a target writes: the cursor of the byte-code conversions, which
// EncodeText sets up.
inline Cursor OutputCursor(std::uint8_t* dst) { return Cursor{nullptr, 0, 0, dst, dst, false}; }

// The line end of the targets without runs.
inline void PutLineEnd(Cursor& c, LineEndMode line_end, std::uint8_t cr, std::uint8_t lf) {
    if (line_end == LineEndMode::kDrop) return;
    if (line_end != LineEndMode::kLfOnly) c.Put(cr);
    c.Put(lf);
}

}  // namespace lumtrax

#endif  // LUMTRAX_FROM_UNICODE_ENCODE_LOOP_H
