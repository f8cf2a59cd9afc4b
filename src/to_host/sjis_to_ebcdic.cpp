#include <cstddef>

#include "tables/host_tables.h"
#include "to_host/ebcdic_pairs.h"
#include "to_host/jis_prepass.h"
#include "to_host/shift_state.h"
#include "to_host/sjis_classes.h"
#include "to_host/sjis_to_host.h"
#include "to_host/sjis_units.h"

namespace lumtrax {
namespace {

constexpr ShiftCodes kEbcdicShiftCodes = {{0x2B, 0x00}, {0x2C, 0x00}, 1};

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
    const ByteTable& image = SjisToHostTable(table_set);
    const SjisText text{src, work.data(), static_cast<std::size_t>(len), !lrss};
    const std::uint8_t* jis = text.jis;
    ShiftState run(kEbcdicShiftCodes, shift);
    // A single byte is its image in the table set.
    const auto table_image = [&image](std::uint8_t b) { return image[b]; };
    const auto table_run = [&image](const std::uint8_t* from, std::size_t length, std::size_t room,
                                    std::uint8_t* to) { WriteRunThroughTable(image, from, length, room, to); };
    std::uint8_t* out = dst;
    std::size_t i = 0;
    // Runs are written a block at a time (see WriteRun). A block's bytes
    // past its run are written again by what follows, or lie past the end of
    // the text: a block begins 16 bytes or more before the end of the
    // source, and the growth bound keeps room for 5 bytes for every 3 of those.
    while (i < text.n) {
        if (IsSjisDoubleByte(src[i], src[i + 1])) {
            run.Open(out);
            if (const std::size_t kanji = text.KanjiRunAt(i)) {
                // A kanji's JIS code is in IsJisAreaPair or IsJisOpenAreaPair.
                CopyRunWithHighBits(jis + i, kanji, text.RoomAt(i), out);
                out += kanji;
                i += kanji;
                continue;
            }
            const BytePair pair = EbcdicHostPair(jis[i], jis[i + 1]);
            *out++ = pair.lead;
            *out++ = pair.trail;
            i += 2;
        } else {
            i += WriteSingleByteUnit(text, i, mode, lrss, run, table_image, table_run, out);
        }
    }
    run.Close(out);
    *out = 0x00;
    return static_cast<std::int32_t>(out - dst);
}

}  // namespace lumtrax
