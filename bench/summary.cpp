#include "summary.h"

#include <algorithm>
#include <cstdio>

namespace summary {
namespace {

using harness::Measurement;

// The types that have an ICU counterpart (the records target names them too).
const std::vector<int> kComparedTypes = {0, 3, 4, 7};
constexpr double kTimesIcu = 10.0;

struct WholeScope {
    const char* scope;
    const char* mode;
};
constexpr WholeScope kWholeScopes[] = {{"whole-plain", "plain"}, {"whole-lrss", "LRSS"}};

// "12.34" for a ratio, "-" when a side is missing.
std::string Fixed(double value, int decimals) {
    if (!(value > 0)) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

double MegabytesPerSecond(const Measurement* m) { return m ? m->bytes / m->median / 1e6 : 0; }
double NanosecondsPerCall(const Measurement* m) { return m ? m->median / m->calls * 1e9 : 0; }
// lumtrax's rate divided by the other's: the same job, so the inverse ratio of the times.
double Times(const Measurement* ours, const Measurement* theirs) {
    return ours && theirs ? theirs->median / ours->median : 0;
}

class Tables {
public:
    Tables(const std::vector<Measurement>& measurements, const std::vector<std::string>& texts,
           const std::vector<int>& types, const Level& level)
        : measurements_(measurements), texts_(texts), types_(types), level_(level) {}

    void PrintWhole() const;
    void PrintRecords() const;
    void PrintTargets() const;

private:
    const Measurement* Find(const std::string& job, const std::string& converter) const {
        for (const Measurement& m : measurements_) {
            if (m.job == job && m.converter == converter) return &m;
        }
        return nullptr;
    }
    const Measurement* Ours(const std::string& scope, const std::string& text, int type) const {
        return Find(JobName(scope, text, type), "lumtrax");
    }

    // A target over some jobs: each candidate is a label and a value; the
    // worst one decides. Prints nothing when no job of it was run.
    struct Candidate {
        std::string label;
        double value;
    };
    void Judge(const std::string& level, const std::string& what, const std::vector<Candidate>& candidates,
               bool higher_is_better, double bound, const char* unit) const;

    // The whole-text rates (plain and LRSS) of every type on a text, GB/s.
    std::vector<Candidate> WholeRates(const std::string& text) const;
    // ns per record of the types with an ICU counterpart, on a text.
    std::vector<Candidate> RecordTimes(const std::string& text) const;

    const std::vector<Measurement>& measurements_;
    const std::vector<std::string>& texts_;
    const std::vector<int>& types_;
    Level level_;
};

void Tables::PrintWhole() const {
    std::printf(
        "\nWhole text in one call: through Lumtrax (plain mode, the text ending with 00) and through\n"
        "Lumtrax_LRSS with its length. MB/s of Shift-JIS text: for the types 4-7 the Shift-JIS bytes of the\n"
        "same text, not the host bytes read. Each ratio is lumtrax's rate divided by the other's in the same\n"
        "job; the rivals do the plain job.\n\n");
    std::printf(
        "| text | type | plain MB/s | plain / memcpy | LRSS MB/s | LRSS / memcpy | ICU MB/s | plain / ICU | iconv "
        "MB/s | plain / iconv |\n");
    std::printf("|---|---|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const std::string& text : texts_) {
        for (int type : types_) {
            const std::string plain = JobName("whole-plain", text, type);
            const std::string lrss = JobName("whole-lrss", text, type);
            const Measurement* ours = Find(plain, "lumtrax");
            const Measurement* ours_lrss = Find(lrss, "lumtrax");
            if (ours == nullptr && ours_lrss == nullptr) continue;
            const Measurement* icu = Find(plain, "icu");
            const Measurement* iconv = Find(plain, "iconv");
            std::printf("| %s | %d | %s | %s | %s | %s | %s | %s | %s | %s |\n", text.c_str(), type,
                        Fixed(MegabytesPerSecond(ours), 0).c_str(),
                        Fixed(Times(ours, Find(plain, "memcpy")), 2).c_str(),
                        Fixed(MegabytesPerSecond(ours_lrss), 0).c_str(),
                        Fixed(Times(ours_lrss, Find(lrss, "memcpy")), 2).c_str(),
                        Fixed(MegabytesPerSecond(icu), 0).c_str(), Fixed(Times(ours, icu), 2).c_str(),
                        Fixed(MegabytesPerSecond(iconv), 0).c_str(), Fixed(Times(ours, iconv), 2).c_str());
        }
    }
    // memcpy's own rate, the median over the jobs that measured it.
    for (const std::string& text : texts_) {
        std::vector<double> rates;
        for (int type : types_) {
            for (const WholeScope& whole : kWholeScopes) {
                if (const Measurement* m = Find(JobName(whole.scope, text, type), "memcpy")) {
                    rates.push_back(MegabytesPerSecond(m));
                }
            }
        }
        if (rates.empty()) continue;
        std::nth_element(rates.begin(), rates.begin() + rates.size() / 2, rates.end());
        std::printf("%smemcpy of the whole %s text: %.0f MB/s", text == texts_.front() ? "\n" : "; ", text.c_str(),
                    rates[rates.size() / 2]);
    }
    std::printf("\n");
}

void Tables::PrintRecords() const {
    std::printf(
        "\nRecords of 20-200 bytes, one Lumtrax call each (the length computed), ns per call; MB/s of Shift-JIS\n"
        "text as above. Each ratio is lumtrax's calls per second divided by the other's in the same job.\n\n");
    std::printf(
        "| text | type | lumtrax ns/call | lumtrax MB/s | lumtrax / memcpy | ICU ns/call | lumtrax / ICU | iconv "
        "ns/call | lumtrax / iconv |\n");
    std::printf("|---|---|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const std::string& text : texts_) {
        for (int type : types_) {
            const std::string job = JobName("records", text, type);
            const Measurement* ours = Find(job, "lumtrax");
            if (ours == nullptr) continue;
            const Measurement* icu = Find(job, "icu");
            const Measurement* iconv = Find(job, "iconv");
            std::printf("| %s | %d | %s | %s | %s | %s | %s | %s | %s |\n", text.c_str(), type,
                        Fixed(NanosecondsPerCall(ours), 1).c_str(), Fixed(MegabytesPerSecond(ours), 0).c_str(),
                        Fixed(Times(ours, Find(job, "memcpy")), 2).c_str(), Fixed(NanosecondsPerCall(icu), 1).c_str(),
                        Fixed(Times(ours, icu), 2).c_str(), Fixed(NanosecondsPerCall(iconv), 1).c_str(),
                        Fixed(Times(ours, iconv), 2).c_str());
        }
    }
}

void Tables::Judge(const std::string& level, const std::string& what, const std::vector<Candidate>& candidates,
                   bool higher_is_better, double bound, const char* unit) const {
    if (candidates.empty()) return;
    const auto worse = [&](const Candidate& a, const Candidate& b) {
        return higher_is_better ? a.value < b.value : a.value > b.value;
    };
    const Candidate& worst = *std::min_element(candidates.begin(), candidates.end(), worse);
    const bool met = higher_is_better ? worst.value >= bound : worst.value < bound;
    std::printf("- [%s] %s: %s (%s %s, %.2f%s)\n", level.c_str(), what.c_str(), met ? "met" : "NOT met",
                higher_is_better ? "least" : "most", worst.label.c_str(), worst.value, unit);
}

std::vector<Tables::Candidate> Tables::WholeRates(const std::string& text) const {
    std::vector<Candidate> rates;
    for (int type : types_) {
        for (const WholeScope& whole : kWholeScopes) {
            if (const Measurement* m = Ours(whole.scope, text, type)) {
                rates.push_back({"type " + std::to_string(type) + " " + whole.mode, MegabytesPerSecond(m) / 1e3});
            }
        }
    }
    return rates;
}

std::vector<Tables::Candidate> Tables::RecordTimes(const std::string& text) const {
    std::vector<Candidate> times;
    for (int type : kComparedTypes) {
        if (const Measurement* m = Ours("records", text, type)) {
            times.push_back({"type " + std::to_string(type), NanosecondsPerCall(m)});
        }
    }
    return times;
}

void Tables::PrintTargets() const {
    std::printf("\nTargets that concern this run's level (%s%s)\n\n", level_.name.c_str(),
                level_.best ? ", the best this machine has" : "");
    const std::string best = level_.name + ", best level";
    const bool ssse3 = level_.name == "ssse3";
    const bool avx2 = level_.name == "avx2";
    if (level_.best) {
        Judge(best, "japanese whole text, every type >= 4 GB/s", WholeRates("japanese"), true, 4.0, " GB/s");
        Judge(best, "ascii whole text, every type >= 10 GB/s", WholeRates("ascii"), true, 10.0, " GB/s");
        for (const std::string& text : texts_) {
            Judge(best, text + " records, types 0 3 4 7 < 40 ns per call", RecordTimes(text), false, 40.0, " ns");
        }
        for (const char* scope : {"whole-plain", "records"}) {
            for (const std::string& text : texts_) {
                std::vector<Candidate> times;
                for (int type : kComparedTypes) {
                    const std::string job = JobName(scope, text, type);
                    const double ratio = Times(Find(job, "lumtrax"), Find(job, "icu"));
                    if (ratio > 0) times.push_back({"type " + std::to_string(type), ratio});
                }
                Judge(best, std::string(">= 10x ICU, ") + scope + ", " + text + " text", times, true, kTimesIcu, "x");
            }
        }
    }
    if (ssse3) {
        Judge("ssse3", "japanese whole text, every type >= 1.5 GB/s", WholeRates("japanese"), true, 1.5, " GB/s");
        for (const std::string& text : texts_) {
            Judge("ssse3", text + " records, types 0 3 4 7 < 100 ns per call", RecordTimes(text), false, 100.0, " ns");
        }
    }
    if (avx2) {
        Judge("avx2", "japanese whole text, every type >= 2 GB/s", WholeRates("japanese"), true, 2.0, " GB/s");
        Judge("avx2", "ascii whole text, every type >= 5 GB/s", WholeRates("ascii"), true, 5.0, " GB/s");
        for (const std::string& text : texts_) {
            Judge("avx2", text + " records, types 0 3 4 7 < 80 ns per call", RecordTimes(text), false, 80.0, " ns");
        }
    }
    if (!level_.best && !ssse3 && !avx2) std::printf("(no target names this level)\n");
    if (!level_.best) {
        std::printf(
            "(the targets at the best level are judged by a run without LUMTRAX_SIMD; bench/levels runs both)\n");
    }
}

}  // namespace

std::string JobName(const std::string& scope, const std::string& text, int type) {
    return scope + "/" + text + "/type" + std::to_string(type);
}

void Print(const std::vector<Measurement>& measurements, const std::vector<std::string>& texts,
           const std::vector<int>& types, const Level& level) {
    const Tables tables(measurements, texts, types, level);
    tables.PrintWhole();
    tables.PrintRecords();
    tables.PrintTargets();
}

}  // namespace summary
