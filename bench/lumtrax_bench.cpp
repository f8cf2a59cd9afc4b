// Throughput of lumtrax against memcpy, glibc iconv and ICU on the same
// texts, their samples taken in turn in one loop. See bench/README.md.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "corpus.h"
#include "harness.h"
#include "lumtrax.h"
#include "lumtrax.hpp"
#include "rivals.h"
#include "summary.h"

namespace {

using corpus::Bytes;

constexpr std::size_t kTextSize = 4u << 20;  // 4 MiB: far beyond the L2 cache

// The conversion types measured; 11 builds an escape from one byte and has
// no text to convert.
const int kTypes[] = {0, 1, 2, 10, 3, 4, 5, 6, 7};

// Records kept in one block, each followed by 00 (the byte after the
// counted text), as a batch reads them.
struct Records {
    Bytes arena;
    std::vector<std::size_t> starts;
    std::vector<std::size_t> lengths;
    std::size_t bytes = 0;

    void Add(const std::uint8_t* text, std::size_t len) {
        starts.push_back(arena.size());
        lengths.push_back(len);
        arena.insert(arena.end(), text, text + len);
        arena.push_back(0x00);
        bytes += len;
    }
    const std::uint8_t* at(std::size_t k) const { return arena.data() + starts[k]; }
};

// A text whole (followed by 00) and cut into records.
struct Text {
    Bytes whole;
    Records records;
    std::size_t size() const { return whole.size() - 1; }
};

// One destination large enough for any job: no conversion here writes more
// than three bytes for every source byte.
std::uint8_t* Destination() {
    static std::vector<std::uint8_t> dst(3 * kTextSize + 4096);
    return dst.data();
}
std::size_t DestinationCapacity() { return 3 * kTextSize + 4096; }

// Makes a text from another by converting the whole and each record.
template <typename Convert>
Text Transform(const Text& from, Convert convert) {
    Text to;
    std::uint8_t* dst = Destination();
    const long n = convert(dst, from.whole.data(), from.size());
    if (n < 0) throw std::runtime_error("a source text did not convert");
    to.whole.assign(dst, dst + n);
    to.whole.push_back(0x00);
    for (std::size_t k = 0; k < from.records.starts.size(); ++k) {
        const long m = convert(dst, from.records.at(k), from.records.lengths[k]);
        if (m < 0) throw std::runtime_error("a source record did not convert");
        to.records.Add(dst, static_cast<std::size_t>(m));
    }
    return to;
}

Text ShiftJisText(corpus::Kind kind) {
    Text text;
    text.whole = corpus::MakeText(kind, kTextSize);
    text.whole.push_back(0x00);
    for (const Bytes& record : corpus::SplitRecords(Bytes(text.whole.begin(), text.whole.end() - 1))) {
        text.records.Add(record.data(), record.size());
    }
    return text;
}

// The host texts, made by lumtrax's forward conversions through the plain export.
auto LumtraxPlain(int type) {
    return [type](std::uint8_t* dst, const std::uint8_t* src, std::size_t) -> long {
        int status = 0;
        const int n = Lumtrax(type, dst, src, LUMTRAX_LINE_END_KEEP, &status);
        return status == LUMTRAX_GAIJI_NONE ? n : -1;
    };
}

auto RivalForward(rivals::Converter& converter) {
    return [&converter](std::uint8_t* dst, const std::uint8_t* src, std::size_t len) -> long {
        return converter.Convert(dst, DestinationCapacity(), src, len);
    };
}

// A rival conversion and the text it reads.
struct RivalJob {
    std::unique_ptr<rivals::Converter> converter;
    Text source;
};

// Everything one corpus text needs: the Shift-JIS text, the host texts made
// from it, and the rivals' own texts made from it.
struct Workload {
    corpus::Kind kind;
    Text sjis;
    Text host[4];  // from types 0, 1, 2, 3, for types 4, 5, 6, 7
    std::vector<std::pair<int, RivalJob>> icu;
    std::vector<std::pair<int, RivalJob>> iconv;

    const Text& SourceOf(int type) const {
        switch (type) {
            case 4:
                return host[0];
            case 5:
                return host[1];
            case 6:
                return host[2];
            case 7:
                return host[3];
            default:
                return sjis;
        }
    }
};

constexpr const char* kIcuShiftJis = "ibm-943_P15A-2003";
constexpr const char* kIcuEbcdic = "ibm-939_P120-1999";
constexpr const char* kIcuEuc = "euc-jp-2007";

// A rival's job for a reverse type reads the text that its own forward
// conversion made, so that it converts text it understands.
void AddRivalPair(std::vector<std::pair<int, RivalJob>>& jobs, const Text& sjis, int forward_type, int reverse_type,
                  std::unique_ptr<rivals::Converter> forward, std::unique_ptr<rivals::Converter> reverse) {
    Text host = Transform(sjis, RivalForward(*forward));
    // The rival must bring the text back unchanged, or it is not doing the same job.
    const Text back = Transform(host, RivalForward(*reverse));
    if (back.whole != sjis.whole) {
        std::fprintf(stderr, "note: %s and back does not give the text again\n", forward->Describe().c_str());
    }
    jobs.push_back({forward_type, RivalJob{std::move(forward), sjis}});
    jobs.push_back({reverse_type, RivalJob{std::move(reverse), std::move(host)}});
}

Workload MakeWorkload(corpus::Kind kind) {
    Workload w;
    w.kind = kind;
    w.sjis = ShiftJisText(kind);
    const int forward[4] = {0, 1, 2, 3};
    for (int k = 0; k < 4; ++k) {
        w.host[k] = Transform(w.sjis, LumtraxPlain(forward[k]));
        // The plain export reads a text up to its first 00.
        if (std::memchr(w.host[k].whole.data(), 0x00, w.host[k].size()) != nullptr) {
            throw std::runtime_error(std::string("the ") + corpus::Name(kind) + " text of type " +
                                     std::to_string(forward[k]) + " holds a 00");
        }
        // The conversion back must give the text again, or it is not doing the rivals' job.
        if (Transform(w.host[k], LumtraxPlain(forward[k] + 4)).whole != w.sjis.whole) {
            std::fprintf(stderr, "note: lumtrax type %d and back does not give the %s text again\n", forward[k],
                         corpus::Name(kind));
        }
    }
    AddRivalPair(w.icu, w.sjis, 0, 4, rivals::OpenIcu(kIcuShiftJis, kIcuEbcdic),
                 rivals::OpenIcu(kIcuEbcdic, kIcuShiftJis));
    AddRivalPair(w.icu, w.sjis, 3, 7, rivals::OpenIcu(kIcuShiftJis, kIcuEuc), rivals::OpenIcu(kIcuEuc, kIcuShiftJis));
    AddRivalPair(w.iconv, w.sjis, 3, 7, rivals::OpenIconv("SHIFT_JIS", "EUC-JP"),
                 rivals::OpenIconv("EUC-JP", "SHIFT_JIS"));
    return w;
}

// Keeps the compiler from dropping a result or a copy nobody reads.
template <typename T>
inline void Keep(T value) {
    asm volatile("" : : "r"(value) : "memory");
}

// The passes: the whole text once, or every record once.
std::function<void()> WholePlain(const Text& text, int type) {
    return [&text, type] {
        int status = 0;
        Keep(Lumtrax(type, Destination(), text.whole.data(), LUMTRAX_LINE_END_KEEP, &status));
    };
}

std::function<void()> WholeLrss(const Text& text, int type) {
    return [&text, type] {
        int status = 0;
        Keep(Lumtrax_LRSS(type, Destination(), text.whole.data(), static_cast<int>(text.size()), LUMTRAX_LINE_END_KEEP,
                          &status));
    };
}

std::function<void()> RecordsPlain(const Text& text, int type) {
    return [&text, type] {
        std::uint8_t* dst = Destination();
        const Records& records = text.records;
        int status = 0;
        for (std::size_t k = 0; k < records.starts.size(); ++k) {
            Keep(Lumtrax(type, dst, records.at(k), LUMTRAX_LINE_END_KEEP, &status));
        }
    };
}

std::function<void()> WholeCopy(const Text& text) {
    return [&text] {
        std::memcpy(Destination(), text.whole.data(), text.size());
        Keep(Destination());
    };
}

std::function<void()> RecordsCopy(const Text& text) {
    return [&text] {
        std::uint8_t* dst = Destination();
        const Records& records = text.records;
        for (std::size_t k = 0; k < records.starts.size(); ++k) {
            std::memcpy(dst, records.at(k), records.lengths[k]);
            Keep(dst);
        }
    };
}

std::function<void()> WholeRival(RivalJob& job) {
    return [&job] {
        Keep(job.converter->Convert(Destination(), DestinationCapacity(), job.source.whole.data(), job.source.size()));
    };
}

std::function<void()> RecordsRival(RivalJob& job) {
    return [&job] {
        std::uint8_t* dst = Destination();
        const Records& records = job.source.records;
        for (std::size_t k = 0; k < records.starts.size(); ++k) {
            Keep(job.converter->Convert(dst, DestinationCapacity(), records.at(k), records.lengths[k]));
        }
    };
}

// Three jobs per type: the whole text in plain mode and in LRSS mode, and
// the records. Every job has memcpy of the same Shift-JIS bytes; the plain
// whole text and the records have the rivals that do the same conversion.
// A pass counts the Shift-JIS bytes of the text in both directions.
void AddJobs(std::vector<harness::Job>& jobs, Workload& w) {
    const std::string text = corpus::Name(w.kind);
    auto add_rivals = [&w](harness::Job& job, int type, bool records) {
        for (auto* rivals : {&w.icu, &w.iconv}) {
            for (auto& [rival_type, rival] : *rivals) {
                if (rival_type != type) continue;
                job.contenders.push_back(
                    {rivals == &w.icu ? "icu" : "iconv", records ? RecordsRival(rival) : WholeRival(rival)});
            }
        }
    };
    for (int type : kTypes) {
        const Text& source = w.SourceOf(type);
        harness::Job plain{summary::JobName("whole-plain", text, type), w.sjis.size(), 1, {}};
        plain.contenders = {{"lumtrax", WholePlain(source, type)}, {"memcpy", WholeCopy(w.sjis)}};
        add_rivals(plain, type, false);
        jobs.push_back(std::move(plain));
    }
    for (int type : kTypes) {
        harness::Job lrss{summary::JobName("whole-lrss", text, type), w.sjis.size(), 1, {}};
        lrss.contenders = {{"lumtrax", WholeLrss(w.SourceOf(type), type)}, {"memcpy", WholeCopy(w.sjis)}};
        jobs.push_back(std::move(lrss));
    }
    for (int type : kTypes) {
        const Records& records = w.sjis.records;
        harness::Job job{summary::JobName("records", text, type), records.bytes, records.starts.size(), {}};
        job.contenders = {{"lumtrax", RecordsPlain(w.SourceOf(type), type)}, {"memcpy", RecordsCopy(w.sjis)}};
        add_rivals(job, type, true);
        jobs.push_back(std::move(job));
    }
}

// Whether the level in use is the best the machine has: LUMTRAX_SIMD is
// unset or names no level, or it did not lower the level (it names a higher
// one, or the highest of all).
bool IsBestLevel(const std::string& active) {
    const char* cap = std::getenv("LUMTRAX_SIMD");
    const std::vector<std::string> levels = {"scalar", "sse2", "ssse3", "avx2", "avx512"};
    auto rank = [&levels](const std::string& name) {
        for (std::size_t k = 0; k < levels.size(); ++k) {
            if (levels[k] == name) return static_cast<int>(k);
        }
        return -1;
    };
    if (cap == nullptr || rank(cap) < 0) return true;
    return rank(cap) > rank(active) || rank(cap) == rank("avx512");
}

void PrintMachine(const std::string& level, bool best, const harness::Options& options) {
    char date[64];
    const std::time_t now = std::time(nullptr);
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M %Z", std::localtime(&now));
    const char* cap = std::getenv("LUMTRAX_SIMD");
    std::printf("lumtrax_bench, %s\n", date);
    std::printf("SIMD level: %s (LUMTRAX_SIMD %s%s)\n", level.c_str(), cap ? "=" : "unset", cap ? cap : "");
    if (!best) std::printf("  (capped below the best level this machine has)\n");
    std::printf("CPU: %s\nCPU flags:", harness::CpuModel().c_str());
    for (const auto& [flag, has] : harness::SimdFlags()) std::printf(" %s%s", has ? "" : "no-", flag.c_str());
    std::printf("\nLoad average before: %s\n", harness::LoadAverage().c_str());
    std::printf("%d rounds, samples of at least %.0f ms, %s%s%s\n", options.rounds, options.min_sample_seconds * 1e3,
                options.cpu_time ? "the thread's CPU time" : "the steady clock",
                options.filter.empty() ? "" : ", jobs matching ", options.filter.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    harness::Options options;
    int exit_code = 0;
    if (!harness::ParseOptions(argc, argv, &options, &exit_code)) return exit_code;
    // The C++ library chooses its level by the same rule as liblumtrax.so,
    // whose exports are measured: the CPU, capped by LUMTRAX_SIMD.
    const std::string level = lumtrax::ActiveSimdLevel();
    if (options.level_only) {
        std::printf("%s\n", level.c_str());
        return 0;
    }
    const bool best = IsBestLevel(level);
    PrintMachine(level, best, options);

    std::vector<std::unique_ptr<Workload>> workloads;
    std::vector<std::string> names;
    std::vector<harness::Job> jobs;
    try {
        for (corpus::Kind kind : {corpus::Kind::kJapanese, corpus::Kind::kAscii, corpus::Kind::kKanji}) {
            workloads.push_back(std::make_unique<Workload>(MakeWorkload(kind)));
            const Workload& w = *workloads.back();
            std::printf("%-8s text: %zu bytes, %.1f%% in double-byte characters, %zu records of %zu bytes on average\n",
                        corpus::Name(kind), w.sjis.size(),
                        100.0 * corpus::DoubleByteShare(Bytes(w.sjis.whole.begin(), w.sjis.whole.end() - 1)),
                        w.sjis.records.starts.size(), w.sjis.records.bytes / w.sjis.records.starts.size());
            names.push_back(corpus::Name(kind));
            AddJobs(jobs, *workloads.back());
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lumtrax_bench: %s\n", e.what());
        return 1;
    }
    std::fflush(stdout);

    const std::vector<harness::Measurement> measurements = harness::Run(jobs, options);
    summary::Print(measurements, names, std::vector<int>(std::begin(kTypes), std::end(kTypes)), {level, best});
    std::printf("\nLoad average after: %s\n", harness::LoadAverage().c_str());
    if (!options.tsv_path.empty() && !harness::WriteTsv(options.tsv_path, level, measurements)) {
        std::fprintf(stderr, "lumtrax_bench: cannot write %s\n", options.tsv_path.c_str());
        return 1;
    }
    return 0;
}
