// Shift-JIS to the EBCDIC host code (types 0 and 1), through the loop of the
// host codes with a shift state (shifted_host.h).
#include "codes/ebcdic_host.h"
#include "to_host/shifted_host.h"
#include "to_host/sjis_to_host.h"

namespace lumtrax {
namespace {

// A single byte is its image in the table set; a kanji is its JIS code with
// both high bits set; a gaiji is the server's code in the form of its class;
// runs are opened by 2B and closed by 2C.
class EbcdicCode {
public:
    static constexpr HostCodeKind kKind = HostCodeKind::kEbcdicHost;

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

std::int32_t SjisToEbcdicHost(const Kernels& kernels, std::uint8_t* dst, const std::uint8_t* src, std::int32_t len,
                              const CallMode& mode, GaijiOutcome& status, TableSet table_set) {
    status = GaijiOutcome::kNone;
    const ByteTable& table = SjisToHostTable(table_set);
    const auto kernel = [&](Cursor& at) { kernels.sjis_to_ebcdic(at, table, mode); };
    return ConvertToShiftedHost(Growth::kEbcdicRuns, dst, src, len, EbcdicCode(table), mode, status,
                                kernels.sjis_to_ebcdic != nullptr, kernel);
}

}  // namespace lumtrax
