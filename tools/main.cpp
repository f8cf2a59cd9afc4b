// lumtrax: the command-line converter over the safe C++ interface.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "command_line.h"
#include "failure.h"
#include "files.h"
#include "gaiji_table_check.h"
#include "hex.h"
#include "lines.h"
#include "lumtrax.hpp"
#include "pipeline.h"
#include "report.h"

namespace lumtrax_cli {
namespace {

// How much is read at once; the size of a whole file's chunks, converted
// one call each where cuts allow, and of the jobs of --lines and --record.
// (A chunk and its result then fit a core's cache, which is faster than
// larger chunks.)
constexpr std::size_t kReadSize = 1 << 20;
constexpr std::size_t kChunkSize = 256 << 10;
constexpr long long kProgressThreshold = 16ll << 20;

// The chunk size. LUMTRAX_CHUNK_SIZE, which is internal (the tests set tiny
// sizes to put cuts and job ends everywhere), changes it; the output does
// not change with it.
std::size_t ChunkSize() {
    const char* value = std::getenv("LUMTRAX_CHUNK_SIZE");
    if (value == nullptr) return kChunkSize;
    char* end = nullptr;
    const unsigned long long n = std::strtoull(value, &end, 10);
    return end != value && *end == '\0' && n > 0 && n <= (64u << 20) ? n : kChunkSize;
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
            line += " of " + std::to_string(static_cast<unsigned long long>(total_) >> 20) + " MiB (" +
                    std::to_string(done_ * 100 / static_cast<unsigned long long>(total_)) + "%)";
        }
        Show(line);
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
    const char* unit;           // "line", "record", or "bytes" for a range of a whole file
    unsigned long long number;  // of the line or record; the first byte's offset
    unsigned long long last;    // "bytes": the last byte's offset
    const std::string* name;

    std::string operator()() const {
        if (unit[0] == 'b') {
            return "bytes " + std::to_string(number) + "-" + std::to_string(last) + " of " + *name;
        }
        return std::string(unit) + " " + std::to_string(number) + " of " + *name;
    }
};

// A piece of work: a chunk of a whole file, or the lines or records of a
// stretch of one.
struct Job {
    const std::string* name = nullptr;
    std::string text;
    std::vector<std::size_t> ends;  // --lines, --record: where each call's text ends
    unsigned long long first = 0;   // the first line's or record's number; a chunk's offset
    bool ends_input = false;        // a chunk that ends its file
    Tally tally;                    // what the calls met
    std::string output;
    std::exception_ptr error;

    // Empty again, keeping the memory of its buffers. The output is left to
    // the worker, which writes over it (see ConvertJob).
    void Clear() {
        text.clear();
        ends.clear();
        ends_input = false;
        tally = Tally();
        error = nullptr;
    }
};

Failure TooLarge(const Settings& settings, const std::string& where, const std::string& size, const char* hint) {
    return Failure(kExitInputOutput, where + ": " + size + " is too large for one call (at most " +
                                         std::to_string(lumtrax::MaxTextSize(settings.conversion)) +
                                         " bytes for this conversion)" + hint);
}

// Converts one call's text and puts the result after the job's output. A
// chunk's text is a std::string, which is converted where it lies.
template <typename Text>
void ConvertCall(const Settings& settings, const Text& text, const Place& where, std::string& result, Job& job) {
    // A chunk without hex goes straight into the job's output.
    const bool direct = settings.split == Split::kWhole && !settings.hex_out;
    lumtrax::GaijiStatus gaiji = lumtrax::GaijiStatus::kNone;
    const std::error_code error =
        lumtrax::ConvertInto(settings.conversion, text, direct ? job.output : result, gaiji, settings.options);
    if (error) throw Failure(kExitInputOutput, where() + ": " + error.message());
    job.tally.Note(gaiji, where);
    if (direct) return;
    if (settings.hex_out) {
        AppendHex(result, job.output);
        if (settings.split != Split::kWhole) job.output += '\n';  // a whole file's line ends with it
    } else {
        job.output += result;
    }
}

// The worker's part: every call of the job. Never throws; a failure is kept
// in the job.
void ConvertJob(const Settings& settings, Job& job) noexcept {
    try {
        thread_local std::string result;
        // A chunk's result is written over the output of the job's last use,
        // which thus need not be filled with zeros first; the rest appends.
        if (settings.split != Split::kWhole || settings.hex_out) job.output.clear();
        if (settings.split == Split::kWhole) {
            const Place where{"bytes", job.first, job.first + std::max<std::size_t>(job.text.size(), 1) - 1, job.name};
            ConvertCall(settings, job.text, where, result, job);
            if (job.ends_input && settings.conversion != lumtrax::Conversion::kRawByteEscape &&
                EndsInsideUnit(SourceOf(settings.conversion), !settings.options.lrss,
                               reinterpret_cast<const std::uint8_t*>(job.text.data()), job.text.size())) {
                job.tally.NoteCut([&] { return *job.name; });
            }
            return;
        }
        const bool lines = settings.split == Split::kLines;
        std::size_t start = 0;
        for (std::size_t k = 0; k < job.ends.size(); ++k) {
            const std::string_view text = std::string_view(job.text).substr(start, job.ends[k] - start);
            const Place where{lines ? "line" : "record", job.first + k, 0, job.name};
            ConvertCall(settings, text, where, result, job);
            // The reader knows where lines end inside a unit.
            if (!lines && settings.conversion != lumtrax::Conversion::kRawByteEscape &&
                EndsInsideUnit(SourceOf(settings.conversion), !settings.options.lrss,
                               reinterpret_cast<const std::uint8_t*>(text.data()), text.size())) {
                job.tally.NoteCut(where);
            }
            start = job.ends[k];
        }
    } catch (...) {
        job.error = std::current_exception();
    }
}

// Reads an input piece by piece, decoding hex when asked.
class Reader {
public:
    Reader(InputFile& input, bool hex, Progress& progress, const std::atomic<bool>& stop)
        : input_(input), hex_(hex), progress_(progress), stop_(stop) {}

    // Appends the next piece, of up to max bytes read, to out; false at the
    // end of the input.
    bool Next(std::string& out, std::size_t max = kReadSize) {
        std::size_t n = 0;
        if (hex_) {
            raw_.clear();
            n = input_.Read(raw_, max, &stop_);
            decoder_.Decode(raw_, out, input_.name());
            if (n == 0) decoder_.Finish(input_.name());
        } else {
            n = input_.Read(out, max, &stop_);
        }
        progress_.Advance(n);
        return n > 0;
    }

private:
    InputFile& input_;
    bool hex_;
    Progress& progress_;
    const std::atomic<bool>& stop_;
    std::string raw_;
    HexDecoder decoder_;
};

using Submit = Pipeline<Job>::Submit;

// What the readers need of the pipeline: where jobs go, and jobs to fill.
struct Jobs {
    const Submit& submit;
    Pipeline<Job>& pipeline;

    std::unique_ptr<Job> New(const InputFile& input, unsigned long long first) const {
        std::unique_ptr<Job> job = pipeline.Spare();
        job->Clear();
        job->name = &input.name();
        job->first = first;
        return job;
    }
};

// Reads the next piece into text. On a read error, keep(text) trims text to
// what is certainly complete, and the error goes on after that has been
// handed on by hand_on (the jobs before it are written, then the error is
// reported).
template <typename Keep, typename HandOn>
bool ReadOrHandOn(Reader& reader, std::string& text, std::size_t max, Keep keep, HandOn hand_on) {
    try {
        return reader.Next(text, max);
    } catch (const Failure&) {
        keep(text);
        hand_on();
        throw;
    }
}

// A whole file, in chunks of about the chunk size, cut only where the
// chunks' results put together are the result of one call (lumtrax::FindCut);
// where there is no such cut, the chunk grows, up to the most one call takes.
bool ReadWhole(InputFile& input, const Settings& settings, Reader& reader, const Jobs& jobs) {
    const lumtrax::Conversion conversion = settings.conversion;
    const std::size_t chunk = ChunkSize();
    const std::size_t most = lumtrax::MaxTextSize(conversion);
    // The job's text is what has been read and not yet handed on. It is read
    // a byte past the chunk size, so that a cut lies near its end and little
    // of it moves on to the next job.
    std::unique_ptr<Job> job = jobs.New(input, 0);
    bool going = true;
    const auto last_job = [&] {
        job->ends_input = true;
        going = jobs.submit(std::move(job));
    };
    // Before a read error: the units that are certainly whole.
    const auto keep_whole_units = [&](std::string& text) {
        if (conversion == lumtrax::Conversion::kRawByteEscape) return;
        text.resize(WholeUnitsLength(SourceOf(conversion), !settings.options.lrss,
                                     reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    };
    std::size_t search_at = 0;  // after a search without a cut: when the text has doubled
    for (bool more = true; more;) {
        std::string& text = job->text;
        const std::size_t max = text.size() <= chunk ? chunk + 1 - text.size() : kReadSize;
        more = ReadOrHandOn(reader, text, max, keep_whole_units, last_job);
        if (conversion == lumtrax::Conversion::kRawByteEscape) {  // the escape of the first byte
            if (text.size() > 1) text.resize(1);
            continue;
        }
        if (text.size() <= chunk || (text.size() < search_at && text.size() <= most)) continue;
        // Handed on from at; each byte is copied out once at most, however
        // long the stretch without a cut that came before it.
        std::size_t at = 0;
        while (text.size() - at > chunk) {
            const std::size_t cut =
                lumtrax::FindCut(conversion, std::string_view(text).substr(at), chunk, settings.options);
            if (cut > most || (cut == 0 && text.size() - at > most)) {
                throw TooLarge(settings, input.name(),
                               "from byte offset " + std::to_string(job->first + at) + " on, more than " +
                                   std::to_string(most) +
                                   " bytes with a run of double-byte "
                                   "characters open throughout",
                               "; use --lines or --record");
            }
            if (cut == 0) break;
            if (at == 0 && text.size() - cut <= 2 * chunk) {
                // The usual case: the job goes on as it is, and the little
                // after the cut moves on to the next.
                std::unique_ptr<Job> next = jobs.New(input, job->first + cut);
                next->text.assign(text, cut, std::string::npos);
                text.resize(cut);
                if (!jobs.submit(std::move(job))) return false;
                job = std::move(next);
                break;
            }
            std::unique_ptr<Job> piece = jobs.New(input, job->first + at);
            piece->text.assign(text, at, cut);
            at += cut;
            if (!jobs.submit(std::move(piece))) return false;
        }
        if (at > 0) {
            std::unique_ptr<Job> rest = jobs.New(input, job->first + at);
            rest->text.assign(job->text, at, std::string::npos);
            job = std::move(rest);
        }
        search_at = job->text.size() > chunk ? 2 * job->text.size() : 0;
    }
    last_job();
    return going;
}

bool ReadLines(InputFile& input, const Settings& settings, Reader& reader, const Jobs& jobs) {
    const std::size_t limit = lumtrax::MaxTextSize(settings.conversion);
    const std::size_t batch = ChunkSize();
    LineScanner scanner(SourceOf(settings.conversion), !settings.options.lrss);
    std::string buffer;
    unsigned long long line = 0;
    auto job = jobs.New(input, 1);
    bool going = true;
    // Puts the line into the job, and the job on its way once it is large.
    auto add = [&](std::size_t start, std::size_t n, bool cut) {
        job->text.append(buffer, start, n);
        job->ends.push_back(job->text.size());
        ++line;
        if (cut) job->tally.NoteCut(Place{"line", line, 0, job->name});
        if (job->text.size() < batch) return true;
        going = jobs.submit(std::move(job));
        job = jobs.New(input, line + 1);
        return going;
    };
    // The lines that the buffer holds whole (at the end of the input, the
    // last one too), taken out of it.
    auto take_lines = [&](bool at_end) {
        const auto* data = reinterpret_cast<const std::uint8_t*>(buffer.data());
        std::size_t start = 0;
        for (;;) {
            const std::size_t n = scanner.Scan(data + start, buffer.size() - start, at_end);
            if (n == 0) break;
            if (!add(start, n, scanner.EndsInsideUnit())) return false;
            start += n;
            scanner.Restart();
        }
        if (at_end && start < buffer.size()) {  // a last line without its line end
            const bool cut = settings.conversion != lumtrax::Conversion::kRawByteEscape &&
                             EndsInsideUnit(SourceOf(settings.conversion), !settings.options.lrss, data + start,
                                            buffer.size() - start);
            if (!add(start, buffer.size() - start, cut)) return false;
            start = buffer.size();
        }
        buffer.erase(0, start);
        return true;
    };
    // After a read error, the lines read whole are converted.
    const auto hand_on = [&] {
        if (take_lines(false) && !job->ends.empty()) jobs.submit(std::move(job));
    };
    for (bool more = true; more;) {
        more = ReadOrHandOn(
            reader, buffer, kReadSize, [](std::string&) {}, hand_on);
        if (!take_lines(!more)) return false;
        if (buffer.size() > limit) {
            throw TooLarge(settings, "line " + std::to_string(line + 1) + " of " + input.name(),
                           "more than " + std::to_string(limit) + " bytes", "; use --record");
        }
    }
    return job->ends.empty() || jobs.submit(std::move(job));
}

bool ReadRecords(InputFile& input, const Settings& settings, Reader& reader, const Jobs& jobs) {
    const std::size_t size = settings.record_size;
    const std::size_t per_job = std::max<std::size_t>(1, ChunkSize() / size);
    std::string buffer;
    unsigned long long record = 0;
    auto job = jobs.New(input, 1);
    auto add = [&](std::size_t start, std::size_t n) {
        job->text.append(buffer, start, n);
        job->ends.push_back(job->text.size());
        ++record;
        if (job->ends.size() < per_job) return true;
        const bool going = jobs.submit(std::move(job));
        job = jobs.New(input, record + 1);
        return going;
    };
    // The records that the buffer holds whole (at the end of the input, a
    // shorter last one too), taken out of it.
    auto take_records = [&](bool at_end) {
        std::size_t start = 0;
        for (; buffer.size() - start >= size; start += size) {
            if (!add(start, size)) return false;
        }
        if (at_end && start < buffer.size()) {
            const std::size_t rest = buffer.size() - start;
            std::fprintf(stderr, "lumtrax: %s has %zu bytes, not %zu; converted as it is\n",
                         Place{"record", record + 1, 0, &input.name()}().c_str(), rest, size);
            if (!add(start, rest)) return false;
            start = buffer.size();
        }
        buffer.erase(0, start);
        return true;
    };
    // After a read error, the records read whole are converted.
    const auto hand_on = [&] {
        if (take_records(false) && !job->ends.empty()) jobs.submit(std::move(job));
    };
    for (bool more = true; more;) {
        more = ReadOrHandOn(
            reader, buffer, kReadSize, [](std::string&) {}, hand_on);
        if (!take_records(!more)) return false;
    }
    return job->ends.empty() || jobs.submit(std::move(job));
}

// In a chunk whose conversion replaced something, the smallest piece between
// safe cuts that still does: where the first replacement lies.
std::pair<std::size_t, std::size_t> FirstReplacement(const Settings& settings, std::string_view text) {
    std::size_t from = 0;
    std::size_t to = text.size();
    std::string scratch;
    for (;;) {
        const std::string_view rest = text.substr(from);
        const std::size_t cut =
            lumtrax::FindCut(settings.conversion, rest, std::max<std::size_t>(1, (to - from) / 2), settings.options);
        if (cut == 0 || from + cut >= to) break;
        lumtrax::GaijiStatus gaiji = lumtrax::GaijiStatus::kNone;
        if (lumtrax::ConvertInto(settings.conversion, rest.substr(0, cut), scratch, gaiji, settings.options)) break;
        if (gaiji == lumtrax::GaijiStatus::kReplaced) {
            to = from + cut;
        } else {
            from += cut;
        }
    }
    return {from, to};
}

// The writer's part, in input order: the output, and the tally merged.
class Writer {
public:
    Writer(const Settings& settings, Output& output) : settings_(settings), output_(output) {}

    void Write(Job& job) {
        if (job.error) std::rethrow_exception(job.error);
        const bool whole = settings_.split == Split::kWhole;
        if (whole && settings_.hex_out) {  // one line of hex for each file
            if (!job.output.empty() && line_open_) output_.Write(" ");
            output_.Write(job.output);
            line_open_ = line_open_ || !job.output.empty();
            if (job.ends_input) {
                output_.Write("\n");
                line_open_ = false;
            }
        } else {
            output_.Write(job.output);
        }
        if (whole && tally_.replaced == 0 && job.tally.replaced > 0) {
            const auto [from, to] = FirstReplacement(settings_, job.text);
            job.tally.first_replaced = Place{"bytes", job.first + from, job.first + to - 1, job.name}();
        }
        tally_.Add(job.tally);
    }

    const Tally& tally() const { return tally_; }

private:
    const Settings& settings_;
    Output& output_;
    Tally tally_;
    bool line_open_ = false;
};

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

// Flushes what the command printed on standard output: a failure to write
// it is an output error (exit status 3), with its reason.
int FinishStandardOutput(int status) {
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
    throw Failure(kExitInputOutput,
                  std::string("cannot write standard output: ") + (errno != 0 ? std::strerror(errno) : "write error"));
}

int Run(const std::vector<std::string>& args, const StandardStreams& streams) {
    const Settings settings = ParseCommandLine(args);
    if (settings.action == Settings::Action::kHelp) {
        std::fputs(HelpText(), stdout);
        return FinishStandardOutput(kExitOk);
    }
    if (settings.action == Settings::Action::kVersion) {
        PrintVersion();
        return FinishStandardOutput(kExitOk);
    }
    if (settings.action == Settings::Action::kCheckGaijiTable) {
        return FinishStandardOutput(CheckGaijiTable(settings.gaiji_table));
    }
    InstallSignalHandlers();
    Output output(settings.output, streams);
    if (settings.action == Settings::Action::kEscape) {
        const lumtrax::Result escape =
            lumtrax::Convert(settings.conversion, std::string(1, static_cast<char>(settings.escape_byte)));
        std::string text = escape.text;
        if (settings.hex_out) {
            text.clear();
            AppendHex(escape.text, text);
            text += '\n';
        }
        output.Write(text);
        output.Commit();
        return kExitOk;
    }
    if (settings.split == Split::kRecords && settings.record_size > lumtrax::MaxTextSize(settings.conversion)) {
        const std::string size = std::to_string(settings.record_size);
        throw TooLarge(settings, "--record " + size, size + " bytes", "");
    }

    std::vector<std::unique_ptr<InputFile>> inputs;
    long long total = 0;
    for (const std::string& path : settings.inputs) {
        inputs.push_back(std::make_unique<InputFile>(path, streams));
        output.RefuseAsInput(*inputs.back());
        const long long size = inputs.back()->known_size();
        total = total < 0 || size < 0 ? -1 : total + size;
    }
    Progress progress(total);
    Writer writer(settings, output);
    Pipeline<Job> pipeline(settings.jobs, [&settings](Job& job) { ConvertJob(settings, job); });
    const auto read = [&](const Submit& submit) {
        for (auto& input : inputs) {
            Reader reader(*input, settings.hex_in, progress, pipeline.stopping());
            const Jobs jobs{submit, pipeline};
            const bool going = settings.split == Split::kWhole   ? ReadWhole(*input, settings, reader, jobs)
                               : settings.split == Split::kLines ? ReadLines(*input, settings, reader, jobs)
                                                                 : ReadRecords(*input, settings, reader, jobs);
            if (!going) return;
        }
    };
    pipeline.Run(read, [&writer](Job& job) { writer.Write(job); });
    progress.Clear();
    output.Commit();
    const char* unit = settings.split == Split::kLines     ? "line"
                       : settings.split == Split::kRecords ? "record"
                                                           : "chunk";
    writer.tally().Report(unit);
    return writer.tally().replaced > 0 ? kExitGaijiReplaced : kExitOk;
}

}  // namespace
}  // namespace lumtrax_cli

int main(int argc, char** argv) {
    // Before anything is opened: standard streams that were closed are
    // opened on /dev/null, and a closed pipe is a write error.
    const lumtrax_cli::StandardStreams streams = lumtrax_cli::OpenStandardStreams();
    lumtrax_cli::IgnoreWriteSignals();
    try {
        return lumtrax_cli::Run(std::vector<std::string>(argv + 1, argv + argc), streams);
    } catch (const lumtrax_cli::Failure& failure) {
        std::fprintf(stderr, "lumtrax: %s\n", failure.what());
        return failure.exit_status();
    } catch (const std::bad_alloc&) {
        std::fputs("lumtrax: out of memory\n", stderr);
        return lumtrax_cli::kExitInputOutput;
    }
}
