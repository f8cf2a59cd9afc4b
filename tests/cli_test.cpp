// The lumtrax command end to end: the built binary run with files and
// standard input, its output, standard error and exit status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define LUMTRAX_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define LUMTRAX_SANITIZED 1
#endif

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

struct RunOptions {
    std::string input;           // standard input
    rlim_t file_size_limit = 0;  // RLIMIT_FSIZE in bytes, 0: none
    std::string chunk_size;      // LUMTRAX_CHUNK_SIZE, the command's internal knob
    std::string stdout_path;     // where standard output goes, else captured
    int stderr_fd = -1;          // standard error, else captured
    std::string gaiji_table;     // LUMTRAX_GAIJI_TABLE, else unset
    std::string simd;            // LUMTRAX_SIMD, else as the test runs
};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::string Bytes(const std::string& hex) {
    std::string bytes;
    std::istringstream in(hex);
    std::string pair;
    while (in >> pair) bytes += static_cast<char>(std::stoul(pair, nullptr, 16));
    return bytes;
}

class CommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/lumtrax-cli-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(dir_, ignored);
    }

    fs::path Path(const std::string& name) const { return dir_ / name; }

    fs::path File(const std::string& name, const std::string& bytes) const {
        WriteFile(Path(name), bytes);
        return Path(name);
    }

    // The names in the test's folder.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    Outcome Run(const std::vector<std::string>& args, const RunOptions& options = {}) const {
        const fs::path in = Path(".stdin"), out = Path(".stdout"), err = Path(".stderr");
        WriteFile(in, options.input);
        const pid_t child = fork();
        if (child == 0) {
            auto redirect = [](const std::string& path, int flags, int target) {
                const int fd = open(path.c_str(), flags, 0644);
                if (fd < 0 || dup2(fd, target) < 0) _exit(120);
                close(fd);
            };
            redirect(in.string(), O_RDONLY, 0);
            redirect(options.stdout_path.empty() ? out.string() : options.stdout_path, O_WRONLY | O_CREAT | O_TRUNC, 1);
            if (options.stderr_fd >= 0) {
                if (dup2(options.stderr_fd, 2) < 0) _exit(121);
            } else {
                redirect(err.string(), O_WRONLY | O_CREAT | O_TRUNC, 2);
            }
            if (!options.chunk_size.empty()) setenv("LUMTRAX_CHUNK_SIZE", options.chunk_size.c_str(), 1);
            if (options.file_size_limit > 0) {
                rlimit limit{options.file_size_limit, options.file_size_limit};
                if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(122);
            }
            if (options.gaiji_table.empty()) {
                unsetenv("LUMTRAX_GAIJI_TABLE");
            } else {
                setenv("LUMTRAX_GAIJI_TABLE", options.gaiji_table.c_str(), 1);
            }
            if (!options.simd.empty()) setenv("LUMTRAX_SIMD", options.simd.c_str(), 1);
            std::vector<char*> argv;
            std::string program = LUMTRAX_COMMAND;
            argv.push_back(program.data());
            std::vector<std::string> copies = args;
            for (std::string& a : copies) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(123);
        }
        int wait_status = 0;
        waitpid(child, &wait_status, 0);
        Outcome outcome;
        outcome.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
        if (options.stdout_path.empty()) outcome.out = ReadFile(out);
        if (options.stderr_fd < 0) outcome.err = ReadFile(err);
        fs::remove(in);
        fs::remove(out);
        fs::remove(err);
        return outcome;
    }

    // Runs with hex input on standard input and returns the hex output.
    Outcome Hex(std::vector<std::string> args, const std::string& hex) const {
        args.insert(args.begin(), {"--hex-in", "--hex-out"});
        RunOptions options;
        options.input = hex;
        return Run(args, options);
    }

    // Runs a bash script with standard input empty: what it prints.
    Outcome RunShell(const std::string& script) const {
        const std::string out = dir_.string() + ".out", err = dir_.string() + ".err";
        const pid_t child = fork();
        if (child == 0) {
            const int in = open("/dev/null", O_RDONLY);
            const int to = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int errors = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (in < 0 || to < 0 || errors < 0 || dup2(in, 0) < 0 || dup2(to, 1) < 0 || dup2(errors, 2) < 0) _exit(120);
            execl("/bin/bash", "bash", "-c", script.c_str(), static_cast<char*>(nullptr));
            _exit(123);
        }
        int wait_status = 0;
        waitpid(child, &wait_status, 0);
        Outcome outcome;
        outcome.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
        outcome.out = ReadFile(out);
        outcome.err = ReadFile(err);
        fs::remove(out);
        fs::remove(err);
        return outcome;
    }

    fs::path dir_;
};

const char kSampleHost[] =
    "D3 A4 94 A3 99 81 A7 7A 40 2B C6 FC CB DC B8 EC A4 CE A4 AB A4 CA A1 A2 2C 66 8B 2B A1 A3 2C "
    "0D 25\n";

std::string Sample() { return ReadFile(fs::path(LUMTRAX_SOURCE_DIR) / "examples/sample.sjis"); }

TEST_F(CommandTest, ConvertsTheBundledSampleToTheEbcdicHostCodeInHex) {
    const Outcome o = Run(
        {"--from", "sjis", "--to", "ebcdic", "--hex-out", std::string(LUMTRAX_SOURCE_DIR) + "/examples/sample.sjis"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, kSampleHost);
    EXPECT_EQ(o.err, "");
}

// Each direction: out of Shift-JIS and back gives the sample again.
TEST_F(CommandTest, EveryHostCodeRoundTrips) {
    const fs::path sample = File("sample.sjis", Sample());
    const struct {
        std::vector<std::string> out, back;
    } ways[] = {
        {{"--to", "ebcdic"}, {"--from", "ebcdic"}},
        {{"--to", "ebcdic", "--table-set", "1"}, {"--from", "ebcdic", "--table-set", "1"}},
        {{"--to", "8bit"}, {"--from", "8bit"}},
        {{"--to", "8bit", "--start", "70"}, {"--from", "8bit"}},
        {{"--to", "euc"}, {"--from", "euc"}},
        {{"-t", "0"}, {"-t", "4"}},
        {{"-t", "10"}, {"-t", "6"}},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.out[1]);
        std::vector<std::string> args = way.out;
        args.push_back(sample.string());
        const Outcome host = Run(args);
        ASSERT_EQ(host.status, 0) << host.err;
        ASSERT_NE(host.out, Sample());
        RunOptions piped;
        piped.input = host.out;
        const Outcome back = Run(way.back, piped);
        ASSERT_EQ(back.status, 0) << back.err;
        EXPECT_EQ(back.out, Sample());
    }
}

TEST_F(CommandTest, NamedConversionsAreTheTypeNumbers) {
    const std::string text = "41 88 9F 0D 0A B1";
    EXPECT_EQ(Hex({"--to", "ebcdic"}, text).out, Hex({"-t", "0"}, text).out);
    EXPECT_EQ(Hex({"--to", "ebcdic", "--table-set", "1"}, text).out, Hex({"-t", "1"}, text).out);
    EXPECT_EQ(Hex({"--to", "8bit"}, text).out, "41 93 F0 B0 A1 93 F1 0D 0A B1\n");
    EXPECT_EQ(Hex({"--to", "8bit", "--start", "70"}, text).out, "41 93 70 B0 A1 93 F1 0D 0A B1\n");
    EXPECT_EQ(Hex({"--to", "euc"}, text).out, "41 B0 A1 0D 0A 8E B1\n");
    EXPECT_EQ(Hex({"--from", "euc", "--to", "sjis"}, "41 B0 A1").out, "41 88 9F\n");
    EXPECT_EQ(Hex({"--type=4"}, "C1 2B B0 A1 2C").out, "41 88 9F\n");
}

TEST_F(CommandTest, FlagsMapToTheExports) {
    EXPECT_EQ(Hex({"--to", "ebcdic", "--no-shift"}, "41 88 9F").out, "C1 B0 A1\n");
    EXPECT_EQ(Hex({"--to", "ebcdic", "--line-end", "lf"}, "41 0D 0A").out, "C1 25\n");
    EXPECT_EQ(Hex({"--to", "ebcdic", "--line-end=drop"}, "41 0D 0A").out, "C1\n");
    EXPECT_EQ(Hex({"--to", "ebcdic", "--lrss"}, "A0 88 9F A0 41").out, "2B B0 A1 2C C1\n");
    EXPECT_EQ(Hex({"--from", "8bit", "--lrss"}, "93 F0 B0 A1 93 F1").out, "A0 88 9F A0\n");
}

// Every host code, and Shift-JIS, to each form of Unicode and back.
TEST_F(CommandTest, UnicodeSidesRoundTrip) {
    const fs::path sample = File("sample.sjis", Sample());
    const std::string utf8 = "Lumtrax: \u65E5\u672C\u8A9E\u306E\u304B\u306A\u3001\uFF76\uFF85\u3002\r\n";
    const std::vector<std::string> pc_sides[] = {
        {"--to", "sjis"},
        {"--to", "ebcdic"},
        {"--to", "ebcdic", "--table-set", "1"},
        {"--to", "8bit", "--start", "70"},
        {"--to", "euc"},
    };
    for (const auto& code : pc_sides) {
        const std::string name = code[1] + (code.size() > 2 ? code[3] : "");
        SCOPED_TRACE(name);
        std::vector<std::string> to_host = code;
        to_host.push_back(sample.string());
        const std::string host = code[1] == "sjis" ? Sample() : Run(to_host).out;
        std::vector<std::string> from_host = code;
        from_host[0] = "--from";
        if (code.size() > 2 && code[2] == "--start") from_host.resize(2);  // read with either
        for (const char* unicode : {"utf8", "utf16le", "utf16be"}) {
            SCOPED_TRACE(unicode);
            RunOptions piped;
            piped.input = host;
            std::vector<std::string> args = from_host;
            args.insert(args.end(), {"--to", unicode});
            const Outcome decoded = Run(args, piped);
            ASSERT_EQ(decoded.status, 0) << decoded.err;
            if (std::string(unicode) == "utf8") {
                EXPECT_EQ(decoded.out, utf8);
            } else if (std::string(unicode) == "utf16be") {
                EXPECT_EQ(decoded.out.substr(0, 4), std::string("\0L\0u", 4));
            }
            piped.input = decoded.out;
            std::vector<std::string> back = code;
            back.insert(back.begin(), {"--from", unicode});
            const Outcome encoded = Run(back, piped);
            ASSERT_EQ(encoded.status, 0) << encoded.err;
            EXPECT_EQ(encoded.out, host);
        }
    }
    // The mappings differ on 81 60: FULLWIDTH TILDE in cp932, WAVE DASH in JIS X 0208.
    EXPECT_EQ(Hex({"--to", "utf8"}, "81 60").out, "EF BD 9E\n");
    EXPECT_EQ(Hex({"--to", "utf8", "--mapping", "jis"}, "81 60").out, "E3 80 9C\n");
    EXPECT_EQ(Hex({"--from", "utf8", "--to", "ebcdic", "--mapping=JIS"}, "E3 80 9C").out, "2B A1 C1 2C\n");
    // A CR LF in Unicode is a line end of the host code, as in Shift-JIS.
    EXPECT_EQ(Hex({"--from", "utf16le", "--to", "ebcdic", "--line-end", "lf"}, "41 00 0D 00 0A 00").out, "C1 25\n");
}

// Strict: what comes before the bytes without a form is written, and the
// error names them. Replace: the substitute, reported as replacements are.
// Chunks, lines, records, hex and jobs change neither.
TEST_F(CommandTest, UnicodeErrorsStopOrReplace) {
    std::string text;  // lines of 12 bytes, for records of 12 too
    for (int i = 0; i < 300; ++i) text += "line \u65E5\u672C\n";
    const std::size_t at = text.size() + 2;
    text += "xx\u2014yyyyyy\n";  // EM DASH: no code in any host code
    for (int i = 0; i < 50; ++i) text += "line \u65E5\u672C\n";
    const fs::path file = File("text.u8", text);
    const std::string before = Run({"--from", "utf8", "--to", "ebcdic", File("before", text.substr(0, at)).string()}).out;
    const std::string bytes = std::to_string(at) + "-" + std::to_string(at + 2);
    const std::string no_code = " (E2 80 94): ebcdic has no code for this character; --errors replace puts in a substitute\n";
    const struct {
        std::vector<std::string> args;
        std::string out;  // the bytes before the error, else none expected
        std::string err;
    } cases[] = {
        {{"--from", "utf8", "--to", "ebcdic", file.string()},
         before,
         "lumtrax: " + file.string() + ": bytes " + bytes + no_code},
        {{"--from", "utf8", "--to", "ebcdic", "--lines", file.string()},
         before,
         "lumtrax: " + file.string() + ": line 301: bytes " + bytes + no_code},
        {{"--from", "utf8", "--to", "ebcdic", "--record", "12", file.string()},
         before,
         "lumtrax: " + file.string() + ": record 301: bytes " + bytes + no_code},
        {{"--from", "utf8", "--to", "8bit", "--hex-out", file.string()}, "", "8bit has no code"},
        {{"--from", "utf8", "--to", "ebcdic", "--errors", "replace", file.string()},
         "",
         "lumtrax: 1 chunk had characters that could not be converted and were replaced by the substitute (a "
         "black square): bytes " +
             bytes + " of " + file.string() + "\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[3] + " " + c.args[4]);
        const Outcome whole = Run(c.args);
        const bool replace = c.args[4] == "--errors";
        EXPECT_EQ(whole.status, replace ? 1 : 3);
        if (!c.out.empty()) {
            EXPECT_EQ(whole.out, c.out);
        }
        EXPECT_NE(whole.err.find(c.err), std::string::npos) << whole.err;
        EXPECT_EQ(std::count(whole.err.begin(), whole.err.end(), '\n'), 1) << whole.err;
        RunOptions tiny;
        tiny.chunk_size = "5";
        std::vector<std::string> jobs = c.args;
        jobs.insert(jobs.begin(), {"-j", "3"});
        const Outcome cut = Run(jobs, tiny);
        EXPECT_EQ(cut.status, whole.status);
        EXPECT_EQ(cut.out, whole.out);
        EXPECT_EQ(cut.err, whole.err);
    }
    // Decoding: U+FFFD for each unit without a Unicode form (21 stands for
    // the lead byte 81), and the line with it named.
    const Outcome decoded = Hex({"--from", "ebcdic", "--to", "utf8", "--lines", "--errors", "replace"}, "C1 25 21 C1 25");
    EXPECT_EQ(decoded.status, 1);
    EXPECT_EQ(decoded.out, "41 0A\nEF BF BD 41 0A\n");
    EXPECT_EQ(decoded.err,
              "lumtrax: 1 line had characters that could not be converted and were replaced by U+FFFD: line 2 of "
              "standard input\n");
    const Outcome strict = Hex({"--from", "ebcdic", "--to", "utf16be", "--lines"}, "C1 25 C1 21 C1 25");
    EXPECT_EQ(strict.out, "00 41 00 0A\n00 41\n");
    EXPECT_EQ(strict.err,
              "lumtrax: standard input: line 2: byte 3 (21): no Unicode character stands for these bytes; "
              "--errors replace puts in a substitute\n");
    const Outcome unpaired = Hex({"--from", "utf16le", "--to", "sjis"}, "41 00 00 D8 41 00");
    EXPECT_EQ(unpaired.status, 3);
    EXPECT_EQ(unpaired.out, "41\n");
    EXPECT_EQ(unpaired.err, "lumtrax: standard input: bytes 2-3 (00 D8): not UTF-16\n");
    EXPECT_NE(Hex({"--from", "utf8", "--to", "euc"}, "EF BB BF 41").err.find("(U+FEFF, a byte order mark: remove it first)"),
              std::string::npos);
}

TEST_F(CommandTest, EscapeWritesTheRawByteEscape) {
    Outcome o = Run({"--escape", "0D", "--hex-out"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "5C 01 0D\n");
    o = Run({"--escape", "0x0"});
    EXPECT_EQ(o.out, std::string("\x5C\x01\x00", 3));
    EXPECT_EQ(Run({"--escape", "100"}).status, 2);
    EXPECT_EQ(Run({"--escape", "41", "file"}).status, 2);
}

TEST_F(CommandTest, WholeInputCarriesNulBytes) {
    EXPECT_EQ(Hex({"--from", "ebcdic"}, "C1 00 C2").out, "41 00 42\n");
    EXPECT_EQ(Hex({"--to", "ebcdic"}, "41 00 88 9F").out, "C1 00 2B B0 A1 2C\n");
    RunOptions raw;
    raw.input = std::string("\x41\x00\x42", 3);
    EXPECT_EQ(Run({"--to", "euc"}, raw).out, std::string("\x41\x00\x42", 3));
}

TEST_F(CommandTest, EachFileIsItsOwnCall) {
    const fs::path a = File("a", Bytes("41 88"));
    const fs::path b = File("b", Bytes("9F 42"));
    const Outcome o = Run({"--to", "ebcdic", "--hex-out", a.string(), b.string()});
    // The lead byte that ends the first file is not joined with the second's.
    EXPECT_EQ(o.out,
              "C1 28\n"
              "2B DD A3 2C\n");
    EXPECT_NE(o.err.find("warning: " + a.string() + " ends inside a character"), std::string::npos) << o.err;
}

TEST_F(CommandTest, LinesAreConvertedEachInItsOwnCall) {
    // A dropped line end leaves a run open within one call, not across calls.
    const std::string text = "41 88 9F 0D 0A 88 9F 0A 42";
    EXPECT_EQ(Hex({"--to", "ebcdic", "--line-end", "drop"}, text).out, "C1 2B B0 A1 B0 A1 2C 25 C2\n");
    EXPECT_EQ(Hex({"--to", "ebcdic", "--line-end", "drop", "--lines"}, text).out,
              "C1 2B B0 A1 2C\n"
              "2B B0 A1 2C 25\n"
              "C2\n");
    // Well-formed text: the same bytes as one call.
    const std::string three = Sample() + Sample() + Sample();
    const fs::path file = File("three", three);
    for (const char* to : {"ebcdic", "8bit", "euc"}) {
        SCOPED_TRACE(to);
        const Outcome whole = Run({"--to", to, file.string()});
        const Outcome lines = Run({"--to", to, "--lines", file.string()});
        EXPECT_EQ(whole.out, lines.out);
        const fs::path host = File("host", whole.out);
        const Outcome back = Run({"--from", to, "--lines", host.string()});
        EXPECT_EQ(back.out, three);
    }
}

TEST_F(CommandTest, LinesEndOnlyWhereAUnitBegins) {
    // The byte an escape carries is no line end.
    EXPECT_EQ(Hex({"--to", "ebcdic", "--lines"}, "41 5C 01 0A 42 0A 43").out,
              "C1 0A C2 25\n"
              "C3\n");
    // Nor is the second byte of a host pair; 25 ends a line of the EBCDIC host code.
    EXPECT_EQ(Hex({"--from", "ebcdic", "--lines"}, "2B B0 A1 2C 25 C1 25 C2").out,
              "88 9F 0A\n"
              "41 0A\n"
              "42\n");
    const std::string pair_with_25 = Hex({"--from", "ebcdic", "--lines"}, "2B B0 25 2C 25 C1").out;
    EXPECT_EQ(std::count(pair_with_25.begin(), pair_with_25.end(), '\n'), 2) << pair_with_25;
    EXPECT_EQ(pair_with_25.substr(pair_with_25.size() - 4), "\n41\n") << pair_with_25;
    EXPECT_EQ(Hex({"--from", "8bit", "--lines"}, "93 F0 B0 A1 93 F1 0A 41").out,
              "88 9F 0A\n"
              "41\n");
    EXPECT_EQ(Hex({"--from", "euc", "--lines"}, "B0 A1 0A 41 0A").out,
              "88 9F 0A\n"
              "41 0A\n");
}

TEST_F(CommandTest, LongLinesAcrossReadChunks) {
    // Lines longer than the command's read size, and pairs that straddle it.
    std::string text;
    for (int i = 0; i < 3; ++i) {
        text += std::string(1 << 20, 'A');
        text += "\x88\x9F\x88\x9F\n";
    }
    text.insert(0, "B");  // shifts each pair across a 1 MiB boundary
    const fs::path file = File("long", text);
    const Outcome whole = Run({"--to", "ebcdic", file.string()});
    const Outcome lines = Run({"--to", "ebcdic", "--lines", file.string()});
    ASSERT_EQ(lines.status, 0) << lines.err;
    EXPECT_EQ(lines.out, whole.out);
}

TEST_F(CommandTest, RecordsAreConvertedEachWithItsLength) {
    EXPECT_EQ(Hex({"--to", "ebcdic", "--record", "3"}, "41 88 9F 88 9F 41").out,
              "C1 2B B0 A1 2C\n"
              "2B B0 A1 2C C1\n");
    EXPECT_EQ(Hex({"--from", "ebcdic", "--record", "2"}, "C1 00 C2 25").out,
              "41 00\n"
              "42 0A\n");
    // A shorter last record is converted, and said so.
    const Outcome last = Hex({"--from", "ebcdic", "--record", "3"}, "C1 C2 C3 C4");
    EXPECT_EQ(last.status, 0);
    EXPECT_EQ(last.out,
              "41 42 43\n"
              "44\n");
    EXPECT_NE(last.err.find("record 2 of standard input has 1 bytes, not 3"), std::string::npos) << last.err;
    // A record that cuts a double-byte character is warned about.
    const Outcome cut = Hex({"--to", "ebcdic", "--record", "2"}, "41 88 9F 42");
    EXPECT_EQ(cut.out,
              "C1 28\n"
              "2B DD A3 2C\n");
    EXPECT_NE(cut.err.find("warning: record 1 of standard input ends inside a character"), std::string::npos)
        << cut.err;
}

TEST_F(CommandTest, ReportsGaijiAndExitsOneWhenOneWasReplaced) {
    Outcome o = Hex({"--to", "ebcdic"}, "F0 40");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "lumtrax: gaiji converted by the gaiji server\n");
    // Not all that comes back unconverted is a gaiji: 87 40 is one the server
    // does not know, 2B B0 at the end a cut host pair. A whole file says in
    // which bytes the first is: those of the unit replaced.
    o = Hex({"--to", "ebcdic"}, "41 20 F0 40 87 40 20 41");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "C1 40 2B 41 A1 A2 A3 2C 40 C1\n");
    EXPECT_EQ(o.err,
              "lumtrax: 1 chunk had characters that could not be converted and were "
              "replaced by the substitute (a black square): bytes 4-5 of standard input\n");
    o = Hex({"--from", "ebcdic"}, "C1 2B B0");
    EXPECT_NE(o.err.find("1 chunk had characters that could not be converted"), std::string::npos);
    o = Hex({"--to", "ebcdic", "--lines"}, "41 0A F0 40 0A 87 40 0A 87 40");
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("lumtrax: 2 lines had characters that could not be converted and were "
                         "replaced by the substitute (a black square); the first in line 3 of "
                         "standard input\n"),
              std::string::npos)
        << o.err;
    EXPECT_NE(o.err.find("gaiji converted by the gaiji server in 1 line\n"), std::string::npos);
}

TEST_F(CommandTest, UsageErrorsExitTwo) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"--bogus"},
        {"--to"},
        {"--from", "ebcdic", "--to", "euc"},
        {"--from", "utf8", "--to", "utf16le"},
        {"--to", "utf8", "--lrss"},
        {"--from", "ebcdic", "--to", "utf8", "--line-end", "lf"},
        {"--to", "ebcdic", "--mapping", "jis"},
        {"--to", "utf8", "--mapping", "ucs"},
        {"--from", "utf8", "--to", "8bit", "--errors", "ignore"},
        {"--from", "utf8", "--to", "8bit", "--start", "70", "--errors", "strict", "--errors", "replace"},
        {"-t", "32"},
        {"--from", "sjis"},
        {"-t", "8"},
        {"-t", "x"},
        {"-t", "0", "--to", "ebcdic"},
        {"--to", "euc", "--table-set", "1"},
        {"--to", "ebcdic", "--table-set", "2"},
        {"--from", "8bit", "--start", "70"},
        {"--from", "ebcdic", "--line-end", "lf"},
        {"--to", "euc", "--no-shift"},
        {"--to", "euc", "--lrss"},
        {"--to", "ebcdic", "--line-end", "crlf"},
        {"--to", "ebcdic", "--lines", "--record", "4"},
        {"--to", "ebcdic", "--record", "0"},
        {"--to", "ebcdic", "--lines=yes"},
        {"--to", "ebcdic", "-o"},
        {"--check-gaiji-table"},
        {"--check-gaiji-table", "a.tsv", "b.tsv"},
        {"--to", "ebcdic", "--to", "8bit"},
        {"--from", "euc", "--from=ebcdic"},
        {"--to", "ebcdic", "-j", "0"},
    };
    for (const auto& args : cases) {
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        SCOPED_TRACE(joined);
        const Outcome o = Run(args);
        EXPECT_EQ(o.status, 2);
        EXPECT_EQ(o.out, "");
        EXPECT_EQ(o.err.rfind("lumtrax: ", 0), 0u) << o.err;
        EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
    }
}

TEST_F(CommandTest, InputErrorsExitThree) {
    Outcome o = Run({"--to", "ebcdic", Path("missing").string()});
    EXPECT_EQ(o.status, 3);
    EXPECT_EQ(o.err, "lumtrax: " + Path("missing").string() + ": No such file or directory\n");
    o = Run({"--to", "ebcdic", dir_.string()});
    EXPECT_EQ(o.status, 3);
    // The offset is that of the digit without its pair, not of what follows it.
    o = Hex({"--to", "ebcdic"}, "41 8");
    EXPECT_EQ(o.status, 3);
    EXPECT_NE(o.err.find("a hex digit without its pair at offset 3, the end"), std::string::npos);
    o = Hex({"--to", "ebcdic"}, "41 8\n42");
    EXPECT_EQ(o.err,
              "lumtrax: standard input: a hex digit without its pair at offset 3 (--hex-in "
              "reads pairs like \"C1 2B\")\n");
    o = Hex({"--to", "ebcdic"}, "41 GG");
    EXPECT_EQ(o.status, 3);
    EXPECT_EQ(o.err,
              "lumtrax: standard input: not hex pairs at offset 3 (--hex-in reads pairs "
              "like \"C1 2B\")\n");
    EXPECT_EQ(o.out, "C1\n");  // the unit read before the error
}

// A file larger than one call can take is converted in chunks; only where no
// chunk can be cut within that size (here a run opened by an LRSS placeholder
// that no line end closes) is it refused (the files are sparse: 00 bytes).
TEST_F(CommandTest, InputTooLargeForOneCallIsCutOrRefused) {
    const fs::path huge = Path("huge");
    WriteFile(huge, "\xA0");
    fs::resize_file(huge, 1ull << 30);
    Outcome o = Run({"--to", "8bit", "--record", "1000000000", huge.string()});
    EXPECT_EQ(o.status, 3);
    EXPECT_EQ(o.err,
              "lumtrax: --record 1000000000: 1000000000 bytes is too large for one call "
              "(at most 920350132 bytes for this conversion)\n");
#if LUMTRAX_SANITIZED
    // Converting and walking a gigabyte at the sanitizers' pace takes minutes
    // and reaches no code that the smaller tests do not.
    GTEST_SKIP() << "a gigabyte is too slow under a sanitizer";
#endif
    o = Run({"--to", "8bit", "-o", "/dev/null", huge.string()});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "");
    o = Run({"--to", "8bit", "--lrss", "--line-end", "drop", "-o", "/dev/null", huge.string()});
    EXPECT_EQ(o.status, 3);
    EXPECT_EQ(o.err, "lumtrax: " + huge.string() +
                         ": from byte offset 0 on, more than 920350132 bytes with a run of "
                         "double-byte characters open throughout is too large for one call (at "
                         "most 920350132 bytes for this conversion); use --lines or --record\n");
}

// Neither the output nor the report depends on the number of jobs, nor the
// output on where a file is cut: the internal LUMTRAX_CHUNK_SIZE makes tiny
// chunks (and jobs of few lines or records), whose results are those of one
// call over the file. The text has replacements in many lines and chunks.
TEST_F(CommandTest, ChunksAndJobsChangeNothing) {
    std::string sjis;
    for (int i = 0; i < 2000; ++i) {
        sjis += "Line \xA0\x88\x9F\x82\xA0\xA0 ";
        if (i % 300 == 5) sjis += "\x87\x40";  // comes back unconverted
        if (i % 200 == 7) sjis += "\xF0\x40";  // converted by the server
        sjis += i % 3 != 0 ? "\x0D\x0A" : "\x5C\x01\x0A\x0A";
    }
    const fs::path text = File("text", sjis);
    // In the host text, a pair that no table and no server knows now and then.
    std::string host_text;
    int line = 0;
    for (const char c : Run({"--to", "ebcdic", text.string()}).out) {
        host_text += c;
        if (c == '\x25' && ++line % 300 == 3) host_text += "\x2B\x40\x40\x2C";
    }
    const fs::path host = File("host", host_text);
    const std::vector<std::string> cases[] = {
        {"--to", "ebcdic", text.string()},
        {"--to", "8bit", "--lrss", text.string()},
        {"--to", "ebcdic", "--lrss", "--line-end", "drop", text.string()},  // one run: no cut
        {"--to", "euc", "--hex-out", text.string(), text.string()},
        {"--to", "ebcdic", "--lines", "--line-end", "lf", text.string()},
        {"--to", "8bit", "--record", "13", text.string()},
        {"--from", "ebcdic", host.string()},
        {"--from", "ebcdic", "--lines", "--hex-out", host.string()},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(args[0] + " " + args[1] + " " + args[2]);
        const Outcome one_call = Run(args);
        EXPECT_NE(one_call.err.find("could not be converted"), std::string::npos) << one_call.err;
        RunOptions tiny;
        tiny.chunk_size = "7";
        std::vector<std::string> one_job = args, three_jobs = args;
        one_job.insert(one_job.begin(), {"-j", "1"});
        three_jobs.insert(three_jobs.begin(), "--jobs=3");
        const Outcome cut = Run(one_job, tiny);
        const Outcome parallel = Run(three_jobs, tiny);
        EXPECT_EQ(cut.status, one_call.status);
        EXPECT_EQ(cut.out, one_call.out);
        EXPECT_EQ(parallel.status, cut.status);
        EXPECT_EQ(parallel.out, cut.out);
        EXPECT_EQ(parallel.err, cut.err);
    }
}

// A line longer than one call can take: read until it is too long, then
// refused (the file holds 00 bytes and no line end).
TEST_F(CommandTest, LineTooLargeForOneCallExitsThree) {
    const fs::path huge = Path("huge");
    WriteFile(huge, "");
    fs::resize_file(huge, 1ull << 30);
    const Outcome o = Run({"--to", "8bit", "--lines", "-o", Path("out").string(), huge.string()});
    EXPECT_EQ(o.status, 3);
    EXPECT_EQ(o.err, "lumtrax: line 1 of " + huge.string() +
                         ": more than 920350132 bytes is too large for one call (at most "
                         "920350132 bytes for this conversion); use --record\n");
    EXPECT_EQ(Names(), std::vector<std::string>{"huge"});
}

TEST_F(CommandTest, WritesTheOutputFileWhole) {
    const fs::path in = File("in.sjis", Sample());
    const Outcome o = Run({"--to", "ebcdic", "--hex-out", "-o", Path("out.txt").string(), in.string()});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(ReadFile(Path("out.txt")), kSampleHost);
    EXPECT_EQ(Names(), (std::vector<std::string>{"in.sjis", "out.txt"}));
    // An existing file keeps its mode; through a link, the file is replaced, not the link.
    fs::permissions(Path("out.txt"), fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink(Path("out.txt"), Path("link"));
    EXPECT_EQ(Run({"--to", "euc", "-o", Path("link").string(), in.string()}).status, 0);
    EXPECT_TRUE(fs::is_symlink(Path("link")));
    EXPECT_EQ(fs::status(Path("out.txt")).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(ReadFile(Path("out.txt")), Run({"--to", "euc", in.string()}).out);
    fs::remove(Path("link"));
    // Converting a file onto itself is safe: it is replaced at the end.
    EXPECT_EQ(Run({"--to", "ebcdic", "-o", in.string(), in.string()}).status, 0);
    RunOptions piped;
    piped.input = ReadFile(in);
    EXPECT_EQ(Run({"--from", "ebcdic"}, piped).out, Sample());
}

TEST_F(CommandTest, FailedWriteLeavesNoOutputFile) {
    const fs::path in = File("in.sjis", Sample());
    // Into a folder that does not exist.
    Outcome o = Run({"--to", "ebcdic", "-o", Path("no/such/out").string(), in.string()});
    EXPECT_EQ(o.status, 3);
    EXPECT_NE(o.err.find("cannot write " + Path("no/such/out").string()), std::string::npos) << o.err;
    // A failure after part of the output was written: the second input is missing.
    o = Run({"--to", "ebcdic", "--lines", "-o", Path("out").string(), in.string(), Path("missing").string()});
    EXPECT_EQ(o.status, 3);
    EXPECT_EQ(Names(), std::vector<std::string>{"in.sjis"});
    // An existing output file is left as it was.
    File("out", "before");
    o = Hex({"--to", "ebcdic", "-o", Path("out").string()}, "41 XX");
    EXPECT_EQ(o.status, 3);
    EXPECT_EQ(ReadFile(Path("out")), "before");
    EXPECT_EQ(Names(), (std::vector<std::string>{"in.sjis", "out"}));
}

TEST_F(CommandTest, FileSizeLimitLeavesNoOutputFile) {
    const fs::path in = File("big", std::string(256 << 10, 'A'));
    RunOptions limited;
    limited.file_size_limit = 64 << 10;
    const Outcome o = Run({"--to", "ebcdic", "-o", Path("out").string(), in.string()}, limited);
    EXPECT_EQ(o.status, 3);
    EXPECT_NE(o.err.find("File too large"), std::string::npos) << o.err;
    EXPECT_EQ(Names(), std::vector<std::string>{"big"});
}

TEST_F(CommandTest, FullDeviceIsAWriteError) {
    if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    const fs::path in = File("in.sjis", Sample());
    Outcome o = Run({"--to", "ebcdic", "-o", "/dev/full", in.string()});
    EXPECT_EQ(o.status, 3);
    EXPECT_EQ(o.err, "lumtrax: cannot write /dev/full: No space left on device\n");
    RunOptions to_full;
    to_full.stdout_path = "/dev/full";
    o = Run({"--to", "ebcdic", in.string()}, to_full);
    EXPECT_EQ(o.status, 3);
    EXPECT_EQ(o.err, "lumtrax: cannot write standard output: No space left on device\n");
}

TEST_F(CommandTest, HelpAndVersion) {
    Outcome o = Run({"--help"});
    EXPECT_EQ(o.status, 0);
    for (const char* option :
         {"--from", "--to", "--table-set", "--start", "-t", "--lrss", "--no-shift", "--line-end", "--lines", "--record",
          "--hex-in", "--hex-out", "--escape", "-o", "-j", "--jobs", "--version", "Examples:", "Exit status:"}) {
        EXPECT_NE(o.out.find(option), std::string::npos) << option;
    }
    o = Run({"--version"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out.rfind("lumtrax 1.0.0\nkernels: ", 0), 0u) << o.out;
    EXPECT_NE(o.out.find("\ngaiji server version 0x00010000\ngaiji table: built-in arithmetic\n"), std::string::npos)
        << o.out;
    // LUMTRAX_SIMD caps the kernels' level; the level changes no result.
    RunOptions scalar;
    scalar.simd = "scalar";
    o = Run({"--version"}, scalar);
    EXPECT_NE(o.out.find("\nkernels: scalar"), std::string::npos) << o.out;
    scalar.input = "41 88 9F 0D 0A\n";
    EXPECT_EQ(Run({"--hex-in", "--hex-out", "--to", "ebcdic"}, scalar).out, "C1 2B B0 A1 2C 0D 25\n");
}

// --check-gaiji-table reads a table as the stand-in server does; --version
// tells which table the server took, and the server says once why it
// refused one.
TEST_F(CommandTest, GaijiTables) {
    const std::string example = std::string(LUMTRAX_SOURCE_DIR) + "/examples/gaiji.tsv";
    const std::string loaded = example + ": 12 gaiji, the built-in arithmetic for the rest\n";
    Outcome o = Run({"--check-gaiji-table", example});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, loaded);
    const std::string bad =
        File("bad.tsv", "fallback off\nF040\t69A1\tC921\tFEA1\nF041\t69A1\tC922\tFEA2\n\nF042 69A3\n").string();
    const std::string duplicate = "line 3: EBCDIC host code 69A1 is already on line 2";
    o = Run({"--check-gaiji-table", bad});
    EXPECT_EQ(o.status, 3);
    EXPECT_EQ(o.out, bad + ":3: EBCDIC host code 69A1 is already on line 2\n" + bad +
                         ":5: 1 column: a gaiji's line holds its Shift-JIS, EBCDIC host, 8-bit host and EUC "
                         "codes and an optional name, separated by tabs\n" +
                         bad + ": 2 errors; the gaiji server refuses the table\n");
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(Run({"--check-gaiji-table", Path("missing").string()}).status, 3);

    RunOptions with_table;
    with_table.gaiji_table = example;
    o = Run({"--version"}, with_table);
    EXPECT_EQ(o.out.substr(o.out.find("gaiji table: ")), "gaiji table: " + loaded);
    with_table.gaiji_table = bad;
    o = Run({"--version"}, with_table);
    EXPECT_EQ(o.out.substr(o.out.find("gaiji table: ")),
              "gaiji table: " + bad + ": refused (" + duplicate + "); every gaiji fails\n");
    EXPECT_EQ(o.err, "quobel: gaiji table " + bad + ", " + duplicate +
                         "; the table is refused and every gaiji fails (2 errors in all)\n");
}

// A progress line on standard error for a large input, only on a terminal.
TEST_F(CommandTest, ShowsProgressOnATerminalOnly) {
    const fs::path big = Path("big");
    WriteFile(big, "");
    fs::resize_file(big, 40u << 20);
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    RunOptions on_terminal;
    on_terminal.stderr_fd = slave;
    const Outcome o = Run({"--from", "ebcdic", "--lines", "-o", "/dev/null", big.string()}, on_terminal);
    close(slave);
    EXPECT_EQ(o.status, 0);
    std::string shown;
    char buffer[4096];
    fcntl(master, F_SETFL, O_NONBLOCK);
    for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;) shown.append(buffer, n);
    close(master);
    EXPECT_NE(shown.find(" MiB of 40 MiB ("), std::string::npos) << shown;
    EXPECT_NE(shown.find("\r\033[K"), std::string::npos) << shown;  // cleared at the end
    const Outcome quiet = Run({"--from", "ebcdic", "--lines", "-o", "/dev/null", big.string()});
    EXPECT_EQ(quiet.err, "");
}

// Bad input gives its documented result, with a warning where a text was cut.
TEST_F(CommandTest, BadInputGivesItsDocumentedResult) {
    Outcome o = Hex({"--to", "ebcdic"}, "41 88");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "C1 28\n");
    EXPECT_EQ(o.err,
              "lumtrax: warning: standard input ends inside a character, shift sequence or "
              "escape (the byte after it was taken as 00)\n");
    o = Hex({"--from", "ebcdic"}, "C1 2B B0");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "41 81 A1\n");
    o = Hex({"--from", "euc"}, "41 8E");
    EXPECT_EQ(o.out, "41 00\n");
    EXPECT_NE(o.err.find("warning"), std::string::npos);
    // Lone shift codes and unterminated runs: no warning, nothing lost.
    o = Hex({"--from", "ebcdic"}, "2C C1 2B B0 A1");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "41 88 9F\n");
    EXPECT_EQ(o.err, "");
    o = Hex({"--from", "8bit"}, "93 F1 41 93 F0 B0 A1");
    EXPECT_EQ(o.out, "41 88 9F\n");
    EXPECT_EQ(o.err, "");
    // An empty input is an empty text.
    o = Hex({"--to", "ebcdic"}, "");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "\n");
    o = Run({"--to", "ebcdic"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "");
}

// What surrounds the command: paths, descriptors, signals and pipes. Each
// case is a bash script run in the test's folder with $L the command; it
// prints what the case is judged by.
TEST_F(CommandTest, LosesNothingWhateverSurroundsIt) {
    const struct {
        const char* what;
        const char* script;
        const char* prints;
    } cases[] = {
        {"-o /dev/stdout writes where standard output appends",
         "echo old > log; printf A > a; $L -t 0 -o /dev/stdout a >> log; echo $?; printf 'old\\n\\301' | cmp - log "
         "&& echo kept",
         "0\nkept\n"},
        {"-o /dev/stderr likewise",
         "echo old > log; printf A > a; $L -t 0 -o /dev/stderr a 2>> log; echo $?; "
         "printf 'old\\n\\301' | cmp - log && echo kept",
         "0\nkept\n"},
        {"a dangling link names the file to make",
         "ln -s made out; printf A > a; $L -t 0 -o out a; echo $?; test -L out && printf '\\301' | cmp - made && "
         "echo through",
         "0\nthrough\n"},
        {"closed standard error: the warning goes nowhere near the output",
         "printf ABCD > rec; $L -t 0 --record 3 -o out rec 2>&-; echo $?; printf '\\301\\302\\303\\304' | cmp - out "
         "&& echo clean",
         "0\nclean\n"},
        {"closed standard input is an error, not an empty text",
         "$L -t 0 -o out <&- 2>/dev/null; echo $?; test -e out || echo none", "3\nnone\n"},
        {"an input that is the output is refused",
         "printf A > f; (ulimit -f 64; $L -t 0 f >> f 2>/dev/null; echo $?); printf A | cmp - f && echo unchanged",
         "3\nunchanged\n"},
        {"a read error keeps what came before it on standard output",
         "printf fa > fa; $L -t 0 fa /proc/self/mem > out 2>/dev/null; echo $?; printf '\\206\\201' | cmp - out && "
         "echo kept",
         "3\nkept\n"},
        {"bad hex keeps every unit, line and record read before it",
         "for i in $(seq 1 2000); do printf '41 41 41 0A '; done > in.hex; printf zz >> in.hex; "
         "for how in '' --lines '--record 80'; do LUMTRAX_CHUNK_SIZE=1000 $L --hex-in -t 0 $how in.hex 2>/dev/null "
         "| wc -c; done",
         "8000\n8000\n8000\n"},
        {"a closed pipe exits 3",
         "head -c 4000000 /dev/zero | tr '\\0' A > big; $L -t 0 big 2>/dev/null | head -c 1 "
         "> /dev/null; echo ${PIPESTATUS[0]}",
         "3\n"},
        {"a full device says so", "$L --version > /dev/full 2> err; echo $?; grep -c 'No space' err", "3\n1\n"},
        {"a FIFO as the gaiji table is refused without waiting",
         "mkfifo t; LUMTRAX_GAIJI_TABLE=$PWD/t timeout 20 $L --version | tail -n 1 | grep -c refused; timeout 20 $L "
         "--check-gaiji-table t > /dev/null; echo $?",
         "1\n3\n"},
        {"a 00 in a table's field is shown, not the end of the message",
         "printf 'F0\\0000\\t69A1\\tC921\\tFEA1\\n' > t; $L --check-gaiji-table t | head -n 1",
         "t:1: Shift-JIS code \"F0\\x000\" is not two bytes in hex (four digits, like F040)\n"},
        {"a mapped input that shrinks while it is read is an error, not a bus error",
         "head -c 64000000 /dev/zero | tr '\\0' A > big; ( $L --to euc -j 1 big 2> err; echo $? > rc ) | "
         "(sleep 1; cat > /dev/null) & sleep 0.3; truncate -s 4096 big; wait; cat rc; grep -c shrank err",
         "3\n1\n"},
        {"a hang-up inherited as ignored stays ignored",
         "mkfifo in; (trap '' HUP; exec $L -t 0 -o out in) & exec 3> in; kill -HUP $!; sleep 0.2; printf A >&3; "
         "exec 3>&-; wait $!; echo $?",
         "0\n"},
        {"a signal that ends the command leaves no temporary file",
         "mkfifo in; $L -t 0 -o out in & exec 3> in; kill -USR1 $!; wait $!; echo $?; ls -A", "138\nin\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir_);
        fs::create_directory(dir_);
        const std::string script =
            std::string("cd '") + dir_.string() + "' && L='" + LUMTRAX_COMMAND + "' && " + c.script;
        const Outcome o = RunShell(script);
        EXPECT_EQ(o.out, c.prints) << o.err;
    }
}

// ---- host data sets (--copybook) ---------------------------------------------------------

// Records of 25 bytes: a zoned number, mixed text, a packed amount, and a
// table whose length a counter gives.
constexpr char kCopybook[] =
    "       01  REC.\n"
    "           05  ID     PIC 9(4).\n"
    "           05  NAME   PIC X(10).\n"
    "           05  AMT    PIC S9(5)V99 COMP-3.\n"
    "           05  N      PIC 9.\n"
    "           05  T      PIC X(2) OCCURS 0 TO 3 DEPENDING ON N.\n";

// Rows in the decoder's own form (canonical numbers, trimmed text), so that
// reading what was written gives them back byte for byte.
constexpr char kRows[] =
    "{\"ID\":\"1\",\"NAME\":\"日本\",\"AMT\":\"-12.34\",\"N\":\"2\",\"T\":[\"ab\",\"c\"]}\n"
    "{\"ID\":\"9999\",\"NAME\":\"x\",\"AMT\":\"0.00\",\"N\":\"0\",\"T\":[]}\n"
    "{\"ID\":\"42\",\"NAME\":\"ｶﾅ,\\\"q\\\"\",\"AMT\":\"99999.99\",\"N\":\"3\",\"T\":[\"1\",\"2\",\"3\"]}\n";

std::vector<std::string> Args(std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

TEST_F(CommandTest, DataSetsGoRoundTripThroughEveryFormat) {
    const std::string cb = File("rec.cpy", kCopybook).string();
    const std::string rows = File("rows.jsonl", kRows).string();
    struct Case {
        std::vector<std::string> framing;
        std::string first_record;  // hex: the first record as framed
    };
    // The first row by hand: ID F0 F0 F0 F1; NAME 2B C6FC CBDC 2C and 4 spaces;
    // AMT 00 01 23 4D; N F2; T 81 82 83 40 (and, for F, one more element of spaces).
    const std::string record = "F0 F0 F0 F1 2B C6 FC CB DC 2C 40 40 40 40 00 01 23 4D F2 81 82 83 40";
    const Case cases[] = {
        {{"--format", "f"}, record + " 40 40"},
        {{"--format", "fb", "--record", "25"}, record + " 40 40"},
        {{"--format", "v"}, "00 1B 00 00 " + record},
        {{"--format", "v", "--little-endian"}, "1B 00 00 00 " + record},
        {{"--format", "v", "--length-without-descriptor"}, "00 17 00 00 " + record},
        {{"--format", "vb"}, "00 53 00 00 00 1B 00 00 " + record},
        {{"--format", "vb", "--block-size", "40", "--little-endian"}, "1F 00 00 00 1B 00 00 00 " + record},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.framing[1] + (c.framing.size() > 2 ? " " + c.framing[2] : ""));
        const std::vector<std::string> base = Args({"--copybook", cb}, c.framing);
        const Outcome written =
            Run(Args(base, {"--from", "jsonl", "--to", "ebcdic", rows, "-o", Path("host.dat").string()}));
        ASSERT_EQ(written.status, 0) << written.err;
        const std::string host = ReadFile(Path("host.dat"));
        EXPECT_EQ(host.substr(0, Bytes(c.first_record).size()), Bytes(c.first_record));
        const Outcome read =
            Run(Args(base, {"--from", "ebcdic", "--to", "jsonl", "--trim", Path("host.dat").string()}));
        EXPECT_EQ(read.status, 0) << read.err;
        EXPECT_EQ(read.out, kRows);
        // The same records through CSV, and through Shift-JIS CSV.
        for (const std::string code : {"utf8", "sjis"}) {
            const Outcome csv = Run(Args(base, {"--from", "ebcdic", "--to", "csv", "--rows-code", code, "--trim",
                                                Path("host.dat").string(), "-o", Path("rows.csv").string()}));
            ASSERT_EQ(csv.status, 0) << csv.err;
            const Outcome back =
                Run(Args(base, {"--from", "csv", "--to", "ebcdic", "--rows-code", code, Path("rows.csv").string()}));
            EXPECT_EQ(back.status, 0) << back.err;
            EXPECT_TRUE(back.out == host) << code;
        }
    }
}

TEST_F(CommandTest, DataSetsStopAtABadFrameWithItsRecordAndOffset) {
    const std::string cb = File("rec.cpy", kCopybook).string();
    const Outcome made = Run(
        {"--copybook", cb, "--format", "v", "--from", "jsonl", "--to", "ebcdic", File("rows.jsonl", kRows).string()});
    ASSERT_EQ(made.status, 0) << made.err;
    const std::string v = made.out;  // records of 27, 23 and 29 bytes
    const std::string f =
        Run({"--copybook", cb, "--format", "f", "--from", "jsonl", "--to", "ebcdic", Path("rows.jsonl").string()}).out;
    struct Case {
        const char* what;
        std::vector<std::string> framing;
        std::string data;
        int status;
        int rows;             // written before the stop
        std::string message;  // in standard error
    };
    const Case cases[] = {
        {"an RDW under 4", {"--format", "v"}, Bytes("00 03 00 00") + v, 3, 0, "record 1 at offset 0: the RDW's length"},
        {"reserved bytes not 00",
         {"--format", "v"},
         v.substr(0, 27) + Bytes("00 08 01 00 41 41 41 41"),
         3,
         1,
         "record 2 at offset 27: the reserved bytes"},
        {"a truncated V record", {"--format", "v"}, v.substr(0, 40), 3, 1, "record 2 at offset 27"},
        {"a truncated F record", {"--format", "f"}, f.substr(0, 60), 3, 2, "record 3 at offset 50"},
        {"a truncated F record skipped", {"--format", "f", "--skip-bad"}, f.substr(0, 60), 1, 2, "1 bad frame skipped"},
        {"a bad RDW in a VB block skipped to the block's end",
         {"--format", "vb", "--skip-bad"},
         Bytes("00 14 00 00 00 02 00 00") + std::string(12, '\x40') + Bytes("00 1F 00 00") + v.substr(0, 27),
         1,
         1,
         "1 bad frame skipped (16 bytes)"},
        {"a bad BDW stops even when skipping",
         {"--format", "vb", "--skip-bad"},
         Bytes("00 1F 00 00") + v.substr(0, 27) + Bytes("00 02 00 00"),
         3,
         1,
         "record 2 at offset 31"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome o =
            Run(Args({"--copybook", cb, "--from", "ebcdic", "--to", "jsonl", File("in.dat", c.data)}, c.framing));
        EXPECT_EQ(o.status, c.status) << o.err;
        EXPECT_EQ(std::count(o.out.begin(), o.out.end(), '\n'), c.rows);
        EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
    }
}

TEST_F(CommandTest, DataSetsReportBadValuesAndRefuseWhatCannotBeDone) {
    const std::string cb = File("rec.cpy", kCopybook).string();
    const std::string rows = File("rows.jsonl", kRows).string();
    // Record 2's amount with a nibble that is no digit: null, reported, exit 1.
    std::string f = Run({"--copybook", cb, "--format", "f", "--from", "jsonl", "--to", "ebcdic", rows}).out;
    f[25 + 14] = '\x0A';
    File("bad.f", f);
    struct Case {
        const char* what;
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const std::string bad = Path("bad.f").string();
    const Case cases[] = {
        {"a bad packed number",
         {"--from", "ebcdic", "--to", "csv", "--format", "f", bad},
         1,
         "record 2 of " + bad + ", field AMT (offset 14, bytes 0A 00 00 0C): a packed nibble"},
        {"no format", {"--from", "ebcdic", "--to", "jsonl", bad}, 2, "--format f, fb, v or vb"},
        {"Shift-JIS JSON",
         {"--from", "ebcdic", "--to", "jsonl", "--format", "f", "--rows-code", "sjis", bad},
         2,
         "csv only"},
        {"trimming what is written",
         {"--from", "jsonl", "--to", "ebcdic", "--format", "f", "--trim", rows},
         2,
         "reading a data set"},
        {"a record length for V",
         {"--from", "ebcdic", "--to", "csv", "--format", "v", "--record", "25", bad},
         2,
         "F and FB"},
        {"two host codes", {"--from", "ebcdic", "--to", "euc", "--format", "f", bad}, 2, "one side is ebcdic"},
        {"a value too long",
         {"--from", "jsonl", "--to", "ebcdic", "--format", "f",
          File("long.jsonl",
               kRows + std::string("{\"ID\":\"1\",\"NAME\":\"abcdefghijk\",\"AMT\":\"1\",\"N\":\"0\",\"T\":[]}\n"))
              .string()},
         3,
         "row 4, field NAME"},
        {"a row that is no JSON",
         {"--from", "jsonl", "--to", "ebcdic", "--format", "v", File("x.jsonl", "{\n")},
         3,
         "row 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome o = Run(Args({"--copybook", cb}, c.args));
        EXPECT_EQ(o.status, c.status) << o.err;
        EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
    }
    // Without --copybook, the options of data sets are usage errors; a bad
    // copybook is named with its line and column.
    EXPECT_EQ(Run({"--from", "ebcdic", "--to", "jsonl", bad}).status, 2);
    EXPECT_EQ(Run({"--from", "ebcdic", "--format", "vb", bad}).status, 2);
    const Outcome o = Run({"--copybook", File("bad.cpy", "01 R.\n  05 A PIC X(3.\n").string(), "--from", "ebcdic",
                           "--to", "jsonl", "--format", "f", bad});
    EXPECT_EQ(o.status, 3);
    EXPECT_NE(o.err.find("copybook line 2, column 12"), std::string::npos) << o.err;
    // A failure leaves no -o FILE; on standard output, the records before it stay.
    File("late.jsonl", std::string(kRows) + "{\"ID\":\"12345\"}\n");
    const std::vector<std::string> late = {
        "--copybook", cb, "--format", "vb", "--from", "jsonl", "--to", "ebcdic", Path("late.jsonl").string()};
    EXPECT_EQ(Run(Args(late, {"-o", Path("late.dat").string()})).status, 3);
    EXPECT_FALSE(fs::exists(Path("late.dat")));
    EXPECT_EQ(Run(late).out.size(), 4u + 27u + 23u + 29u);
}

TEST_F(CommandTest, DataSetsAreTheSameOnEveryNumberOfThreads) {
    const std::string cb = File("rec.cpy", kCopybook).string();
    std::string rows;
    for (int k = 0; k < 3000; ++k) {
        rows += "{\"ID\":\"" + std::to_string(k) + "\",\"NAME\":\"行" + std::to_string(k % 97) + "\",\"AMT\":\"-" +
                std::to_string(k) + ".05\",\"N\":\"" + std::to_string(k % 4) + "\",\"T\":[";
        for (int t = 0; t < k % 4; ++t) rows += std::string(t > 0 ? "," : "") + "\"" + std::to_string(t) + "\"";
        rows += "]}\n";
    }
    const std::string in = File("rows.jsonl", rows).string();
    RunOptions tiny;
    tiny.chunk_size = "700";  // many jobs, records of a VB block from several of them
    const std::vector<std::string> write = {"--copybook", cb,     "--format", "vb", "--block-size", "200", "--from",
                                            "jsonl",      "--to", "ebcdic",   in};
    const Outcome one = Run(Args(write, {"-j", "1"}), tiny);
    const Outcome four = Run(Args(write, {"-j", "4"}), tiny);
    ASSERT_EQ(one.status, 0) << one.err;
    EXPECT_TRUE(one.out == four.out);
    const std::string host = File("host.dat", one.out).string();
    const std::vector<std::string> read = {"--copybook", cb,     "--format", "vb",     "--from",
                                           "ebcdic",     "--to", "jsonl",    "--trim", host};
    const Outcome back_one = Run(Args(read, {"-j", "1"}), tiny);
    const Outcome back_four = Run(Args(read, {"-j", "4"}), tiny);
    EXPECT_EQ(back_one.out, rows);
    EXPECT_EQ(back_four.out, rows);
    // Bad amounts in records far apart: the same report, in record order.
    std::string f = Run({"--copybook", cb, "--format", "f", "--from", "jsonl", "--to", "ebcdic", in}).out;
    for (const std::size_t k : {2990, 10, 7, 1500, 11, 12, 13, 14}) f[k * 25 + 14] = '\xFA';
    const std::vector<std::string> bad = {
        "--copybook", cb, "--format", "f", "--from", "ebcdic", "--to", "csv", File("bad.f", f).string()};
    const Outcome bad_one = Run(Args(bad, {"-j", "1"}), tiny);
    const Outcome bad_four = Run(Args(bad, {"-j", "4"}), tiny);
    EXPECT_EQ(bad_one.status, 1);
    EXPECT_EQ(bad_one.out, bad_four.out);
    EXPECT_EQ(bad_one.err, bad_four.err);
    EXPECT_NE(bad_one.err.find("record 8 of"), std::string::npos) << bad_one.err;
    EXPECT_EQ(bad_one.err.find("record 1501 of"), std::string::npos) << "only the first five in full";
    EXPECT_NE(bad_one.err.find("8 fields did not hold"), std::string::npos) << bad_one.err;
}

}  // namespace
