// Every conversion, unit by unit, in one table over all codes: Shift-JIS to
// and from the EBCDIC host code (types 0, 1, 4, 5), the 8-bit host code
// (types 2, 10, 6) and EUC (types 3, 7), through each export; then what each
// code hands to the gaiji server.
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
using test_support::RunExport;
using test_support::RunWithFailingServer;
using test_support::ToHex;
using ConversionTest = test_support::ServerTest;

TEST_F(ConversionTest, EveryCodeUnitByUnit) {
    const Case cases[] = {
        // EBCDIC host code, out of Shift-JIS
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
        // EBCDIC host code, out of Shift-JIS, LRSS mode
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
        // EBCDIC host code, into Shift-JIS
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
        // 8-bit host code, out of Shift-JIS
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
        // 8-bit host code, out of Shift-JIS, LRSS mode
        {"placeholders", kLrss, 2, "A0 88 9F A0 41", "93 F0 B0 A1 93 F1 41"},
        {"single stays in run", kLrss, 2, "88 9F 41 A0", "93 F0 B0 A1 41 93 F1"},
        {"closed at the end", kLrss, 10, "A0 41", "93 70 41 93 F1"},
        {"no escapes", kLrss, 2, "5C 01 41", "5C 01 41"},
        {"empty run", kLrss, 10, "41 A0 A0 42", "41 93 70 93 F1 42"},
        {"line end closes", kLrss, 2, "88 9F 0D 0A A0", "93 F0 B0 A1 93 F1 0D 0A 93 F0 93 F1", 0},
        {"dropped line end", kLrss, 2, "88 9F 0D 0A A0", "93 F0 B0 A1 93 F1", 2},
        // 8-bit host code, into Shift-JIS
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
        // EUC, out of Shift-JIS
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

TEST_F(ConversionTest, EbcdicGaijiTakeTheFormOfTheirClass) {
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

// The pairs each code into Shift-JIS does not convert itself go to the
// server with their records, in order, and come back as the substitute from
// a server that converts nothing.
TEST_F(ConversionTest, PairsOutsideJisX0208GoToTheServer) {
    const struct {
        int type;
        const char* src;
        const char* out;
        std::vector<const char*> records;
    } cases[] = {
        {4, "2B F4 A7", "81 A1", {"74 27 00"}},
        {4, "2B A8 C1", "81 A1", {"28 41 00"}},
        {4, "2B F5 A1", "81 A1", {"75 21 00"}},
        {4, "2B 41 A1", "81 A1", {"A1 21 00"}},
        {4, "2B A1 41", "81 A1", {"21 A1 00"}},
        {4, "2B 40 40", "81 A1", {"40 40 00"}},
        {4, "2B B0", "81 A1", {"B0 00 00"}},  // a lone lead takes the terminator as its trail
        {6, "93 F0 93 41", "81 A1", {"93 41 00"}},
        {6, "93 F0 0D 0A 93 F1", "81 A1", {"0D 0A 00"}},
        {6, "93 F0 7E 7E A1 20", "81 A1 81 A1", {"7E 7E 00", "A1 20 00"}},
        {6, "93 F0 FF FF 93 F1", "81 A1", {"FF FF 00"}},
        {6, "93 F0 B0 93 F1 41", "81 A1 81 A1", {"B0 93 00", "F1 41 00"}},
        {6, "93 F0 A4 A2 A4", "82 A0 81 A1", {"A4 00 00"}},
        {7, "A9 A1", "81 A1", {"A9 A1 00"}},
        {7, "F5 A1", "81 A1", {"F5 A1 00"}},
        {7, "80 A1", "81 A1", {"80 A1 00"}},
        {7, "A1 41", "81 A1", {"8F A1 C1 00"}},
        {7, "8F A2 AF", "81 A1 81 A1", {"8F A2 00", "8F AF 80 00"}},
        {7, "41 B0", "41 81 A1", {"8F B0 80 00"}},
    };
    for (const auto& c : cases) {
        const int kind = c.type == 4 ? 1 : c.type == 6 ? 2 : 3;
        EXPECT_EQ(RunWithFailingServer(c.type, c.src, c.records, kind).out, c.out) << c.src;
    }
    gaiji_double::Reset();
    gaiji_double::AnswerWith(0xF0, 0x40);
    Check({"server code", kPlain, 6, "93 F0 93 41", "F0 40"}, 1);
}

TEST_F(ConversionTest, EbcdicAShiftCodeAsTrailBelongsToItsPair) {
    gaiji_double::AnswerWith(0xF0, 0x40);
    const auto outcome = RunExport(kPlain, 4, "2B B0 2C 2C C1");
    EXPECT_EQ(outcome.out, "F0 40 41");
    EXPECT_EQ(outcome.status, 1);
    ASSERT_EQ(gaiji_double::Calls().size(), 1u);
    EXPECT_EQ(ToHex(gaiji_double::Calls()[0].record), "B0 2C 00");
}

TEST_F(ConversionTest, EbcdicStatusOfServerPairs) {
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

TEST_F(ConversionTest, EightBitGaijiGoToTheServerWithKindTwo) {
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

TEST_F(ConversionTest, EucGaijiAreAskedWithKindThree) {
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

// EUC into Shift-JIS: the JIS rows by arithmetic, no server call.
TEST_F(ConversionTest, EucToSjisByArithmetic) {
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

TEST_F(ConversionTest, EucStatusOfServerUnits) {
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
