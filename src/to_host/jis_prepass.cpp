#include "to_host/jis_prepass.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "to_host/sjis_blocks.h"
#include "to_host/sjis_classes.h"
#include "to_host/sjis_runs.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace lumtrax {

// "Memory allocation failed; processing is aborted."
const char kHeapExhaustedMessageSjis[] =
    "\x83\x81\x83\x82\x83\x8A\x82\xCC\x8A\x6D\x95\xDB\x82\xC9\x8E\xB8\x94\x73\x82\xB5\x82\xDC"
    "\x82\xB5\x82\xBD\x81\x42\x8F\x88\x97\x9D\x82\xF0\x92\x86\x92\x66\x82\xB5\x82\xDC\x82\xB7";
const char kHeapExhaustedMessageUtf8[] =
    "\xE3\x83\xA1\xE3\x83\xA2\xE3\x83\xAA\xE3\x81\xAE\xE7\xA2\xBA\xE4\xBF\x9D\xE3\x81\xAB\xE5\xA4"
    "\xB1\xE6\x95\x97\xE3\x81\x97\xE3\x81\xBE\xE3\x81\x97\xE3\x81\x9F\xE3\x80\x82\xE5\x87\xA6\xE7"
    "\x90\x86\xE3\x82\x92\xE4\xB8\xAD\xE6\x96\xAD\xE3\x81\x97\xE3\x81\xBE\xE3\x81\x99";
const char kHeapExhaustedCaption[] = "sjis to qomu";

static_assert(sizeof(kHeapExhaustedMessageSjis) == 44 + 1);

namespace {

// The fast paths of the pre-pass at i, up to the first gaiji or escape: a
// block of single bytes alone or of kanji alone begins a run that goes a
// block at a time, and other blocks go through WalkSjisBlocks. Writes the
// JIS form of what they take at dst + i and returns how many bytes that is;
// 0 leaves the unit at i to the unit steps. Blocks are written whole: their
// bytes past what is taken are written again by the units that follow.
std::size_t JisFormOfBlocks(const std::uint8_t* src, std::size_t i, std::size_t n, bool escapes,
                            std::uint8_t* dst) {
    if (BlockFits(i, n)) {
        if (AsciiMask(src + i) == kWholeBlock) {
            const std::size_t singles = AsciiRun(src, i, n, escapes, false);
            if (singles >= kBlockSize) {
                CopyRun(src + i, singles, n - i, dst + i);
                return singles;
            }
        } else if (PlainKanjiMask(src + i) == kWholeBlock) {
            const std::size_t kanji = PlainKanjiRun(src, i, n);
            WriteJisOfRun(src + i, kanji, n - i, dst + i);
            return kanji;
        }
    }
    const auto stops = [escapes](const SjisBlockUnits& units) {
        return units.not_plain | (escapes ? units.escapes : 0);
    };
    const auto write = [src, dst](std::size_t at, const SjisBlockUnits& units, unsigned) {
        WriteJisOfBlock(src + at, units, dst + at);
    };
    return WalkSjisBlocks(src, i, n, stops, write) - i;
}

}  // namespace

std::int32_t JisPrepass(HostCodeKind kind, std::uint8_t* dst, const std::uint8_t* src,
                        std::int32_t len, bool escapes, std::int32_t* status) {
    *status = kGaijiNone;
    if (len <= 0) {
        dst[0] = 0x00;
        return 0;
    }
    const std::size_t n = static_cast<std::size_t>(len);
    std::size_t i = 0;
    while (i < n) {
        const std::uint8_t lead = src[i];
        const std::uint8_t trail = src[i + 1];  // at the last counted byte, the byte after the text
        if (const std::size_t taken = JisFormOfBlocks(src, i, n, escapes, dst)) {
            i += taken;
        } else if (IsSjisGaiji(lead, trail)) {
            GaijiToHost(lead, trail, kind, dst + i, status);
            i += 2;
        } else if (IsSjisKanji(lead, trail)) {
            const BytePair jis = SjisToJis(lead, trail);
            dst[i] = jis.lead;
            dst[i + 1] = jis.trail;
            i += 2;
        } else if (escapes && IsRawByteEscapeAt(src, i, n)) {
            std::memcpy(dst + i, src + i, 3);
            i += 3;
        } else {
            dst[i] = lead;
            i += 1;
        }
    }
    dst[i] = 0x00;
    return static_cast<std::int32_t>(i);
}

ScratchCopy::~ScratchCopy() { delete[] heap_; }

bool ScratchCopy::Acquire(std::int32_t len) {
    if (len < kLocalSize) return true;
    heap_ = new (std::nothrow) std::uint8_t[static_cast<std::size_t>(len) + 1];
    if (heap_ == nullptr) return false;
    data_ = heap_;
    return true;
}

void ScratchCopy::Fill(const std::uint8_t* jis_form, std::int32_t len) {
    const std::size_t count = len > 0 ? static_cast<std::size_t>(len) + 1 : 1;
    std::memcpy(data_, jis_form, count);
}

void ReportHeapExhausted() {
#if defined(_WIN32)
    MessageBoxA(nullptr, kHeapExhaustedMessageSjis, kHeapExhaustedCaption, MB_ICONERROR);
#else
    std::fprintf(stderr, "%s: %s\n", kHeapExhaustedCaption, kHeapExhaustedMessageUtf8);
#endif
}

bool PrepareWorkingCopy(ScratchCopy& copy, HostCodeKind kind, std::uint8_t* dst,
                        const std::uint8_t* src, std::int32_t len, bool escapes,
                        std::int32_t* status) {
    JisPrepass(kind, dst, src, len, escapes, status);
    if (!copy.Acquire(len)) {
        ReportHeapExhausted();
        return false;
    }
    copy.Fill(dst, len);
    return true;
}

}  // namespace lumtrax
