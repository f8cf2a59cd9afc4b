// The safe C++ interface (lumtrax.hpp) with the shipped stand-in gaiji
// server: its results against the C exports on the same inputs, its size
// rule checked with a guard past the end, and its answers to bad input.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/resource.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "address_space.h"
#include "api/dispatch.h"
#include "lumtrax.h"
#include "lumtrax.hpp"

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define LUMTRAX_SANITIZED_HEAP 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define LUMTRAX_SANITIZED_HEAP 1
#endif

namespace {

using lumtrax::Conversion;
using lumtrax::Errc;
using lumtrax::GaijiStatus;
using lumtrax::LineEnd;
using lumtrax::Options;

const Conversion kAll[] = {Conversion::kSjisToEbcdic,   Conversion::kSjisToEbcdicKana, Conversion::kSjisToEightBit,
                           Conversion::kSjisToEuc,      Conversion::kEbcdicToSjis,     Conversion::kEbcdicKanaToSjis,
                           Conversion::kEightBitToSjis, Conversion::kEucToSjis,        Conversion::kSjisToEightBit70,
                           Conversion::kRawByteEscape};

std::string Bytes(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i < hex.size();) {
        if (hex[i] == ' ') {
            ++i;
            continue;
        }
        bytes += static_cast<char>(std::stoul(hex.substr(i, 2), nullptr, 16));
        i += 2;
    }
    return bytes;
}

std::string Hex(const std::string& bytes) {
    std::string hex;
    char digits[4];
    for (unsigned char b : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", b);
        if (!hex.empty()) hex += ' ';
        hex += digits;
    }
    return hex;
}

std::string ConvertHex(Conversion c, const std::string& hex, const Options& options = {},
                       GaijiStatus* gaiji = nullptr) {
    const lumtrax::Result result = lumtrax::Convert(c, Bytes(hex), options);
    EXPECT_TRUE(result.ok()) << result.error.message();
    if (gaiji != nullptr) *gaiji = result.gaiji;
    return Hex(result.text);
}

// Texts made of the pieces that matter to some conversion: Shift-JIS pairs,
// gaiji, escapes, line ends, placeholders, shift codes and sequences, EUC
// prefixes, 00, and any byte at all.
std::string RandomText(std::mt19937& random, std::size_t pieces) {
    static const char* const kPieces[] = {"\x41",     "\x61",     "\xB1",     "\x88\x9F", "\x82\xA0", "\x81\x40",
                                          "\xF0\x40", "\x87\x40", "\xFA\x40", "\x5C\x01", "\x5C",     "\x01",
                                          "\x0D\x0A", "\x0D",     "\x0A",     "\xA0",     "\x2B",     "\x2C",
                                          "\xB0\xA1", "\x93\xF0", "\x93\x70", "\x93\xF1", "\x93",     "\x8E",
                                          "\x20\x20", "\xA1\x21", "\x25",     "\x88",     "\xE0",     "\xFC"};
    constexpr std::size_t kCount = sizeof kPieces / sizeof kPieces[0];
    std::string text;
    for (std::size_t i = 0; i < pieces; ++i) {
        const std::size_t pick = random() % (kCount + 3);
        if (pick < kCount) {
            text += kPieces[pick];
        } else if (pick == kCount) {
            text += '\0';
        } else {
            text += static_cast<char>(random() & 0xFF);
        }
    }
    return text;
}

struct Case {
    Conversion conversion;
    const char* in;
    const char* out;
};

void CheckCases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.conversion)) + ": " + c.in);
        EXPECT_EQ(ConvertHex(c.conversion, c.in), c.out);
    }
}

TEST(CxxApi, ConvertsTheReadmeExamples) {
    CheckCases({
        {Conversion::kSjisToEbcdic, "41 88 9F 0D 0A", "C1 2B B0 A1 2C 0D 25"},
        {Conversion::kSjisToEbcdicKana, "B1 DE 61", "81 BE 62"},
        {Conversion::kSjisToEightBit, "41 88 9F 42", "41 93 F0 B0 A1 93 F1 42"},
        {Conversion::kSjisToEightBit70, "41 88 9F 42", "41 93 70 B0 A1 93 F1 42"},
        {Conversion::kSjisToEuc, "41 88 9F B1", "41 B0 A1 8E B1"},
        {Conversion::kEbcdicToSjis, "C1 2B B0 A1 2C 0D 25", "41 88 9F 0D 0A"},
        {Conversion::kEbcdicKanaToSjis, "81 BE 62", "B1 DE 61"},
        {Conversion::kEightBitToSjis, "41 93 70 B0 A1 93 F1 42", "41 88 9F 42"},
        {Conversion::kEucToSjis, "41 B0 A1 8E B1", "41 88 9F B1"},
        {Conversion::kRawByteEscape, "41", "5C 01 41"},
    });
}

TEST(CxxApi, OptionsAreTheFlagsOfTheExports) {
    Options lf;
    lf.line_end = LineEnd::kLfOnly;
    EXPECT_EQ(ConvertHex(Conversion::kSjisToEbcdic, "41 0D 0A", lf), "C1 25");
    Options drop;
    drop.line_end = LineEnd::kDrop;
    EXPECT_EQ(ConvertHex(Conversion::kSjisToEbcdic, "41 0D 0A", drop), "C1");
    Options no_shift;
    no_shift.shift = false;
    EXPECT_EQ(ConvertHex(Conversion::kSjisToEbcdic, "41 88 9F", no_shift), "C1 B0 A1");
    Options lrss;
    lrss.lrss = true;
    EXPECT_EQ(ConvertHex(Conversion::kSjisToEbcdic, "A0 88 9F A0 41", lrss), "2B B0 A1 2C C1");
    EXPECT_EQ(ConvertHex(Conversion::kEbcdicToSjis, "2B B0 A1 2C C1", lrss), "A0 88 9F A0 41");
}

TEST(CxxApi, ReportsTheGaijiStatus) {
    GaijiStatus gaiji = GaijiStatus::kReplaced;
    EXPECT_EQ(ConvertHex(Conversion::kSjisToEbcdic, "41", {}, &gaiji), "C1");
    EXPECT_EQ(gaiji, GaijiStatus::kNone);
    EXPECT_EQ(ConvertHex(Conversion::kSjisToEbcdic, "F0 40", {}, &gaiji), "2B 41 A1 2C");
    EXPECT_EQ(gaiji, GaijiStatus::kConverted);
    EXPECT_EQ(ConvertHex(Conversion::kSjisToEbcdic, "F0 40 87 40", {}, &gaiji), "2B 41 A1 A2 A3 2C");
    EXPECT_EQ(gaiji, GaijiStatus::kReplaced);
}

// Both sides get the same counted text with a 00 after it.
TEST(CxxApi, AgreesWithTheCExportsOnRandomTexts) {
    std::mt19937 random(20261207);
    for (int round = 0; round < 3000; ++round) {
        const std::string text = RandomText(random, 1 + random() % 24);
        std::string source = text;
        source += '\0';
        const auto* src = reinterpret_cast<const unsigned char*>(source.data());
        const int n = static_cast<int>(text.size());
        for (Conversion c : kAll) {
            const int type = static_cast<int>(c);
            for (int mode : {0, 1, 2}) {
                SCOPED_TRACE(Hex(text) + " type " + std::to_string(type) + " mode " + std::to_string(mode));
                std::vector<unsigned char> dst(3 * text.size() + 8);
                int status = 7;
                Options options;
                options.line_end = static_cast<LineEnd>(mode);
                // LRSS: the explicit length.
                options.lrss = true;
                int expected = Lumtrax_LRSS(type, dst.data(), src, n, mode, &status);
                ASSERT_GE(expected, 0);
                lumtrax::Result result = lumtrax::Convert(c, text, options);
                ASSERT_TRUE(result.ok());
                EXPECT_EQ(Hex(result.text), Hex(std::string(dst.begin(), dst.begin() + expected)));
                EXPECT_EQ(static_cast<int>(result.gaiji), status);
                // The other two exports compute the length: compare where it
                // comes out as the text's own.
                const bool sjis = type == 0 || type == 1 || type == 2 || type == 3 || type == 10;
                const std::size_t computed = sjis ? lumtrax::EscapedLength(src) : std::strlen(source.c_str());
                if (computed != text.size() || type == 11) continue;
                for (bool shift : {true, false}) {
                    options.lrss = false;
                    options.shift = shift;
                    expected = shift ? Lumtrax(type, dst.data(), src, mode, &status)
                                     : Lumtrax_NoShift(type, dst.data(), src, mode, &status);
                    ASSERT_GE(expected, 0);
                    result = lumtrax::Convert(c, text, options);
                    ASSERT_TRUE(result.ok());
                    EXPECT_EQ(Hex(result.text), Hex(std::string(dst.begin(), dst.begin() + expected)));
                    EXPECT_EQ(static_cast<int>(result.gaiji), status);
                }
            }
        }
    }
}

// The size the C++ interface allocates, MaxResultSize + 1 for the 00, is
// never exceeded by any conversion, flag or line-end mode: a guard behind it
// stays untouched, and the result fits.
TEST(CxxApi, GrowthRuleHoldsWithAGuardPastTheEnd) {
    constexpr unsigned char kGuard = 0xEE;
    constexpr std::size_t kGuardSize = 32;
    std::mt19937 random(5);
    for (int round = 0; round < 4000; ++round) {
        const std::string text = RandomText(random, 1 + random() % 40);
        std::string source = text;
        source += '\0';
        const auto* src = reinterpret_cast<const std::uint8_t*>(source.data());
        for (Conversion c : kAll) {
            const std::size_t room = lumtrax::MaxResultSize(c, text.size()) + 1;
            for (int flags = 0; flags < 4; ++flags) {
                for (int mode : {0, 1, 2}) {
                    std::vector<std::uint8_t> dst(room + kGuardSize, kGuard);
                    lumtrax::GaijiOutcome status = lumtrax::GaijiOutcome::kNone;
                    const lumtrax::CallMode call{lumtrax::LineEndModeOf(mode),
                                                 lumtrax::ShiftModeOf((flags & 1) != 0, (flags & 2) != 0)};
                    const std::int32_t n =
                        lumtrax::ConvertDispatch(static_cast<std::int32_t>(c), dst.data(), src,
                                                 static_cast<std::int32_t>(text.size()), call, status);
                    ASSERT_GE(n, 0);
                    ASSERT_LT(static_cast<std::size_t>(n), room) << Hex(text);
                    for (std::size_t i = room; i < dst.size(); ++i) {
                        ASSERT_EQ(dst[i], kGuard) << "past the bound: type " << static_cast<int>(c) << " flags "
                                                  << flags << " text " << Hex(text);
                    }
                    Options options;
                    options.lrss = (flags & 1) != 0;
                    options.shift = (flags & 2) != 0;
                    options.line_end = static_cast<LineEnd>(mode);
                    const lumtrax::Result result = lumtrax::Convert(c, text, options);
                    ASSERT_TRUE(result.ok());
                    ASSERT_EQ(result.text, std::string(dst.begin(), dst.begin() + n));
                }
            }
        }
    }
}

TEST(CxxApi, EmptyTextIsAnEmptyText) {
    for (Conversion c : kAll) {
        SCOPED_TRACE(static_cast<int>(c));
        const lumtrax::Result result = lumtrax::Convert(c, std::string_view());
        ASSERT_TRUE(result.ok());
        EXPECT_EQ(result.gaiji, GaijiStatus::kNone);
        // The escape carries the 00 that follows an empty text.
        EXPECT_EQ(Hex(result.text), c == Conversion::kRawByteEscape ? "5C 01 00" : "");
    }
    EXPECT_TRUE(lumtrax::Convert(Conversion::kEucToSjis, nullptr, 0).ok());
}

TEST(CxxApi, RawByteEscapeReadsOnlyTheFirstByte) {
    EXPECT_EQ(ConvertHex(Conversion::kRawByteEscape, "00 41 42"), "5C 01 00");
    EXPECT_EQ(ConvertHex(Conversion::kRawByteEscape, "FF"), "5C 01 FF");
    EXPECT_EQ(lumtrax::MaxResultSize(Conversion::kRawByteEscape, 1000), 3u);
}

TEST(CxxApi, UnassignedTypesAreAnError) {
    for (int type : {8, 9, 12, -1, 255, INT_MAX, INT_MIN}) {
        SCOPED_TRACE(type);
        const Conversion c = static_cast<Conversion>(type);
        EXPECT_FALSE(lumtrax::IsAssigned(c));
        const lumtrax::Result result = lumtrax::Convert(c, "abc");
        EXPECT_FALSE(result.ok());
        EXPECT_FALSE(static_cast<bool>(result));
        EXPECT_EQ(result.error, Errc::kUnassignedType);
        EXPECT_EQ(result.error, std::errc::invalid_argument);
        EXPECT_EQ(result.text, "");
        EXPECT_EQ(lumtrax::MaxTextSize(c), 0u);
        EXPECT_EQ(lumtrax::MaxResultSize(c, 10), 0u);
    }
}

TEST(CxxApi, ErrorCodesHaveACategoryAndMessages) {
    const std::error_code too_long = Errc::kTooLong;
    EXPECT_STREQ(too_long.category().name(), "lumtrax");
    EXPECT_EQ(&too_long.category(), &lumtrax::ErrorCategory());
    EXPECT_EQ(too_long.message(), "text too long for one conversion call");
    EXPECT_EQ(too_long, std::errc::value_too_large);
    const std::error_code heap = Errc::kHeapExhausted;
    EXPECT_EQ(heap, std::errc::not_enough_memory);
    EXPECT_NE(heap.message(), too_long.message());
}

TEST(CxxApi, CarriesNulBytesInEveryDirection) {
    CheckCases({
        {Conversion::kSjisToEbcdic, "41 00 88 9F 00", "C1 00 2B B0 A1 2C 00"},
        {Conversion::kSjisToEightBit, "00 88 9F", "00 93 F0 B0 A1 93 F1"},
        {Conversion::kSjisToEuc, "00 B1 00", "00 8E B1 00"},
        {Conversion::kEbcdicToSjis, "C1 00 C2", "41 00 42"},
        {Conversion::kEightBitToSjis, "41 00 93 F0 B0 A1 93 F1 00", "41 00 88 9F 00"},
        {Conversion::kEucToSjis, "00 00 B0 A1", "00 00 88 9F"},
    });
}

// Bad input: each gives the result README.md documents.
TEST(CxxApi, TruncatedUnitsMeetTheZeroAfterTheText) {
    GaijiStatus gaiji = GaijiStatus::kNone;
    // A Shift-JIS lead byte at the end stays a single byte.
    EXPECT_EQ(ConvertHex(Conversion::kSjisToEbcdic, "41 88", {}, &gaiji), "C1 28");
    EXPECT_EQ(ConvertHex(Conversion::kSjisToEightBit, "41 88"), "41 88");
    EXPECT_EQ(ConvertHex(Conversion::kSjisToEuc, "41 88"), "41 8E 88");
    // An escape cut after its 01 carries 00; a 5C alone is a single byte.
    EXPECT_EQ(ConvertHex(Conversion::kSjisToEbcdic, "41 5C 01"), "C1 00");
    EXPECT_EQ(ConvertHex(Conversion::kSjisToEbcdic, "41 5C"), "C1 E0");
    // A host pair cut after its first byte becomes the substitute.
    EXPECT_EQ(ConvertHex(Conversion::kEbcdicToSjis, "2B B0", {}, &gaiji), "81 A1");
    EXPECT_EQ(gaiji, GaijiStatus::kReplaced);
    EXPECT_EQ(ConvertHex(Conversion::kEightBitToSjis, "93 F0 B0", {}, &gaiji), "81 A1");
    EXPECT_EQ(gaiji, GaijiStatus::kReplaced);
    EXPECT_EQ(ConvertHex(Conversion::kEucToSjis, "41 B0", {}, &gaiji), "41 81 A1");
    EXPECT_EQ(gaiji, GaijiStatus::kReplaced);
    // An EUC prefix at the end carries the 00.
    EXPECT_EQ(ConvertHex(Conversion::kEucToSjis, "41 8E", {}, &gaiji), "41 00");
    EXPECT_EQ(gaiji, GaijiStatus::kNone);
    // 93 at the end of an 8-bit text is no sequence.
    EXPECT_EQ(ConvertHex(Conversion::kEightBitToSjis, "41 93"), "41 93");
}

TEST(CxxApi, LoneShiftCodesAndUnterminatedRuns) {
    CheckCases({
        // A shift code or sequence is read wherever a unit begins: a lone
        // close writes nothing, a lone open starts an empty run.
        {Conversion::kEbcdicToSjis, "2C C1", "41"},
        {Conversion::kEbcdicToSjis, "C1 2B", "41"},
        {Conversion::kEbcdicToSjis, "2B 2B B0 A1 2C 2C", "88 9F"},
        {Conversion::kEightBitToSjis, "93 F1 41", "41"},
        {Conversion::kEightBitToSjis, "41 93 F0", "41"},
        // A run that is never closed ends with the text.
        {Conversion::kEbcdicToSjis, "C1 2B B0 A1", "41 88 9F"},
        {Conversion::kEightBitToSjis, "93 70 B0 A1", "88 9F"},
    });
    // Out of Shift-JIS every run is closed at the end of the text, in LRSS
    // mode too.
    Options lrss;
    lrss.lrss = true;
    EXPECT_EQ(ConvertHex(Conversion::kSjisToEbcdic, "A0 88 9F", lrss), "2B B0 A1 2C");
    EXPECT_EQ(ConvertHex(Conversion::kSjisToEightBit, "A0 88 9F", lrss), "93 F0 B0 A1 93 F1");
    EXPECT_EQ(ConvertHex(Conversion::kEbcdicToSjis, "2B B0 A1", lrss), "A0 88 9F");
}

TEST(CxxApi, ConvertIntoReusesTheCallersBuffer) {
    std::string out;
    GaijiStatus gaiji = GaijiStatus::kReplaced;
    ASSERT_FALSE(lumtrax::ConvertInto(Conversion::kSjisToEuc, std::string(3000, 'A'), out, gaiji));
    EXPECT_EQ(out, std::string(3000, 'A'));
    EXPECT_EQ(gaiji, GaijiStatus::kNone);
    const char* block = out.data();
    ASSERT_FALSE(lumtrax::ConvertInto(Conversion::kSjisToEuc, Bytes("41 88 9F"), out, gaiji));
    EXPECT_EQ(Hex(out), "41 B0 A1");
    EXPECT_EQ(out.data(), block);  // no new allocation
    // An error leaves it empty.
    EXPECT_EQ(lumtrax::ConvertInto(static_cast<Conversion>(9), "x", out, gaiji), Errc::kUnassignedType);
    EXPECT_EQ(out, "");
}

// Each limit is the longest text whose length and longest result an int can
// count.
TEST(CxxApi, MaxTextSizeIsWhereAnIntStopsCounting) {
    for (Conversion c : kAll) {
        SCOPED_TRACE(static_cast<int>(c));
        const std::size_t limit = lumtrax::MaxTextSize(c);
        if (c == Conversion::kRawByteEscape) {
            EXPECT_EQ(limit, static_cast<std::size_t>(-1));
            continue;
        }
        ASSERT_LE(limit, static_cast<std::size_t>(INT_MAX));
        EXPECT_LE(lumtrax::MaxResultSize(c, limit), static_cast<std::size_t>(INT_MAX));
        if (limit < static_cast<std::size_t>(INT_MAX)) {
            EXPECT_GT(lumtrax::MaxResultSize(c, limit + 1), static_cast<std::size_t>(INT_MAX));
        }
        EXPECT_GT(limit, 900000000u);  // the 8-bit host code is the tightest
    }
}

// A text one byte over the limit is refused before anything is read or
// allocated: the mapping is address space only.
TEST(CxxApi, TextsTooLongForAnIntAreRefused) {
    for (Conversion c : kAll) {
        if (c == Conversion::kRawByteEscape) continue;
        SCOPED_TRACE(static_cast<int>(c));
        const std::size_t size = lumtrax::MaxTextSize(c) + 1;
        void* block = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        ASSERT_NE(block, MAP_FAILED);
        const lumtrax::Result result = lumtrax::Convert(c, block, size);
        EXPECT_EQ(result.error, Errc::kTooLong);
        EXPECT_EQ(result.text, "");
        munmap(block, size);
    }
}

// Child: converts a text of size bytes with `room` bytes of address space
// left; exits 0 when the heap error came back as a value.
[[noreturn]] void ConvertWithRoom(std::size_t size, std::size_t room) {
    const std::string text(size, 'A');
    std::string out;
    out.reserve(64);
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = test_support::AddressSpaceInUse() + room;
    if (setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(10);
    GaijiStatus gaiji = GaijiStatus::kReplaced;
    // Through a view: the text is copied into the block (a std::string would not be).
    const std::error_code error = lumtrax::ConvertInto(Conversion::kSjisToEbcdic, std::string_view(text), out, gaiji);
    if (error != Errc::kHeapExhausted) std::_Exit(11);
    if (!out.empty() || gaiji != GaijiStatus::kNone) std::_Exit(12);
    std::_Exit(0);
}

TEST(CxxApi, ExhaustedHeapIsAnErrorValue) {
#ifdef LUMTRAX_SANITIZED_HEAP
    GTEST_SKIP() << "a sanitizer's allocator does not fail under an address-space limit";
#endif
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    constexpr std::size_t kSize = 64u << 20;
    // No room for the block of text, 00 and destination: std::bad_alloc,
    // caught inside.
    EXPECT_EXIT(ConvertWithRoom(kSize, 16u << 20), ::testing::ExitedWithCode(0), "");
}

TEST(CxxApi, VersionsOfTheLibraryAndTheServer) {
    EXPECT_STREQ(lumtrax::Version(), "1.0.0");
    const lumtrax::GaijiServerInfo server = lumtrax::GaijiServer();
    EXPECT_EQ(server.version, 0x00010000);
    EXPECT_TRUE(server.level_ok);
}

}  // namespace
