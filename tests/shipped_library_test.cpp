// The shipped library as a deployment has it: liblumtrax with the stand-in
// gaiji server, libquobel, loaded beside it.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "lumtrax.h"

namespace {

using Bytes = std::vector<unsigned char>;

std::string CommandOutput(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    pclose(pipe);
    return output;
}

std::set<std::string> Lines(const std::string& text) {
    std::set<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        lines.insert(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

TEST(ShippedLibrary, ExportsExactlyTheFourFunctions) {
    const std::string symbols =
        CommandOutput(std::string("nm -D --defined-only --format=just-symbols ") + LUMTRAX_LIBRARY_FILE);
    const std::set<std::string> expected = {"GetGaijiServerVersion", "Lumtrax", "Lumtrax_LRSS", "Lumtrax_NoShift"};
    std::set<std::string> functions;
    for (const std::string& line : Lines(symbols)) {
        if (!line.empty() && line.find('@') == std::string::npos) functions.insert(line);
    }
    EXPECT_EQ(functions, expected) << symbols;
}

TEST(ShippedLibrary, ImportsTheGaijiServerDynamically) {
    const std::string dynamic = CommandOutput(std::string("readelf -d ") + LUMTRAX_LIBRARY_FILE);
    EXPECT_NE(dynamic.find("(NEEDED)"), std::string::npos);
    EXPECT_NE(dynamic.find("[libquobel.so"), std::string::npos) << dynamic;
    const std::string undefined = CommandOutput(std::string("nm -D --undefined-only ") + LUMTRAX_LIBRARY_FILE);
    for (const char* name : {"GaijiConvGetHOST", "GaijiConvGetSJIS", "GaijiConvGetLevel", "GaijiConvGetVersion"}) {
        EXPECT_NE(undefined.find(name), std::string::npos) << name;
    }
}

TEST(ShippedLibrary, ReportsTheStandInServersVersion) {
    int version = 0;
    EXPECT_EQ(GetGaijiServerVersion(0, &version), 1);
    EXPECT_EQ(version, 0x00010000);
}

// The Shift-JIS user-defined code number n, in code order.
Bytes UserDefined(int n) {
    const int offset = n % 188;
    return {static_cast<unsigned char>(0xF0 + n / 188),
            static_cast<unsigned char>(0x40 + offset + (offset >= 0x3F ? 1 : 0))};
}

Bytes Convert(int type, const Bytes& src, int* status) {
    Bytes source = src;
    source.push_back(0x00);
    Bytes dst(3 * src.size() + 8, 0xEE);
    const int n = Lumtrax_LRSS(type, dst.data(), source.data(), static_cast<int>(src.size()), 0, status);
    dst.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
    return dst;
}

// Each code is converted alone, in a text with single bytes around it.
TEST(StandInServer, UserDefinedAreaRoundTrips) {
    const struct {
        int out, back, count;
    } pairs[] = {{0, 4, 1880}, {1, 5, 1880}, {2, 6, 1880}, {10, 6, 1880}, {3, 7, 940}};
    for (const auto& p : pairs) {
        SCOPED_TRACE(p.out);
        for (int n = 0; n < p.count; ++n) {
            const Bytes gaiji = UserDefined(n);
            const Bytes text = {0xA0, gaiji[0], gaiji[1], 0xA0, 0x41};
            int status = 7;
            const Bytes host = Convert(p.out, text, &status);
            ASSERT_EQ(status, 1) << n;
            ASSERT_EQ(Convert(p.back, host, &status), text) << n;
            ASSERT_EQ(status, 1) << n;
        }
    }
}

TEST(StandInServer, UserDefinedCodesBeyondEucRowsAreReplaced) {
    int status = 7;
    const Bytes euc = Convert(3, UserDefined(940), &status);
    EXPECT_EQ(euc, (Bytes{0xA2, 0xA3}));
    EXPECT_EQ(status, 2);
}

// Kanji-class codes that JIS X 0208 leaves empty come back through the
// server from the EBCDIC host code and from EUC (rows 9-15).
TEST(StandInServer, EmptyKanjiClassCodesRoundTrip) {
    const struct {
        int out, back;
        Bytes sjis;
    } cases[] = {
        {0, 4, {0x85, 0x40}}, {0, 4, {0xEB, 0x9F}}, {1, 5, {0xEF, 0xFC}}, {0, 4, {0x84, 0xBF}},
        {3, 7, {0x85, 0x40}}, {3, 7, {0x88, 0x9E}}, {3, 7, {0x86, 0xFC}},
    };
    for (const auto& c : cases) {
        const Bytes text = {0xA0, c.sjis[0], c.sjis[1], 0xA0};
        int status = 7;
        const Bytes host = Convert(c.out, text, &status);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(Convert(c.back, host, &status), text);
        EXPECT_EQ(status, 1);
    }
}

TEST(StandInServer, AnswersOnlyForItsOwnCodes) {
    int status = 7;
    // Row 13 and the leads ED and FA are gaiji that the stand-in does not know.
    EXPECT_EQ(Convert(0, {0x87, 0x40}, &status), (Bytes{0x2B, 0xA2, 0xA3, 0x2C}));
    EXPECT_EQ(status, 2);
    EXPECT_EQ(Convert(2, {0xFA, 0x40}, &status), (Bytes{0x93, 0xF0, 0xA2, 0xA3, 0x93, 0xF1}));
    EXPECT_EQ(status, 2);
    // A host pair of no class.
    EXPECT_EQ(Convert(4, {0x2B, 0x40, 0x40}, &status), (Bytes{0xA0, 0x81, 0xA1}));
    EXPECT_EQ(status, 2);
}

}  // namespace
