// Unicode to EUC: a single byte below 80 as it is and 80-FF behind 8E, a
// kanji as its JIS code with both high bits, a gaiji-class code as the gaiji
// server's code, the substitute A2 A3, a line end by the mode.
#include "codes/euc.h"
#include "from_unicode/encode_loop.h"
#include "from_unicode/from_unicode.h"

namespace lumtrax {
namespace {

struct EucTarget {
    Cursor c;

    bool CopiesAscii() const { return true; }
    void Single(std::uint8_t b) {
        if (b >= 0x80) c.Put(kSingleShift2);
        c.Put(b);
    }
    void Kanji(CodeEntry e) {
        const BytePair euc = EucKanji(e.jis().lead, e.jis().trail);
        c.Put(euc.lead, euc.trail);
    }
    bool Gaiji(BytePair sjis, GaijiOutcome& status) {
        GaijiOutcome call = GaijiOutcome::kNone;
        const BytePair code = GaijiToHost(sjis.lead, sjis.trail, HostCodeKind::kEuc, call);
        const bool converted = call == GaijiOutcome::kConverted;
        status = AfterServerCall(status, converted);
        c.Put(code.lead, code.trail);
        return converted;
    }
    void Substitute() {
        const BytePair euc = EucKanji(kSubstituteJis.lead, kSubstituteJis.trail);
        c.Put(euc.lead, euc.trail);
    }
    void LineEnd(LineEndMode line_end) { PutLineEnd(c, line_end, kCarriageReturn, kLineFeed); }
    void Finish() {}
};

}  // namespace

UnicodeOutcome UnicodeToEuc(const Kernels& kernels, UnicodeForm form, const std::uint8_t* src, std::size_t n,
                            const UnicodeOptions& options, std::uint8_t* dst) {
    EucTarget target{OutputCursor(dst)};
    const FromUnicodeTables tables = KernelTablesOf(options, kEucSingles, nullptr, 0, {0, 0}, {0, 0});
    return EncodeInForm(kernels, SourceCode::kEuc, tables, form, src, n, options, target, dst);
}

}  // namespace lumtrax
