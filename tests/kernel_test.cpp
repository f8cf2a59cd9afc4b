// Every kernel level this machine has against the plain loops (the scalar
// level), on random texts built to meet the kernels' edges: block edges at
// every alignment, text ends and the byte after the count, gaiji the server
// converts and fails, escapes, CR LF and lone CR in every line-end mode,
// LRSS placeholders, shift codes in and out of turn. Each call must give the
// same result, bytes up to the terminator, status and server calls, and
// write nothing past the growth bound; the source is a heap block exactly as
// long as the counted text and the byte after it, so that AddressSanitizer
// catches a read beyond.
#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "api/dispatch.h"
#include "api/unicode_dispatch.h"
#include "codes/conversions.h"
#include "codes/utf16.h"
#include "codes/utf8.h"
#include "gaiji_double.h"
#include "lumtrax.h"
#include "simd/kernels.h"
#include "test_support.h"
#include "unit_texts.h"

namespace {

using lumtrax::SimdLevel;
using test_support::Bytes;
using test_support::ToHex;

struct Outcome {
    int result;
    Bytes out;  // up to and including the terminator
    int status;
    std::vector<gaiji_double::Call> calls;
};

// The server converts the records whose first two bytes add up to an even
// number, each to a code of one of the classes the host codes write.
int Serve(gaiji_double::Direction, const Bytes& record, int, std::uint8_t code[2]) {
    const int sum = record[0] + record[1];
    if (sum % 2 != 0) return 0;
    static const std::uint8_t kCodes[][2] = {{0x41, 0xA1}, {0xA1, 0x21}, {0x30, 0x30}, {0xF0, 0x40}, {0x01, 0x5C}};
    code[0] = kCodes[sum / 2 % 5][0];
    code[1] = kCodes[sum / 2 % 5][1];
    return 2;
}

Outcome Convert(SimdLevel level, int type, const Bytes& text, std::uint8_t after, int len, int mode, bool lrss,
                bool shift) {
    constexpr std::uint8_t kGuard = 0xEE;
    constexpr std::size_t kGuardSize = 64;
    const std::size_t counted = len > 0 ? static_cast<std::size_t>(len) : text.size();
    std::unique_ptr<std::uint8_t[]> src(new std::uint8_t[counted + 1]);
    if (counted > 0) std::memcpy(src.get(), text.data(), counted);
    src[counted] = after;
    const std::size_t room = lumtrax::DestinationCapacity(type, counted);
    Bytes dst(room + kGuardSize, kGuard);
    gaiji_double::Reset();
    gaiji_double::AnswerBy(Serve);
    Outcome run{};
    lumtrax::GaijiOutcome status = lumtrax::GaijiOutcome::kNone;
    run.result = lumtrax::ConvertDispatch(lumtrax::KernelsOf(level), type, dst.data(), src.get(), len,
                                          {lumtrax::LineEndModeOf(mode), lumtrax::ShiftModeOf(lrss, shift)}, status);
    run.status = static_cast<int>(status);
    for (std::size_t i = room; i < dst.size(); ++i) {
        if (dst[i] != kGuard) {
            ADD_FAILURE() << "level " << lumtrax::SimdLevelName(level) << " wrote past the growth bound";
            break;
        }
    }
    if (run.result >= 0) run.out.assign(dst.begin(), dst.begin() + run.result + 1);
    run.calls = gaiji_double::Calls();
    return run;
}

// Pieces of Shift-JIS text: single bytes of every kind, kanji (also of the
// leads 87 and EF), gaiji, escapes carrying every kind of byte, line ends,
// placeholders, lone leads.
const char* const kSjisPieces[] = {
    "41",    "7A",    "20",    "30 31", "88 9F", "82 A0",    "81 40",    "93 FA",    "EA A4",    "87 9F",
    "EF FC", "81 80", "B1",    "DF",    "A0",    "8B",       "8C",       "80",       "FD",       "FF",
    "7F",    "0D 0A", "0D",    "0A",    "5C",    "5C 01 41", "5C 01 00", "5C 01 88", "5C 01 0D", "F0 40",
    "FA 40", "87 40", "ED 40", "81",    "9F 7F", "E0 3F",    "01",       "00",
};

// Pieces of host text: single bytes, shift codes and sequences in and out of
// turn, pairs of every class, prefixes.
const char* const kHostPieces[] = {
    "C1",    "41",    "25",    "0D",       "20",    "2B",    "2C",    "B0 A1", "A4 A2", "A8 C0", "A8 C1",
    "F4 A6", "F4 A7", "41 A1", "A1 41",    "A9 A1", "93 F0", "93 70", "93 F1", "93",    "93 41", "20 20",
    "A1 A1", "8E B1", "8E",    "8F A1 A1", "F5 A1", "A1 21", "FF",    "00",    "A0",    "7F",
};

// Whether a 00 after a text surely ends it there or before: not after an
// escape's 5C 01, which would carry that 00 and go on past it.
bool EndsByItsNul(const Bytes& text) {
    return text.size() < 2 || text[text.size() - 2] != 0x5C || text[text.size() - 1] != 0x01;
}

// A random text of pieces, in runs of one piece (so that runs cross block
// edges) or mixed, of a length around a multiple of the block widths.
Bytes RandomText(std::mt19937& random, const char* const* pieces, std::size_t count) {
    static const std::size_t kLengths[] = {1,  2,  3,  15, 16, 17,  31,  32,  33,  47,
                                           63, 64, 65, 66, 95, 127, 128, 129, 200, 400};
    const std::size_t target = kLengths[random() % std::size(kLengths)] + random() % 3;
    Bytes text;
    while (text.size() < target) {
        const Bytes piece = test_support::Hex(pieces[random() % count]);
        const std::size_t repeat = random() % 4 == 0 ? 1 + random() % 40 : 1;
        for (std::size_t k = 0; k < repeat; ++k) text.insert(text.end(), piece.begin(), piece.end());
    }
    text.resize(target);
    return text;
}

struct Config {
    int type;
    bool lrss;
    bool shift;
    int mode;
};

std::string Describe(const Config& c, const Bytes& text, std::uint8_t after, int len) {
    return "type " + std::to_string(c.type) + (c.lrss ? " lrss" : "") + (c.shift ? "" : " noshift") + " mode " +
           std::to_string(c.mode) + " len " + std::to_string(len) + " after " + std::to_string(after) + ": " +
           ToHex(text);
}

TEST(KernelTest, EveryLevelGivesWhatThePlainLoopsGive) {
    std::vector<SimdLevel> levels;
    for (int k = 1; k <= static_cast<int>(lumtrax::SupportedSimdLevel()); ++k) levels.push_back(SimdLevel(k));
    if (levels.empty()) GTEST_SKIP() << "this build or machine has no kernels";
    std::vector<Config> configs;
    for (int type : {0, 1, 2, 10, 3}) {
        for (int mode : {0, 1, 2}) {
            configs.push_back({type, false, true, mode});
            configs.push_back({type, true, true, mode});
            configs.push_back({type, false, false, mode});
        }
    }
    for (int type : {4, 5, 6, 7}) {
        configs.push_back({type, false, true, 0});
        configs.push_back({type, true, true, 0});
    }
    std::mt19937 random(20261208);
    const std::uint8_t kAfter[] = {0x00, 0x01, 0x0A, 0x40, 0x9F, 0xA1, 0xF0, 0xF1};
    for (const Config& c : configs) {
        const bool sjis = c.type <= 3 || c.type == 10;
        for (int round = 0; round < 1000; ++round) {
            const Bytes text = sjis ? RandomText(random, kSjisPieces, std::size(kSjisPieces))
                                    : RandomText(random, kHostPieces, std::size(kHostPieces));
            // Counted through Lumtrax_LRSS's length, with any byte after it;
            // or, a round in three, ended by a 00 that the conversion finds.
            const bool to_its_end = round % 3 == 0 && EndsByItsNul(text);
            const std::uint8_t after = to_its_end ? 0x00 : kAfter[random() % std::size(kAfter)];
            const int len = to_its_end ? 0 : static_cast<int>(text.size());
            const Outcome reference = Convert(SimdLevel::kScalar, c.type, text, after, len, c.mode, c.lrss, c.shift);
            for (SimdLevel level : levels) {
                const Outcome run = Convert(level, c.type, text, after, len, c.mode, c.lrss, c.shift);
                const bool same = run.result == reference.result && run.out == reference.out &&
                                  run.status == reference.status && run.calls == reference.calls;
                ASSERT_TRUE(same) << lumtrax::SimdLevelName(level) << ", " << Describe(c, text, after, len)
                                  << "\n  got  " << run.result << " " << ToHex(run.out) << " status " << run.status
                                  << "\n  want " << reference.result << " " << ToHex(reference.out) << " status "
                                  << reference.status;
            }
        }
    }
}

// Every level against the plain loops on texts that put each kind of unit at
// every place of a window: a run of one unit after single bytes that move
// it through every alignment, ended each way; runs broken at every offset;
// mixed texts of every length; texts that cross 16 KiB. Types 0, 2 and 3 in
// each mode; each text also cut one byte short by the counted length.
std::vector<std::string> StructuredTexts() {
    using unit_texts::Repeat;
    std::vector<std::string> texts;
    for (const char run : {'a', 'K', 'S', 'L', 'k'}) {
        for (std::size_t shift = 0; shift <= 16; shift += 3) {
            for (const std::size_t length : {1u, 2u, 7u, 15u, 16u, 17u, 31u, 32u, 33u, 63u, 64u, 65u}) {
                for (const char* ending : {"", "a", "K", "n", "e", "g", "y", "p", "E"}) {
                    texts.push_back(Repeat('a', shift) + Repeat(run, length) + ending);
                }
            }
        }
    }
    for (const char* run : {"a", "K", "Ka"}) {
        for (const char breaker : {'n', 'e', 'g', 'k', 'r', 'y', 'p', 'a', 'K', 'E'}) {
            for (std::size_t at = 0; at <= 70; at += 3) {
                std::string letters;
                while (letters.size() < 80) letters += run;
                letters[at] = breaker;
                texts.push_back(letters);
            }
        }
    }
    std::mt19937 random(93);
    const std::string alphabet = "aaaaaKKKKKSLkgnerypaE";
    for (std::size_t target = 1; target <= 140; ++target) {
        std::string letters;
        while (unit_texts::Text(letters).size() < target) {
            letters += Repeat(alphabet[random() % alphabet.size()], 1 + random() % 6);
        }
        texts.push_back(letters);
    }
    constexpr std::size_t kSlice = 16 * 1024;
    for (const char* boundary : {"EK", "yEK", "yyy", "K", "g"}) {
        texts.push_back(Repeat('a', kSlice - 1) + boundary + "aKKeSa" + Repeat('K', 40));
    }
    return texts;
}

TEST(KernelTest, EveryLevelGivesWhatThePlainLoopsGiveOnStructuredTexts) {
    std::vector<SimdLevel> levels;
    for (int k = 1; k <= static_cast<int>(lumtrax::SupportedSimdLevel()); ++k) levels.push_back(SimdLevel(k));
    if (levels.empty()) GTEST_SKIP() << "this build or machine has no kernels";
    const std::vector<std::string> texts = StructuredTexts();
    for (const std::string& letters : texts) {
        const Bytes text = unit_texts::Text(letters);
        for (const int type : {0, 2, 3}) {
            for (const Config c : {Config{type, false, true, static_cast<int>(letters.size() % 3)},
                                   Config{type, true, true, 0}, Config{type, false, false, 1}}) {
                for (const int len : {static_cast<int>(text.size()), static_cast<int>(text.size()) - 1, 0}) {
                    if (len < 0 || (len == 0 && !EndsByItsNul(text))) continue;
                    const std::uint8_t after = len == 0 ? 0x00 : text[static_cast<std::size_t>(len) % text.size()];
                    const Outcome reference =
                        Convert(SimdLevel::kScalar, c.type, text, after, len, c.mode, c.lrss, c.shift);
                    for (const SimdLevel level : levels) {
                        const Outcome run = Convert(level, c.type, text, after, len, c.mode, c.lrss, c.shift);
                        ASSERT_TRUE(run.result == reference.result && run.out == reference.out &&
                                    run.status == reference.status && run.calls == reference.calls)
                            << lumtrax::SimdLevelName(level) << ", " << Describe(c, text, after, len) << " ("
                            << letters << ")";
                    }
                }
            }
        }
    }
}

// ---- NUL-terminated texts ---------------------------------------------------

// A NUL-terminated text is read up to its 00 and no further than the page
// that holds it: each text here ends at the last byte of a page, before a
// page that cannot be read, and every level converts it as the plain loops
// do, its end found on the way (escapes carrying a 00 included).
TEST(KernelTest, ANulTerminatedTextIsReadNoFurtherThanItsPage) {
    const long page = sysconf(_SC_PAGESIZE);
    auto* block = static_cast<std::uint8_t*>(
        mmap(nullptr, 2 * static_cast<std::size_t>(page), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(block, MAP_FAILED);
    ASSERT_EQ(mprotect(block + page, static_cast<std::size_t>(page), PROT_NONE), 0);
    std::mt19937 random(2026120902);
    for (int round = 0; round < 300; ++round) {
        const bool sjis = round % 2 == 0;
        const Bytes text = sjis ? RandomText(random, kSjisPieces, std::size(kSjisPieces))
                                : RandomText(random, kHostPieces, std::size(kHostPieces));
        if (text.size() + 1 > static_cast<std::size_t>(page) || !EndsByItsNul(text)) continue;
        std::uint8_t* src = block + page - (text.size() + 1);
        std::memcpy(src, text.data(), text.size());
        src[text.size()] = 0x00;
        const int type = sjis ? (round / 2 % 3 == 0 ? 0 : round / 2 % 3 == 1 ? 2 : 3) : (round / 2 % 2 == 0 ? 4 : 7);
        Bytes reference;
        for (int k = 0; k <= static_cast<int>(lumtrax::SupportedSimdLevel()); ++k) {
            Bytes dst(lumtrax::DestinationCapacity(type, text.size()) + 1);
            lumtrax::GaijiOutcome status = lumtrax::GaijiOutcome::kNone;
            gaiji_double::Reset();
            gaiji_double::AnswerBy(Serve);
            const int n = lumtrax::ConvertDispatch(lumtrax::KernelsOf(SimdLevel(k)), type, dst.data(), src, 0,
                                                   {lumtrax::LineEndMode::kKeep, lumtrax::ShiftMode::kPlain}, status);
            ASSERT_GE(n, 0) << ToHex(text);
            dst.resize(static_cast<std::size_t>(n));
            if (k == 0) reference = dst;
            EXPECT_EQ(dst, reference) << lumtrax::SimdLevelName(SimdLevel(k)) << ", type " << type << ": "
                                      << ToHex(text);
        }
    }
    munmap(block, 2 * static_cast<std::size_t>(page));
}

// ---- the conversions to and from Unicode ------------------------------------------

struct UnicodeRun {
    Bytes out;
    lumtrax::UnicodeOutcome o;
    std::vector<gaiji_double::Call> calls;
};

// The source is a heap block of exactly the text, so that AddressSanitizer
// catches a read past it; the destination has its growth rule's size and a
// guard behind it.
UnicodeRun ConvertUnicode(SimdLevel level, const lumtrax::ConversionRow& row, const Bytes& text,
                          const lumtrax::UnicodeOptions& options) {
    constexpr std::uint8_t kGuard = 0xEE;
    std::unique_ptr<std::uint8_t[]> src(new std::uint8_t[text.size()]);
    if (!text.empty()) std::memcpy(src.get(), text.data(), text.size());
    const std::size_t room = lumtrax::DestinationCapacity(row.growth, text.size());
    Bytes dst(room + 64, kGuard);
    gaiji_double::Reset();
    gaiji_double::AnswerBy(Serve);
    UnicodeRun run;
    run.o = lumtrax::ConvertUnicode(row, src.get(), text.size(), options, lumtrax::KernelsOf(level), dst.data());
    for (std::size_t i = room; i < dst.size(); ++i) {
        if (dst[i] != kGuard) {
            ADD_FAILURE() << row.name << " at level " << lumtrax::SimdLevelName(level) << " wrote past its rule";
            break;
        }
    }
    run.out.assign(dst.begin(), dst.begin() + static_cast<std::ptrdiff_t>(run.o.written));
    run.calls = gaiji_double::Calls();
    return run;
}

bool SameOutcome(const lumtrax::UnicodeOutcome& a, const lumtrax::UnicodeOutcome& b) {
    return a.written == b.written && a.gaiji == b.gaiji && a.failure == b.failure &&
           a.failure_offset == b.failure_offset && a.failure_length == b.failure_length &&
           a.replaced_offset == b.replaced_offset && a.replaced_length == b.replaced_length;
}

// Characters that meet the kernels' edges: ASCII (in runs that cross the
// windows), line ends whole and split, characters of 2 and 3 bytes with and
// without a double-byte code, half-width katakana (single bytes 80-FF), the
// gaiji class, site characters with their selector, characters without a
// code, outside the BMP.
const char32_t* const kCharacters[] = {
    U"A",      U"z~",     U"\r\n",   U"\r",         U"\n",     U"亜",     U"あいう", U"\u3000",       U"\u00A7",
    U"\u0391", U"\uFF71", U"\uFF9F", U"①",          U"\uE000", U"\uE123", U"\u9AD9", U"葛\U000E0100", U"\u2170",
    U"\uFF5E", U"\u301C", U"€",      U"\U00020B9F", U"\uFE00", U"\u0080", U"\uF8F0",
};

// Bytes that no valid text has, each to be put anywhere: a stray
// continuation, a lead cut short, an overlong form, a surrogate, F5 and FF;
// in UTF-16 a lone surrogate of either kind and an odd byte.
const char* const kUtf8Faults[] = {"80", "BF", "E3 81", "C2", "E0 80 80", "C0 AF", "ED A0 80", "F5 80 80 80", "FF"};
const char* const kUtf16Faults[] = {"D8", "DC", "3D"};

Bytes UnicodeText(std::mt19937& random, lumtrax::SourceCode form) {
    static const std::size_t kLengths[] = {1, 2, 3, 10, 15, 16, 17, 31, 32, 33, 63, 64, 65, 66, 100, 130, 200};
    const std::size_t target = kLengths[random() % std::size(kLengths)];
    Bytes text;
    const bool utf8 = form == lumtrax::SourceCode::kUtf8;
    const auto order =
        form == lumtrax::SourceCode::kUtf16Le ? lumtrax::ByteOrder::kLittleEndian : lumtrax::ByteOrder::kBigEndian;
    while (text.size() < target) {
        if (random() % 40 == 0) {
            const Bytes fault = utf8 ? test_support::Hex(kUtf8Faults[random() % std::size(kUtf8Faults)])
                                     : test_support::Hex(kUtf16Faults[random() % std::size(kUtf16Faults)]);
            text.insert(text.end(), fault.begin(), fault.end());
            continue;
        }
        const char32_t* piece = kCharacters[random() % std::size(kCharacters)];
        const std::size_t repeat = random() % 4 == 0 ? 1 + random() % 40 : 1;
        for (std::size_t r = 0; r < repeat; ++r) {
            for (const char32_t* c = piece; *c != 0; ++c) {
                std::uint8_t unit[4];
                const int n = utf8 ? lumtrax::EncodeUtf8(*c, unit) : lumtrax::EncodeUtf16(*c, unit, order);
                text.insert(text.end(), unit, unit + n);
            }
        }
    }
    return text;
}

const lumtrax::SiteCharacters& KernelSite() {
    static const lumtrax::SiteCharacters site({{0xF040, 0x9AD9, 0}, {0xF041, 0x845B, 0xE0100}, {0x8740, 0x2460, 0}});
    return site;
}

std::vector<lumtrax::UnicodeOptions> UnicodeOptionSets() {
    std::vector<lumtrax::UnicodeOptions> sets;
    for (int k = 0; k < 8; ++k) {
        lumtrax::UnicodeOptions o;
        o.mapping = k % 4 == 3 ? lumtrax::UnicodeMapping::kJis : lumtrax::UnicodeMapping::kCp932;
        o.errors = k % 2 == 0 ? lumtrax::ErrorMode::kStrict : lumtrax::ErrorMode::kReplace;
        o.mode.line_end = static_cast<lumtrax::LineEndMode>(k % 3);
        o.mode.shift = k == 5 ? lumtrax::ShiftMode::kNoShift : lumtrax::ShiftMode::kPlain;
        o.double_byte_only = k == 6;
        o.site = k == 1 || k == 4 ? &KernelSite() : nullptr;
        sets.push_back(o);
    }
    return sets;
}

TEST(KernelTest, EveryLevelConvertsUnicodeAsThePlainLoopsDo) {
    std::vector<SimdLevel> levels;
    for (int k = 1; k <= static_cast<int>(lumtrax::SupportedSimdLevel()); ++k) levels.push_back(SimdLevel(k));
    if (levels.empty()) GTEST_SKIP() << "this build or machine has no kernels";
    std::mt19937 random(20261210);
    for (const lumtrax::ConversionRow& row : lumtrax::kConversions) {
        if (!lumtrax::IsUnicodeConversion(row)) continue;
        const bool decodes = lumtrax::IsUnicode(row.target);
        const std::vector<lumtrax::UnicodeOptions> option_sets = UnicodeOptionSets();
        for (std::size_t set = 0; set < option_sets.size(); ++set) {
            const lumtrax::UnicodeOptions& options = option_sets[set];
            for (int round = 0; round < 120; ++round) {
                Bytes text;
                if (!decodes) {
                    text = UnicodeText(random, row.source);
                } else if (round % 2 == 0) {
                    // Well-formed host text, long runs and all: made by the
                    // conversion into the code.
                    const Bytes utf8 = UnicodeText(random, lumtrax::SourceCode::kUtf8);
                    for (const lumtrax::ConversionRow& there : lumtrax::kConversions) {
                        if (there.source == lumtrax::SourceCode::kUtf8 && there.target == row.source &&
                            there.table_set == row.table_set && there.start == row.start) {
                            lumtrax::UnicodeOptions writer;
                            writer.errors = lumtrax::ErrorMode::kReplace;
                            writer.mode.line_end = options.mode.line_end;
                            text = ConvertUnicode(SimdLevel::kScalar, there, utf8, writer).out;
                        }
                    }
                } else {
                    const bool sjis = row.source == lumtrax::SourceCode::kShiftJis;
                    text = sjis ? RandomText(random, kSjisPieces, std::size(kSjisPieces))
                                : RandomText(random, kHostPieces, std::size(kHostPieces));
                }
                const UnicodeRun reference = ConvertUnicode(SimdLevel::kScalar, row, text, options);
                for (SimdLevel level : levels) {
                    const UnicodeRun run = ConvertUnicode(level, row, text, options);
                    ASSERT_TRUE(SameOutcome(run.o, reference.o) && run.out == reference.out &&
                                run.calls == reference.calls)
                        << row.name << " at " << lumtrax::SimdLevelName(level) << ", options " << set << ": "
                        << ToHex(text) << "\n  got  " << ToHex(run.out) << " failure "
                        << static_cast<int>(run.o.failure) << " at " << run.o.failure_offset << "\n  want "
                        << ToHex(reference.out) << " failure " << static_cast<int>(reference.o.failure) << " at "
                        << reference.o.failure_offset;
                }
            }
        }
    }
}

TEST(KernelTest, TheLevelsClimbAndHaveNames) {
    EXPECT_STREQ(lumtrax::SimdLevelName(SimdLevel::kScalar), "scalar");
    EXPECT_STREQ(lumtrax::SimdLevelName(SimdLevel::kAvx512), "avx512");
    EXPECT_EQ(lumtrax::KernelsOf(SimdLevel::kScalar).sjis_to_ebcdic, nullptr);
    // A level above what the machine has gives the machine's.
    EXPECT_EQ(lumtrax::KernelsOf(SimdLevel::kAvx512).level, lumtrax::SupportedSimdLevel());
    EXPECT_LE(static_cast<int>(lumtrax::ActiveKernels().level), static_cast<int>(lumtrax::SupportedSimdLevel()));
}

}  // namespace
