#include <gtest/gtest.h>

#include "gaiji_double.h"
#include "test_support.h"
#include "to_host/jis_prepass.h"

namespace {

using lumtrax::HostCodeKind;
using lumtrax::JisPrepass;
using lumtrax::ScratchCopy;
using test_support::Bytes;
using test_support::Hex;
using test_support::ToHex;

struct PrepassOutcome {
    std::string form;  // up to and including the terminator
    int consumed;
    int status;
};

PrepassOutcome Prepass(const std::string& src_hex, int len = -1, bool escapes = true,
                       int initial_status = 7) {
    Bytes src = Hex(src_hex);
    if (len < 0) len = static_cast<int>(src.size());
    src.push_back(0x00);
    Bytes dst(src.size() + 4, 0xEE);
    int status = initial_status;
    const int consumed = JisPrepass(HostCodeKind::kEbcdicHost, dst.data(), src.data(), len, escapes, &status);
    return {ToHex(Bytes(dst.begin(), dst.begin() + consumed + 1)), consumed, status};
}

class PrepassTest : public ::testing::Test {
protected:
    void SetUp() override { gaiji_double::Reset(); }
};

struct FormCase {
    const char* src;
    int len;
    const char* form;
    int consumed;
};

TEST_F(PrepassTest, WritesTheJisFormAtTheSourceOffsets) {
    const FormCase cases[] = {
        {"41 81 40 42", -1, "41 21 21 42 00", 4},
        {"87 9F", -1, "2E 21 00", 2},
        {"87 7F", -1, "87 7F 00", 2},        // 7F is no trail
        {"81 7F", -1, "81 7F 00", 2},
        {"80 A0 FD FE FF", -1, "80 A0 FD FE FF 00", 5},
        {"E0 3F", -1, "E0 3F 00", 2},
        {"41 82", -1, "41 82 00", 2},        // a lead before the terminator stays single
        {"41 82 A0", 2, "41 24 22 00", 3},   // a pair may take the byte after the text
        {"", -1, "00", 0},
        {"5C 01 81 41 42", -1, "5C 01 81 41 42 00", 5},  // the carried byte is not converted
    };
    for (const FormCase& c : cases) {
        SCOPED_TRACE(c.src);
        const PrepassOutcome outcome = Prepass(c.src, c.len);
        EXPECT_EQ(outcome.form, c.form);
        EXPECT_EQ(outcome.consumed, c.consumed);
        EXPECT_EQ(outcome.status, 0);
    }
}

TEST_F(PrepassTest, WithoutEscapesTheCarriedByteStartsACharacter) {
    EXPECT_EQ(Prepass("5C 01 81 41", -1, false).form, "5C 01 21 22 00");
}

TEST_F(PrepassTest, AnEscapeNeedsItsFirstTwoBytesInsideTheText) {
    // 5C is the last counted byte: a single byte, and 01 is not looked at.
    EXPECT_EQ(Prepass("41 5C 01 81 41", 2).form, "41 5C 00");
    EXPECT_EQ(Prepass("5C 01 F0 40", 2).form, "5C 01 F0 00");  // X just after the text
    EXPECT_TRUE(gaiji_double::Calls().empty());
}

TEST_F(PrepassTest, AsksTheServerForEveryGaijiInTextOrder) {
    gaiji_double::AnswerWith(0x41, 0xA1);
    const PrepassOutcome outcome = Prepass("ED 40 EE FC F0 40 F9 FC FA 40 FC FC 87 40");
    EXPECT_EQ(outcome.form, "41 A1 41 A1 41 A1 41 A1 41 A1 41 A1 41 A1 00");
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

TEST_F(PrepassTest, StatusRules) {
    struct StatusCase {
        const char* src;
        bool fail_second_call;
        bool fail_all;
        int status;
    };
    const StatusCase cases[] = {
        {"41 42", false, false, 0},             // no gaiji, whatever the variable held
        {"F0 40 F0 41", false, false, 1},       // all converted
        {"F0 40 F0 41", true, false, 2},        // converted, then replaced
        {"41 F0 40 42", false, true, 2},        // replaced
    };
    for (const StatusCase& c : cases) {
        SCOPED_TRACE(c.src);
        gaiji_double::Reset();
        int calls = 0;
        gaiji_double::AnswerBy([&](gaiji_double::Direction, const Bytes&, int, std::uint8_t code[2]) {
            ++calls;
            if (c.fail_all || (c.fail_second_call && calls == 2)) return 0;
            code[0] = 0x30;
            code[1] = 0x30;
            return 2;
        });
        EXPECT_EQ(Prepass(c.src, -1, true, 2).status, c.status);
    }
    // Replaced first, converted after: 2 stays final.
    gaiji_double::Reset();
    int calls = 0;
    gaiji_double::AnswerBy([&](gaiji_double::Direction, const Bytes&, int, std::uint8_t code[2]) {
        code[0] = code[1] = 0x30;
        return ++calls == 1 ? 0 : 2;
    });
    const PrepassOutcome outcome = Prepass("F0 40 F0 41");
    EXPECT_EQ(outcome.form, "A2 A3 30 30 00");
    EXPECT_EQ(outcome.status, 2);
}

TEST_F(PrepassTest, EmptyAndNegativeLengthsResetTheStatus) {
    for (int len : {0, -5}) {
        Bytes src = Hex("F0 40 00");
        Bytes dst(4, 0xEE);
        int status = 2;
        EXPECT_EQ(JisPrepass(HostCodeKind::kEuc, dst.data(), src.data(), len, true, &status), 0);
        EXPECT_EQ(dst[0], 0x00);
        EXPECT_EQ(status, 0);
    }
    EXPECT_TRUE(gaiji_double::Calls().empty());
}

TEST(ScratchCopyTest, TextsBelow1024BytesStayLocal) {
    ScratchCopy local;
    ASSERT_TRUE(local.Acquire(1023));
    EXPECT_FALSE(local.on_heap());
    ScratchCopy heap;
    ASSERT_TRUE(heap.Acquire(1024));
    EXPECT_TRUE(heap.on_heap());
}

}  // namespace
