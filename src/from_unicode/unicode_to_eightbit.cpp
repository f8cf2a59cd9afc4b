// Unicode to the 8-bit host code: a single byte as its Shift-JIS image, a
// kanji as its JIS code with both high bits (the ideographic space 20 20), a
// gaiji-class code as the gaiji server's code, the substitute A2 A3, runs
// between the start sequence and 93 F1 (shifted_target.h).
#include "codes/eightbit_host.h"
#include "from_unicode/from_unicode.h"
#include "from_unicode/shifted_target.h"

namespace lumtrax {
namespace {

class EightBitCode {
public:
    static constexpr HostCodeKind kKind = HostCodeKind::kEightBitHost;
    static constexpr bool kAsciiIsItself = true;

    explicit EightBitCode(StartSequence start)
        : start_(start == StartSequence::k70 ? kEightBitStart70 : kEightBitStartF0) {}

    std::uint8_t Single(std::uint8_t b) const { return b; }
    BytePair Kanji(BytePair jis) const { return EightBitKanji(jis.lead, jis.trail); }
    BytePair Gaiji(BytePair code) const { return code; }
    void PutOpen(Cursor& c) const { c.Put(kEightBitSequenceLead, start_); }
    void PutClose(Cursor& c) const { c.Put(kEightBitSequenceLead, kEightBitEnd); }

private:
    std::uint8_t start_;
};

}  // namespace

UnicodeOutcome UnicodeToEightBitHost(const Kernels& kernels, UnicodeForm form, const std::uint8_t* src, std::size_t n,
                                     StartSequence start, const UnicodeOptions& options, std::uint8_t* dst) {
    ShiftedTarget<EightBitCode> target(dst, EightBitCode(start), options);
    const std::uint8_t opening = start == StartSequence::k70 ? kEightBitStart70 : kEightBitStartF0;
    const FromUnicodeTables tables = KernelTablesOf(options, kSameSingles, nullptr, 2, {kEightBitSequenceLead, opening},
                                                    {kEightBitSequenceLead, kEightBitEnd});
    return EncodeInForm(kernels, SourceCode::kEightBitHost, tables, form, src, n, options, target, dst);
}

}  // namespace lumtrax
