// Converting in pieces (FindCut, StreamConverter) against one call of
// Convert over the whole text: the same bytes and the same status, for every
// conversion, line-end mode and export flag, fed in pieces of any size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "hex_text.h"
#include "lumtrax.hpp"

namespace {

using lumtrax::Conversion;
using lumtrax::Errc;
using lumtrax::GaijiStatus;
using lumtrax::LineEnd;
using lumtrax::Options;
using lumtrax::StreamConverter;

using hex_text::Bytes;
using hex_text::Hex;

// Texts made of what makes cuts hard: double-byte characters and gaiji (87 40
// is one the server does not know), escapes (one carrying 0A), CR LF and lone
// CR and LF, LRSS placeholders and a run across a line end, host shift codes
// and pairs, 8-bit sequences, EUC prefixes, lone lead bytes, 00, any byte, and
// long runs of pairs whose bytes could each begin a pair, which do not show
// where their characters begin.
std::string RandomText(std::mt19937& random, std::size_t size) {
    static const char* const kPieces[] = {"A",
                                          "1 ",
                                          "\xB1",
                                          "\x88\x9F",
                                          "\x82\xA0\x82\xA2",
                                          "\xF0\x40",
                                          "\x87\x40",
                                          "\x5C\x01",
                                          "\x5C\x01\x0A",
                                          "\x5C",
                                          "\x01",
                                          "\x0D\x0A",
                                          "\x0D",
                                          "\x0A",
                                          "\xA0",
                                          "\xA0\x88\x9F\x0D\x0A\x88\x9F\xA0",
                                          "\x2B\xB0\xA1\x2C",
                                          "\x2B",
                                          "\x2C",
                                          "\x25",
                                          "\xB0\xA1",
                                          "\x93\xF0\xB0\xA1\x93\xF1",
                                          "\x93\x70",
                                          "\x93\xF1",
                                          "\x93",
                                          "\x8E\xB1",
                                          "\x8E",
                                          "\x88",
                                          "\xFC"};
    constexpr std::size_t kCount = sizeof kPieces / sizeof kPieces[0];
    std::string text;
    while (text.size() < size) {
        const std::size_t pick = random() % (kCount + 2);
        if (pick < kCount) {
            text += kPieces[pick];
        } else if (pick == kCount && random() % 8 == 0) {
            for (std::size_t n = 100 + random() % 300; n > 0; --n) {
                text += static_cast<char>(0xE0 + random() % 29);
                text += static_cast<char>(0x81 + random() % 31);
            }
        } else if (pick == kCount) {
            text += '\0';
        } else {
            text += static_cast<char>(random() & 0xFF);
        }
    }
    return text;
}

struct Config {
    Conversion conversion;
    Options options;
    Conversion forward;  // for a host source: the conversion that makes well-formed text
};

std::vector<Config> AllConfigs() {
    const Conversion kConversions[][2] = {{Conversion::kSjisToEbcdic, Conversion::kSjisToEbcdic},
                                          {Conversion::kSjisToEbcdicKana, Conversion::kSjisToEbcdicKana},
                                          {Conversion::kSjisToEightBit, Conversion::kSjisToEightBit},
                                          {Conversion::kSjisToEightBit70, Conversion::kSjisToEightBit70},
                                          {Conversion::kSjisToEuc, Conversion::kSjisToEuc},
                                          {Conversion::kEbcdicToSjis, Conversion::kSjisToEbcdic},
                                          {Conversion::kEbcdicKanaToSjis, Conversion::kSjisToEbcdicKana},
                                          {Conversion::kEightBitToSjis, Conversion::kSjisToEightBit70},
                                          {Conversion::kEucToSjis, Conversion::kSjisToEuc},
                                          {Conversion::kRawByteEscape, Conversion::kRawByteEscape}};
    const Options kFlags[] = {{LineEnd::kKeep, false, true},   // Lumtrax
                              {LineEnd::kKeep, true, true},    // Lumtrax_LRSS
                              {LineEnd::kKeep, false, false},  // Lumtrax_NoShift
                              {LineEnd::kKeep, true, false}};  // both flags
    // To and from Unicode: Unicode text is made from the Shift-JIS text.
    const Conversion kUnicode[][2] = {{Conversion::kSjisToUtf8, Conversion::kSjisToUtf8},
                                      {Conversion::kEbcdicToUtf16Be, Conversion::kSjisToEbcdic},
                                      {Conversion::kEightBitToUtf8, Conversion::kSjisToEightBit70},
                                      {Conversion::kEucToUtf16Le, Conversion::kSjisToEuc},
                                      {Conversion::kUtf8ToEbcdic, Conversion::kSjisToUtf8},
                                      {Conversion::kUtf8ToEightBit70, Conversion::kSjisToUtf8},
                                      {Conversion::kUtf8ToEuc, Conversion::kSjisToUtf8},
                                      {Conversion::kUtf16LeToSjis, Conversion::kSjisToUtf16Le},
                                      {Conversion::kUtf16LeToEightBit, Conversion::kSjisToUtf16Le},
                                      {Conversion::kUtf16BeToEbcdicKana, Conversion::kSjisToUtf16Be}};
    std::vector<Config> configs;
    for (const auto& pair : kConversions) {
        for (Options options : kFlags) {
            for (LineEnd line_end : {LineEnd::kKeep, LineEnd::kLfOnly, LineEnd::kDrop}) {
                options.line_end = line_end;
                configs.push_back({pair[0], options, pair[1]});
            }
        }
    }
    for (const auto& pair : kUnicode) {
        for (const bool shift : {true, false}) {
            for (LineEnd line_end : {LineEnd::kKeep, LineEnd::kLfOnly, LineEnd::kDrop}) {
                Options options;
                options.shift = shift;
                options.line_end = line_end;
                options.errors = lumtrax::OnError::kReplace;
                configs.push_back({pair[0], options, pair[1]});
            }
        }
    }
    return configs;
}

bool ReadsUnicode(Conversion conversion) {
    const lumtrax::Code from = lumtrax::Describe(conversion)->from;
    return from == lumtrax::Code::kUtf8 || from == lumtrax::Code::kUtf16Le || from == lumtrax::Code::kUtf16Be;
}

// Well-formed text for the conversion (Unicode text always is).
std::string Forward(const Config& config, const std::string& text) {
    Options options;
    options.errors = lumtrax::OnError::kReplace;
    return lumtrax::Convert(config.forward, text, options).text;
}

// Feeds text in random pieces of up to about twice piece_size bytes.
void ExpectOneCallsResult(const Config& config, const std::string& text, std::size_t piece_size, std::mt19937& random) {
    const lumtrax::Result whole = lumtrax::Convert(config.conversion, text, config.options);
    ASSERT_TRUE(whole.ok());
    StreamConverter stream(config.conversion, config.options, piece_size);
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t n = std::min(text.size() - at, random() % (2 * piece_size + 2));
        ASSERT_FALSE(stream.Feed(std::string_view(text).substr(at, n), out));
        at += n;
    }
    ASSERT_FALSE(stream.Finish(out));
    ASSERT_EQ(Hex(out), Hex(whole.text)) << "text " << Hex(text) << ", pieces of " << piece_size;
    ASSERT_EQ(stream.gaiji(), whole.gaiji) << "text " << Hex(text);
    // A std::string is converted where it lies, followed by its own 00.
    std::string in_place;
    GaijiStatus gaiji = GaijiStatus::kNone;
    ASSERT_FALSE(lumtrax::ConvertInto(config.conversion, text, in_place, gaiji, config.options));
    ASSERT_EQ(in_place, whole.text);
}

TEST(Stream, GivesTheBytesAndStatusOfOneCall) {
    std::mt19937 random(20261208);
    for (const Config& config : AllConfigs()) {
        SCOPED_TRACE("type " + std::to_string(static_cast<int>(config.conversion)) + " lrss " +
                     std::to_string(config.options.lrss) + " shift " + std::to_string(config.options.shift) +
                     " line end " + std::to_string(static_cast<int>(config.options.line_end)));
        for (int round = 0; round < 12; ++round) {
            // Tiny pieces put a cut attempt at every byte; pieces above the
            // few hundred bytes that FindCut looks at first make it find its
            // footing in the middle of a text.
            const bool tiny = round % 2 == 0;
            const std::size_t piece_size = tiny ? 1 + random() % 6 : 300 + random() % 900;
            std::string text = RandomText(random, tiny ? 200 : 4000);
            if ((round % 4 >= 2 && config.forward != config.conversion) || ReadsUnicode(config.conversion)) {
                text = Forward(config, text);  // well-formed host text
            }
            ExpectOneCallsResult(config, text, piece_size, random);
            if (HasFatalFailure()) return;
        }
    }
}

// Strict conversions to and from Unicode stop at the first unit they cannot
// convert: a stream stops there too, with the same bytes before it.
TEST(Stream, StopsWhereOneCallStops) {
    std::mt19937 random(20261209);
    for (Config config : AllConfigs()) {
        if (config.options.errors != lumtrax::OnError::kReplace || !config.options.shift) continue;
        config.options.errors = lumtrax::OnError::kStrict;
        SCOPED_TRACE(lumtrax::Describe(config.conversion)->name);
        for (int round = 0; round < 8; ++round) {
            std::string text = RandomText(random, round % 2 == 0 ? 100 : 3000);
            if (ReadsUnicode(config.conversion)) {
                // One byte that is no UTF-8, or one unpaired surrogate.
                const bool utf8 = lumtrax::Describe(config.conversion)->from == lumtrax::Code::kUtf8;
                text = Forward(config, text);
                const std::size_t at = random() % (text.size() / 2 + 1) * 2;
                text.insert(at, utf8 ? "\xFF" : std::string("\x00\xDC\xDC\x00", 2));
            } else if (round % 2 == 1 && config.forward != config.conversion) {
                text = Forward(config, text);
            }
            const lumtrax::Result whole = lumtrax::Convert(config.conversion, text, config.options);
            StreamConverter stream(config.conversion, config.options, 1 + random() % 64);
            std::string out;
            std::error_code error;
            for (std::size_t at = 0; at < text.size() && !error;) {
                const std::size_t n = std::min<std::size_t>(text.size() - at, 1 + random() % 100);
                error = stream.Feed(std::string_view(text).substr(at, n), out);
                at += n;
            }
            if (!error) error = stream.Finish(out);
            ASSERT_EQ(error, whole.error) << Hex(text);
            ASSERT_EQ(Hex(out), Hex(whole.text));
            ASSERT_EQ(stream.error_place().offset, whole.error_place.offset);
            ASSERT_EQ(stream.error_place().length, whole.error_place.length);
        }
    }
}

TEST(Stream, CutsOnlyWhereTheRuleAllows) {
    Options lrss_drop;
    lrss_drop.lrss = true;
    lrss_drop.line_end = LineEnd::kDrop;
    Options lrss;
    lrss.lrss = true;
    Options drop;
    drop.line_end = LineEnd::kDrop;
    Options no_shift;
    no_shift.shift = false;
    const struct {
        Conversion conversion;
        Options options;
        const char* text;
        std::size_t limit;
        std::size_t cut;
    } cases[] = {
        {Conversion::kSjisToEbcdic, {}, "41 88 9F 42", 3, 1},                // not in the pair, nor after it
        {Conversion::kSjisToEbcdic, no_shift, "41 88 9F 42", 3, 3},          // no run without shift codes
        {Conversion::kSjisToEbcdic, {}, "41 0D 0A 42", 2, 1},                // not in CR LF
        {Conversion::kSjisToEbcdic, {}, "5C 01 0A 42", 2, 3},                // nor in an escape: the next one
        {Conversion::kSjisToEbcdic, drop, "88 9F 0D 0A 88 9F 41 42", 6, 7},  // dropped: run open
        {Conversion::kSjisToEbcdic, lrss, "88 9F 41 0D 0A 42", 4, 5},        // LRSS: 41 leaves it open, CR LF closes it
        {Conversion::kSjisToEbcdic, lrss_drop, "88 9F 41 0D 0A 42", 4, 0},   // dropped: no cut
        {Conversion::kSjisToEightBit, lrss_drop, "A0 88 9F 0D 0A 88 9F A0 41", 7, 8},
        {Conversion::kEbcdicToSjis, {}, "C1 2B B0 A1 2C C2", 3, 1},
        {Conversion::kEightBitToSjis, {}, "41 93 F0 B0 A1 93 F1 42", 6, 1},
        {Conversion::kEucToSjis, {}, "B0 A1 8E B1 41", 3, 2},
        {Conversion::kRawByteEscape, {}, "41 42", 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(lumtrax::FindCut(c.conversion, Bytes(c.text), c.limit, c.options), c.cut);
    }
}

TEST(Stream, HoldsLittleWhereCutsAreNearAndGrowsWhereARunStaysOpen) {
    std::string text;
    for (int i = 0; i < 2000; ++i) text += "\x88\x9F\x82\xA0 word\x0D\x0A";
    StreamConverter stream(Conversion::kSjisToEbcdic, {}, 1000);
    std::string out;
    std::size_t most_held = 0;
    for (std::size_t at = 0; at < text.size(); at += 700) {
        ASSERT_FALSE(stream.Feed(std::string_view(text).substr(at, 700), out));
        most_held = std::max(most_held, stream.held());
    }
    EXPECT_LE(most_held, 1000u + 700u);
    // LRSS with line ends dropped: the run opened by the first A0 never closes.
    Options lrss_drop;
    lrss_drop.lrss = true;
    lrss_drop.line_end = LineEnd::kDrop;
    StreamConverter open_run(Conversion::kSjisToEbcdic, lrss_drop, 1000);
    out.clear();
    ASSERT_FALSE(open_run.Feed("\xA0" + text, out));
    EXPECT_EQ(out, "");
    EXPECT_EQ(open_run.held(), text.size() + 1);
}

TEST(Stream, UnassignedTypesAndTheEscape) {
    StreamConverter stream(static_cast<Conversion>(8));
    std::string out;
    EXPECT_EQ(stream.Feed("A", out), Errc::kUnassignedType);
    EXPECT_EQ(stream.Finish(out), Errc::kUnassignedType);
    // The escape is built from the first byte of the text; Finish ends a text.
    StreamConverter escape(Conversion::kRawByteEscape);
    ASSERT_FALSE(escape.Feed("", out));
    ASSERT_FALSE(escape.Feed("AB", out));
    ASSERT_FALSE(escape.Finish(out));
    ASSERT_FALSE(escape.Finish(out));  // an empty text: its escape carries 00
    EXPECT_EQ(Hex(out), "5C 01 41 5C 01 00");
    EXPECT_EQ(lumtrax::MergeGaiji(GaijiStatus::kReplaced, GaijiStatus::kConverted), GaijiStatus::kReplaced);
    EXPECT_EQ(lumtrax::MergeGaiji(GaijiStatus::kNone, GaijiStatus::kConverted), GaijiStatus::kConverted);
}

}  // namespace

// What a SourceCutter and ConvertBatch make of a source: the output and the
// tally, fed in pieces of random sizes or given whole in memory.
struct SourceRun {
    std::string out;
    lumtrax::Tally tally;
};

SourceRun CutAndConvert(const Config& c, const std::string& text, const lumtrax::SourceOptions& source,
                        bool in_memory, std::mt19937& random) {
    lumtrax::SourceCutter cutter(c.conversion, c.options, source);
    SourceRun run;
    lumtrax::Batch batch;
    std::string result;
    const auto take = [&](bool at_end) {
        std::error_code error;
        while (cutter.Next(batch, at_end, error)) {
            lumtrax::Tally tally;
            EXPECT_FALSE(lumtrax::ConvertBatch(c.conversion, c.options, batch, result, tally));
            if (run.tally.replaced == 0 && tally.replaced > 0) {
                lumtrax::LocateFirstReplaced(c.conversion, c.options, batch, tally);
            }
            run.tally.Add(tally);
            run.out += result;
        }
        EXPECT_FALSE(error);
    };
    if (in_memory) {
        cutter.SetSource(text);
        take(true);
        return run;
    }
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t n = std::min<std::size_t>(text.size() - at, 1 + random() % 700);
        cutter.input().append(text, at, n);
        at += n;
        take(false);
    }
    take(true);
    return run;
}

TEST(SourceCutter, CutsASourceIntoTheCallsItsFramingSays) {
    std::mt19937 random(1208);
    const std::vector<Config> configs = AllConfigs();
    for (std::size_t k = 0; k < configs.size(); k += 5) {
        const Config& c = configs[k];
        SCOPED_TRACE("type " + std::to_string(static_cast<int>(c.conversion)) + " lrss " +
                     std::to_string(c.options.lrss));
        std::string text = RandomText(random, 3000);
        if ((k % 2 == 1 && c.forward != c.conversion) || ReadsUnicode(c.conversion)) text = Forward(c, text);
        const lumtrax::Result whole = lumtrax::Convert(c.conversion, text, c.options);
        std::string records;  // each 37 bytes its own call
        for (std::size_t at = 0; at < text.size(); at += 37) {
            records += lumtrax::Convert(c.conversion, text.substr(at, 37), c.options).text;
        }
        for (const lumtrax::Framing framing :
             {lumtrax::Framing::kWhole, lumtrax::Framing::kLines, lumtrax::Framing::kRecords}) {
            // (Records of 37 bytes cut Unicode characters: see UnicodeErrors.)
            if (framing == lumtrax::Framing::kRecords && ReadsUnicode(c.conversion)) continue;
            std::string first;
            for (const bool in_memory : {false, true}) {
                const lumtrax::SourceOptions source{framing, 37, in_memory ? 64u : 1u + random() % 400};
                const SourceRun run = CutAndConvert(c, text, source, in_memory, random);
                if (framing == lumtrax::Framing::kWhole) {
                    ASSERT_EQ(Hex(run.out), Hex(whole.text));
                    ASSERT_EQ(run.tally.gaiji, whole.gaiji);
                    const auto unit = lumtrax::FirstReplaced(c.conversion, text, c.options);
                    ASSERT_EQ(unit.has_value(), run.tally.first_replaced.has_value());
                    if (unit) {
                        ASSERT_EQ(run.tally.first_replaced->bytes.offset, unit->offset);
                    }
                } else if (framing == lumtrax::Framing::kRecords) {
                    ASSERT_EQ(Hex(run.out), Hex(records));
                    ASSERT_EQ(run.tally.calls, (text.size() + 36) / 37);
                }
                if (in_memory) {
                    ASSERT_EQ(Hex(run.out), Hex(first)) << "in memory and fed in pieces";
                }
                first = run.out;
            }
        }
    }
}
