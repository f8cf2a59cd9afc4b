#include <cstddef>

#include "common/blocks.h"
#include "to_host/jis_prepass.h"
#include "to_host/shift_state.h"
#include "to_host/sjis_classes.h"
#include "to_host/sjis_to_host.h"
#include "to_host/sjis_units.h"

namespace lumtrax {
namespace {

constexpr ShiftCodes kStartF0Codes = {{0x93, 0xF0}, {0x93, 0xF1}, 2};
constexpr ShiftCodes kStart70Codes = {{0x93, 0x70}, {0x93, 0xF1}, 2};

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
    const std::uint8_t* jis = text.jis;
    ShiftState run(selector == 1 ? kStart70Codes : kStartF0Codes, shift);
    // A single byte keeps its Shift-JIS value.
    const auto same_byte = [](std::uint8_t b) { return b; };
    const auto copy_run = [](const std::uint8_t* from, std::size_t length, std::size_t room,
                             std::uint8_t* to) { CopyRun(from, length, room, to); };
    std::uint8_t* out = dst;
    std::size_t i = 0;
    // Runs are written a block at a time (see WriteRun). A block's bytes
    // past its run are written again by what follows, or lie past the end of
    // the text: a block begins 16 bytes or more before the end of the
    // source, and the growth bound keeps room for 7 bytes for every 3 of those.
    while (i < text.n) {
        if (IsSjisGaiji(src[i], src[i + 1])) {
            run.Open(out);
            *out++ = jis[i];
            *out++ = jis[i + 1];
            i += 2;
        } else if (IsSjisKanji(src[i], src[i + 1])) {
            run.Open(out);
            if (const std::size_t kanji = text.KanjiRunAt(i)) {
                WriteEightBitKanjiRun(jis + i, kanji, text.RoomAt(i), out);
                out += kanji;
                i += kanji;
                continue;
            }
            const BytePair pair = EightBitKanji(jis[i], jis[i + 1]);
            *out++ = pair.lead;
            *out++ = pair.trail;
            i += 2;
        } else {
            i += WriteSingleByteUnit(text, i, mode, lrss, run, same_byte, copy_run, out);
        }
    }
    run.Close(out);
    *out = 0x00;
    return static_cast<std::int32_t>(out - dst);
}

}  // namespace lumtrax
