// The block functions of the fast paths against the pair tests and the
// arithmetic they stand for, over every pair at every place in a block.
// Built twice: with the target's vector instructions, and with the plain
// loops (LUMTRAX_NO_SIMD).
#include <gtest/gtest.h>

#include <random>

#include "common/blocks.h"
#include "to_host/sjis_blocks.h"
#include "to_sjis/jis_blocks.h"

namespace {

using namespace lumtrax;

// A block of eight copies of the pair lead trail, with pair j replaced, and
// the byte after the block.
struct PairBlock {
    std::uint8_t bytes[kBlockSize + 1];

    PairBlock(std::uint8_t fill_lead, std::uint8_t fill_trail) {
        for (std::size_t k = 0; k < kBlockSize; k += 2) {
            bytes[k] = fill_lead;
            bytes[k + 1] = fill_trail;
        }
        bytes[kBlockSize] = 0x00;
    }
    void Put(unsigned j, int lead, int trail) {
        bytes[2 * j] = static_cast<std::uint8_t>(lead);
        bytes[2 * j + 1] = static_cast<std::uint8_t>(trail);
    }
};

// The mask a block should have when every pair but j is in the class and
// pair j is in it or not.
unsigned AllPairsBut(unsigned j, bool pair_j_in) {
    const unsigned others = kWholeBlock & ~(3u << (2 * j));
    return pair_j_in ? kWholeBlock : others;
}

TEST(Blocks, KanjiBlocksAgreeWithThePairTests) {
    for (int lead = 0; lead < 256; ++lead) {
        for (int trail = 0; trail < 256; ++trail) {
            const auto l = static_cast<std::uint8_t>(lead);
            const auto t = static_cast<std::uint8_t>(trail);
            const bool plain = IsSjisPlainKanji(l, t);
            for (unsigned j = 0; j < kBlockSize / 2; ++j) {
                PairBlock block(0x88, 0x9F);
                block.Put(j, lead, trail);
                ASSERT_EQ(PlainKanjiMask(block.bytes), AllPairsBut(j, plain))
                    << std::hex << lead << " " << trail << " at pair " << j;
                if (!plain) continue;
                std::uint8_t jis[kBlockSize];
                SjisBlockToJis(block.bytes, jis);
                const BytePair expected = SjisToJis(l, t);
                ASSERT_EQ(jis[2 * j], expected.lead) << std::hex << lead << " " << trail;
                ASSERT_EQ(jis[2 * j + 1], expected.trail) << std::hex << lead << " " << trail;
            }
        }
    }
}

TEST(Blocks, JisBlocksAgreeWithThePairTests) {
    for (JisArea area : {JisArea::kEbcdicHost, JisArea::kEightBitHost, JisArea::kEuc}) {
        for (int lead = 0; lead < 256; ++lead) {
            for (int trail = 0; trail < 256; ++trail) {
                const auto l = static_cast<std::uint8_t>(lead);
                const auto t = static_cast<std::uint8_t>(trail);
                const bool in_area = IsJisPairOf(area, l, t);
                for (unsigned j = 0; j < kBlockSize / 2; ++j) {
                    PairBlock block(0xB0, 0xA1);
                    block.Put(j, lead, trail);
                    ASSERT_EQ(JisPairMask(area, block.bytes), AllPairsBut(j, in_area))
                        << static_cast<int>(area) << ": " << std::hex << lead << " " << trail;
                    if (!in_area) continue;
                    std::uint8_t sjis[kBlockSize];
                    JisBlockToSjis(block.bytes, sjis);
                    const BytePair expected = JisToSjis(l, t);
                    ASSERT_EQ(sjis[2 * j], expected.lead) << std::hex << lead << " " << trail;
                    ASSERT_EQ(sjis[2 * j + 1], expected.trail) << std::hex << lead << " " << trail;
                }
            }
        }
    }
}

TEST(Blocks, ByteMasksAgreeWithTheBytes) {
    std::mt19937 random(20261207);
    // Few distinct values, so that pairs of them meet often.
    const std::uint8_t values[] = {0x00, 0x01, 0x0A, 0x0D, 0x5C, 0x7F, 0x80, 0x93, 0xFF};
    for (int round = 0; round < 2000; ++round) {
        std::uint8_t block[kBlockSize + 1];
        for (std::uint8_t& b : block) b = values[random() % (sizeof values)];
        unsigned ascii = 0, equal = 0, escapes = 0, line_ends = 0;
        for (unsigned k = 0; k < kBlockSize; ++k) {
            ascii |= (block[k] < 0x80 ? 1u : 0u) << k;
            equal |= (block[k] == 0x93 ? 1u : 0u) << k;
            escapes |= (block[k] == 0x5C && block[k + 1] == 0x01 ? 1u : 0u) << k;
            line_ends |= (block[k] == 0x0D && block[k + 1] == 0x0A ? 1u : 0u) << k;
        }
        ASSERT_EQ(AsciiMask(block), ascii);
        ASSERT_EQ(ByteEqualMask(block, 0x93), equal);
        ASSERT_EQ(PairStartMask(block, 0x5C, 0x01), escapes);
        ASSERT_EQ(PairStartMask(block, 0x0D, 0x0A), line_ends);

        std::uint8_t high[kBlockSize];
        CopyBlockWithHighBits(block, high);
        for (unsigned k = 0; k < kBlockSize; ++k) ASSERT_EQ(high[k], block[k] | 0x80);
    }
}

TEST(Blocks, LeadingBytesCountsTheBitsBeforeTheFirstGap) {
    const struct {
        unsigned mask, count;
    } cases[] = {{0x0000, 0}, {0xFFFE, 0}, {0x0001, 1}, {0x00FF, 8}, {0x7FFF, 15}, {0xFFFF, 16}, {0xFFFFFFFF, 16}, {0x1FFFF, 16}};
    for (const auto& c : cases) EXPECT_EQ(LeadingBytes(c.mask), c.count) << std::hex << c.mask;
}

// A run counts whole blocks while they last, then the leading bytes of the
// first block that is not whole; blocks past the counted end do not count.
TEST(Blocks, RunLengthStopsAtTheFirstGapOrAtTheCountedEnd) {
    std::uint8_t text[64 + 1] = {};
    for (std::size_t gap : {0u, 1u, 15u, 16u, 17u, 31u, 40u}) {
        for (std::size_t n : {15u, 16u, 17u, 32u, 47u, 48u, 64u}) {
            for (std::uint8_t& b : text) b = 0x41;
            if (gap < 64) text[gap] = 0x80;
            const std::size_t length = RunLength(0, n, [&](std::size_t at) { return AsciiMask(text + at); });
            // The blocks that fit: floor(n / 16) of them.
            const std::size_t reach = n / kBlockSize * kBlockSize;
            EXPECT_EQ(length, gap < reach ? gap : reach) << "gap " << gap << " n " << n;
        }
    }
}

}  // namespace
