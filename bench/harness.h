// The benchmark's timing loop: for each job, the converters that do it take
// their samples in turn, one each per round, so that a change in the
// machine's load falls on all of them alike. Medians over the rounds.
#ifndef LUMTRAX_BENCH_HARNESS_H
#define LUMTRAX_BENCH_HARNESS_H

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace harness {

struct Options {
    int rounds = 5;                     // samples per converter and job
    double min_sample_seconds = 0.020;  // a sample repeats its pass at least this long
    std::string filter;                 // a regular expression searched in the job names
    std::string tsv_path;               // where the measurements go as tab-separated lines
    bool cpu_time = false;              // the thread's CPU time instead of the steady clock
    bool level_only = false;            // print the SIMD level in use and stop
};

// Reads the command line into options. Returns false after printing the
// usage (to stdout for --help, with *exit_code 0) or an error (stderr, 2).
bool ParseOptions(int argc, char** argv, Options* options, int* exit_code);

// One converter's pass over a job's text: the whole text once, or every
// record once.
struct Contender {
    std::string converter;  // "lumtrax", "memcpy", "icu" or "iconv"
    std::function<void()> pass;
};

// One job, named "<scope>/<text>/<type>", with what a pass amounts to: the
// Shift-JIS bytes of the text (whatever the converters read) and the calls.
struct Job {
    std::string name;
    std::size_t bytes = 0;
    std::size_t calls = 0;
    std::vector<Contender> contenders;
};

// A converter's result on a job: seconds per pass.
struct Measurement {
    std::string job;
    std::string converter;
    std::size_t bytes = 0;
    std::size_t calls = 0;
    double median = 0;
    double fastest = 0;
    double slowest = 0;
};

// The jobs whose names match the filter. For each: a warm-up pass per
// converter, which also sets how many passes make a sample; then the rounds,
// each converter taking one sample per round, in an order that turns by one
// every round. Prints a line per job to stderr as it goes.
std::vector<Measurement> Run(const std::vector<Job>& jobs, const Options& options);

// Writes the measurements as "level job converter bytes calls median
// fastest slowest" lines separated by tabs, seconds per pass.
bool WriteTsv(const std::string& path, const std::string& level, const std::vector<Measurement>& measurements);

// What the machine is: the CPU's model name, its SIMD flags that the
// kernels care about (each with whether the CPU has it), and the load
// average over 1, 5 and 15 minutes.
std::string CpuModel();
std::vector<std::pair<std::string, bool>> SimdFlags();
std::string LoadAverage();

}  // namespace harness

#endif  // LUMTRAX_BENCH_HARNESS_H
