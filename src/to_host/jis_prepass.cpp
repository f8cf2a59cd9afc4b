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

// Writes the JIS form of the units of src that begin from i up to n at
// dst + i and returns where the next unit begins: n, or past it when the last
// unit ends past it. n is the end of the text, or of a slice of it (see
// SliceEnd), which the units see as the end of the text: a unit that begins
// before n reads the bytes after it as it would inside the text, and an
// escape needs its 5C and 01 before n.
std::size_t WriteJisForm(HostCodeKind kind, std::uint8_t* dst, const std::uint8_t* src, std::size_t i,
                         std::size_t n, bool escapes, std::int32_t* status) {
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
    return i;
}

// Long texts go through the pre-pass a slice at a time, each copied to the
// working copy while it is still in the cache.
constexpr std::size_t kSliceSize = 16 * 1024;

// Where the slice that ends near end ends: there, or (when end is the end of
// the text) nowhere before it, and never just after a 5C, so that no escape
// begins at a slice's last byte; its units then read as they do in the text.
std::size_t SliceEnd(const std::uint8_t* src, std::size_t end, std::size_t n) {
    while (end < n && src[end - 1] == kEscapeFirst) ++end;
    return end < n ? end : n;
}

}  // namespace

std::int32_t JisPrepass(HostCodeKind kind, std::uint8_t* dst, const std::uint8_t* src,
                        std::int32_t len, bool escapes, std::int32_t* status) {
    *status = kGaijiNone;
    if (len <= 0) {
        dst[0] = 0x00;
        return 0;
    }
    const std::size_t i = WriteJisForm(kind, dst, src, 0, static_cast<std::size_t>(len), escapes, status);
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
    FillPart(jis_form, 0, count);
}

void ScratchCopy::FillPart(const std::uint8_t* jis_form, std::size_t from, std::size_t to) {
    std::memcpy(data_ + from, jis_form + from, to - from);
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
    if (len < static_cast<std::int32_t>(kSliceSize)) {
        JisPrepass(kind, dst, src, len, escapes, status);
        if (!copy.Acquire(len)) {
            ReportHeapExhausted();
            return false;
        }
        copy.Fill(dst, len);
        return true;
    }
    // A long text: the heap block first, then the pre-pass slice by slice.
    // Without the block the pre-pass still runs, so that dst holds the JIS
    // form and the status its gaiji, as when the block is asked for after it.
    if (!copy.Acquire(len)) {
        JisPrepass(kind, dst, src, len, escapes, status);
        ReportHeapExhausted();
        return false;
    }
    *status = kGaijiNone;
    const std::size_t n = static_cast<std::size_t>(len);
    std::size_t i = 0;
    while (i < n) {
        const std::size_t from = i;
        i = WriteJisForm(kind, dst, src, i, SliceEnd(src, i + kSliceSize, n), escapes, status);
        copy.FillPart(dst, from, i);
    }
    // The terminator, unless the last unit took the byte after the text.
    dst[i] = 0x00;
    copy.FillPart(dst, i, n + 1);
    return true;
}

}  // namespace lumtrax
