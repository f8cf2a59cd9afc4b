// Throughput of lumtrax against memcpy, glibc iconv and ICU on the same
// texts, in the same run. See bench/README.md.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "corpus.h"
#include "lumtrax.h"
#include "rivals.h"
#include "summary.h"

namespace {

using corpus::Bytes;

constexpr std::size_t kTextSize = 4u << 20;  // 4 MiB: the working copy is a heap block

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
void AddRivalPair(std::vector<std::pair<int, RivalJob>>& jobs, const Text& sjis, int forward_type,
                  int reverse_type, std::unique_ptr<rivals::Converter> forward,
                  std::unique_ptr<rivals::Converter> reverse) {
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
    for (int k = 0; k < 4; ++k) w.host[k] = Transform(w.sjis, LumtraxPlain(forward[k]));
    AddRivalPair(w.icu, w.sjis, 0, 4, rivals::OpenIcu(kIcuShiftJis, kIcuEbcdic),
                 rivals::OpenIcu(kIcuEbcdic, kIcuShiftJis));
    AddRivalPair(w.icu, w.sjis, 3, 7, rivals::OpenIcu(kIcuShiftJis, kIcuEuc),
                 rivals::OpenIcu(kIcuEuc, kIcuShiftJis));
    AddRivalPair(w.iconv, w.sjis, 3, 7, rivals::OpenIconv("SHIFT_JIS", "EUC-JP"),
                 rivals::OpenIconv("EUC-JP", "SHIFT_JIS"));
    return w;
}

// Rates: bytes of source per second, and texts or records per second.
void SetRates(benchmark::State& state, std::size_t bytes_per_pass, std::size_t items_per_pass) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes_per_pass));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * items_per_pass));
}

void WholeLumtrax(benchmark::State& state, const Text* text, int type) {
    std::uint8_t* dst = Destination();
    const int len = static_cast<int>(text->size());
    int status = 0;
    for (auto _ : state) {
        const int n = Lumtrax_LRSS(type, dst, text->whole.data(), len, LUMTRAX_LINE_END_KEEP, &status);
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    SetRates(state, text->size(), 1);
}

void RecordsLumtrax(benchmark::State& state, const Text* text, int type) {
    std::uint8_t* dst = Destination();
    const Records& records = text->records;
    int status = 0;
    for (auto _ : state) {
        for (std::size_t k = 0; k < records.starts.size(); ++k) {
            const int n = Lumtrax(type, dst, records.at(k), LUMTRAX_LINE_END_KEEP, &status);
            benchmark::DoNotOptimize(n);
            benchmark::ClobberMemory();
        }
    }
    SetRates(state, records.bytes, records.starts.size());
}

void WholeMemcpy(benchmark::State& state, const Text* text) {
    std::uint8_t* dst = Destination();
    for (auto _ : state) {
        std::memcpy(dst, text->whole.data(), text->size());
        benchmark::ClobberMemory();
    }
    SetRates(state, text->size(), 1);
}

void RecordsMemcpy(benchmark::State& state, const Text* text) {
    std::uint8_t* dst = Destination();
    const Records& records = text->records;
    for (auto _ : state) {
        for (std::size_t k = 0; k < records.starts.size(); ++k) {
            std::memcpy(dst, records.at(k), records.lengths[k]);
            benchmark::ClobberMemory();
        }
    }
    SetRates(state, records.bytes, records.starts.size());
}

void WholeRival(benchmark::State& state, RivalJob* job) {
    std::uint8_t* dst = Destination();
    for (auto _ : state) {
        const long n = job->converter->Convert(dst, DestinationCapacity(), job->source.whole.data(), job->source.size());
        if (n < 0) state.SkipWithError("conversion failed");
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    SetRates(state, job->source.size(), 1);
}

void RecordsRival(benchmark::State& state, RivalJob* job) {
    std::uint8_t* dst = Destination();
    const Records& records = job->source.records;
    for (auto _ : state) {
        for (std::size_t k = 0; k < records.starts.size(); ++k) {
            const long n = job->converter->Convert(dst, DestinationCapacity(), records.at(k), records.lengths[k]);
            benchmark::DoNotOptimize(n);
            benchmark::ClobberMemory();
        }
    }
    SetRates(state, records.bytes, records.starts.size());
}

void Register(Workload& w) {
    const std::string text = corpus::Name(w.kind);
    using summary::Name;
    benchmark::RegisterBenchmark(Name("whole", text, "copy", "memcpy").c_str(), WholeMemcpy, &w.sjis);
    benchmark::RegisterBenchmark(Name("records", text, "copy", "memcpy").c_str(), RecordsMemcpy, &w.sjis);
    for (int type : kTypes) {
        const std::string job = "type" + std::to_string(type);
        const Text* source = &w.SourceOf(type);
        benchmark::RegisterBenchmark(Name("whole", text, job, "lumtrax").c_str(), WholeLumtrax, source, type);
        benchmark::RegisterBenchmark(Name("records", text, job, "lumtrax").c_str(), RecordsLumtrax, source, type);
        for (auto* rivals : {&w.icu, &w.iconv}) {
            const char* who = rivals == &w.icu ? "icu" : "iconv";
            for (auto& [rival_type, rival] : *rivals) {
                if (rival_type != type) continue;
                benchmark::RegisterBenchmark(Name("whole", text, job, who).c_str(), WholeRival, &rival);
                benchmark::RegisterBenchmark(Name("records", text, job, who).c_str(), RecordsRival, &rival);
            }
        }
    }
}

// Repetitions and medians unless the command line asks otherwise.
std::vector<char*> WithDefaults(int argc, char** argv) {
    static char repetitions[] = "--benchmark_repetitions=5";
    static char aggregates[] = "--benchmark_report_aggregates_only=true";
    std::vector<char*> args(argv, argv + argc);
    bool has_repetitions = false;
    for (int k = 1; k < argc; ++k) {
        if (std::strncmp(argv[k], "--benchmark_repetitions", 23) == 0) has_repetitions = true;
    }
    if (!has_repetitions) {
        args.push_back(repetitions);
        args.push_back(aggregates);
    }
    return args;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<char*> args = WithDefaults(argc, argv);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;

    std::vector<std::unique_ptr<Workload>> workloads;
    std::vector<std::string> names;
    for (corpus::Kind kind : {corpus::Kind::kJapanese, corpus::Kind::kAscii, corpus::Kind::kKanji}) {
        workloads.push_back(std::make_unique<Workload>(MakeWorkload(kind)));
        const Workload& w = *workloads.back();
        std::printf("%-8s text: %zu bytes, %.1f%% in double-byte characters, %zu records of %zu bytes on average\n",
                    corpus::Name(kind), w.sjis.size(), 100.0 * corpus::DoubleByteShare(Bytes(w.sjis.whole.begin(), w.sjis.whole.end() - 1)),
                    w.sjis.records.starts.size(), w.sjis.records.bytes / w.sjis.records.starts.size());
        names.push_back(corpus::Name(kind));
        Register(*workloads.back());
    }
    summary::Reporter reporter(names, std::vector<int>(std::begin(kTypes), std::end(kTypes)));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
