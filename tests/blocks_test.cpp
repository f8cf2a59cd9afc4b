// The block functions of the fast paths against the pair tests and the
// arithmetic they stand for, over every pair at every place in a block.
// Built twice: with the target's vector instructions, and with the plain
// loops (LUMTRAX_NO_SIMD).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

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
            // The lead 87 is left to the unit steps.
            const bool plain = lead != 0x87 && IsSjisPlainKanji(l, t);
            for (unsigned j = 0; j < kBlockSize / 2; ++j) {
                PairBlock block(0x88, 0x9F);
                block.Put(j, lead, trail);
                ASSERT_EQ(PlainKanjiMask(block.bytes), AllPairsBut(j, plain))
                    << std::hex << lead << " " << trail << " at pair " << j;
                if (!plain) continue;
                std::uint8_t jis[kBlockSize];
                WriteJisOfKanjiPairs(block.bytes, jis);
                const BytePair expected = SjisToJis(l, t);
                ASSERT_EQ(jis[2 * j], expected.lead) << std::hex << lead << " " << trail;
                ASSERT_EQ(jis[2 * j + 1], expected.trail) << std::hex << lead << " " << trail;
            }
        }
    }
}

// The bytes a block function wrote agree with the walk up to taken.
void ExpectWrittenUpTo(const std::uint8_t* written, const std::uint8_t* expected, std::size_t taken, int round) {
    for (std::size_t k = 0; k < taken; ++k) ASSERT_EQ(written[k], expected[k]) << round << " at " << k;
}

// Where the characters of a block of Shift-JIS begin, from every place in
// it and with or without the trail of a pair there, against a walk of the
// block unit by unit (an escape counts as its single bytes here: the fast
// paths stop at the first one), and the JIS form written from that, which
// leaves the bytes before the place alone.
TEST(Blocks, SjisBlockUnitsFollowTheCharacters) {
    std::mt19937 random(4711);
    const std::uint8_t values[] = {0x41, 0x0D, 0x0A, 0x5C, 0x01, 0x81, 0x88, 0x9F, 0x40, 0x7F,
                                   0x87, 0xED, 0xEF, 0xF0, 0xB1, 0xFC, 0xE0, 0xA0, 0x80};
    for (int round = 0; round < 40000; ++round) {
        std::uint8_t block[kBlockSize + 1];
        for (std::uint8_t& b : block) b = values[random() % sizeof values];
        BlockStart start;
        start.from = round % 3 == 0 ? 0 : static_cast<unsigned>(random() % kBlockSize);
        start.in_pair = random() % 2 == 0;
        unsigned starts = 0, trails = 0, not_plain = 0, escapes = 0, line_ends = 0, high_singles = 0, a0 = 0;
        constexpr std::uint8_t kUntouched = 0xEE;
        std::uint8_t expected[kBlockSize];
        std::fill(expected, expected + kBlockSize, kUntouched);
        unsigned k = start.from;
        if (start.in_pair) {
            if (!IsSjisTrail(block[k])) block[k] = 0x9F;  // the trail of a pair
            trails |= 1u << k;
            expected[k] = SjisToJisCell(block[k]);
            k += 1;
        }
        while (k < kBlockSize) {
            const std::uint8_t lead = block[k], trail = block[k + 1];
            if (IsSjisDoubleByte(lead, trail)) {
                starts |= 1u << k;
                if (k + 1 < kBlockSize) trails |= 2u << k;
                // The fast paths leave the leads 87 and ED-FC to the unit steps.
                if (lead == 0x87 || lead >= 0xED) not_plain |= 1u << k;
                expected[k] = SjisToJisRow(lead, trail);
                if (k + 1 < kBlockSize) expected[k + 1] = SjisToJisCell(trail);
                k += 2;
                continue;
            }
            if (lead == 0x5C && trail == 0x01) escapes |= 1u << k;
            if (lead == 0x0D && trail == 0x0A) line_ends |= 1u << k;
            if (lead >= 0x80) high_singles |= 1u << k;
            if (lead == 0xA0) a0 |= 1u << k;
            expected[k] = lead;
            k += 1;
        }
        const SjisBlockUnits units = ReadSjisBlock(block, start);
        ASSERT_EQ(units.pair_starts, starts) << round;
        ASSERT_EQ(units.trails, trails) << round;
        ASSERT_EQ(units.not_plain, not_plain) << round;
        ASSERT_EQ(units.escapes, escapes) << round;
        ASSERT_EQ(units.line_ends, line_ends) << round;
        ASSERT_EQ(units.high_singles, high_singles) << round;
        ASSERT_EQ(units.placeholders, a0) << round;
        // The bytes up to the first pair that is not plain kanji (gaiji keep
        // their own bytes, which the unit steps write).
        std::uint8_t form[kBlockSize];
        std::fill(form, form + kBlockSize, kUntouched);
        WriteJisOfBlock(block, units, form);
        ExpectWrittenUpTo(form, expected, FirstOf(not_plain), round);
    }
}

TEST(Blocks, PairStartsAlternateInsideEachRun) {
    const struct {
        unsigned may_begin, starts;
    } cases[] = {
        {0x0000, 0x0000}, {0x0001, 0x0001}, {0x0007, 0x0005}, {0x0006, 0x0002},  // a run from an odd place
        {0x0033, 0x0011}, {0x0036, 0x0012}, {0xFFFF, 0x5555}, {0xFFFE, 0xAAAA},
        {0x8000, 0x8000}, {0xC000, 0x4000}, {0x6DB6, 0x2492},  // runs of two, from odd and even places
    };
    for (const auto& c : cases) EXPECT_EQ(PairStarts(c.may_begin), c.starts) << std::hex << c.may_begin;
    EXPECT_EQ(FirstOf(0), 16u);
    EXPECT_EQ(FirstOf(0x8000), 15u);
    EXPECT_EQ(FirstOf(0x0110), 4u);
    EXPECT_EQ(BytesFrom(0), kWholeBlock);
    EXPECT_EQ(BytesFrom(15), kLastByte);
    EXPECT_EQ(BytesFrom(16), 0u);
}

// A converted block goes out from..count-1, with a code before each marked
// byte or the marked bytes left out, whether the destination's end is far
// (pieces of 16 bytes) or near (a scratch block), and nothing is written past
// the end.
TEST(Blocks, BlocksGoOutWithTheirMarks) {
    ConvertedBlock block{};
    for (unsigned k = 0; k < kBlockSize; ++k) block.bytes[k] = static_cast<std::uint8_t>('a' + k);
    const auto code = [](unsigned k, std::uint8_t* at) {
        at[0] = '<';
        at[1] = static_cast<std::uint8_t>('A' + k);
    };
    const struct {
        unsigned from, count, marked;
        bool drop;
        const char* out;
    } cases[] = {
        {0, 16, 0x0000, false, "abcdefghijklmnop"},
        {0, 16, 0x0001, false, "<Aabcdefghijklmnop"},
        {0, 16, 0x8421, false, "<Aabcde<Ffghij<Kklmno<Pp"},
        {3, 9, 0x00F8, false, "<Dd<Ee<Ff<Gg<Hhi"},
        {0, 4, 0xFFF0, false, "abcd"},
        {0, 16, 0x8421, true, "bcdeghijlmno"},
        {5, 16, 0x0021, true, "ghijklmnop"},
        {15, 16, 0x8000, true, ""},
        {15, 16, 0x0000, true, "p"},
    };
    for (const auto& c : cases) {
        const std::string expected = c.out;
        for (bool expect_marks : {false, true}) {
            for (std::size_t room : {expected.size(), std::size_t{100}}) {
                std::uint8_t dst[100 + kBlockSize];
                std::fill(dst, dst + sizeof dst, '.');
                const BlockMarks<decltype(code)> marks{c.marked, c.drop ? 0u : 2u, code, c.drop};
                const std::uint8_t* end = WriteBlockWithMarks(block, c.from, c.count, marks, expect_marks, dst, dst + room);
                const std::string out(reinterpret_cast<const char*>(dst), reinterpret_cast<const char*>(end));
                ASSERT_EQ(out, expected) << c.from << " " << c.count << " " << std::hex << c.marked;
                ASSERT_TRUE(std::all_of(dst + room, dst + sizeof dst, [](std::uint8_t b) { return b == '.'; }))
                    << "written past the end: " << expected;
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

// Where the pairs of a block of EUC begin, from every place in it and with
// or without the trail of a pair there, against a walk unit by unit, and the
// Shift-JIS text of the block up to the first pair that is not JIS.
TEST(Blocks, EucBlockUnitsFollowThePairs) {
    std::mt19937 random(815);
    const std::uint8_t values[] = {0x41, 0x0D, 0x8E, 0xA1, 0xA8, 0xB0, 0xA9, 0xF4, 0xF5, 0xFE, 0x7F, 0x80, 0xC0, 0xB3};
    for (int round = 0; round < 40000; ++round) {
        // The byte before the block, the block, and the byte after it.
        std::uint8_t bytes[kBlockSize + 2];
        for (std::uint8_t& b : bytes) b = values[random() % sizeof values];
        const std::uint8_t* block = bytes + 1;
        BlockStart start;
        start.from = round % 3 == 0 ? 0 : static_cast<unsigned>(random() % kBlockSize);
        start.in_pair = random() % 2 == 0;
        if (start.in_pair) bytes[start.from] = random() % 2 == 0 ? 0xB0 : 0xB3;  // the lead, of an even or odd row
        unsigned starts = 0, trails = 0, not_jis = 0;
        std::uint8_t expected[kBlockSize];
        unsigned k = start.from;
        if (start.in_pair) {
            trails |= 1u << k;
            expected[k] = JisToSjis(block[static_cast<int>(k) - 1], block[k]).trail;
            k += 1;
        }
        while (k < kBlockSize) {
            if (block[k] < 0x80) {
                expected[k] = block[k];
                k += 1;
                continue;
            }
            starts |= 1u << k;
            if (k + 1 < kBlockSize) trails |= 2u << k;
            if (!IsEucJisPair(block[k], block[k + 1])) not_jis |= 1u << k;
            const BytePair sjis = JisToSjis(block[k], block[k + 1]);
            expected[k] = sjis.lead;
            if (k + 1 < kBlockSize) expected[k + 1] = sjis.trail;
            k += 2;
        }
        const EucBlockUnits units = ReadEucBlock(block, start);
        ASSERT_EQ(units.pair_starts, starts) << round;
        ASSERT_EQ(units.trails, trails) << round;
        ASSERT_EQ(units.not_jis, not_jis) << round;
        ConvertedBlock text;
        SjisOfJisBlock(block, units.pair_starts, units.trails, text);
        for (unsigned b = start.from; b < FirstOf(not_jis); ++b) ASSERT_EQ(text.bytes[b], expected[b]) << round << " at " << b;
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
// first block that is not whole, over the blocks that lie inside the text;
// RunLengthToEnd also counts the last bytes of the text (fewer than a
// block), from a copy. Neither counts a byte past the counted end, even when
// the bytes after it would continue the run.
TEST(Blocks, RunLengthStopsAtTheFirstGapOrAtTheCountedEnd) {
    std::uint8_t text[64 + 1] = {};
    for (std::size_t gap : {0u, 1u, 15u, 16u, 17u, 31u, 40u, 64u}) {
        for (std::size_t n : {1u, 15u, 16u, 17u, 32u, 47u, 48u, 63u}) {
            for (std::uint8_t& b : text) b = 0x41;
            text[gap] = 0x80;
            const auto ascii = [](const std::uint8_t* p) { return AsciiMask(p); };
            const std::size_t blocks = n / kBlockSize * kBlockSize;
            EXPECT_EQ(RunLength(text, 0, n, ascii), gap < blocks ? gap : blocks) << "gap " << gap << " n " << n;
            EXPECT_EQ(RunLengthToEnd(text, 0, n, ascii), gap < n ? gap : n) << "gap " << gap << " n " << n;
        }
    }
}

}  // namespace
