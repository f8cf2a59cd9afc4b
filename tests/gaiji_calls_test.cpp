// The calls into the gaiji server out of Shift-JIS: one per gaiji, in text
// order, with its record and kind, and the status they add up to.
#include <gtest/gtest.h>

#include "gaiji_double.h"
#include "test_support.h"

namespace {

using test_support::Bytes;
using test_support::kPlain;
using test_support::RunExport;
using test_support::ToHex;

class GaijiCallsTest : public test_support::ServerTest {};

TEST_F(GaijiCallsTest, OneCallPerGaijiInTextOrder) {
    gaiji_double::AnswerWith(0xA1, 0x21);
    const auto outcome = RunExport(kPlain, 0, "ED 40 EE FC 41 F0 40 F9 FC FA 40 FC FC 87 40");
    EXPECT_EQ(outcome.out, "2B 41 A1 41 A1 2C C1 2B 41 A1 41 A1 41 A1 41 A1 41 A1 2C");
    EXPECT_EQ(outcome.status, 1);
    const char* records[] = {"ED 40 00", "EE FC 00", "F0 40 00", "F9 FC 00", "FA 40 00", "FC FC 00", "87 40 00"};
    ASSERT_EQ(gaiji_double::Calls().size(), 7u);
    for (std::size_t k = 0; k < 7; ++k) {
        EXPECT_EQ(ToHex(gaiji_double::Calls()[k].record), records[k]);
        EXPECT_EQ(gaiji_double::Calls()[k].kind, 1);
        EXPECT_EQ(gaiji_double::Calls()[k].reserved, 0);
        EXPECT_EQ(gaiji_double::Calls()[k].direction, gaiji_double::Direction::kToHost);
    }
}

TEST_F(GaijiCallsTest, StatusRules) {
    struct StatusCase {
        const char* src;
        int failing_call;  // 0: none, -1: every call
        int status;
    };
    const StatusCase cases[] = {
        {"41 42", 0, 0},         // no gaiji, whatever the variable held
        {"F0 40 F0 41", 0, 1},   // all converted
        {"F0 40 F0 41", 2, 2},   // converted, then replaced
        {"F0 40 F0 41", 1, 2},   // replaced, then converted: 2 stays final
        {"41 F0 40 42", -1, 2},  // replaced
    };
    for (int type : {0, 2, 3}) {
        for (const StatusCase& c : cases) {
            SCOPED_TRACE(std::string(c.src) + ", type " + std::to_string(type));
            gaiji_double::Reset();
            int calls = 0;
            gaiji_double::AnswerBy([&](gaiji_double::Direction, const Bytes&, int, std::uint8_t code[2]) {
                ++calls;
                if (c.failing_call == -1 || c.failing_call == calls) return 0;
                code[0] = code[1] = 0x30;
                return 2;
            });
            EXPECT_EQ(RunExport(kPlain, type, c.src).status, c.status);
        }
    }
}

TEST_F(GaijiCallsTest, EmptyAndNegativeLengthsAskNothing) {
    for (int type : {0, 2, 3, 4, 6, 7}) {
        EXPECT_EQ(RunExport(test_support::kLrss, type, "F0 40", 0, -5).status, 0);
        EXPECT_EQ(RunExport(kPlain, type, "").status, 0);
    }
    EXPECT_TRUE(gaiji_double::Calls().empty());
}

}  // namespace
