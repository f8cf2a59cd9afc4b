// The stand-in server's gaiji tables: what a table may hold (read here in
// this process), and the server with a table, through the shipped library,
// in processes of their own (gaiji_probe), since a process loads its table
// once.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "gaiji_probe_runner.h"
#include "gaiji_table.h"

namespace {

namespace fs = std::filesystem;
using gaiji_probe::Probe;
using lumtrax::HostCodeKind;
using quobel::GaijiTable;

const std::string kExample = std::string(LUMTRAX_SOURCE_DIR) + "/examples/gaiji.tsv";

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// "LINE: reason" for each error.
std::vector<std::string> Errors(const std::string& text, std::unique_ptr<GaijiTable>* table = nullptr) {
    std::vector<quobel::TableError> errors;
    std::unique_ptr<GaijiTable> parsed = GaijiTable::Parse(text, errors);
    if (table != nullptr) *table = std::move(parsed);
    std::vector<std::string> lines;
    for (const auto& e : errors) lines.push_back(std::to_string(e.line) + ": " + e.reason);
    return lines;
}

const char kColumns[] =
    ": a gaiji's line holds its Shift-JIS, EBCDIC host, 8-bit host and EUC codes and an optional name, "
    "separated by tabs";
const char kJis[] = "it is a JIS X 0208 code, which the library converts by arithmetic";
const char kShift[] = "the conversion into Shift-JIS reads it as a shift code or sequence";

std::string Cannot(int line, const std::string& code, const std::string& why) {
    return std::to_string(line) + ": " + code + " cannot be a gaiji: " + why;
}

TEST(GaijiTableFormat, FindsEveryErrorWithItsLine) {
    const struct {
        const char* name;
        std::string text;
        std::vector<std::string> errors;
    } cases[] = {
        {"bad hex",
         "F04G\t69A1\tC921\tFEA1\nF041\t69A\tC922\tFEA2\n",
         {"1: Shift-JIS code \"F04G\" is not two bytes in hex (four digits, like F040)",
          "2: EBCDIC host code \"69A\" is not two bytes in hex (four digits, like F040)"}},
        {"wrong class",
         "8140\t69A1\tC921\tFEA1\n"
         "F041\tC1C1\t2020\t41A1\n"
         "F042\t2121\t93F1\t8EB1\n"
         "F043\t2CA1\tB0A1\tB0A1\n"
         "F044\t6900\tC924\tFEA4\n",
         {Cannot(1, "Shift-JIS code 8140", "the library converts it without the gaiji server"),
          Cannot(2, "EBCDIC host code C1C1", kJis), Cannot(2, "8-bit host code 2020", "it is the ideographic space"),
          Cannot(2, "EUC code 41A1", "its first byte is a character of its own"),
          Cannot(3, "EBCDIC host code 2121",
                 "it does not come back as itself: the conversion out of Shift-JIS "
                 "writes the gaiji server's answer 2121 as A1A1"),
          Cannot(3, "8-bit host code 93F1", kShift),
          Cannot(3, "EUC code 8EB1", "it is a half-width katakana (8E and its byte)"),
          Cannot(4, "EBCDIC host code 2CA1", kShift), Cannot(4, "8-bit host code B0A1", kJis),
          Cannot(4, "EUC code B0A1", kJis),
          Cannot(5, "EBCDIC host code 6900", "it holds a 00 byte, which ends a text and a code record")}},
        {"duplicates",
         "F040\t69A1\tC921\tFEA1\nF040\t69A2\tC922\tFEA2\nF041\t69A1\tC923\tFEA3\n"
         "F042\t69A4\tC921\tFEA4\nF043\t69A5\tC925\tFEA1\n",
         {"2: Shift-JIS code F040 is already on line 1", "3: EBCDIC host code 69A1 is already on line 1",
          "4: 8-bit host code C921 is already on line 1", "5: EUC code FEA1 is already on line 1"}},
        {"wrong column count",
         "F040\t69A1\tC921\nF041\t69A2\tC922\tFEA2\tname\tmore\nF042 69A3 C923 FEA3\n",
         {std::string("1: 3 columns") + kColumns, std::string("2: 6 columns") + kColumns,
          std::string("3: 1 column") + kColumns}},
        {"empty", "", {"0: no gaiji: the table is empty"}},
        {"comments only", "# sjis\tebcdic\n\n   \n", {"0: no gaiji: the table is empty"}},
        {"not UTF-8", "F040\t69A1\tC921\tFEA1\t\x92\x6A\n", {"1: not UTF-8 text"}},
        {"fallback lines",
         "fallback none\nfallback off\nF040\t69A1\tC921\tFEA1\nfallback arithmetic\n",
         {"1: the fallback line is \"fallback off\" or \"fallback arithmetic\"", "2: a second fallback line",
          "4: the fallback line must come before the first gaiji"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Errors(c.text), c.errors) << c.name;
    }
}

// A table in the server's form: records in, answers out.
TEST(GaijiTableFormat, ReadsCodesAsTheirTextsHoldThem) {
    std::unique_ptr<GaijiTable> table;
    ASSERT_EQ(Errors("\xEF\xBB\xBF"
                     "fallback off\r\n# a comment\r\n"
                     "F040\t69A1\t\tC921\tFEA1\t\xE9\xAB\x99 # the tall ladder\r\n\r\n \t\n"
                     "  F041 \tA141\t4142\tA941\n",
                     &table),
              std::vector<std::string>{});
    EXPECT_EQ(table->size(), 2u);
    EXPECT_FALSE(table->fallback());
    const struct {
        HostCodeKind kind;
        quobel::BytePair sjis, answer;
        std::vector<std::uint8_t> record;  // what the library hands over, its 00 included
    } cases[] = {
        {HostCodeKind::kEbcdicHost, {0xF0, 0x40}, {0xC9, 0x21}, {0xC9, 0x21, 0x00}},
        {HostCodeKind::kEightBitHost, {0xF0, 0x40}, {0xC9, 0x21}, {0xC9, 0x21, 0x00}},
        {HostCodeKind::kEuc, {0xF0, 0x40}, {0xFE, 0xA1}, {0xFE, 0xA1, 0x00}},
        {HostCodeKind::kEbcdicHost, {0xF0, 0x41}, {0x21, 0xA1}, {0x21, 0xA1, 0x00}},
        {HostCodeKind::kEightBitHost, {0xF0, 0x41}, {0x41, 0x42}, {0x41, 0x42, 0x00}},
        {HostCodeKind::kEuc, {0xF0, 0x41}, {0xA9, 0x41}, {0x8F, 0xA9, 0xC1, 0x00}},
    };
    for (const auto& c : cases) {
        quobel::BytePair got{};
        ASSERT_TRUE(table->ToHost(c.sjis, c.kind, &got));
        EXPECT_EQ(got.lead << 8 | got.trail, c.answer.lead << 8 | c.answer.trail);
        ASSERT_TRUE(table->ToSjis(c.kind, c.record.data(), &got));
        EXPECT_EQ(got.lead << 8 | got.trail, c.sjis.lead << 8 | c.sjis.trail);
    }
    quobel::BytePair got{};
    const std::uint8_t short_record[] = {0xA9, 0x41, 0x00};  // not how the library hands A941 over
    EXPECT_FALSE(table->ToSjis(HostCodeKind::kEuc, short_record, &got));
    EXPECT_FALSE(table->ToHost({0xF0, 0x42}, HostCodeKind::kEuc, &got));
}

// The server with a table, each case in a process of its own.
class GaijiServerTable : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/lumtrax-gaiji-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string File(const std::string& name, const std::string& text) const {
        std::ofstream(dir_ / name, std::ios::binary) << text;
        return (dir_ / name).string();
    }

    // The probe's output for the items, with the table given; its standard
    // error must stay empty.
    static std::string Output(const std::vector<std::string>& items, const std::string& table,
                              const std::string& library_folder = "") {
        const gaiji_probe::Run run = Probe(items, table, library_folder);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, "");
        return run.out;
    }

    fs::path dir_;
};

TEST_F(GaijiServerTable, EveryHostCodeRoundTripsWithTheExampleTable) {
    const std::string sjis = "41 F040 F041 F042 F043 F044 8740 8741 8742 ED40 ED41 FA40 FA41 42";
    const std::string host[] = {
        "C1 2B 69 A1 69 A2 69 A3 69 A4 69 A5 6A A1 6A A2 6A A3 6B A1 6B A2 6C A1 6C A2 2C C2",
        "41 93 F0 C9 21 C9 22 C9 23 C9 24 C9 25 CA 21 CA 22 CA 23 CB 21 CB 22 CC 21 CC 22 93 F1 42",
        "41 FE A1 FE A2 FE A3 FE A4 FE A5 FD A1 FD A2 FD A3 FC A1 FC A2 FB A1 FB A2 42"};
    EXPECT_EQ(Output({"0:" + sjis, "2:" + sjis, "3:" + sjis}, kExample),
              host[0] + " status 1\n" + host[1] + " status 1\n" + host[2] + " status 1\n");
    const struct { int out, back; } pairs[] = {{0, 4}, {1, 5}, {2, 6}, {10, 6}, {3, 7}};
    std::vector<std::string> out_items, back_items;
    for (const auto& p : pairs) out_items.push_back(std::to_string(p.out) + ":" + sjis);
    const std::string outs = Output(out_items, kExample);
    std::size_t start = 0;
    for (const auto& p : pairs) {
        const std::size_t end = outs.find(" status", start);
        back_items.push_back(std::to_string(p.back) + ":" + outs.substr(start, end - start));
        start = outs.find('\n', end) + 1;
    }
    const std::string expected =
        "41 F0 40 F0 41 F0 42 F0 43 F0 44 87 40 87 41 87 42 ED 40 ED 41 FA 40 FA 41 42 status 1\n";
    std::string all;
    for (std::size_t k = 0; k < back_items.size(); ++k) all += expected;
    EXPECT_EQ(Output(back_items, kExample), all);
}

// Each kind of error: the server refuses the whole table, says so once on
// standard error, and fails even what its arithmetic converts.
TEST_F(GaijiServerTable, RefusesATableWithAnErrorAndFailsEveryGaiji) {
    const struct {
        const char* name;
        const char* text;  // null: no such file
        const char* reason;
    } cases[] = {
        {"bad hex", "F040\t69A1\tC921\tFEA1\nF041\t69AZ\tC922\tFEA2\n",
         "line 2: EBCDIC host code \"69AZ\" is not two bytes in hex"},
        {"wrong class", "F040\t69A1\tC921\tA1A1\n", "line 1: EUC code A1A1 cannot be a gaiji"},
        {"duplicate", "F040\t69A1\tC921\tFEA1\nF041\t69A2\tC921\tFEA2\n",
         "line 2: 8-bit host code C921 is already on line 1"},
        {"wrong column count", "F040\t69A1\tC921\n", "line 1: 3 columns"},
        {"empty", "", "no gaiji: the table is empty"},
        {"missing", nullptr, "cannot open it: No such file or directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = c.text != nullptr ? File("bad.tsv", c.text) : (dir_ / "missing.tsv").string();
        const gaiji_probe::Run run = Probe({"0:F040", "4:2B A9A1 2C", "7:F5A1", "table"}, path);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out.substr(0, run.out.find("table")), "2B A2 A3 2C status 2\n81 A1 status 2\n81 A1 status 2\n");
        EXPECT_EQ(run.out.rfind("table 2 " + path + ": refused (" + c.reason), run.out.find("table")) << run.out;
        EXPECT_EQ(run.err.rfind("quobel: gaiji table " + path + ", " + c.reason, 0), 0u) << run.err;
        EXPECT_NE(run.err.find("; the table is refused and every gaiji fails"), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
}

// Unlisted codes go by the arithmetic, except where it would give a code the
// table gives to another gaiji; "fallback off" makes every unlisted code fail.
TEST_F(GaijiServerTable, FallbackOnAndOff) {
    const std::vector<std::string> items = {"0:F040", "0:F049", "3:F49F", "7:F5A1", "4:2B A9A1 2C"};
    EXPECT_EQ(Output(items, kExample),
              "2B 69 A1 2C status 1\n"
              "2B 41 AA 2C status 1\n"  // the arithmetic for an unlisted code
              "A2 A3 status 2\n"        // its arithmetic code FEA1 is F040's
              "81 A1 status 2\n"        // the arithmetic would bring back F040
              "85 40 status 1\n");      // an empty kanji-class code comes back
    const std::string off = File("off.tsv", "fallback off\n" + Slurp(kExample));
    EXPECT_EQ(Output(items, off),
              "2B 69 A1 2C status 1\n2B A2 A3 2C status 2\nA2 A3 status 2\n81 A1 status 2\n81 A1 status 2\n");
}

// gaiji.tsv beside the server library, unless LUMTRAX_GAIJI_TABLE names one.
TEST_F(GaijiServerTable, FindsTheTableBesideTheServer) {
    fs::copy_file(QUOBEL_LIBRARY, dir_ / QUOBEL_SONAME);
    const std::string folder = dir_.string();
    EXPECT_EQ(Output({"table", "0:8740"}, "", folder), "table 0 built-in arithmetic\n2B A2 A3 2C status 2\n");
    const std::string beside = File("gaiji.tsv", Slurp(kExample));
    EXPECT_EQ(Output({"table", "0:8740"}, "", folder),
              "table 1 " + beside + ": 12 gaiji, the built-in arithmetic for the rest\n2B 6A A1 2C status 1\n");
    const std::string named = File("named.tsv", "fallback off\n8740\t41A1\tA121\tF5A1\n");
    EXPECT_EQ(Output({"table", "0:8740"}, named, folder),
              "table 1 " + named + ": 1 gaiji, no fallback\n2B 41 A1 2C status 1\n");
}

}  // namespace
