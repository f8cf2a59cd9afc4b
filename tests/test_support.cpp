#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "api/dispatch.h"
#include "codes/conversions.h"
#include "lumtrax.h"

namespace test_support {

Bytes Hex(const std::string& text) {
    Bytes bytes;
    std::istringstream in(text);
    std::string token;
    while (in >> token) bytes.push_back(static_cast<std::uint8_t>(std::stoul(token, nullptr, 16)));
    return bytes;
}

std::string ToHex(const Bytes& bytes) {
    std::string text;
    char digits[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", b);
        if (!text.empty()) text += ' ';
        text += digits;
    }
    return text;
}

Outcome RunExport(Export how, int type, const Bytes& src, int mode, int len) {
    constexpr std::uint8_t kGuard = 0xEE;
    constexpr std::size_t kGuardSize = 16;
    Bytes source = src;
    source.push_back(0x00);
    const std::size_t counted = len > 0 ? static_cast<std::size_t>(len) : src.size();
    // Unassigned types copy the whole buffer given, up to its 00.
    const bool copies = lumtrax::FindConversion(type) == nullptr;
    const std::size_t room = copies ? src.size() + 1 : lumtrax::DestinationCapacity(type, len < 0 ? 0 : counted);
    Bytes dst(room + kGuardSize, kGuard);
    int status = 7;
    int result = -2;
    switch (how) {
        case Export::kPlain:
            result = Lumtrax(type, dst.data(), source.data(), mode, &status);
            break;
        case Export::kLrss:
            result = Lumtrax_LRSS(type, dst.data(), source.data(), len, mode, &status);
            break;
        case Export::kNoShift:
            result = Lumtrax_NoShift(type, dst.data(), source.data(), mode, &status);
            break;
    }
    for (std::size_t i = room; i < dst.size(); ++i) {
        if (dst[i] != kGuard) {
            ADD_FAILURE() << "write past the growth bound at offset " << i;
            break;
        }
    }
    Outcome outcome{"", result, status};
    if (result >= 0) {
        EXPECT_EQ(dst[static_cast<std::size_t>(result)], 0x00) << "no terminator after the text";
        outcome.out = ToHex(Bytes(dst.begin(), dst.begin() + result));
    } else {
        outcome.out = ToHex(Bytes(dst.begin(), dst.begin() + 8));
    }
    return outcome;
}

Outcome RunExport(Export how, int type, const std::string& src_hex, int mode, int len) {
    return RunExport(how, type, Hex(src_hex), mode, len);
}

void Check(const Case& c, int status) {
    SCOPED_TRACE(c.name);
    const Outcome outcome = RunExport(c.how, c.type, c.src, c.mode, c.len);
    EXPECT_EQ(outcome.out, c.out);
    EXPECT_EQ(outcome.result, static_cast<int>(Hex(c.out).size()));
    EXPECT_EQ(outcome.status, status);
}

Outcome RunWithFailingServer(int type, const char* src, const std::vector<const char*>& records, int kind) {
    SCOPED_TRACE(src);
    gaiji_double::Reset();
    const Outcome outcome = RunExport(kPlain, type, src);
    EXPECT_EQ(outcome.status, 2);
    const auto direction = type >= 4 && type <= 7 ? gaiji_double::Direction::kToSjis : gaiji_double::Direction::kToHost;
    const std::vector<gaiji_double::Call>& calls = gaiji_double::Calls();
    EXPECT_EQ(calls.size(), records.size());
    for (std::size_t k = 0; k < records.size() && k < calls.size(); ++k) {
        EXPECT_EQ(ToHex(calls[k].record), records[k]);
        EXPECT_EQ(calls[k].kind, kind);
        EXPECT_EQ(calls[k].direction, direction);
    }
    return outcome;
}

}  // namespace test_support
