#include "summary.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>

namespace summary {
namespace {

constexpr double kMega = 1e6;

// The types that have an ICU counterpart, and the targets.
constexpr int kComparedTypes[] = {0, 3, 4, 7};
constexpr double kJapaneseBytesPerSecond = 1e9;
constexpr double kAsciiBytesPerSecond = 4e9;
constexpr double kTimesIcu = 5.0;
constexpr double kNanosecondsPerRecord = 60.0;

std::string TypeJob(int type) { return "type" + std::to_string(type); }

std::string LoadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one.empty() ? "unknown" : one + " " + five + " " + fifteen;
}

// "12.3" for a ratio, "-" when a side is missing.
std::string Ratio(double ours, double theirs) {
    if (ours <= 0 || theirs <= 0) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", ours / theirs);
    return text;
}

std::string Fixed(double value, int decimals) {
    if (value <= 0) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

}  // namespace

std::string Name(const std::string& scope, const std::string& text, const std::string& job,
                 const std::string& converter) {
    return scope + "/" + text + "/" + job + "/" + converter;
}

void Reporter::ReportRuns(const std::vector<Run>& runs) {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
        if (run.error_occurred) continue;
        const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
        const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
        if (!median && !single) continue;
        Result result;
        const auto bytes = run.counters.find("bytes_per_second");
        const auto items = run.counters.find("items_per_second");
        if (bytes != run.counters.end()) result.bytes_per_second = bytes->second.value;
        if (items != run.counters.end()) result.items_per_second = items->second.value;
        results_[run.run_name.function_name] = result;
    }
}

const Reporter::Result* Reporter::Find(const std::string& name) const {
    const auto found = results_.find(name);
    return found == results_.end() ? nullptr : &found->second;
}

void Reporter::ForEachJob(const std::string& scope, const std::function<void(const Job&)>& print) const {
    for (const std::string& text : texts_) {
        const Result* copy = Find(Name(scope, text, "copy", "memcpy"));
        for (int type : types_) {
            const Result* ours = Find(Name(scope, text, TypeJob(type), "lumtrax"));
            if (ours == nullptr) continue;
            print({text, type, ours, copy, Find(Name(scope, text, TypeJob(type), "icu")),
                   Find(Name(scope, text, TypeJob(type), "iconv"))});
        }
    }
}

void Reporter::PrintWhole() {
    std::printf("\nWhole text in one call (Lumtrax_LRSS with the length), MB/s of source;\n"
                "a ratio is lumtrax's throughput divided by the other's, for the same text.\n\n");
    std::printf("| text | type | lumtrax MB/s | lumtrax / memcpy | ICU MB/s | lumtrax / ICU | iconv MB/s | lumtrax / iconv |\n");
    std::printf("|---|---|---:|---:|---:|---:|---:|---:|\n");
    auto rate = [](const Result* r) { return r ? Fixed(r->bytes_per_second / kMega, 0) : std::string("-"); };
    auto times = [](const Result* ours, const Result* r) {
        return r ? Ratio(ours->items_per_second, r->items_per_second) : std::string("-");
    };
    ForEachJob("whole", [&](const Job& job) {
        std::printf("| %s | %d | %s | %s | %s | %s | %s | %s |\n", job.text.c_str(), job.type, rate(job.ours).c_str(),
                    job.copy ? Ratio(job.ours->bytes_per_second, job.copy->bytes_per_second).c_str() : "-",
                    rate(job.icu).c_str(), times(job.ours, job.icu).c_str(), rate(job.iconv).c_str(),
                    times(job.ours, job.iconv).c_str());
    });
}

void Reporter::PrintRecords() {
    std::printf("\nRecords of 20-200 bytes, one call each (Lumtrax), ns per call;\n"
                "a ratio is lumtrax's calls per second divided by the other's.\n\n");
    std::printf("| text | type | lumtrax ns/call | lumtrax MB/s | lumtrax / memcpy | ICU ns/call | lumtrax / ICU | iconv ns/call | lumtrax / iconv |\n");
    std::printf("|---|---|---:|---:|---:|---:|---:|---:|---:|\n");
    auto per_call = [](const Result* r) {
        return Fixed(r && r->items_per_second > 0 ? 1e9 / r->items_per_second : 0.0, 1);
    };
    auto times = [](const Result* ours, const Result* r) {
        return r ? Ratio(ours->items_per_second, r->items_per_second) : std::string("-");
    };
    ForEachJob("records", [&](const Job& job) {
        std::printf("| %s | %d | %s | %s | %s | %s | %s | %s | %s |\n", job.text.c_str(), job.type,
                    per_call(job.ours).c_str(), Fixed(job.ours->bytes_per_second / kMega, 0).c_str(),
                    times(job.ours, job.copy).c_str(), per_call(job.icu).c_str(), times(job.ours, job.icu).c_str(),
                    per_call(job.iconv).c_str(), times(job.ours, job.iconv).c_str());
    });
}

void Reporter::PrintTargets() {
    std::printf("\nTargets\n\n");
    auto verdict = [](bool met) { return met ? "met" : "NOT met"; };
    // One call on the whole text: every type.
    const struct {
        const char* text;
        double floor;
    } rates[] = {{"japanese", kJapaneseBytesPerSecond}, {"ascii", kAsciiBytesPerSecond}};
    for (const auto& rate : rates) {
        double slowest = 0;
        int slowest_type = -1;
        for (int type : types_) {
            const Result* ours = Find(Name("whole", rate.text, TypeJob(type), "lumtrax"));
            if (ours == nullptr) continue;
            if (slowest_type < 0 || ours->bytes_per_second < slowest) {
                slowest = ours->bytes_per_second;
                slowest_type = type;
            }
        }
        if (slowest_type < 0) continue;
        std::printf("- every type >= %.0f GB/s on the %s text: %s (slowest type %d, %.2f GB/s)\n",
                    rate.floor / 1e9, rate.text, verdict(slowest >= rate.floor), slowest_type,
                    slowest / 1e9);
    }
    // Against ICU, and the time per record.
    for (const char* scope : {"whole", "records"}) {
        for (const std::string& text : texts_) {
            double least = 0;
            int least_type = -1;
            for (int type : kComparedTypes) {
                const Result* ours = Find(Name(scope, text, TypeJob(type), "lumtrax"));
                const Result* icu = Find(Name(scope, text, TypeJob(type), "icu"));
                if (ours == nullptr || icu == nullptr || icu->items_per_second <= 0) continue;
                const double times = ours->items_per_second / icu->items_per_second;
                if (least_type < 0 || times < least) {
                    least = times;
                    least_type = type;
                }
            }
            if (least_type < 0) continue;
            std::printf("- >= %.0fx ICU, %s, %s text: %s (least type %d, %.1fx)\n", kTimesIcu, scope,
                        text.c_str(), verdict(least >= kTimesIcu), least_type, least);
        }
    }
    for (const std::string& text : texts_) {
        double longest = 0;
        int longest_type = -1;
        for (int type : kComparedTypes) {
            const Result* ours = Find(Name("records", text, TypeJob(type), "lumtrax"));
            if (ours == nullptr || ours->items_per_second <= 0) continue;
            const double ns = 1e9 / ours->items_per_second;
            if (longest_type < 0 || ns > longest) {
                longest = ns;
                longest_type = type;
            }
        }
        if (longest_type < 0) continue;
        std::printf("- < %.0f ns per record, types 0 3 4 7, %s text: %s (slowest type %d, %.1f ns)\n",
                    kNanosecondsPerRecord, text.c_str(), verdict(longest < kNanosecondsPerRecord),
                    longest_type, longest);
    }
}

void Reporter::Finalize() {
    ConsoleReporter::Finalize();
    PrintWhole();
    PrintRecords();
    PrintTargets();
    std::printf("\nLoad average at the end: %s\n", LoadAverage().c_str());
    std::fflush(stdout);
}

}  // namespace summary
