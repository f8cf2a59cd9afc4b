// What every conversion to Unicode shares: writing a scalar value in the
// form (Utf8Form, Utf16Form<order>, chosen once per call, so that no unit
// tests the form), the rule for a unit without a Unicode form or a gaiji
// that the server does not convert, and the loop that lets the kernel of
// the level take what it can between units.
#ifndef LUMTRAX_TO_UNICODE_UNICODE_WRITER_H
#define LUMTRAX_TO_UNICODE_UNICODE_WRITER_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "codes/unicode.h"
#include "codes/utf16.h"
#include "codes/utf8.h"
#include "common/cursor.h"
#include "common/growth.h"
#include "gaiji/gaiji.h"
#include "simd/kernels.h"
#include "codes/unicode_units.h"

namespace lumtrax {

constexpr char32_t kReplacementCharacter = 0xFFFD;

struct Utf8Form {
    static constexpr UnicodeForm kForm = UnicodeForm::kUtf8;
    static void Put(char32_t c, std::uint8_t*& out) { out += EncodeUtf8(c, out); }
    // A scalar value of the BMP (as every character of the mappings is),
    // without a branch on its length: three bytes are written, and the
    // next character writes over those past its length.
    static void PutBmp(std::uint16_t c, std::uint8_t*& out) {
        const bool two = c >= 0x80, three = c >= 0x800;
        const unsigned top = three ? 0xE0u | c >> 12 : two ? 0xC0u | c >> 6 : c;
        out[0] = static_cast<std::uint8_t>(top);
        out[1] = static_cast<std::uint8_t>(0x80 | (three ? c >> 6 & 0x3F : c & 0x3F));
        out[2] = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
        out += 1 + two + three;
    }
    static void PutAscii(std::uint8_t b, std::uint8_t*& out) { *out++ = b; }
    // Copies the bytes below 80 at the start of src[i, n) as they are, 8 at a
    // time, and returns where the first other byte (or the last 7) begins.
    static std::size_t CopyAscii(const std::uint8_t* src, std::size_t i, std::size_t n, std::uint8_t*& out) {
        while (i + 8 <= n) {
            std::uint64_t word;
            std::memcpy(&word, src + i, 8);
            if ((word & 0x8080808080808080u) != 0) break;
            std::memcpy(out, &word, 8);
            out += 8;
            i += 8;
        }
        return i;
    }
};

template <ByteOrder kOrder>
struct Utf16Form {
    static constexpr UnicodeForm kForm =
        kOrder == ByteOrder::kLittleEndian ? UnicodeForm::kUtf16Le : UnicodeForm::kUtf16Be;
    static void Put(char32_t c, std::uint8_t*& out) { out += EncodeUtf16(c, out, kOrder); }
    static void PutBmp(std::uint16_t c, std::uint8_t*& out) {
        WriteUtf16Unit(c, out, kOrder);
        out += 2;
    }
    static void PutAscii(std::uint8_t b, std::uint8_t*& out) { PutBmp(b, out); }
    static std::size_t CopyAscii(const std::uint8_t*, std::size_t i, std::size_t, std::uint8_t*&) { return i; }
};

// The scalar values of the units of a mapping (codes/unicode_units.h).
constexpr const UnitScalars& UnitsOf(UnicodeMapping mapping) { return mapping == UnicodeMapping::kCp932 ? kCp932Units : kJisUnits; }

// A kernel of the level for the conversion, and what it reads by.
struct DecodeKernel {
    void (*blocks)(Cursor& c, const ToUnicodeTables& t) = nullptr;
    ToUnicodeTables tables{};
};

// The output of one conversion to Unicode and its outcome so far. The
// cursor's source is the text, its output the destination.
template <typename Form>
class UnicodeSink {
public:
    UnicodeSink(const std::uint8_t* src, std::size_t n, std::uint8_t* dst, const UnicodeOptions& options)
        : c{src, n, 0, dst, dst + DestinationCapacity(Growth::kToUnicode, n), false},
          units(UnitsOf(options.mapping)),
          tables(TablesOf(options.mapping)),
          site(options.site_characters()),
          replace(options.errors == ErrorMode::kReplace),
          dst_(dst) {}

    Cursor c;
    const UnitScalars& units;
    const MappingTables& tables;
    const SiteCharacters* site;  // null when it gives no character
    const bool replace;

    // Writes the scalar value of the unit at [at, at + length), or takes its
    // want of one: false when the conversion stops there.
    bool Put(std::uint16_t scalar, std::size_t at, std::size_t length) {
        if (scalar != kNoScalar) {
            Form::PutBmp(scalar, c.out);
            return true;
        }
        return NoForm(at, length);
    }

    bool NoForm(std::size_t at, std::size_t length) {
        if (!replace) {
            outcome_.failure = UnicodeFailure::kNoUnicodeForm;
            outcome_.failure_offset = at;
            outcome_.failure_length = length;
            return false;
        }
        Form::PutBmp(kReplacementCharacter, c.out);
        NoteReplaced(at, length);
        return true;
    }

    // The character of a gaiji's Shift-JIS code: the site's, or the
    // mapping's.
    bool PutGaijiCode(BytePair sjis, std::size_t at, std::size_t length) {
        if (site != nullptr) {
            if (const SiteCharacter* s = site->OfCode(static_cast<std::uint16_t>(sjis.lead << 8 | sjis.trail))) {
                Form::Put(s->scalar, c.out);
                if (s->selector != 0) Form::Put(s->selector, c.out);
                return true;
            }
        }
        return Put(SjisPairScalar(tables, sjis.lead, sjis.trail), at, length);
    }

    // A host record through the gaiji server: its Shift-JIS code maps as a
    // gaiji's; a code the server does not convert is the black square, and
    // counts as replaced.
    bool PutServerGaiji(const CodeRecord& record, HostCodeKind kind, std::size_t at, std::size_t length) {
        GaijiOutcome call = GaijiOutcome::kNone;
        const BytePair sjis = GaijiToSjis(record, kind, call);
        const bool converted = call == GaijiOutcome::kConverted;
        outcome_.gaiji = AfterServerCall(outcome_.gaiji, converted);
        if (!converted) {
            NoteReplaced(at, length);
            return Put(SjisPairScalar(tables, sjis.lead, sjis.trail), at, length);
        }
        return PutGaijiCode(sjis, at, length);
    }

    UnicodeOutcome Finish() {
        outcome_.written = static_cast<std::size_t>(c.out - dst_);
        return outcome_;
    }

private:
    void NoteReplaced(std::size_t at, std::size_t length) {
        outcome_.gaiji = GaijiOutcome::kReplaced;
        if (outcome_.replaced_length == 0) {
            outcome_.replaced_offset = at;
            outcome_.replaced_length = length;
        }
    }

    UnicodeOutcome outcome_;
    std::uint8_t* const dst_;
};

// The loop of every conversion to Unicode: while units are left, the kernel
// (when the level has one, and is not paused: KernelPause) converts what it can, and unit(sink) converts
// the one unit after it; it returns false where the conversion stops.
template <typename Form, typename Unit>
void ConvertToUnicode(UnicodeSink<Form>& s, const DecodeKernel& kernel, Unit unit) {
    KernelPause pause;
    while (!s.c.done()) {
        if (kernel.blocks != nullptr && pause.Due(s.c)) {
            const std::size_t before = s.c.i;
            kernel.blocks(s.c, kernel.tables);
            if (s.c.done()) return;
            pause.After(before, s.c);
        }
        if (!unit(s)) return;
    }
}

template <typename F>
struct FormTag {
    using FormType = F;
};

// Runs Loop<Form>::Run(sink, kernel, args...) with the sink and kernel of
// the form asked for, and returns the outcome. kernels.to_unicode[code] has
// the level's kernels by form; tables what they read by.
template <template <typename> class Loop, typename... Args>
UnicodeOutcome InForm(const Kernels& kernels, SourceCode code, const ToUnicodeTables& tables, UnicodeForm form,
                      const std::uint8_t* src, std::size_t n, std::uint8_t* dst, const UnicodeOptions& options,
                      Args&&... args) {
    const auto run = [&](auto sink) {
        using Form = typename decltype(sink)::FormType;
        UnicodeSink<Form> s(src, n, dst, options);
        const DecodeKernel kernel{kernels.to_unicode[static_cast<int>(code)][static_cast<int>(Form::kForm)], tables};
        Loop<Form>::Run(s, kernel, args...);
        return s.Finish();
    };
    switch (form) {
        case UnicodeForm::kUtf16Le:
            return run(FormTag<Utf16Form<ByteOrder::kLittleEndian>>{});
        case UnicodeForm::kUtf16Be:
            return run(FormTag<Utf16Form<ByteOrder::kBigEndian>>{});
        case UnicodeForm::kUtf8:
            break;
    }
    return run(FormTag<Utf8Form>{});
}

}  // namespace lumtrax

#endif  // LUMTRAX_TO_UNICODE_UNICODE_WRITER_H
