#include <gtest/gtest.h>

#include "gaiji_double.h"
#include "test_support.h"

namespace {

using test_support::Bytes;
using test_support::RunExport;
using test_support::RunWithFailingServer;
using test_support::ToHex;

using test_support::Case;
using test_support::Check;
using test_support::kLrss;
using test_support::kNoShift;
using test_support::kPlain;
using EbcdicTest = test_support::ServerTest;

TEST_F(EbcdicTest, SjisToHost) {
    const Case cases[] = {
        {"walk-through", kPlain, 0, "41 88 9F 0D 0A", "C1 2B B0 A1 2C 0D 25"},
        {"empty", kPlain, 0, "", ""},
        {"letters set 0", kPlain, 0, "41 42", "C1 C2"},
        {"letters set 1", kPlain, 1, "41 42", "C1 C2"},
        {"one kanji", kPlain, 0, "82 A0", "2B A4 A2 2C"},
        {"one kanji, no shift", kNoShift, 0, "82 A0", "A4 A2"},
        {"run between letters", kPlain, 0, "41 82 A0 42", "C1 2B A4 A2 2C C2"},
        {"one run", kPlain, 0, "82 A0 82 A2", "2B A4 A2 A4 A4 2C"},
        {"line end kept", kPlain, 0, "82 A0 0D 0A 82 A0", "2B A4 A2 2C 0D 25 2B A4 A2 2C", 0},
        {"line end LF", kPlain, 0, "82 A0 0D 0A 82 A0", "2B A4 A2 2C 25 2B A4 A2 2C", 1},
        {"line end dropped", kPlain, 0, "82 A0 0D 0A 82 A0", "2B A4 A2 A4 A2 2C", 2},
        {"line end, other mode", kPlain, 0, "82 A0 0D 0A 82 A0", "2B A4 A2 2C 0D 25 2B A4 A2 2C", 7},
        {"line end, no shift", kNoShift, 0, "82 A0 0D 0A 82 A0", "A4 A2 0D 25 A4 A2", 0},
        {"line end set 1", kPlain, 1, "41 0D 0A 42", "C1 0D 25 C2"},
        {"open area", kPlain, 0, "EF 40 88 9F", "2B FD A1 B0 A1 2C"},
        {"alternating", kPlain, 0, "82 A0 41 82 A0 41 82 A0", "2B A4 A2 2C C1 2B A4 A2 2C C1 2B A4 A2 2C"},
        {"escape closes run", kPlain, 0, "82 A0 5C 01 FF", "2B A4 A2 2C FF"},
        {"escaped nul", kPlain, 0, "41 5C 01 00 42", "C1 00 C2"},
        {"escaped CR", kPlain, 0, "5C 01 0D", "0D"},
        {"A0 set 0", kPlain, 0, "A0", "41"},
        {"A0 set 1", kPlain, 1, "A0", "59"},
        {"lone 8B and 8C", kPlain, 0, "8B 0D 0A", "2B 0D 25"},
        {"lone 8C", kPlain, 0, "8C", "2C"},
        {"layout set 0", kPlain, 0, "61 7E 5C 24", "81 A1 E0 5B"},
        {"layout set 1", kPlain, 1, "61 7E 5C 24", "62 B1 5B E0"},
        {"kana set 0", kPlain, 0, "B1 DE 41", "59 B6 C1"},
        {"kana set 1", kPlain, 1, "B1 DE 41", "81 BE C1"},
        {"kana and lower case, set 1", kPlain, 1, "B1 DE 61", "81 BE 62"},
        {"lead at the end", kPlain, 0, "41 82", "C1 22"},
        // An escape is found on the source: the carried lead byte is not
        // joined with the byte after it.
        {"carried lead", kPlain, 0, "5C 01 81 41 42", "81 C1 C2"},
        // A CR LF needs both bytes inside the counted text.
        {"cut line end", kLrss, 0, "41 0D 0A", "C1 0D", 0, 2},
        {"cut line end, LF only", kLrss, 0, "41 0D 0A", "C1 0D", 1, 2},
        // A pair that begins at the last counted byte takes the next byte.
        {"pair past the length", kLrss, 0, "82 A0", "2B A4 A2 2C", 0, 1},
        // A 5C that is the last counted byte is a single byte.
        {"cut escape", kNoShift, 0, "41 5C", "C1 E0"},
    };
    for (const Case& c : cases) Check(c);
}

TEST_F(EbcdicTest, SjisToHostLrss) {
    const Case cases[] = {
        {"placeholders", kLrss, 0, "A0 82 A0 A0 41", "2B A4 A2 2C C1"},
        {"single stays in run", kLrss, 0, "82 A0 41", "2B A4 A2 C1 2C"},
        {"line end closes", kLrss, 0, "82 A0 0D 0A 41", "2B A4 A2 2C 0D 25 C1", 0},
        {"dropped line end", kLrss, 0, "82 A0 0D 0A 41", "2B A4 A2 C1 2C", 2},
        {"run of a single", kLrss, 0, "A0 41 A0", "2B C1 2C"},
        {"empty run", kLrss, 0, "A0 A0", "2B 2C"},
        {"no escapes", kLrss, 0, "5C 01 41", "E0 01 C1"},
        {"escaped CR as three bytes", kLrss, 0, "5C 01 0D", "E0 01 0D"},
        {"A0 after a lead is a trail", kLrss, 0, "81 A0", "2B A2 A2 2C"},
        {"second A0 closes", kLrss, 0, "81 A0 A0", "2B A2 A2 2C"},
    };
    for (const Case& c : cases) Check(c);
}

TEST_F(EbcdicTest, GaijiTakeTheFormOfTheirClass) {
    const struct {
        std::uint8_t lead, trail;
        const char* out;
    } cases[] = {
        {0x41, 0xA1, "2B C1 41 2C"}, {0xA1, 0x41, "2B 41 C1 2C"}, {0x21, 0x21, "2B A1 A1 2C"},
        {0xA1, 0xA1, "2B A1 A1 2C"}, {0x7F, 0x21, "2B 7F 21 2C"},
    };
    for (const auto& c : cases) {
        gaiji_double::Reset();
        gaiji_double::AnswerWith(c.lead, c.trail);
        Check({"server code", kPlain, 0, "F0 40", c.out}, 1);
    }
    gaiji_double::Reset();
    Check({"failing server", kPlain, 0, "F0 40", "2B A2 A3 2C"}, 2);
    // The byte after an escape is carried, not asked for.
    gaiji_double::Reset();
    Check({"carried gaiji lead", kPlain, 0, "5C 01 F0 40 41", "F0 7C C1"}, 0);
    EXPECT_TRUE(gaiji_double::Calls().empty());
}

TEST_F(EbcdicTest, HostToSjis) {
    const Case cases[] = {
        {"empty", kPlain, 4, "", ""},
        {"walk back", kPlain, 4, "C1 2B B0 A1 2C 0D 25", "41 88 9F 0D 0A"},
        {"run", kPlain, 4, "C1 2B B0 A1 2C C1", "41 88 9F 41"},
        {"run, LRSS", kLrss, 4, "C1 2B B0 A1 2C C1", "41 A0 88 9F A0 41", 0, 6},
        {"line end in any mode", kPlain, 4, "0D 25", "0D 0A", 2},
        {"no shift is the same", kNoShift, 4, "C1 2B B0 A1 2C C1", "41 88 9F 41"},
        {"81 in set 0", kPlain, 4, "81", "61"},
        {"81 in set 1", kPlain, 5, "81", "B1"},
        {"kana and lower case, set 1", kPlain, 5, "81 BE 62", "B1 DE 61"},
        {"ideographic space", kPlain, 4, "2B A1 A1", "81 40"},
        {"end of row 8", kPlain, 4, "2B A8 C0", "84 BE"},
        {"end of row 84", kPlain, 4, "2B F4 A6", "EA A4"},
        {"repeated 2B", kPlain, 4, "2B 2B B0 A1", "88 9F"},
        {"repeated 2B, LRSS", kLrss, 4, "2B 2B B0 A1", "A0 A0 88 9F", 0, 4},
        {"lone 2C", kPlain, 4, "2C C1", "41"},
        {"lone 2C, LRSS", kLrss, 4, "2C", "A0", 0, 1},
        {"lone 2B", kPlain, 4, "2B", ""},
    };
    for (const Case& c : cases) Check(c);
}

TEST_F(EbcdicTest, HostPairsOutsideTheJisAreaGoToTheServer) {
    const struct {
        const char* src;
        const char* record;
    } cases[] = {
        {"2B F4 A7", "74 27 00"}, {"2B A8 C1", "28 41 00"}, {"2B F5 A1", "75 21 00"}, {"2B 41 A1", "A1 21 00"},
        {"2B A1 41", "21 A1 00"}, {"2B 40 40", "40 40 00"}, {"2B B0", "B0 00 00"},  // a lone lead takes the terminator
                                                                                    // as its trail
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RunWithFailingServer(4, c.src, {c.record}, 1).out, "81 A1") << c.src;
    }
}

TEST_F(EbcdicTest, AShiftCodeAsTrailBelongsToItsPair) {
    gaiji_double::AnswerWith(0xF0, 0x40);
    const auto outcome = RunExport(kPlain, 4, "2B B0 2C 2C C1");
    EXPECT_EQ(outcome.out, "F0 40 41");
    EXPECT_EQ(outcome.status, 1);
    ASSERT_EQ(gaiji_double::Calls().size(), 1u);
    EXPECT_EQ(ToHex(gaiji_double::Calls()[0].record), "B0 2C 00");
}

TEST_F(EbcdicTest, StatusOfServerPairs) {
    int calls = 0;
    gaiji_double::AnswerBy([&](gaiji_double::Direction, const Bytes&, int, std::uint8_t code[2]) {
        code[0] = 0xF0;
        code[1] = 0x41;
        return ++calls == 1 ? 0 : 2;
    });
    auto outcome = RunExport(kPlain, 4, "2B 40 40 40 40");
    EXPECT_EQ(outcome.out, "81 A1 F0 41");
    EXPECT_EQ(outcome.status, 2);  // a replacement stays final
    gaiji_double::AnswerWith(0xF0, 0x41);
    EXPECT_EQ(RunExport(kPlain, 4, "2B 40 40 40 40").status, 1);
    EXPECT_EQ(RunExport(kPlain, 4, "2B B0 A1").status, 0);
}

}  // namespace
