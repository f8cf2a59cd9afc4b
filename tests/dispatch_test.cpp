#include <gtest/gtest.h>

#include "api/dispatch.h"
#include "gaiji_double.h"
#include "lumtrax.h"
#include "test_support.h"

namespace {

using test_support::Bytes;
using test_support::Export;
using test_support::Hex;
using test_support::RunExport;

class DispatchTest : public ::testing::Test {
protected:
    void SetUp() override { gaiji_double::Reset(); }
};

TEST_F(DispatchTest, UnassignedTypesCopyTheSourceAndFail) {
    // 32-77 are the conversions to and from Unicode, which the C interface does not have.
    for (int type : {8, 9, 12, 32, 41, 77, -1, 255, 0x7FFFFFFF, -2147483647 - 1}) {
        for (Export how : {Export::kPlain, Export::kLrss, Export::kNoShift}) {
            SCOPED_TRACE(type);
            Bytes dst(8, 0xEE);
            const Bytes src = Hex("61 62 63 00");
            int status = 2;
            int result = 0;
            if (how == Export::kPlain) result = Lumtrax(type, dst.data(), src.data(), 0, &status);
            if (how == Export::kLrss) result = Lumtrax_LRSS(type, dst.data(), src.data(), 3, 0, &status);
            if (how == Export::kNoShift) result = Lumtrax_NoShift(type, dst.data(), src.data(), 0, &status);
            EXPECT_EQ(result, -1);
            EXPECT_EQ(status, 0);
            EXPECT_EQ(Bytes(dst.begin(), dst.begin() + 5), Hex("61 62 63 00 EE"));
        }
    }
}

TEST_F(DispatchTest, TypeElevenBuildsAnEscapeFromTheFirstByte) {
    EXPECT_EQ(RunExport(Export::kPlain, 11, "41").out, "5C 01 41");
    EXPECT_EQ(RunExport(Export::kPlain, 11, "41").result, 3);
    EXPECT_EQ(RunExport(Export::kPlain, 11, "41").status, 0);
    EXPECT_EQ(RunExport(Export::kPlain, 11, "").out, "5C 01 00");
    EXPECT_EQ(RunExport(Export::kLrss, 11, "FF 42", 0, -4).out, "5C 01 FF");  // no length is looked at
}

TEST_F(DispatchTest, EscapedLengthWalksCharacters) {
    const struct {
        const char* text;  // the terminator is part of the text here
        std::size_t length;
    } cases[] = {
        {"41 5C 01 00 42 00", 5},  // the escaped 00 belongs to the text
        {"5C 01 00 41 00", 4},
        {"00 5C 01", 0},
        {"5C 00", 1},
        {"41 00 42", 1},
        {"95 5C 01 00", 3},              // 5C is a trail byte here, 01 a single byte
        {"82 00", 1},                    // a lead before the terminator is a single byte
        {"82 A0 5C 01 5C 01 00 00", 6},  // the second 5C is carried, its 01 is a byte
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Bytes text = Hex(c.text);
        text.push_back(0x00);
        EXPECT_EQ(lumtrax::EscapedLength(text.data()), c.length);
    }
}

TEST_F(DispatchTest, ComputedLengthsCarryEscapedNuls) {
    EXPECT_EQ(RunExport(Export::kPlain, 0, Hex("41 5C 01 00 42 00 43")).out, "C1 00 C2");
    // Host texts end at their first 00 unless the length is given.
    EXPECT_EQ(RunExport(Export::kPlain, 4, Hex("C1 00 C2")).out, "41");
    EXPECT_EQ(RunExport(Export::kLrss, 4, Hex("C1 00 C2"), 0, 3).out, "41 00 42");
}

TEST_F(DispatchTest, NegativeLengthIsAnEmptyTextForEveryConversion) {
    for (int type : {0, 1, 2, 3, 4, 5, 6, 7, 10}) {
        SCOPED_TRACE(type);
        const auto outcome = RunExport(Export::kLrss, type, "F0 40 41", 0, -3);
        EXPECT_EQ(outcome.result, 0);
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(outcome.status, 0);
    }
    EXPECT_TRUE(gaiji_double::Calls().empty());
}

// The result must be able to count what a conversion writes: a text that
// could grow past that is refused before a byte of it is read.
TEST_F(DispatchTest, TextsWhoseResultCouldNotBeCountedAreRefused) {
    const struct {
        int type;
        int len;
    } cases[] = {{2, 1000000000}, {10, 920350133}, {0, 1300000000}, {3, 1100000000}, {4, 2147483647}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        Bytes dst(4, 0xEE);
        const Bytes src = Hex("41 00");
        int status = 2;
        EXPECT_EQ(Lumtrax_LRSS(c.type, dst.data(), src.data(), c.len, 0, &status), -1);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(dst[0], 0x00);
        EXPECT_EQ(dst[1], 0xEE);
    }
}

TEST_F(DispatchTest, NullPointersAreRefused) {
    Bytes dst(4, 0xEE);
    const Bytes src = Hex("41 00");
    int status = 2;
    EXPECT_EQ(Lumtrax(0, nullptr, src.data(), 0, &status), -1);
    EXPECT_EQ(status, 0);
    status = 2;
    EXPECT_EQ(Lumtrax_LRSS(4, dst.data(), nullptr, 3, 0, &status), -1);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(dst[0], 0xEE);  // nothing written
    EXPECT_EQ(Lumtrax_NoShift(8, dst.data(), nullptr, 0, nullptr), -1);
    EXPECT_EQ(Lumtrax(11, nullptr, nullptr, 0, nullptr), -1);
    EXPECT_EQ(dst[0], 0xEE);
}

TEST_F(DispatchTest, NullStatusRunsTheConversion) {
    Bytes dst(16, 0xEE);
    const Bytes src = Hex("41 88 9F 00");
    EXPECT_EQ(Lumtrax(0, dst.data(), src.data(), 0, nullptr), 5);
    EXPECT_EQ(Bytes(dst.begin(), dst.begin() + 6), Hex("C1 2B B0 A1 2C 00"));
}

TEST_F(DispatchTest, GaijiServerVersion) {
    int version = 0;
    gaiji_double::SetVersion(0x00020003);
    EXPECT_EQ(GetGaijiServerVersion(5, &version), 1);
    EXPECT_EQ(version, 0x00020003);
    EXPECT_EQ(gaiji_double::LevelAsked(), 5);
    gaiji_double::SetLevelAnswer(3);
    version = 0;
    EXPECT_EQ(GetGaijiServerVersion(0, &version), 0);
    EXPECT_EQ(version, 0x00020003);  // stored in both cases
    EXPECT_EQ(GetGaijiServerVersion(0, nullptr), 0);
}

}  // namespace
