#include <cstddef>

#include "api/growth.h"
#include "lumtrax.h"
#include "tables/host_tables.h"
#include "to_host/ebcdic_pairs.h"
#include "to_host/jis_prepass.h"
#include "to_host/shift_state.h"
#include "to_host/sjis_blocks.h"
#include "to_host/sjis_classes.h"
#include "to_host/sjis_to_host.h"
#include "to_host/sjis_units.h"

namespace lumtrax {
namespace {

constexpr ShiftCodes kEbcdicShiftCodes = {{{0x2B, 0x00}, {0x2C, 0x00}}, 1};

// How the EBCDIC host code writes characters (see WriteShiftedHostText): a
// single byte as its image in the table set, a kanji as its JIS code with
// both high bits set (its JIS code is in IsJisAreaPair or IsJisOpenAreaPair),
// a gaiji's server code in the form of its class.
class EbcdicTarget {
public:
    explicit EbcdicTarget(const ByteTable& image) : image_(image) {}

    std::uint8_t Single(std::uint8_t b) const { return image_[b]; }
    void WriteSingles(const std::uint8_t* jis, std::size_t length, std::size_t room, std::uint8_t* out) const {
        WriteRunThroughTable(image_, jis, length, room, out);
    }
    void WriteKanji(const std::uint8_t* jis, std::size_t length, std::size_t room, std::uint8_t* out) const {
        CopyRunWithHighBits(jis, length, room, out);
    }
    BytePair Pair(std::uint8_t, std::uint8_t, std::uint8_t jis_lead, std::uint8_t jis_trail) const {
        return EbcdicHostPair(jis_lead, jis_trail);
    }
    void ConvertBlock(const std::uint8_t* jis, const SjisBlockUnits& units, ConvertedBlock& block) const {
        for (std::size_t k = 0; k < kBlockSize; ++k) block.bytes[k] = image_[jis[k]];
        PutPairsWithHighBits(jis, units.pair_bytes(), block);
    }

private:
    const ByteTable& image_;
};

}  // namespace

std::int32_t SjisToEbcdicHost(std::uint8_t* dst, const std::uint8_t* src, std::int32_t len,
                              std::int32_t mode, std::int32_t* status, bool lrss, bool shift,
                              std::int32_t table_set) {
    ScratchCopy work;
    if (!PrepareWorkingCopy(work, HostCodeKind::kEbcdicHost, dst, src, len, !lrss, status)) {
        return -1;
    }
    if (len <= 0) {
        dst[0] = 0x00;
        return 0;
    }
    const SjisText text{src, work.data(), static_cast<std::size_t>(len), !lrss};
    const std::uint8_t* const end = dst + DestinationCapacity(LUMTRAX_SJIS_TO_EBCDIC, text.n);
    const EbcdicTarget target(SjisToHostTable(table_set));
    ShiftState run(kEbcdicShiftCodes, shift);
    return WriteShiftedHostText(text, mode, lrss, run, target, dst, end);
}

}  // namespace lumtrax
