#include <cstddef>

#include "api/growth.h"
#include "common/blocks.h"
#include "lumtrax.h"
#include "to_host/jis_prepass.h"
#include "to_host/shift_state.h"
#include "to_host/sjis_blocks.h"
#include "to_host/sjis_classes.h"
#include "to_host/sjis_to_host.h"
#include "to_host/sjis_units.h"

namespace lumtrax {
namespace {

constexpr ShiftCodes kStartF0Codes = {{{0x93, 0xF0}, {0x93, 0xF1}}, 2};
constexpr ShiftCodes kStart70Codes = {{{0x93, 0x70}, {0x93, 0xF1}}, 2};

// A kanji is its JIS code with both high bits set; the ideographic space
// (JIS 21 21) is written as two ASCII spaces.
BytePair EightBitKanji(std::uint8_t jis_lead, std::uint8_t jis_trail) {
    const std::uint8_t lead = jis_lead | 0x80;
    const std::uint8_t trail = jis_trail | 0x80;
    if (lead == 0xA1 && trail == 0xA1) return {0x20, 0x20};
    return {lead, trail};
}

// Kanji from k up to end, one by one.
void WriteEightBitKanji(const std::uint8_t* jis, std::size_t k, std::size_t end, std::uint8_t* out) {
    for (; k < end; k += 2) {
        const BytePair pair = EightBitKanji(jis[k], jis[k + 1]);
        out[k] = pair.lead;
        out[k + 1] = pair.trail;
    }
}

// A run of kanji, eight at a time, as EightBitKanji writes one (see WriteRun).
void WriteEightBitKanjiRun(const std::uint8_t* jis, std::size_t length, std::size_t room, std::uint8_t* out) {
    WriteRun(length, room,
             [=](std::size_t k) {
#if LUMTRAX_SSE2
                 const __m128i high = _mm_or_si128(LoadBlock(jis + k), _mm_set1_epi8(static_cast<char>(0x80)));
                 StoreBlock(out + k, Select(WordsEqual(high, 0xA1A1), Words(0x2020), high));
#else
                 WriteEightBitKanji(jis, k, k + kBlockSize, out);
#endif
             },
             [=](std::size_t k) { WriteEightBitKanji(jis, k, length, out); });
}

// The bytes of the ideographic spaces (JIS 21 21) among the double-byte
// characters of a block of the JIS form at jis with the units given; reads
// jis[16], and the lead before a trail that the block carries.
unsigned SpaceBytes(const std::uint8_t* jis, const SjisBlockUnits& units) {
    const unsigned leads = units.pair_starts & ByteEqualMask(jis, 0x21) & ByteEqualMask(jis + 1, 0x21);
    unsigned bytes = (leads | (leads << 1)) & kWholeBlock;
    // A carried trail's lead is the byte before it (without one, the test
    // reads the byte at from twice and counts for nothing).
    const unsigned carried = units.carried_trail();
    const std::ptrdiff_t lead = static_cast<std::ptrdiff_t>(units.from) - (carried != 0 ? 1 : 0);
    const bool space = (jis[lead] == 0x21) & (jis[units.from] == 0x21);
    return bytes | (space ? carried : 0u);
}

// How the 8-bit host code writes characters (see WriteShiftedHostText): a
// single byte as it is, a kanji as EightBitKanji gives it, a gaiji as the
// server's code.
class EightBitTarget {
public:
    std::uint8_t Single(std::uint8_t b) const { return b; }
    void WriteSingles(const std::uint8_t* jis, std::size_t length, std::size_t room, std::uint8_t* out) const {
        CopyRun(jis, length, room, out);
    }
    void WriteKanji(const std::uint8_t* jis, std::size_t length, std::size_t room, std::uint8_t* out) const {
        WriteEightBitKanjiRun(jis, length, room, out);
    }
    // A gaiji is the server's code as it stands.
    BytePair Pair(std::uint8_t lead, std::uint8_t trail, std::uint8_t jis_lead, std::uint8_t jis_trail) const {
        if (IsSjisGaiji(lead, trail)) return {jis_lead, jis_trail};
        return EightBitKanji(jis_lead, jis_trail);
    }
    void ConvertBlock(const std::uint8_t* jis, const SjisBlockUnits& units, ConvertedBlock& block) const {
        SetHighBitsIn(jis, units.pair_bytes(), block);
        for (unsigned spaces = SpaceBytes(jis, units); spaces != 0; spaces &= spaces - 1) {
            block.bytes[LowestBit(spaces)] = 0x20;
        }
    }
};

}  // namespace

std::int32_t SjisToEightBitHost(std::uint8_t* dst, const std::uint8_t* src, std::int32_t len,
                                std::int32_t mode, std::int32_t* status, bool lrss, bool shift,
                                std::int32_t selector) {
    ScratchCopy work;
    if (!PrepareWorkingCopy(work, HostCodeKind::kEightBitHost, dst, src, len, !lrss, status)) {
        return -1;
    }
    if (len <= 0) {
        dst[0] = 0x00;
        return 0;
    }
    const SjisText text{src, work.data(), static_cast<std::size_t>(len), !lrss};
    const std::uint8_t* const end = dst + DestinationCapacity(LUMTRAX_SJIS_TO_8BIT, text.n);
    const EightBitTarget target;
    ShiftState run(selector == 1 ? kStart70Codes : kStartF0Codes, shift);
    return WriteShiftedHostText(text, mode, lrss, run, target, dst, end);
}

}  // namespace lumtrax
