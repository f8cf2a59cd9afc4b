// The documentation's examples, run: every example of converted bytes in
// README.md and docs/ stands in a block that this test runs, so that a
// changed behaviour fails here instead of leaving a wrong page.
//
//   ```lumtrax-examples
//   lumtrax --to euc: 41 88 9F 0D 0A -> 41 B0 A1 0D 0A    the command, with --hex-in --hex-out
//   Lumtrax(0): 41 88 9F -> C1 2B B0 A1 2C                 a C export, the text followed by 00
//   Lumtrax_LRSS(0, len 2): 41 0D 0A -> C1 0D               with a length: the byte after it is the next one
//   Lumtrax(8): 61 62 63 -> -1                              a refusal
//   Lumtrax_LRSS(0, len -1): 41 -> (empty)                  an empty result
//   ```
//
// A C block that states results (a comment with "==") must be an excerpt of
// a program in examples/, whose lines it shows in their order; those
// programs check their own results and run as tests. A line elsewhere that
// shows hex bytes turning into others (`41 88` -> `C1 28`) is an example
// outside a checked block, and fails.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "lumtrax.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

Bytes Hex(const std::string& text) {
    Bytes bytes;
    std::istringstream in(text);
    for (std::string token; in >> token;) bytes.push_back(static_cast<unsigned char>(std::stoul(token, nullptr, 16)));
    return bytes;
}

std::string ToHex(const Bytes& bytes) {
    std::string text;
    char digits[4];
    for (unsigned char b : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", b);
        if (!text.empty()) text += ' ';
        text += digits;
    }
    return text;
}

// The pages and their fenced blocks.
struct Block {
    std::string page;
    int line;  // of the opening fence
    std::string info;
    std::vector<std::string> lines;
};

std::vector<fs::path> Pages() {
    const fs::path root = LUMTRAX_SOURCE_DIR;
    std::vector<fs::path> pages{root / "README.md"};
    for (const auto& entry : fs::directory_iterator(root / "docs")) {
        if (entry.path().extension() == ".md") pages.push_back(entry.path());
    }
    return pages;
}

// The blocks of a page, and its lines outside them (number, text).
void Split(const fs::path& page, std::vector<Block>& blocks, std::vector<std::pair<int, std::string>>& prose) {
    const std::vector<std::string> lines = Lines(ReadFile(page));
    Block* open = nullptr;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        const std::string trimmed = Trim(lines[k]);
        if (trimmed.rfind("```", 0) == 0) {
            if (open == nullptr) {
                blocks.push_back({page.filename().string(), static_cast<int>(k + 1), Trim(trimmed.substr(3)), {}});
                open = &blocks.back();
            } else {
                open = nullptr;
            }
        } else if (open != nullptr) {
            open->lines.push_back(lines[k]);
        } else {
            prose.emplace_back(static_cast<int>(k + 1), lines[k]);
        }
    }
}

// Runs the command with --hex-in --hex-out and the options on the hex text;
// returns its standard output.
std::string RunCommand(const std::string& options, const std::string& hex) {
    char in_path[] = "/tmp/lumtrax-docs-XXXXXX";
    const int fd = mkstemp(in_path);
    if (fd < 0) return "(no temporary file)";
    const std::string text = hex + "\n";
    if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return "(write failed)";
    close(fd);
    const std::string command =
        std::string(LUMTRAX_COMMAND) + " --hex-in --hex-out " + options + " < " + in_path + " 2>/dev/null";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
        pclose(pipe);
    }
    std::remove(in_path);
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

// What a C export gives: the bytes, or "-1", or "(empty)".
std::string RunExport(const std::string& function, int type, bool has_len, int len, const Bytes& text) {
    Bytes src = text;
    src.push_back(0x00);
    Bytes dst(3 * src.size() + 16, 0xEE);
    int status = 0;
    int n = -2;
    if (function == "Lumtrax") {
        n = Lumtrax(type, dst.data(), src.data(), 0, &status);
    } else if (function == "Lumtrax_NoShift") {
        n = Lumtrax_NoShift(type, dst.data(), src.data(), 0, &status);
    } else if (function == "Lumtrax_LRSS") {
        n = Lumtrax_LRSS(type, dst.data(), src.data(), has_len ? len : 0, 0, &status);
    } else {
        return "(unknown function " + function + ")";
    }
    if (n < 0) return std::to_string(n);
    if (n == 0) return "(empty)";
    return ToHex(Bytes(dst.begin(), dst.begin() + n));
}

TEST(DocsTest, EveryExampleOfConvertedBytesGivesWhatItSays) {
    const std::regex command_line(R"(^lumtrax ([^:]*): ([0-9A-F ]*) -> (.*)$)");
    const std::regex export_line(R"(^(Lumtrax\w*)\((-?\d+)(, len (-?\d+))?\): ([0-9A-F ]*) -> (.*)$)");
    // Hex bytes turning into others, outside a checked block.
    const std::regex stray(R"(`[0-9A-F]{2}( [0-9A-F]{2})*` *(→|->|gives) *`[0-9A-F]{2}( [0-9A-F]{2})*`)");
    int examples = 0;
    for (const fs::path& page : Pages()) {
        std::vector<Block> blocks;
        std::vector<std::pair<int, std::string>> prose;
        Split(page, blocks, prose);
        for (const auto& [number, line] : prose) {
            EXPECT_FALSE(std::regex_search(line, stray))
                << page.filename() << ":" << number << ": an example outside a lumtrax-examples block: " << line;
        }
        for (const Block& block : blocks) {
            if (block.info != "lumtrax-examples") continue;
            for (const std::string& raw : block.lines) {
                const std::string line = Trim(raw);
                if (line.empty() || line[0] == '#') continue;
                const std::string where = block.page + " (block at line " + std::to_string(block.line) + "): " + line;
                std::smatch m;
                if (std::regex_match(line, m, command_line)) {
                    EXPECT_EQ(RunCommand(m[1], m[2]), Trim(m[3])) << where;
                } else if (std::regex_match(line, m, export_line)) {
                    EXPECT_EQ(
                        RunExport(m[1], std::stoi(m[2]), m[3].matched, m[3].matched ? std::stoi(m[4]) : 0, Hex(m[5])),
                        Trim(m[6]))
                        << where;
                } else {
                    ADD_FAILURE() << "not an example line: " << where;
                }
                ++examples;
            }
        }
    }
    EXPECT_GT(examples, 20);
    // A newcomer's page, with the rest one link away.
    EXPECT_LE(fs::file_size(fs::path(LUMTRAX_SOURCE_DIR) / "README.md"), 10u * 1024u);
}

TEST(DocsTest, CodeThatStatesResultsIsAnExcerptOfATestedExample) {
    const fs::path examples = fs::path(LUMTRAX_SOURCE_DIR) / "examples";
    std::vector<std::vector<std::string>> programs;
    for (const auto& entry : fs::directory_iterator(examples)) {
        if (entry.path().extension() == ".c") {
            std::vector<std::string> lines;
            for (const std::string& line : Lines(ReadFile(entry.path()))) lines.push_back(Trim(line));
            programs.push_back(lines);
        }
    }
    for (const fs::path& page : Pages()) {
        std::vector<Block> blocks;
        std::vector<std::pair<int, std::string>> prose;
        Split(page, blocks, prose);
        for (const Block& block : blocks) {
            bool states = false;
            for (const std::string& line : block.lines)
                states = states || (line.find("/*") != std::string::npos && line.find("==") != std::string::npos);
            if (block.info != "c" || !states) continue;
            bool found = false;
            for (const auto& program : programs) {
                std::size_t at = 0;
                bool all = true;
                for (const std::string& raw : block.lines) {
                    const std::string line = Trim(raw);
                    if (line.empty()) continue;
                    while (at < program.size() && program[at] != line) ++at;
                    if (at == program.size()) {
                        all = false;
                        break;
                    }
                    ++at;
                }
                found = found || all;
            }
            EXPECT_TRUE(found) << block.page << ":" << block.line
                               << ": a C block that states results is not an excerpt of a program in examples/";
        }
    }
}

// The options each description of the command names: the first column of
// --help's option lines, the tags of the manual page's .TP paragraphs, the
// first column of the option tables of docs/command.md.
std::set<std::string> OptionsIn(const std::string& text, const std::regex& line, const std::regex& option) {
    std::set<std::string> options;
    for (const std::string& raw : Lines(text)) {
        std::smatch m;
        if (!std::regex_search(raw, m, line)) continue;
        const std::string column = m[1];
        for (auto it = std::sregex_iterator(column.begin(), column.end(), option); it != std::sregex_iterator(); ++it) {
            options.insert((*it)[1]);
        }
    }
    return options;
}

TEST(DocsTest, TheManualPageAndHelpNameTheOptionsOfTheCommandsPage) {
    const std::regex option(R"((?:^|[^\w-])(--?[a-z][a-z0-9-]*))");
    std::string help;
    if (FILE* pipe = popen((std::string(LUMTRAX_COMMAND) + " --help").c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) help.append(buffer, n);
        pclose(pipe);
    }
    // "  -t, --type N            the conversion..." : the column before the gap.
    const std::set<std::string> in_help = OptionsIn(help, std::regex(R"(^  (-\S.*?)(?:  |$))"), option);
    // The line after each .TP, with the roff escapes of '-' and of the fonts
    // undone.
    std::string tags;
    const std::vector<std::string> man = Lines(ReadFile(fs::path(LUMTRAX_SOURCE_DIR) / "tools" / "lumtrax.1"));
    for (std::size_t k = 0; k + 1 < man.size(); ++k) {
        if (man[k] != ".TP") continue;
        const std::string unfonted = std::regex_replace(man[k + 1], std::regex(R"(\\f[RPBI])"), " ");
        tags += std::regex_replace(unfonted, std::regex(R"(\\-)"), "-") + "\n";
    }
    const std::set<std::string> in_man = OptionsIn(tags, std::regex(R"(^(\..*)$)"), option);
    const std::set<std::string> in_page = OptionsIn(ReadFile(fs::path(LUMTRAX_SOURCE_DIR) / "docs" / "command.md"),
                                                    std::regex(R"(^\| (`-[^|]*)\|)"), option);
    EXPECT_GT(in_page.size(), 15u);
    EXPECT_EQ(in_help, in_page) << "lumtrax --help and docs/command.md";
    EXPECT_EQ(in_man, in_page) << "tools/lumtrax.1 and docs/command.md";
}

}  // namespace
