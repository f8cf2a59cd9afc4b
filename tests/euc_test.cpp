#include <gtest/gtest.h>

#include "gaiji_double.h"
#include "test_support.h"

namespace {

using test_support::Bytes;
using test_support::Case;
using test_support::Check;
using test_support::kLrss;
using test_support::kNoShift;
using test_support::kPlain;
using test_support::RunWithFailingServer;
using EucTest = test_support::ServerTest;

TEST_F(EucTest, SjisToEuc) {
    const Case cases[] = {
        {"empty", kPlain, 3, "", ""},
        {"ideographic space", kPlain, 3, "41 81 40 42", "41 A1 A1 42"},
        {"kanji", kPlain, 3, "88 9F 82 A0", "B0 A1 A4 A2"},
        {"mixed", kPlain, 3, "41 88 9F B1", "41 B0 A1 8E B1"},
        {"half-width katakana", kPlain, 3, "B1 DF 41", "8E B1 8E DF 41"},
        {"other high bytes", kPlain, 3, "80 A0 FD FF", "8E 80 8E A0 8E FD 8E FF"},
        {"7F is no trail", kPlain, 3, "81 7F", "8E 81 7F"},
        {"lone lead", kPlain, 3, "82", "8E 82"},
        {"line end kept", kPlain, 3, "41 0D 0A 42", "41 0D 0A 42", 0},
        {"line end, other mode", kPlain, 3, "41 0D 0A 42", "41 0D 0A 42", 5},
        {"line end LF", kPlain, 3, "41 0D 0A 42", "41 0A 42", 1},
        {"line end dropped", kPlain, 3, "41 0D 0A 42", "41 42", 2},
        {"CR CR LF", kPlain, 3, "0D 0D 0A", "0D 0A", 1},
        {"escaped nul", kPlain, 3, "41 5C 01 00 42", "41 00 42"},
        {"escaped high byte", kPlain, 3, "5C 01 B1", "B1"},
        {"escape, LRSS too", kLrss, 3, "5C 01 B1", "B1"},
        {"escape, no shift too", kNoShift, 3, "5C 01 B1", "B1"},
        {"5C alone", kPlain, 3, "5C 41", "5C 41"},
        {"pair past the length", kLrss, 3, "41 82 A0", "41 A4 A2", 0, 2},
        {"carried lead", kPlain, 3, "5C 01 81 40 41", "81 40 41"},
        {"cut line end", kLrss, 3, "41 0D 0A", "41 0D", 0, 2},
        {"A0 is a single byte", kLrss, 3, "A0", "8E A0"},
    };
    for (const Case& c : cases) Check(c);
}

TEST_F(EucTest, GaijiAreAskedWithKindThree) {
    Check({"failing server", kPlain, 3, "41 F0 40 42", "41 A2 A3 42"}, 2);
    EXPECT_EQ(gaiji_double::Calls().at(0).kind, 3);
    gaiji_double::Reset();
    Check({"gaiji and kanji at lead 87", kPlain, 3, "87 40 87 9F", "A2 A3 AE A1"}, 2);
    // A server code that begins with 0A or 01 cannot make a line end or an
    // escape of the byte before it.
    for (int mode : {0, 1, 2}) {
        gaiji_double::Reset();
        gaiji_double::AnswerWith(0x0A, 0x41);
        Check({"server code 0A 41", kPlain, 3, "0D F0 40", "0D 0A 41", mode}, 1);
    }
    gaiji_double::Reset();
    gaiji_double::AnswerWith(0x01, 0x41);
    Check({"server code 01 41", kPlain, 3, "5C F0 40", "5C 01 41"}, 1);
}

TEST_F(EucTest, EucToSjis) {
    const Case cases[] = {
        {"empty", kPlain, 7, "", ""},
        {"ASCII", kPlain, 7, "41 42", "41 42"},
        {"line end in any mode", kPlain, 7, "0D 0A", "0D 0A", 2},
        {"line end, LRSS", kLrss, 7, "0D 0A", "0D 0A", 1, 2},
        {"line end, no shift", kNoShift, 7, "0D 0A", "0D 0A", 1},
        {"katakana", kPlain, 7, "8E B1", "B1"},
        {"mixed", kPlain, 7, "41 B0 A1 8E B1", "41 88 9F B1"},
        {"kanji", kPlain, 7, "B0 A1 A1 A1 F4 A6", "88 9F 81 40 EA A4"},
        {"whole rows 8 and 84", kPlain, 7, "A8 FE F4 FE", "84 FC EA FC"},
        {"final 8E writes the terminator", kPlain, 7, "41 8E", "41 00"},
    };
    for (const Case& c : cases) Check(c);
    EXPECT_TRUE(gaiji_double::Calls().empty());
}

TEST_F(EucTest, PairsOutsideTheJisAreaGoToTheServer) {
    const struct {
        const char* src;
        int result;
        std::vector<const char*> records;
    } cases[] = {
        {"A9 A1", 2, {"A9 A1 00"}},
        {"F5 A1", 2, {"F5 A1 00"}},
        {"80 A1", 2, {"80 A1 00"}},
        {"A1 41", 2, {"8F A1 C1 00"}},
        {"8F A2 AF", 4, {"8F A2 00", "8F AF 80 00"}},
        {"41 B0", 3, {"8F B0 80 00"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RunWithFailingServer(7, c.src, c.records, 3).result, c.result) << c.src;
    }
}

TEST_F(EucTest, StatusOfServerUnits) {
    int calls = 0;
    gaiji_double::AnswerBy([&](gaiji_double::Direction, const Bytes&, int, std::uint8_t code[2]) {
        code[0] = 0xF0;
        code[1] = 0x40;
        return ++calls == 1 ? 0 : 2;
    });
    Check({"replaced, then converted", kPlain, 7, "A9 A1 A9 A2", "81 A1 F0 40"}, 2);
    gaiji_double::AnswerWith(0xF0, 0x40);
    Check({"all converted", kPlain, 7, "A9 A1 41", "F0 40 41"}, 1);
}

}  // namespace
