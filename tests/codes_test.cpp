#include <gtest/gtest.h>

#include "codes/ebcdic_host.h"
#include "codes/eightbit_host.h"
#include "codes/euc.h"
#include "codes/shift_jis.h"

namespace {

using namespace lumtrax;

TEST(SjisClasses, DoubleByteIsExactlyKanjiOrGaiji) {
    for (int lead = 0; lead < 256; ++lead) {
        for (int trail = 0; trail < 256; ++trail) {
            const auto l = static_cast<std::uint8_t>(lead);
            const auto t = static_cast<std::uint8_t>(trail);
            ASSERT_EQ(IsSjisDoubleByte(l, t), IsSjisKanji(l, t) || IsSjisGaiji(l, t))
                << std::hex << lead << " " << trail;
        }
    }
}

// The conversions test pairs through the class tables; the tables must
// answer as the byte ranges do.
TEST(SjisClasses, TablesAgreeWithTheRanges) {
    for (int lead = 0; lead < 256; ++lead) {
        for (int trail = 0; trail < 256; ++trail) {
            const auto l = static_cast<std::uint8_t>(lead);
            const auto t = static_cast<std::uint8_t>(trail);
            ASSERT_EQ(IsSjisDoubleByte(l, t), sjis_ranges::IsDoubleByte(l, t)) << std::hex << lead << " " << trail;
            ASSERT_EQ(IsSjisKanji(l, t), sjis_ranges::IsKanji(l, t)) << std::hex << lead << " " << trail;
            ASSERT_EQ(IsSjisGaiji(l, t), sjis_ranges::IsGaiji(l, t)) << std::hex << lead << " " << trail;
            ASSERT_EQ(IsSjisPlainKanji(l, t), sjis_ranges::IsKanji(l, t) && !sjis_ranges::IsGaiji(l, t));
        }
    }
}

struct PairCase {
    std::uint8_t lead, trail;
    bool kanji, gaiji;
};

TEST(SjisClasses, Boundaries) {
    const PairCase cases[] = {
        {0x87, 0x9F, true, false},  {0x87, 0x40, true, true},   {0x87, 0x9E, true, true},   {0x87, 0x7F, false, false},
        {0x81, 0x7F, false, false}, {0x81, 0x80, true, false},  {0xED, 0x40, true, true},   {0xEE, 0xFC, true, true},
        {0xF0, 0x40, false, true},  {0xF9, 0xFC, false, true},  {0xFA, 0x40, false, true},  {0xFC, 0xFC, false, true},
        {0xE0, 0x3F, false, false}, {0x81, 0xFD, false, false}, {0x80, 0x40, false, false}, {0xA0, 0x40, false, false},
        {0xFD, 0x40, false, false}, {0xEF, 0xFC, true, false},
    };
    for (const PairCase& c : cases) {
        EXPECT_EQ(IsSjisKanji(c.lead, c.trail), c.kanji) << std::hex << int{c.lead} << " " << int{c.trail};
        EXPECT_EQ(IsSjisGaiji(c.lead, c.trail), c.gaiji) << std::hex << int{c.lead} << " " << int{c.trail};
    }
}

TEST(SjisToJis, Examples) {
    const std::uint8_t cases[][4] = {
        {0x81, 0x40, 0x21, 0x21}, {0x81, 0x80, 0x21, 0x60}, {0x81, 0x9F, 0x22, 0x21}, {0x88, 0x9F, 0x30, 0x21},
        {0x9F, 0xFC, 0x5E, 0x7E}, {0xE0, 0x40, 0x5F, 0x21}, {0xEF, 0xFC, 0x7E, 0x7E}, {0x87, 0x9F, 0x2E, 0x21},
    };
    for (const auto& c : cases) {
        const BytePair jis = SjisToJis(c[0], c[1]);
        EXPECT_EQ(jis.lead, c[2]);
        EXPECT_EQ(jis.trail, c[3]);
    }
}

// Every kanji-class pair has a JIS code in the square, and JisToSjis brings
// it back, with or without the high bits.
TEST(SjisToJis, IsInvertedByJisToSjisOverTheWholeKanjiClass) {
    int pairs = 0;
    for (int lead = 0x81; lead <= 0xEF; ++lead) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const auto l = static_cast<std::uint8_t>(lead);
            const auto t = static_cast<std::uint8_t>(trail);
            if (!IsSjisKanji(l, t)) continue;
            ++pairs;
            const BytePair jis = SjisToJis(l, t);
            ASSERT_TRUE(IsJisByte(jis.lead) && IsJisByte(jis.trail));
            const BytePair back =
                JisToSjis(static_cast<std::uint8_t>(jis.lead | 0x80), static_cast<std::uint8_t>(jis.trail | 0x80));
            ASSERT_EQ(back.lead, l);
            ASSERT_EQ(back.trail, t);
            EXPECT_EQ(JisToSjis(jis.lead, jis.trail).trail, t);
        }
    }
    EXPECT_EQ(pairs, 94 * 94);
}

TEST(JisToSjis, Examples) {
    const std::uint8_t cases[][4] = {
        {0xB0, 0xA1, 0x88, 0x9F}, {0xA1, 0xA1, 0x81, 0x40}, {0xA1, 0xE0, 0x81, 0x80},
        {0xA4, 0xA2, 0x82, 0xA0}, {0xDF, 0xA1, 0xE0, 0x40}, {0xF4, 0xA6, 0xEA, 0xA4},
    };
    for (const auto& c : cases) {
        const BytePair sjis = JisToSjis(c[0], c[1]);
        EXPECT_EQ(sjis.lead, c[2]);
        EXPECT_EQ(sjis.trail, c[3]);
    }
}

// The four pair classes of each direction are disjoint, and their JIS
// classes cover exactly the pairs with both bytes in the square.
TEST(PairClasses, AreDisjointAndCoverTheSquare) {
    for (int lead = 0; lead < 256; ++lead) {
        for (int trail = 0; trail < 256; ++trail) {
            const auto l = static_cast<std::uint8_t>(lead);
            const auto t = static_cast<std::uint8_t>(trail);
            const int out_classes =
                IsJisAreaPair(l, t) + IsJisOpenAreaPair(l, t) + IsEbcdicHighLeadPair(l, t) + IsEbcdicHighTrailPair(l, t);
            const int in_classes =
                IsEbcdicJisPair(l, t) + IsEbcdicOpenAreaPair(l, t) + IsEbcdicLowLeadPair(l, t) + IsEbcdicLowTrailPair(l, t);
            ASSERT_LE(out_classes, 1);
            ASSERT_LE(in_classes, 1);
            ASSERT_EQ(IsJisAreaPair(l, t) || IsJisOpenAreaPair(l, t), IsJisByte(l) && IsJisByte(t));
            ASSERT_EQ(IsEbcdicJisPair(l, t) || IsEbcdicOpenAreaPair(l, t), IsHighJisByte(l) && IsHighJisByte(t));
            // The host JIS area is the JIS area with the high bits set.
            if (IsJisByte(l) && IsJisByte(t)) {
                ASSERT_EQ(IsJisAreaPair(l, t),
                          IsEbcdicJisPair(static_cast<std::uint8_t>(l | 0x80), static_cast<std::uint8_t>(t | 0x80)));
            }
        }
    }
}

// A server code of one of the four classes is written so that the way back
// hands the server the same two bytes as its record. (Codes of no class are
// written as they are and read back by their host class.)
TEST(PairClasses, EbcdicRecordUndoesTheHostPair) {
    for (int lead = 0; lead < 256; ++lead) {
        for (int trail = 0; trail < 256; ++trail) {
            const auto l = static_cast<std::uint8_t>(lead);
            const auto t = static_cast<std::uint8_t>(trail);
            const bool classed =
                IsJisAreaPair(l, t) || IsJisOpenAreaPair(l, t) || IsEbcdicHighLeadPair(l, t) || IsEbcdicHighTrailPair(l, t);
            if (!classed) continue;
            const BytePair host = EbcdicHostPair(l, t);
            if (IsEbcdicJisPair(host.lead, host.trail)) continue;  // converted by arithmetic
            const CodeRecord record = EbcdicHostRecord(host.lead, host.trail);
            ASSERT_EQ(record.bytes[0], l) << std::hex << lead << " " << trail;
            ASSERT_EQ(record.bytes[1], t) << std::hex << lead << " " << trail;
            ASSERT_EQ(record.bytes[2], 0);
        }
    }
}

// Every kanji-class pair through each code's kanji form and back: the 8-bit
// host code takes the whole square (the ideographic space as 20 20), EUC the
// rows 1-8 and 16-84, and the way back gives the pair again.
TEST(PairClasses, EachCodesKanjiFormComesBack) {
    int eight_bit = 0, euc = 0;
    for (int lead = 0x81; lead <= 0xEF; ++lead) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const auto l = static_cast<std::uint8_t>(lead);
            const auto t = static_cast<std::uint8_t>(trail);
            if (!IsSjisKanji(l, t)) continue;
            const BytePair jis = SjisToJis(l, t);
            const BytePair host = EightBitKanji(jis.lead, jis.trail);
            const BytePair back =
                IsEightBitSpace(host.lead, host.trail) ? kSjisIdeographicSpace : JisToSjis(host.lead, host.trail);
            ASSERT_TRUE(IsEightBitJisPair(host.lead, host.trail) || IsEightBitSpace(host.lead, host.trail));
            ASSERT_TRUE(back.lead == l && back.trail == t) << std::hex << lead << " " << trail;
            ++eight_bit;
            const BytePair e = EucKanji(jis.lead, jis.trail);
            const bool rows = (jis.lead >= 0x21 && jis.lead <= 0x28) || (jis.lead >= 0x30 && jis.lead <= 0x74);
            ASSERT_EQ(IsEucJisPair(e.lead, e.trail), rows) << std::hex << lead << " " << trail;
            if (rows) {
                const BytePair from_euc = JisToSjis(e.lead, e.trail);
                ASSERT_TRUE(from_euc.lead == l && from_euc.trail == t);
                ++euc;
            }
        }
    }
    EXPECT_EQ(eight_bit, 94 * 94);
    EXPECT_EQ(euc, 77 * 94);
}

}  // namespace
