// lumtrax: the command-line converter over the safe C++ interface.
#include <unistd.h>

#include <chrono>
#include <memory>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "command_line.h"
#include "failure.h"
#include "files.h"
#include "gaiji_table_check.h"
#include "hex.h"
#include "lines.h"
#include "lumtrax.hpp"

namespace lumtrax_cli {
namespace {

constexpr std::size_t kChunkSize = 1 << 20;
constexpr long long kProgressThreshold = 16ll << 20;

std::string SizeText(unsigned long long bytes) {
    if (bytes < (10ull << 20)) return std::to_string(bytes) + " bytes";
    return std::to_string(bytes >> 20) + " MiB";
}

// A progress line on standard error while large inputs are read, when
// standard error is a terminal.
class Progress {
public:
    explicit Progress(long long total) : total_(total), enabled_(isatty(2) != 0) {}
    ~Progress() { Clear(); }

    void Advance(std::size_t bytes) {
        done_ += bytes;
        if (!enabled_) return;
        if (total_ >= 0 ? total_ < kProgressThreshold : done_ < kProgressThreshold) return;
        const auto now = std::chrono::steady_clock::now();
        if (shown_ && now - last_ < std::chrono::milliseconds(200)) return;
        last_ = now;
        std::string line = "\rlumtrax: " + std::to_string(done_ >> 20) + " MiB";
        if (total_ > 0) {
            line += " of " + std::to_string(static_cast<unsigned long long>(total_) >> 20) +
                    " MiB (" + std::to_string(done_ * 100 / static_cast<unsigned long long>(total_)) +
                    "%)";
        }
        Show(line);
    }

    // Before a long single call.
    void Note(const std::string& what) {
        if (enabled_ && shown_) Show("\rlumtrax: " + what);
    }

    void Clear() {
        if (!shown_) return;
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        shown_ = false;
    }

private:
    void Show(const std::string& line) {
        std::fputs(line.c_str(), stderr);
        std::fputs("\033[K", stderr);
        std::fflush(stderr);
        shown_ = true;
    }

    long long total_;
    bool enabled_;
    bool shown_ = false;
    unsigned long long done_ = 0;
    std::chrono::steady_clock::time_point last_{};
};

// Where a call's text came from: "line 3 of notes.txt", put into words only
// when a message needs it.
struct Place {
    const char* unit;          // "line", "record", or null for a whole file
    unsigned long long number;
    const std::string& name;

    std::string Text() const {
        if (unit == nullptr) return name;
        return std::string(unit) + " " + std::to_string(number) + " of " + name;
    }
};

// What the calls met of gaiji, for the report on standard error.
struct GaijiTally {
    unsigned long long calls = 0;
    unsigned long long converted = 0;  // calls whose gaiji were all converted
    unsigned long long replaced = 0;   // calls where a gaiji was replaced
    std::string first_replaced;        // where the first replacement was
    unsigned long long cut = 0;        // texts that end inside a unit
    std::string first_cut;

    void Note(lumtrax::GaijiStatus status, const Place& where) {
        ++calls;
        if (status == lumtrax::GaijiStatus::kConverted) ++converted;
        if (status == lumtrax::GaijiStatus::kReplaced) {
            if (replaced == 0) first_replaced = where.Text();
            ++replaced;
        }
    }

    void NoteCut(const Place& where) {
        if (cut++ == 0) first_cut = where.Text();
    }

    void Report(const char* unit) const {
        const std::string units = std::string(unit) + "s";
        if (cut == 1) {
            std::fprintf(stderr,
                         "lumtrax: warning: %s ends inside a character, shift sequence or escape "
                         "(the byte after it was taken as 00)\n",
                         first_cut.c_str());
        } else if (cut > 1) {
            std::fprintf(stderr,
                         "lumtrax: warning: %llu %s end inside a character, shift sequence or "
                         "escape (the byte after each was taken as 00), first in %s\n",
                         cut, units.c_str(), first_cut.c_str());
        }
        if (calls == 1) {
            if (replaced > 0) {
                std::fprintf(stderr,
                             "lumtrax: %s: a gaiji was replaced by the substitute (a black "
                             "square)\n",
                             first_replaced.c_str());
            } else if (converted > 0) {
                std::fputs("lumtrax: gaiji converted by the gaiji server\n", stderr);
            }
            return;
        }
        if (replaced > 0) {
            std::fprintf(stderr,
                         "lumtrax: a gaiji was replaced by the substitute (a black square) in %llu "
                         "of %llu %s, first in %s\n",
                         replaced, calls, units.c_str(), first_replaced.c_str());
        }
        if (converted > 0) {
            std::fprintf(stderr, "lumtrax: gaiji converted by the gaiji server in %llu %s\n",
                         converted, converted == 1 ? unit : units.c_str());
        }
    }
};

class Converter {
public:
    Converter(const Settings& settings, Output& output)
        : settings_(settings), output_(output), source_(SourceOf(settings.conversion)) {}

    // Converts one text as one call and writes the result.
    void Convert(std::string_view text, const Place& where) {
        lumtrax::GaijiStatus gaiji = lumtrax::GaijiStatus::kNone;
        const std::error_code error =
            lumtrax::ConvertInto(settings_.conversion, text, result_, gaiji, settings_.options);
        if (error == lumtrax::Errc::kTooLong) {
            throw TooLarge(where.Text(), std::to_string(text.size()) + " bytes", "");
        }
        if (error) throw Failure(kExitInputOutput, where.Text() + ": " + error.message());
        tally_.Note(gaiji, where);
        if (settings_.conversion != lumtrax::Conversion::kRawByteEscape &&
            EndsInsideUnit(source_, !settings_.options.lrss,
                           reinterpret_cast<const std::uint8_t*>(text.data()), text.size())) {
            tally_.NoteCut(where);
        }
        if (settings_.hex_out) {
            hex_.clear();
            AppendHex(result_, hex_);
            hex_ += '\n';
            output_.Write(hex_);
        } else {
            output_.Write(result_);
        }
    }

    // size: "N bytes", or "more than N bytes" when reading stopped there.
    Failure TooLarge(const std::string& where, const std::string& size, const char* hint) const {
        return Failure(kExitInputOutput,
                       where + ": " + size + " is too large for one call (at most " +
                           std::to_string(lumtrax::MaxTextSize(settings_.conversion)) +
                           " bytes for this conversion)" + hint);
    }

    const GaijiTally& tally() const { return tally_; }

private:
    const Settings& settings_;
    Output& output_;
    SourceCode source_;
    std::string result_;
    std::string hex_;
    GaijiTally tally_;
};

// Reads an input piece by piece, decoding hex when asked.
class Reader {
public:
    Reader(InputFile& input, bool hex, Progress& progress)
        : input_(input), hex_(hex), progress_(progress) {}

    // Appends the next piece to out; false at the end of the input.
    bool Next(std::string& out) {
        std::size_t n = 0;
        if (hex_) {
            raw_.clear();
            n = input_.Read(raw_, kChunkSize);
            decoder_.Decode(raw_, out, input_.name());
            if (n == 0) decoder_.Finish(input_.name());
        } else {
            n = input_.Read(out, kChunkSize);
        }
        progress_.Advance(n);
        return n > 0;
    }

private:
    InputFile& input_;
    bool hex_;
    Progress& progress_;
    std::string raw_;
    HexDecoder decoder_;
};

void ConvertWhole(InputFile& input, const Settings& settings, Converter& converter,
                  Progress& progress) {
    const std::size_t limit = lumtrax::MaxTextSize(settings.conversion);
    if (!settings.hex_in && input.known_size() >= 0 &&
        static_cast<unsigned long long>(input.known_size()) > limit) {
        throw converter.TooLarge(input.name(), std::to_string(input.known_size()) + " bytes",
                                 "; use --lines or --record");
    }
    Reader reader(input, settings.hex_in, progress);
    std::string text;
    if (input.known_size() > 0 && !settings.hex_in) {
        text.reserve(static_cast<std::size_t>(input.known_size()));
    }
    while (reader.Next(text)) {
        if (text.size() > limit) {
            throw converter.TooLarge(input.name(), "more than " + std::to_string(limit) + " bytes",
                                     "; use --lines or --record");
        }
    }
    progress.Note("converting " + SizeText(text.size()) + " in one call");
    converter.Convert(text, Place{nullptr, 0, input.name()});
}

void ConvertLines(InputFile& input, const Settings& settings, Converter& converter,
                  Progress& progress) {
    const std::size_t limit = lumtrax::MaxTextSize(settings.conversion);
    LineScanner scanner(SourceOf(settings.conversion), !settings.options.lrss);
    Reader reader(input, settings.hex_in, progress);
    std::string buffer;
    unsigned long long line = 0;
    bool more = true;
    while (more) {
        more = reader.Next(buffer);
        const auto* data = reinterpret_cast<const std::uint8_t*>(buffer.data());
        std::size_t start = 0;
        for (;;) {
            const std::size_t n = scanner.Scan(data + start, buffer.size() - start, !more);
            if (n == 0) break;
            converter.Convert(std::string_view(buffer).substr(start, n),
                              Place{"line", ++line, input.name()});
            start += n;
            scanner.Restart();
        }
        if (!more && start < buffer.size()) {  // a last line without its line end
            converter.Convert(std::string_view(buffer).substr(start),
                              Place{"line", ++line, input.name()});
            start = buffer.size();
        }
        buffer.erase(0, start);
        if (buffer.size() > limit) {
            throw converter.TooLarge("line " + std::to_string(line + 1) + " of " + input.name(),
                                     "more than " + std::to_string(limit) + " bytes",
                                     "; use --record");
        }
    }
}

void ConvertRecords(InputFile& input, const Settings& settings, Converter& converter,
                    Progress& progress) {
    const std::size_t size = settings.record_size;
    if (size > lumtrax::MaxTextSize(settings.conversion)) {
        throw converter.TooLarge("--record " + std::to_string(size), std::to_string(size) + " bytes",
                                 "");
    }
    Reader reader(input, settings.hex_in, progress);
    std::string buffer;
    unsigned long long record = 0;
    bool more = true;
    while (more) {
        more = reader.Next(buffer);
        std::size_t start = 0;
        while (buffer.size() - start >= size) {
            converter.Convert(std::string_view(buffer).substr(start, size),
                              Place{"record", ++record, input.name()});
            start += size;
        }
        if (!more && start < buffer.size()) {
            const std::size_t rest = buffer.size() - start;
            const Place where{"record", ++record, input.name()};
            std::fprintf(stderr, "lumtrax: %s has %zu bytes, not %zu; converted as it is\n",
                         where.Text().c_str(), rest, size);
            converter.Convert(std::string_view(buffer).substr(start), where);
            start = buffer.size();
        }
        buffer.erase(0, start);
    }
}

void PrintVersion() {
    const lumtrax::GaijiServerInfo server = lumtrax::GaijiServer(0);
    std::printf("lumtrax %s\n", lumtrax::Version());
    const std::string active = lumtrax::ActiveSimdLevel();
    const std::string best = lumtrax::BestSimdLevel();
    if (active == best) {
        std::printf("kernels: %s\n", active.c_str());
    } else {
        std::printf("kernels: %s (this machine has %s; LUMTRAX_SIMD caps it)\n", active.c_str(), best.c_str());
    }
    std::printf("gaiji server version 0x%08X%s\n", static_cast<unsigned>(server.version),
                server.level_ok ? "" : " (it does not answer 0 for level 0)");
    std::printf("%s\n", GaijiTableLine().c_str());
}

int Run(const std::vector<std::string>& args) {
    const Settings settings = ParseCommandLine(args);
    if (settings.action == Settings::Action::kHelp) {
        std::fputs(HelpText(), stdout);
        return std::fflush(stdout) == 0 ? kExitOk : kExitInputOutput;
    }
    if (settings.action == Settings::Action::kVersion) {
        PrintVersion();
        return std::fflush(stdout) == 0 ? kExitOk : kExitInputOutput;
    }
    if (settings.action == Settings::Action::kCheckGaijiTable) return CheckGaijiTable(settings.gaiji_table);
    InstallSignalHandlers();
    Output output(settings.output);
    Converter converter(settings, output);
    if (settings.action == Settings::Action::kEscape) {
        const std::string name = "--escape";
        converter.Convert(std::string(1, static_cast<char>(settings.escape_byte)),
                          Place{nullptr, 0, name});
        output.Commit();
        return kExitOk;
    }

    std::vector<std::unique_ptr<InputFile>> owned;
    long long total = 0;
    for (const std::string& path : settings.inputs) {
        owned.push_back(std::make_unique<InputFile>(path));
        const long long size = owned.back()->known_size();
        total = total < 0 || size < 0 ? -1 : total + size;
    }
    Progress progress(total);
    for (auto& input : owned) {
        switch (settings.split) {
            case Split::kWhole:
                ConvertWhole(*input, settings, converter, progress);
                break;
            case Split::kLines:
                ConvertLines(*input, settings, converter, progress);
                break;
            case Split::kRecords:
                ConvertRecords(*input, settings, converter, progress);
                break;
        }
    }
    progress.Clear();
    output.Commit();
    const char* unit = settings.split == Split::kLines     ? "line"
                       : settings.split == Split::kRecords ? "record"
                                                           : "file";
    converter.tally().Report(unit);
    return converter.tally().replaced > 0 ? kExitGaijiReplaced : kExitOk;
}

}  // namespace
}  // namespace lumtrax_cli

int main(int argc, char** argv) {
    try {
        return lumtrax_cli::Run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const lumtrax_cli::Failure& failure) {
        std::fprintf(stderr, "lumtrax: %s\n", failure.what());
        return failure.exit_status();
    } catch (const std::bad_alloc&) {
        std::fputs("lumtrax: out of memory\n", stderr);
        return lumtrax_cli::kExitInputOutput;
    }
}
