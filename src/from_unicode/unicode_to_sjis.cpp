// Unicode to Shift-JIS: each character as its code in the mapping (a single
// byte or a pair, a gaiji-class code too, with no call to the gaiji
// server), the substitute 81 A1, a line end by the mode. No raw-byte
// escapes: U+005C U+0001 are two characters.
#include "from_unicode/encode_loop.h"
#include "from_unicode/from_unicode.h"

namespace lumtrax {
namespace {

struct SjisTarget {
    Cursor c;

    bool CopiesAscii() const { return true; }
    void Single(std::uint8_t b) { c.Put(b); }
    void Kanji(CodeEntry e) { c.Put(e.lead(), e.trail()); }
    bool Gaiji(BytePair sjis, GaijiOutcome&) {
        c.Put(sjis.lead, sjis.trail);
        return true;
    }
    void Substitute() { c.Put(0x81, 0xA1); }
    void LineEnd(LineEndMode line_end) { PutLineEnd(c, line_end, kCarriageReturn, kLineFeed); }
    void Finish() {}
};

}  // namespace

UnicodeOutcome UnicodeToSjis(const Kernels& kernels, UnicodeForm form, const std::uint8_t* src, std::size_t n,
                             const UnicodeOptions& options, std::uint8_t* dst) {
    SjisTarget target{OutputCursor(dst)};
    const FromUnicodeTables tables = KernelTablesOf(options, kSameSingles, nullptr, 0, {0, 0}, {0, 0});
    return EncodeInForm(kernels, SourceCode::kShiftJis, tables, form, src, n, options, target, dst);
}

}  // namespace lumtrax
