// The characters of a site's gaiji table: the syntax of column 5 and its
// errors (read here), and the characters reaching the conversions to and
// from Unicode through the stand-in server's optional export, in processes
// of their own (unicode_probe).
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

std::vector<std::string> Errors(const std::string& text, std::vector<std::string>* characters = nullptr) {
    std::vector<quobel::TableError> errors;
    const std::unique_ptr<quobel::GaijiTable> table = quobel::GaijiTable::Parse(text, errors);
    std::vector<std::string> lines;
    for (const auto& e : errors) lines.push_back(std::to_string(e.line) + ": " + e.reason);
    if (characters != nullptr) {
        for (const GaijiCharacter& c : table->characters()) {
            char line[48];
            std::snprintf(line, sizeof line, "%02X%02X %X %X", c.sjis[0], c.sjis[1], c.scalar, c.selector);
            characters->push_back(line);
        }
    }
    return lines;
}

TEST(GaijiTableCharacters, ReadsColumnFive) {
    std::vector<std::string> characters;
    EXPECT_EQ(Errors("F040\t69A1\tC921\tFEA1\tU+9AD9 \xE9\xAB\x99 (hashigo-daka)\n"
                     "F041\t69A2\tC922\tFEA2\tU+845b U+E0100\n"
                     "F042\t69A3\tC923\tFEA3\tU+20B9F\n"
                     "F043\t69A4\tC924\tFEA4\t\xE9\xAB\x99 a name, as before\n"
                     "F044\t69A5\tC925\tFEA5\tU+ is no character\n"
                     "F045\t69A6\tC926\tFEA6\n",
                     &characters),
              std::vector<std::string>{});
    EXPECT_EQ(characters, (std::vector<std::string>{"F040 9AD9 0", "F041 845B E0100", "F042 20B9F 0"}));
}

TEST(GaijiTableCharacters, FindsEveryErrorWithItsLine) {
    const struct {
        const char* name;
        std::string column;
        std::string error;  // "" when the line is sound
    } cases[] = {
        {"a surrogate", "U+D800", "character U+D800 is no Unicode scalar value"},
        {"past U+10FFFF", "U+110000", "character U+110000 is no Unicode scalar value"},
        {"a single byte", "U+00A5 yen", ""},
        {"ASCII", "U+0041", "character U+0041 is below U+0080: those characters are single bytes of every code"},
        {"a selector alone", "U+FE00",
         "character U+FE00 is a variation selector, which comes after the character it selects"},
        {"no selector", "U+845B U+0041",
         "U+0041 after the character is no variation selector (U+FE00-U+FE0F, U+E0100-U+E01EF)"},
        {"a selector that is no code", "U+845B U+E01", "\"U+E01\" after the character is no variation selector U+XXXX"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<std::string> errors = Errors("F040\t69A1\tC921\tFEA1\t" + c.column + "\n");
        EXPECT_EQ(errors, c.error.empty() ? std::vector<std::string>{} : std::vector<std::string>{"1: " + c.error});
    }
    // One character (or sequence) for two gaiji refuses the table.
    EXPECT_EQ(Errors("F040\t69A1\tC921\tFEA1\tU+845B\n"
                     "F041\t69A2\tC922\tFEA2\tU+845B U+E0100\n"
                     "F042\t69A3\tC923\tFEA3\tU+845B U+E0100 again\n"
                     "F043\t69A4\tC924\tFEA4\tU+845b\n"),
              (std::vector<std::string>{"3: character U+845B U+E0100 is already on line 2",
                                        "4: character U+845B is already on line 1"}));
}

class GaijiTableCharactersServer : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/lumtrax-unicode-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string File(const std::string& text) const {
        std::ofstream(dir_ / "site.tsv", std::ios::binary) << text;
        return (dir_ / "site.tsv").string();
    }

    fs::path dir_;
};

const char kSite[] =
    "F040\t69A1\tC921\tFEA1\tU+9AD9 the tall ladder\n"
    "F041\t69A2\tC922\tFEA2\tU+845B U+E0100\n"
    "8740\t6AA1\tCA21\tFDA1\n";

TEST_F(GaijiTableCharactersServer, TheCharactersWinBothWays) {
    const gaiji_probe::Run run =
        gaiji_probe::Probe({"d:sjis:F040 F041 F042", "d:ebcdic:2B 69A1 69A2 6AA1 2C", "d:euc:FEA2",
                            "e:ebcdic:E9AB99 E8919B F3A08480", "e:8bit:E8919B", "e:euc:E291A0"},
                           File(kSite));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out,
              "E9 AB 99 E8 91 9B F3 A0 84 80 EE 80 82 status 0 failure 0 at 0\n"  // no server call for Shift-JIS
              "E9 AB 99 E8 91 9B F3 A0 84 80 E2 91 A0 status 1 failure 0 at 0\n"
              "E8 91 9B F3 A0 84 80 status 1 failure 0 at 0\n"
              "2B 69 A1 69 A2 2C status 1 failure 0 at 0\n"
              "93 F0 B3 EB 93 F1 status 0 failure 0 at 0\n"  // U+845B alone is the kanji 8A8B
              "FD A1 status 1 failure 0 at 0\n");
}

TEST_F(GaijiTableCharactersServer, ARefusedTableGivesNoCharacters) {
    const gaiji_probe::Run run = gaiji_probe::Probe({"d:sjis:F040", "e:ebcdic:E9AB99", "d:ebcdic:2B 69A1 2C"},
                                                    File(std::string(kSite) + "F042\t69A3\tC923\tFEA3\tU+9AD9\n"));
    EXPECT_EQ(run.out,
              "EE 80 80 status 0 failure 0 at 0\n"
              "2B A2 A3 2C status 2 failure 0 at 0\n"  // its own code FBFC, a gaiji too
              "E2 96 A0 status 2 failure 0 at 0\n");   // every gaiji fails
    EXPECT_NE(run.err.find("line 4: character U+9AD9 is already on line 1"), std::string::npos) << run.err;
}

}  // namespace
