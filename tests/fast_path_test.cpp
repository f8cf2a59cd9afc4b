// The fast paths against a unit-by-unit model of the conversions out of
// Shift-JIS, on texts built from a small alphabet of characters: runs of
// every length at every alignment, ending at the counted length, at a line
// end, at an escape, at a gaiji, and texts on both sides of 1024 bytes. The
// runner also checks that nothing is written past the growth bound. The
// conversions back must then return each text unchanged.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "codes/ebcdic_host.h"
#include "codes/euc.h"
#include "codes/shift_jis.h"
#include "gaiji_double.h"
#include "tables/host_tables.h"
#include "test_support.h"

namespace {

using test_support::Bytes;
using test_support::Export;
using test_support::RunExport;
using test_support::ToHex;
using FastPathTest = test_support::ServerTest;

enum class Kind { kSingle, kKanji, kGaiji, kLineEnd, kEscape, kPlaceholder };

struct Unit {
    char letter;
    Kind kind;
    Bytes sjis;
};

// The alphabet. The escape e carries C1, which alone would be a single byte
// with the high bit, and E carries 88, which would begin a pair with a trail
// after it; 0D and 5C alone are single bytes.
const Unit kUnits[] = {
    {'a', Kind::kSingle, {0x61}},
    {'k', Kind::kSingle, {0xB1}},
    {'r', Kind::kSingle, {0x0D}},
    {'y', Kind::kSingle, {0x5C}},
    {'K', Kind::kKanji, {0x88, 0x9F}},
    {'S', Kind::kKanji, {0x81, 0x40}},
    {'L', Kind::kKanji, {0xEA, 0xA4}},
    {'g', Kind::kGaiji, {0xF0, 0x40}},
    {'n', Kind::kLineEnd, {0x0D, 0x0A}},
    {'e', Kind::kEscape, {0x5C, 0x01, 0xC1}},
    {'E', Kind::kEscape, {0x5C, 0x01, 0x88}},
    {'p', Kind::kPlaceholder, {0xA0}},
};

const Unit& UnitOf(char letter) {
    for (const Unit& unit : kUnits) {
        if (unit.letter == letter) return unit;
    }
    ADD_FAILURE() << "no unit " << letter;
    return kUnits[0];
}

Bytes Text(const std::string& letters) {
    Bytes text;
    for (char letter : letters) {
        const Bytes& sjis = UnitOf(letter).sjis;
        text.insert(text.end(), sjis.begin(), sjis.end());
    }
    return text;
}

// What a conversion out of Shift-JIS makes of the text, unit by unit: types
// 0 (table set 0), 2 and 3. A gaiji is the substitute A2 A3 (the server
// double converts nothing).
Bytes Model(int type, const std::string& letters, int mode, bool lrss) {
    const bool shifted = type != 3;
    const Bytes open = type == 0 ? Bytes{0x2B} : Bytes{0x93, 0xF0};
    const Bytes close = type == 0 ? Bytes{0x2C} : Bytes{0x93, 0xF1};
    Bytes out;
    bool in_run = false;
    auto put = [&out](const Bytes& bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); };
    auto open_run = [&] {
        if (shifted && !in_run) put(open);
        in_run = shifted;
    };
    auto close_run = [&] {
        if (in_run) put(close);
        in_run = false;
    };
    auto single = [&](std::uint8_t b) {
        if (!lrss) close_run();
        if (type == 0) {
            out.push_back(lumtrax::kSjisToHostSet0[b]);
        } else {
            if (type == 3 && b >= 0x80) out.push_back(0x8E);
            out.push_back(b);
        }
    };
    for (char letter : letters) {
        const Unit& unit = UnitOf(letter);
        switch (unit.kind) {
            case Kind::kKanji: {
                const lumtrax::BytePair jis = lumtrax::SjisToJis(unit.sjis[0], unit.sjis[1]);
                Bytes pair{static_cast<std::uint8_t>(jis.lead | 0x80), static_cast<std::uint8_t>(jis.trail | 0x80)};
                if (type == 2 && pair == Bytes{0xA1, 0xA1}) pair = {0x20, 0x20};
                open_run();
                put(pair);
                break;
            }
            case Kind::kGaiji:
                open_run();
                put({0xA2, 0xA3});
                break;
            case Kind::kLineEnd:
                if (mode == 2) break;
                close_run();
                if (mode != 1) out.push_back(0x0D);
                out.push_back(type == 0 ? 0x25 : 0x0A);
                break;
            case Kind::kEscape:
                if (lrss && type != 3) {
                    for (std::uint8_t b : unit.sjis) single(b);
                } else {
                    close_run();
                    out.push_back(unit.sjis[2]);
                }
                break;
            case Kind::kPlaceholder:
                if (!lrss || type == 3) {
                    single(unit.sjis[0]);
                } else if (in_run) {
                    close_run();
                } else {
                    put(open);
                    in_run = true;
                }
                break;
            case Kind::kSingle:
                single(unit.sjis[0]);
                break;
        }
    }
    close_run();
    return out;
}

// Converts the text by the export and compares with the model.
void ExpectAsModel(int type, const std::string& letters, int mode, bool lrss) {
    const Bytes text = Text(letters);
    const test_support::Outcome outcome =
        RunExport(lrss ? Export::kLrss : Export::kPlain, type, text, mode, static_cast<int>(text.size()));
    const Bytes expected = Model(type, letters, mode, lrss);
    ASSERT_EQ(outcome.out, ToHex(expected))
        << "type " << type << " mode " << mode << " lrss " << lrss << ": " << letters;
    ASSERT_EQ(outcome.result, static_cast<int>(expected.size()));
    ASSERT_EQ(outcome.status, letters.find('g') == std::string::npos ? 0 : 2) << letters;
}

std::string Repeat(char letter, std::size_t count) { return std::string(count, letter); }

// A run of one character after a prefix of single bytes that moves it
// through every alignment of a block, followed by each way of ending it.
TEST_F(FastPathTest, RunsOfEveryLengthAtEveryAlignment) {
    const char* const endings[] = {"", "a", "K", "n", "e", "g", "y", "p"};
    const std::size_t lengths[] = {1, 2, 3, 7, 8, 9, 14, 15, 16, 17, 18, 31, 32, 33};
    for (char run : {'a', 'K', 'S', 'L', 'k'}) {
        for (std::size_t shift = 0; shift <= 16; ++shift) {
            for (std::size_t length : lengths) {
                for (const char* ending : endings) {
                    const std::string letters = Repeat('a', shift) + Repeat(run, length) + ending;
                    // The line-end modes differ only where a line end is.
                    const int last_mode = letters.find('n') == std::string::npos ? 0 : 2;
                    for (int type : {0, 2, 3}) {
                        for (int mode = 0; mode <= last_mode; ++mode) ExpectAsModel(type, letters, mode, false);
                        ExpectAsModel(type, letters, 0, true);
                    }
                }
            }
        }
    }
}

// Runs cut short by a unit inside them, at every offset.
TEST_F(FastPathTest, RunsBrokenAtEveryOffset) {
    for (const char* run : {"a", "K", "Ka"}) {
        for (char breaker : {'n', 'e', 'g', 'k', 'r', 'y', 'p', 'a', 'K'}) {
            for (std::size_t at = 0; at <= 40; ++at) {
                std::string letters;
                while (letters.size() < 48) letters += run;
                letters[at] = breaker;
                for (int type : {0, 2, 3}) {
                    for (int mode : {0, 1, 2}) ExpectAsModel(type, letters, mode, false);
                    ExpectAsModel(type, letters, 1, true);
                }
            }
        }
    }
}

// Mixed texts on both sides of 1024 bytes, where the old two-pass core
// moved its working copy to the heap: the one pass must not notice.
TEST_F(FastPathTest, MixedTextsAroundTheWorkingCopyLimit) {
    std::mt19937 random(1024);
    const std::string alphabet = "aaaaKKKKSLgnekryp";
    for (int round = 0; round < 60; ++round) {
        const std::size_t target = 1000 + random() % 60;
        std::string letters;
        while (Text(letters).size() < target) {
            const char letter = alphabet[random() % alphabet.size()];
            letters += Repeat(letter, 1 + random() % 20);
        }
        for (int type : {0, 2, 3}) {
            ExpectAsModel(type, letters, static_cast<int>(round % 3), false);
            ExpectAsModel(type, letters, 0, true);
        }
    }
}

// Short mixed texts of every length, as records are: the blocks of a text
// meet its units at every place, and its last bytes share a block with the
// bytes before them.
TEST_F(FastPathTest, MixedTextsOfEveryLength) {
    std::mt19937 random(93);
    const std::string alphabet = "aaaaaKKKKKSLkgnerypa";
    for (std::size_t target = 1; target <= 120; ++target) {
        for (int round = 0; round < 12; ++round) {
            std::string letters;
            while (Text(letters).size() < target)
                letters += Repeat(alphabet[random() % alphabet.size()], 1 + random() % 6);
            for (int type : {0, 2, 3}) {
                ExpectAsModel(type, letters, round % 3, false);
                ExpectAsModel(type, letters, round % 2, true);
            }
        }
    }
}

// Texts long enough to go through the pre-pass in slices of 16 KiB: every
// kind of unit meets a slice's end, a run of 5C before an escape too, and a
// long mixed text has units across many of them. (In LRSS mode the bytes of
// E read otherwise than the model's letters: only the type 3 recognises it.)
TEST_F(FastPathTest, LongTextsComeOutAsTheirUnitsSay) {
    constexpr std::size_t kSlice = 16 * 1024;
    for (const char* boundary : {"EK", "yEK", "yyEK", "yyy", "K", "g"}) {
        for (std::size_t before = 0; before <= 3; ++before) {
            const std::string letters = Repeat('a', kSlice - before) + boundary + "aKKeSa" + Repeat('K', 40);
            for (int type : {0, 2, 3}) {
                ExpectAsModel(type, letters, 0, false);
                if (type == 3 || letters.find('E') == std::string::npos) ExpectAsModel(type, letters, 0, true);
            }
        }
    }
    std::mt19937 random(65536);
    for (const std::string alphabet : {"aaaaaKKKKKSLkgneEyyr", "aaaaaKKKKKSLkgneyyrp"}) {
        std::string letters;
        for (std::size_t size = 0; size < 5 * kSlice;) {
            const char letter = alphabet[random() % alphabet.size()];
            const std::size_t count = 1 + random() % 8;
            letters += Repeat(letter, count);
            size += count * UnitOf(letter).sjis.size();
        }
        const bool lrss = alphabet.find('p') != std::string::npos;
        for (int type : {0, 2, 3}) ExpectAsModel(type, letters, lrss ? 0 : 1, lrss);
    }
}

// A kanji run whose last pair begins at the last counted byte takes the
// byte after the text as its trail, at every length of the run.
TEST_F(FastPathTest, RunsEndingInAPairPastTheCountedLength) {
    for (std::size_t kanji = 1; kanji <= 40; ++kanji) {
        const Bytes text = Text(Repeat('K', kanji));
        for (int type : {0, 2, 3}) {
            const auto whole = RunExport(Export::kLrss, type, text, 0, static_cast<int>(text.size()));
            const auto cut = RunExport(Export::kLrss, type, text, 0, static_cast<int>(text.size() - 1));
            EXPECT_EQ(cut.out, whole.out) << "type " << type << ", " << kanji << " kanji";
        }
    }
}

// Short mixed texts of every length come back from each host code.
TEST_F(FastPathTest, MixedTextsOfEveryLengthComeBack) {
    std::mt19937 random(94);
    const std::string alphabet = "aaaaaKKKKKSLkn";
    const struct { int out, back; } pairs[] = {{0, 4}, {1, 5}, {2, 6}, {10, 6}, {3, 7}};
    for (std::size_t target = 1; target <= 120; ++target) {
        for (int round = 0; round < 6; ++round) {
            std::string letters;
            while (Text(letters).size() < target)
                letters += Repeat(alphabet[random() % alphabet.size()], 1 + random() % 6);
            const Bytes text = Text(letters);
            for (const auto& p : pairs) {
                const auto host = RunExport(Export::kPlain, p.out, text);
                const auto back = RunExport(Export::kPlain, p.back, test_support::Hex(host.out));
                ASSERT_EQ(back.out, ToHex(text)) << p.out << " -> " << p.back << ": " << letters;
            }
        }
    }
}

// Host texts of every shape, read unit by unit as the conversions back into
// Shift-JIS read them (a pair outside the JIS area goes to the server double,
// which converts nothing), against what the conversions make of them: shift
// codes in and out of turn, runs of odd length, shift codes and low bytes
// where a pair's second byte goes, gaiji pairs, 8E prefixes. Each text is
// given whole (followed by 00) and, through Lumtrax_LRSS, cut one byte short.
Bytes HostModel(int type, const Bytes& host, std::size_t n, bool lrss) {
    const auto byte_at = [&](std::size_t i) -> std::uint8_t { return i < host.size() ? host[i] : 0x00; };
    const auto pair = [](std::uint8_t lead, std::uint8_t trail, bool jis, Bytes& out) {
        const lumtrax::BytePair sjis = jis ? lumtrax::JisToSjis(lead, trail) : lumtrax::BytePair{0x81, 0xA1};
        out.push_back(sjis.lead);
        out.push_back(sjis.trail);
    };
    Bytes out;
    bool in_run = false;
    for (std::size_t i = 0; i < n;) {
        const std::uint8_t b = host[i];
        if (type == 4 && (b == 0x2B || b == 0x2C)) {
            in_run = b == 0x2B;
            if (lrss) out.push_back(0xA0);
            i += 1;
        } else if (type == 4 && !in_run) {
            out.push_back(lumtrax::kHostToSjisSet0[b]);
            i += 1;
        } else if (type == 7 && b < 0x80) {
            out.push_back(b);
            i += 1;
        } else if (type == 7 && b == 0x8E) {
            out.push_back(byte_at(i + 1));
            i += 2;
        } else {
            const std::uint8_t trail = byte_at(i + 1);
            pair(b, trail, type == 4 ? lumtrax::IsEbcdicJisPair(b, trail) : lumtrax::IsEucJisPair(b, trail), out);
            i += 2;
        }
    }
    return out;
}

TEST_F(FastPathTest, HostTextsOfEveryShapeReadUnitByUnit) {
    std::mt19937 random(2026);
    const struct {
        int type;
        std::vector<Bytes> pieces;
    } kinds[] = {
        {4,
         {{0x2B},
          {0x2C},
          {0xC1},
          {0x81, 0x82},
          {0xB0, 0xA1},
          {0xB0, 0xA1, 0xB0, 0xA1},
          {0xA8, 0xC1},
          {0xF4, 0xA6},
          {0xF4, 0xA7},
          {0x41, 0xA1},
          {0xB0},
          {0x25},
          {0x2B, 0xB0, 0xA1, 0xC4, 0xA2, 0x2C}}},
        {7,
         {{0x41},
          {0x8E, 0xB1},
          {0x8E},
          {0xB0, 0xA1},
          {0xB0, 0xA1, 0xA4, 0xA2, 0xC6, 0xFC},
          {0xA8, 0xFE},
          {0xF4, 0xFE},
          {0xF5, 0xA1},
          {0xA1, 0x41},
          {0x80},
          {0x0D, 0x0A}}},
    };
    for (const auto& kind : kinds) {
        for (std::size_t target = 1; target <= 100; ++target) {
            for (int round = 0; round < 8; ++round) {
                Bytes host;
                while (host.size() < target) {
                    const Bytes& piece = kind.pieces[random() % kind.pieces.size()];
                    for (int repeat = 1 + random() % 4; repeat > 0; --repeat)
                        host.insert(host.end(), piece.begin(), piece.end());
                }
                const int whole = static_cast<int>(host.size());
                for (int len : {whole, whole - 1}) {
                    if (len <= 0) continue;
                    const Bytes expected = HostModel(kind.type, host, static_cast<std::size_t>(len), true);
                    const auto outcome = RunExport(Export::kLrss, kind.type, host, 0, len);
                    ASSERT_EQ(outcome.out, ToHex(expected)) << kind.type << ": " << ToHex(host) << " (" << len << ")";
                }
                if (std::find(host.begin(), host.end(), 0x00) == host.end()) {
                    const auto outcome = RunExport(Export::kPlain, kind.type, host);
                    ASSERT_EQ(outcome.out, ToHex(HostModel(kind.type, host, host.size(), false))) << ToHex(host);
                }
            }
        }
    }
}

// A line end or an escape needs both of its first bytes inside the counted
// text: where the length cuts one after its first byte, that byte is a single
// byte, also in the block that ends with the text.
TEST_F(FastPathTest, UnitsCutByTheCountedLengthAreSingleBytes) {
    for (std::size_t kanji = 0; kanji <= 12; ++kanji) {
        for (const char* tail : {"0D 0A", "5C 01"}) {
            const Bytes text = test_support::Hex(ToHex(Text(Repeat('K', kanji) + "aaaaa")) + " " + tail);
            const int cut = static_cast<int>(text.size() - 1);
            // 0D and 5C alone, as the last byte: single bytes in LRSS mode,
            // where the run stays open until the end of the text.
            const std::string last = std::string(tail).substr(0, 2) == "0D" ? "r" : "y";
            const std::string letters = Repeat('K', kanji) + "aaaaa" + last;
            for (int type : {0, 2}) {
                const auto outcome = RunExport(Export::kLrss, type, text, 0, cut);
                EXPECT_EQ(outcome.out, ToHex(Model(type, letters, 0, true))) << type << " " << tail << " " << kanji;
            }
            for (int mode : {0, 1}) {
                const auto outcome = RunExport(Export::kLrss, 3, text, mode, cut);
                EXPECT_EQ(outcome.out, ToHex(Model(3, letters, mode, false))) << tail << " " << kanji;
            }
        }
    }
}

// Round trips through each host code at every alignment, for the fast paths
// of the conversions back.
TEST_F(FastPathTest, TextsComeBackFromEachHostCode) {
    const struct { int out, back; } pairs[] = {{0, 4}, {1, 5}, {2, 6}, {10, 6}, {3, 7}};
    for (char run : {'a', 'K', 'S', 'L'}) {
        for (std::size_t shift = 0; shift <= 17; ++shift) {
            for (std::size_t length : {1u, 7u, 8u, 9u, 15u, 16u, 17u, 31u, 32u, 33u}) {
                for (const char* ending : {"", "a", "K", "n", "k", "Sa"}) {
                    const Bytes text = Text(Repeat('K', shift % 3) + Repeat('a', shift) + Repeat(run, length) + ending);
                    for (const auto& p : pairs) {
                        const auto host = RunExport(Export::kPlain, p.out, text);
                        const auto back = RunExport(Export::kPlain, p.back, test_support::Hex(host.out));
                        ASSERT_EQ(back.out, ToHex(text)) << p.out << " -> " << p.back;
                    }
                }
            }
        }
    }
}

}  // namespace
