// Shift-JIS to the 8-bit host code (types 2 and 10), through the loop of the
// host codes with a shift state (shifted_host.h).
#include "codes/eightbit_host.h"
#include "to_host/shifted_host.h"
#include "to_host/sjis_to_host.h"

namespace lumtrax {
namespace {

// A single byte is itself; a kanji is its JIS code with both high bits set
// (the ideographic space 20 20); a gaiji is the server's code as it stands;
// runs are opened by the start sequence and closed by 93 F1.
class EightBitCode {
public:
    static constexpr HostCodeKind kKind = HostCodeKind::kEightBitHost;

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

std::int32_t SjisToEightBitHost(const Kernels& kernels, std::uint8_t* dst, const std::uint8_t* src, std::int32_t len,
                                const CallMode& mode, GaijiOutcome& status, StartSequence start) {
    status = GaijiOutcome::kNone;
    const auto kernel = [&](Cursor& at) { kernels.sjis_to_eightbit(at, start, mode); };
    return ConvertToShiftedHost(Growth::kEightBitRuns, dst, src, len, EightBitCode(start), mode, status,
                                kernels.sjis_to_eightbit != nullptr, kernel);
}

}  // namespace lumtrax
