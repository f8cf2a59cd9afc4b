#include <gtest/gtest.h>

#include "gaiji_double.h"
#include "test_support.h"

namespace {

using test_support::Case;
using test_support::Check;
using test_support::kLrss;
using test_support::kNoShift;
using test_support::kPlain;
using test_support::RunWithFailingServer;
using test_support::ToHex;
using EightBitTest = test_support::ServerTest;

TEST_F(EightBitTest, SjisToHost) {
    const Case cases[] = {
        {"empty", kPlain, 2, "", ""},
        {"run F0", kPlain, 2, "41 88 9F 42", "41 93 F0 B0 A1 93 F1 42"},
        {"run 70", kPlain, 10, "41 88 9F 42", "41 93 70 B0 A1 93 F1 42"},
        {"no shift", kNoShift, 2, "41 88 9F 42", "41 B0 A1 42"},
        {"ideographic spaces", kPlain, 2, "81 40 81 40", "93 F0 20 20 20 20 93 F1"},
        {"line end kept", kPlain, 2, "88 9F 0D 0A 88 9F", "93 F0 B0 A1 93 F1 0D 0A 93 F0 B0 A1 93 F1", 0},
        {"line end LF", kPlain, 2, "88 9F 0D 0A 88 9F", "93 F0 B0 A1 93 F1 0A 93 F0 B0 A1 93 F1", 1},
        {"line end dropped", kPlain, 2, "88 9F 0D 0A 88 9F", "93 F0 B0 A1 B0 A1 93 F1", 2},
        {"line end, other mode", kPlain, 10, "88 9F 0D 0A 88 9F", "93 70 B0 A1 93 F1 0D 0A 93 70 B0 A1 93 F1", 9},
        {"line end LF, no shift", kNoShift, 2, "88 9F 0D 0A 88 9F", "B0 A1 0A B0 A1", 1},
        {"lone line end LF", kPlain, 2, "0D 0A", "0A", 1},
        {"lone line end dropped", kPlain, 2, "0D 0A", "", 2},
        {"CR without LF", kPlain, 2, "88 9F 0D", "93 F0 B0 A1 93 F1 0D"},
        {"escape closes run", kPlain, 2, "88 9F 5C 01 00 41", "93 F0 B0 A1 93 F1 00 41"},
        {"single bytes unchanged", kPlain, 2, "80 A0 B1 FD FE FF 7F", "80 A0 B1 FD FE FF 7F"},
        {"carried lead", kPlain, 2, "5C 01 81 40 41", "81 40 41"},
        {"carried lead, type 10", kPlain, 10, "5C 01 81 40 41", "81 40 41"},
        {"cut line end", kLrss, 2, "41 0D 0A", "41 0D", 0, 2},
        {"cut line end, LF only", kLrss, 2, "41 0D 0A", "41 0D", 1, 2},
        {"pair past the length", kLrss, 2, "88 9F", "93 F0 B0 A1 93 F1", 0, 1},
    };
    for (const Case& c : cases) Check(c);
}

TEST_F(EightBitTest, SjisToHostLrss) {
    const Case cases[] = {
        {"placeholders", kLrss, 2, "A0 88 9F A0 41", "93 F0 B0 A1 93 F1 41"},
        {"single stays in run", kLrss, 2, "88 9F 41 A0", "93 F0 B0 A1 41 93 F1"},
        {"closed at the end", kLrss, 10, "A0 41", "93 70 41 93 F1"},
        {"no escapes", kLrss, 2, "5C 01 41", "5C 01 41"},
        {"empty run", kLrss, 10, "41 A0 A0 42", "41 93 70 93 F1 42"},
        {"line end closes", kLrss, 2, "88 9F 0D 0A A0", "93 F0 B0 A1 93 F1 0D 0A 93 F0 93 F1", 0},
        {"dropped line end", kLrss, 2, "88 9F 0D 0A A0", "93 F0 B0 A1 93 F1", 2},
    };
    for (const Case& c : cases) Check(c);
}

TEST_F(EightBitTest, GaijiGoToTheServerWithKindTwo) {
    Check({"failing server", kPlain, 2, "F0 40 41", "93 F0 A2 A3 93 F1 41"}, 2);
    ASSERT_EQ(gaiji_double::Calls().size(), 1u);
    EXPECT_EQ(ToHex(gaiji_double::Calls()[0].record), "F0 40 00");
    EXPECT_EQ(gaiji_double::Calls()[0].kind, 2);

    gaiji_double::Reset();
    gaiji_double::AnswerWith(0xA1, 0x21);
    Check({"server code unchanged", kPlain, 2, "F0 40 41", "93 F0 A1 21 93 F1 41"}, 1);
    gaiji_double::Reset();
    gaiji_double::AnswerWith(0x21, 0x21);
    Check({"one run of three", kPlain, 2, "87 40 ED 40 FA 40", "93 F0 21 21 21 21 21 21 93 F1"}, 1);
    EXPECT_EQ(gaiji_double::Calls().size(), 3u);
}

TEST_F(EightBitTest, HostToSjis) {
    const Case cases[] = {
        {"empty", kPlain, 6, "", ""},
        {"runs and spaces", kPlain, 6, "41 93 F0 B0 A1 A1 A1 20 20 93 F1 42", "41 88 9F 81 40 81 40 42"},
        {"runs, LRSS", kLrss, 6, "41 93 F0 B0 A1 A1 A1 20 20 93 F1 42", "41 A0 88 9F 81 40 81 40 A0 42", 0, 12},
        {"start 70", kPlain, 6, "93 70 B0 A1 93 F1", "88 9F"},
        {"unclosed run", kPlain, 6, "93 F0 B0 A1", "88 9F"},
        {"arithmetic", kPlain, 6, "93 F0 DF A1 F4 A6 A1 E0 93 F1", "E0 40 EA A4 81 80"},
        {"line ends in any mode", kPlain, 6, "0D 0A 93 70 A4 A2 93 F1 0D 0A", "0D 0A 82 A0 0D 0A", 1},
        {"line ends, no shift", kNoShift, 6, "0D 0A 93 70 A4 A2 93 F1 0D 0A", "0D 0A 82 A0 0D 0A", 2},
        {"93 without a sequence", kPlain, 6, "93 41 42", "93 41 42"},
        {"lone end sequence", kPlain, 6, "93 F1 41", "41"},
        {"lone 93", kPlain, 6, "93", "93"},
        {"sequences, LRSS", kLrss, 6, "93 F0 93 F0 B0 A1 93 F1 93 F1", "A0 A0 88 9F A0 A0", 0, 10},
        {"end sequence, LRSS", kLrss, 6, "93 F1 41", "A0 41", 0, 3},
        {"type 2 text", kPlain, 6, "41 93 F0 B0 A1 93 F1 42", "41 88 9F 42"},
        {"type 10 text", kPlain, 6, "41 93 70 B0 A1 93 F1 42", "41 88 9F 42"},
        {"spaces", kPlain, 6, "93 F0 20 20 20 20 93 F1", "81 40 81 40"},
        {"LRSS text", kLrss, 6, "93 F0 B0 A1 93 F1 41", "A0 88 9F A0 41", 0, 7},
        {"pair past the length", kLrss, 6, "93 F0 B0 A1", "A0 88 9F", 0, 3},
        {"sequence past the length", kLrss, 6, "41 93 F1", "41 A0", 0, 2},
    };
    for (const Case& c : cases) Check(c);
}

TEST_F(EightBitTest, HostPairsOutsideTheJisSquareGoToTheServer) {
    const struct {
        const char* src;
        const char* out;
        std::vector<const char*> records;
    } cases[] = {
        {"93 F0 93 41", "81 A1", {"93 41 00"}},
        {"93 F0 0D 0A 93 F1", "81 A1", {"0D 0A 00"}},
        {"93 F0 7E 7E A1 20", "81 A1 81 A1", {"7E 7E 00", "A1 20 00"}},
        {"93 F0 FF FF 93 F1", "81 A1", {"FF FF 00"}},
        {"93 F0 B0 93 F1 41", "81 A1 81 A1", {"B0 93 00", "F1 41 00"}},
        {"93 F0 A4 A2 A4", "82 A0 81 A1", {"A4 00 00"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RunWithFailingServer(6, c.src, c.records, 2).out, c.out) << c.src;
    }
    gaiji_double::Reset();
    gaiji_double::AnswerWith(0xF0, 0x40);
    Check({"server code", kPlain, 6, "93 F0 93 41", "F0 40"}, 1);
}

}  // namespace
