// Unicode to the EBCDIC host code: a single byte through the table set, a
// kanji as its JIS code with both high bits, a gaiji-class code as the gaiji
// server's code in the form of its class, the substitute A2 A3, runs between
// 2B and 2C (shifted_target.h).
#include "codes/ebcdic_host.h"
#include "from_unicode/from_unicode.h"
#include "from_unicode/shifted_target.h"

namespace lumtrax {
namespace {

class EbcdicCode {
public:
    static constexpr HostCodeKind kKind = HostCodeKind::kEbcdicHost;
    static constexpr bool kAsciiIsItself = false;

    explicit EbcdicCode(const ByteTable& image) : image_(image) {}

    std::uint8_t Single(std::uint8_t b) const { return image_[b]; }
    BytePair Kanji(BytePair jis) const { return EbcdicHostPair(jis.lead, jis.trail); }
    BytePair Gaiji(BytePair code) const { return EbcdicHostPair(code.lead, code.trail); }
    void PutOpen(Cursor& c) const { c.Put(kEbcdicRunOpen); }
    void PutClose(Cursor& c) const { c.Put(kEbcdicRunClose); }

private:
    const ByteTable& image_;
};

}  // namespace

UnicodeOutcome UnicodeToEbcdicHost(const Kernels& kernels, UnicodeForm form, const std::uint8_t* src, std::size_t n,
                                   TableSet table_set, const UnicodeOptions& options, std::uint8_t* dst) {
    ShiftedTarget<EbcdicCode> target(dst, EbcdicCode(SjisToHostTable(table_set)), options);
    const FromUnicodeTables tables =
        KernelTablesOf(options, table_set == TableSet::kLowerCase ? kEbcdicSet0Singles : kEbcdicSet1Singles,
                       &SjisToHostTable(table_set), 1, {kEbcdicRunOpen, 0}, {kEbcdicRunClose, 0});
    return EncodeInForm(kernels, SourceCode::kEbcdicHost, tables, form, src, n, options, target, dst);
}

}  // namespace lumtrax
