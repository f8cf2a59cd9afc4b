// What every conversion to Unicode shares: writing a scalar value in the
// form (UTF8Form, Utf16Form<order>, chosen once per call, so that no unit
// tests the form), and the rule for a unit without a Unicode form or a gaiji
// that the server does not convert.
#ifndef LUMTRAX_TO_UNICODE_UNICODE_WRITER_H
#define LUMTRAX_TO_UNICODE_UNICODE_WRITER_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "codes/unicode.h"
#include "codes/utf16.h"
#include "codes/utf8.h"
#include "gaiji/gaiji.h"

namespace lumtrax {

constexpr char32_t kReplacementCharacter = 0xFFFD;

struct Utf8Form {
    static void Put(char32_t c, std::uint8_t*& out) { out += EncodeUtf8(c, out); }
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
    static void Put(char32_t c, std::uint8_t*& out) { out += EncodeUtf16(c, out, kOrder); }
    static std::size_t CopyAscii(const std::uint8_t*, std::size_t i, std::size_t, std::uint8_t*&) { return i; }
};

// The output of one conversion to Unicode and its outcome so far.
template <typename Form>
class UnicodeSink {
public:
    UnicodeSink(std::uint8_t* dst, const UnicodeOptions& options)
        : out(dst),
          tables(TablesOf(options.mapping)),
          site(options.site_characters()),
          replace(options.errors == ErrorMode::kReplace),
          dst_(dst) {}

    std::uint8_t* out;
    const MappingTables& tables;
    const SiteCharacters* site;  // null when it gives no character
    const bool replace;

    // Writes the scalar value of the unit at [at, at + length), or takes its
    // want of one: false when the conversion stops there.
    bool Put(std::uint16_t scalar, std::size_t at, std::size_t length) {
        if (scalar != kNoScalar) {
            Form::Put(scalar, out);
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
        Form::Put(kReplacementCharacter, out);
        NoteReplaced(at, length);
        return true;
    }

    // The character of a gaiji's Shift-JIS code: the site's, or the
    // mapping's.
    bool PutGaijiCode(BytePair sjis, std::size_t at, std::size_t length) {
        if (site != nullptr) {
            if (const SiteCharacter* c = site->OfCode(static_cast<std::uint16_t>(sjis.lead << 8 | sjis.trail))) {
                Form::Put(c->scalar, out);
                if (c->selector != 0) Form::Put(c->selector, out);
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
        outcome_.written = static_cast<std::size_t>(out - dst_);
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

// Runs Loop<Form>(sink) with the sink of the form asked for, and returns the
// outcome.
template <template <typename> class Loop, typename... Args>
UnicodeOutcome InForm(UnicodeForm form, std::uint8_t* dst, const UnicodeOptions& options, Args&&... args) {
    switch (form) {
        case UnicodeForm::kUtf16Le: {
            UnicodeSink<Utf16Form<ByteOrder::kLittleEndian>> sink(dst, options);
            Loop<Utf16Form<ByteOrder::kLittleEndian>>::Run(sink, args...);
            return sink.Finish();
        }
        case UnicodeForm::kUtf16Be: {
            UnicodeSink<Utf16Form<ByteOrder::kBigEndian>> sink(dst, options);
            Loop<Utf16Form<ByteOrder::kBigEndian>>::Run(sink, args...);
            return sink.Finish();
        }
        case UnicodeForm::kUtf8:
            break;
    }
    UnicodeSink<Utf8Form> sink(dst, options);
    Loop<Utf8Form>::Run(sink, args...);
    return sink.Finish();
}

}  // namespace lumtrax

#endif  // LUMTRAX_TO_UNICODE_UNICODE_WRITER_H
