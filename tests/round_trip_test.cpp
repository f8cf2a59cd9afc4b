#include <gtest/gtest.h>

#include <random>

#include "codes/ebcdic_host.h"
#include "codes/shift_jis.h"
#include "gaiji_double.h"
#include "lumtrax.h"
#include "tables/host_tables.h"
#include "test_support.h"
#include "unit_texts.h"

namespace {

using test_support::Bytes;
using RoundTripTest = test_support::ServerTest;

// Converts a counted text through Lumtrax_LRSS (or Lumtrax when lrss is
// false, for texts without 00) into a buffer of the growth rule's size.
Bytes Convert(int type, const Bytes& src, bool lrss, int* status = nullptr) {
    Bytes source = src;
    source.push_back(0x00);
    Bytes dst(3 * src.size() + 8, 0xEE);
    int ignored = 0;
    int* status_ptr = status != nullptr ? status : &ignored;
    const int n = lrss ? Lumtrax_LRSS(type, dst.data(), source.data(), static_cast<int>(src.size()), 0, status_ptr)
                       : Lumtrax(type, dst.data(), source.data(), 0, status_ptr);
    EXPECT_GE(n, 0);
    dst.resize(static_cast<std::size_t>(std::max(n, 0)));
    return dst;
}

// Every kanji-class code that is no gaiji, in code order; only those whose
// JIS code lies in the assigned area of JIS X 0208 (the home of every
// character of that standard) when assigned_only.
Bytes KanjiClassCodes(bool assigned_only) {
    Bytes text;
    for (int lead = 0x81; lead <= 0xEF; ++lead) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const auto l = static_cast<std::uint8_t>(lead);
            const auto t = static_cast<std::uint8_t>(trail);
            if (!lumtrax::IsSjisKanji(l, t) || lumtrax::IsSjisGaiji(l, t)) continue;
            const lumtrax::BytePair jis = lumtrax::SjisToJis(l, t);
            if (assigned_only && !lumtrax::IsJisAreaPair(jis.lead, jis.trail)) continue;
            text.push_back(l);
            text.push_back(t);
        }
    }
    return text;
}

Bytes AllJisCharacters() { return KanjiClassCodes(true); }

TEST_F(RoundTripTest, EveryJisCharacterSurvivesEachHostCode) {
    const Bytes text = AllJisCharacters();
    ASSERT_EQ(text.size(), 2u * (7 * 94 + 32 + 68 * 94 + 6));
    const struct { int out, back; } pairs[] = {{0, 4}, {1, 5}, {2, 6}, {10, 6}, {3, 7}};
    for (const auto& p : pairs) {
        SCOPED_TRACE(p.out);
        for (bool lrss : {false, true}) {
            // In LRSS mode placeholders open and close the run.
            Bytes sjis = text;
            if (lrss) {
                sjis.insert(sjis.begin(), 0xA0);
                sjis.push_back(0xA0);
            }
            int status = 7;
            const Bytes host = Convert(p.out, sjis, lrss, &status);
            EXPECT_EQ(status, 0);
            EXPECT_EQ(Convert(p.back, host, lrss, &status), sjis);
            EXPECT_EQ(status, 0);
        }
    }
    EXPECT_TRUE(gaiji_double::Calls().empty());
}

// The kanji-class pairs outside the assigned area are converted by the same
// arithmetic; only the 8-bit host code brings them back without the server.
TEST_F(RoundTripTest, OpenAreaPairsComeBackFromTheEightBitHostCode) {
    const Bytes text = KanjiClassCodes(false);
    EXPECT_EQ(Convert(6, Convert(2, text, false), false), text);
    EXPECT_TRUE(gaiji_double::Calls().empty());
}

// Each byte alone, counted, through LRSS mode: the placeholder A0 comes back
// as itself; 8B and 8C have the images 2B and 2C, which read back as shift
// codes.
TEST_F(RoundTripTest, EverySingleByteSurvivesBothTableSets) {
    for (int set : {0, 1}) {
        for (int b = 0; b < 256; ++b) {
            SCOPED_TRACE(b);
            const Bytes one{static_cast<std::uint8_t>(b)};
            const Bytes host = Convert(set, one, true);
            const Bytes back = Convert(set + 4, host, true);
            if (b == 0x8B || b == 0x8C) {
                EXPECT_EQ(back, Bytes{0xA0});
            } else if (b == 0xA0) {
                EXPECT_EQ(host, (Bytes{0x2B, 0x2C}));  // an empty run, opened and closed
                EXPECT_EQ(back, (Bytes{0xA0, 0xA0}));
            } else {
                EXPECT_EQ(host, Bytes{lumtrax::SjisToHostTable(set == 0 ? lumtrax::TableSet::kLowerCase
                                                                        : lumtrax::TableSet::kKana)[b]});
                EXPECT_EQ(back, one);
            }
        }
    }
}

// A text whose runs are opened and closed by placeholders keeps its length
// and the offsets of its characters in the EBCDIC host code, both ways.
TEST_F(RoundTripTest, LrssTextKeepsItsLengthAndOffsets) {
    std::mt19937 random(20261207);
    const Bytes kanji = AllJisCharacters();
    for (int round = 0; round < 50; ++round) {
        Bytes text;
        std::vector<bool> is_kanji_lead;
        for (int unit = 0; unit < 200; ++unit) {
            switch (random() % 4) {
                case 0: {  // a run of one to three kanji
                    text.push_back(0xA0);
                    is_kanji_lead.push_back(false);
                    const int count = 1 + static_cast<int>(random() % 3);
                    for (int k = 0; k < count; ++k) {
                        const std::size_t at = 2 * (random() % (kanji.size() / 2));
                        text.push_back(kanji[at]);
                        text.push_back(kanji[at + 1]);
                        is_kanji_lead.push_back(true);
                        is_kanji_lead.push_back(false);
                    }
                    text.push_back(0xA0);
                    is_kanji_lead.push_back(false);
                    break;
                }
                case 1:
                    text.push_back(0x0D);
                    text.push_back(0x0A);
                    is_kanji_lead.insert(is_kanji_lead.end(), 2, false);
                    break;
                default: {
                    // A byte that starts no character by itself: ASCII or
                    // half-width katakana.
                    const std::uint8_t b = random() % 2 ? static_cast<std::uint8_t>(0x20 + random() % 0x5F)
                                                        : static_cast<std::uint8_t>(0xA1 + random() % 0x3F);
                    text.push_back(b);
                    is_kanji_lead.push_back(false);
                }
            }
        }
        for (int set : {0, 1}) {
            const Bytes host = Convert(set, text, true);
            ASSERT_EQ(host.size(), text.size());
            for (std::size_t i = 0; i < text.size(); ++i) {
                if (is_kanji_lead[i]) {
                    const lumtrax::BytePair jis = lumtrax::SjisToJis(text[i], text[i + 1]);
                    ASSERT_EQ(host[i], jis.lead | 0x80);
                    ASSERT_EQ(host[i + 1], jis.trail | 0x80);
                    ++i;
                } else if (text[i] == 0xA0) {
                    ASSERT_TRUE(host[i] == 0x2B || host[i] == 0x2C);
                } else {
                    ASSERT_EQ(host[i], lumtrax::SjisToHostTable(set == 0 ? lumtrax::TableSet::kLowerCase
                                                                         : lumtrax::TableSet::kKana)[text[i]]);
                }
            }
            ASSERT_EQ(Convert(set + 4, host, true), text);
        }
    }
}

// Texts on both sides of 1024 bytes, where the old two-pass core moved its
// working copy to the heap; the output must not notice.
TEST_F(RoundTripTest, TextsAroundTheWorkingCopyLimitConvertAlike) {
    const struct {
        int type;
        const char* unit_out;  // what "41 88 9F" becomes
        const char* tail_out;  // what a final "41" becomes
    } cases[] = {
        {0, "C1 2B B0 A1 2C", "C1"},        {1, "C1 2B B0 A1 2C", "C1"}, {2, "41 93 F0 B0 A1 93 F1", "41"},
        {10, "41 93 70 B0 A1 93 F1", "41"}, {3, "41 B0 A1", "41"},
    };
    for (const auto& c : cases) {
        for (std::size_t length : {1022u, 1023u, 1024u, 1025u, 4000u}) {
            SCOPED_TRACE(length);
            Bytes text;
            Bytes expected;
            while (text.size() + 3 <= length) {
                text.insert(text.end(), {0x41, 0x88, 0x9F});
                const Bytes unit = test_support::Hex(c.unit_out);
                expected.insert(expected.end(), unit.begin(), unit.end());
            }
            while (text.size() < length) {
                text.push_back(0x41);
                const Bytes tail = test_support::Hex(c.tail_out);
                expected.insert(expected.end(), tail.begin(), tail.end());
            }
            EXPECT_EQ(Convert(c.type, text, false), expected);
        }
    }
}

// Short mixed texts of every length, and runs at every alignment, come back
// from each host code.
TEST_F(RoundTripTest, TextsOfEveryShapeComeBackFromEachHostCode) {
    using unit_texts::Repeat;
    std::vector<std::string> texts;
    std::mt19937 random(94);
    const std::string alphabet = "aaaaaKKKKKSLkn";
    for (std::size_t target = 1; target <= 120; ++target) {
        for (int round = 0; round < 4; ++round) {
            std::string letters;
            while (unit_texts::Text(letters).size() < target) {
                letters += Repeat(alphabet[random() % alphabet.size()], 1 + random() % 6);
            }
            texts.push_back(letters);
        }
    }
    for (const char run : {'a', 'K', 'S', 'L'}) {
        for (std::size_t shift = 0; shift <= 17; shift += 2) {
            for (const std::size_t length : {1u, 8u, 15u, 16u, 17u, 31u, 32u, 33u}) {
                for (const char* ending : {"", "a", "K", "n", "k", "Sa"}) {
                    texts.push_back(Repeat('K', shift % 3) + Repeat('a', shift) + Repeat(run, length) + ending);
                }
            }
        }
    }
    const struct { int out, back; } pairs[] = {{0, 4}, {1, 5}, {2, 6}, {10, 6}, {3, 7}};
    for (const std::string& letters : texts) {
        const Bytes text = unit_texts::Text(letters);
        for (const auto& p : pairs) {
            ASSERT_EQ(Convert(p.back, Convert(p.out, text, false), false), text)
                << p.out << " -> " << p.back << ": " << letters;
        }
    }
}

// A kanji run whose last pair begins at the last counted byte takes the
// byte after the text as its trail, at every length of the run.
TEST_F(RoundTripTest, RunsEndingInAPairPastTheCountedLength) {
    for (std::size_t kanji = 1; kanji <= 40; ++kanji) {
        const Bytes text = unit_texts::Text(unit_texts::Repeat('K', kanji));
        for (const int type : {0, 2, 3}) {
            const auto whole = test_support::RunExport(test_support::kLrss, type, text, 0, static_cast<int>(text.size()));
            const auto cut = test_support::RunExport(test_support::kLrss, type, text, 0, static_cast<int>(text.size() - 1));
            EXPECT_EQ(cut.out, whole.out) << "type " << type << ", " << kanji << " kanji";
        }
    }
}

}  // namespace
