// The benchmark's closing table: lumtrax beside memcpy, iconv and ICU for
// every job, each rival as a ratio to lumtrax, and the targets met or not.
#ifndef LUMTRAX_BENCH_SUMMARY_H
#define LUMTRAX_BENCH_SUMMARY_H

#include <benchmark/benchmark.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace summary {

// Benchmark names are "<scope>/<text>/<job>/<converter>": scope "whole" or
// "records", job "type0" ... "type10" or "copy", converter "lumtrax",
// "memcpy", "iconv" or "icu".
std::string Name(const std::string& scope, const std::string& text, const std::string& job,
                 const std::string& converter);

// Prints the usual console output and keeps each benchmark's median (or its
// only run) for the table that Finalize prints.
class Reporter : public benchmark::ConsoleReporter {
public:
    Reporter(std::vector<std::string> texts, std::vector<int> types)
        : texts_(std::move(texts)), types_(std::move(types)) {}

    void ReportRuns(const std::vector<Run>& runs) override;
    void Finalize() override;

private:
    struct Result {
        double bytes_per_second = 0;
        double items_per_second = 0;
    };
    // One conversion type on one text, with the rivals' results beside it
    // (null where a rival has none).
    struct Job {
        const std::string& text;
        int type;
        const Result* ours;
        const Result* copy;
        const Result* icu;
        const Result* iconv;
    };
    const Result* Find(const std::string& name) const;
    void ForEachJob(const std::string& scope, const std::function<void(const Job&)>& print) const;
    void PrintWhole();
    void PrintRecords();
    void PrintTargets();

    std::vector<std::string> texts_;
    std::vector<int> types_;
    std::map<std::string, Result> results_;
};

}  // namespace summary

#endif  // LUMTRAX_BENCH_SUMMARY_H
