#include "harness.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>

#include <time.h>

namespace harness {
namespace {

constexpr const char* kUsage =
    "usage: lumtrax_bench [--rounds N] [--min-ms MS] [--filter REGEX] [--quick] [--cpu-time] [--tsv FILE] [--level]\n"
    "  --rounds N      samples per converter and job, medians reported (default 5)\n"
    "  --min-ms MS     a sample repeats its pass for at least MS milliseconds (default 20)\n"
    "  --filter REGEX  only the jobs whose names match, e.g. 'records/japanese' or 'whole-plain/.*/type[04]$'\n"
    "                  (names: whole-plain|whole-lrss|records / japanese|ascii|kanji / type0 ... type10)\n"
    "  --quick         3 rounds of samples of at least 5 ms: a quick look\n"
    "  --cpu-time      time by the CPU time of the thread, not the steady clock: leaves out the time\n"
    "                  other processes had the core (not their share of the caches and memory)\n"
    "  --tsv FILE      also write every measurement to FILE, tab-separated\n"
    "  --level         print the SIMD level in use and stop\n"
    "The level is the highest the CPU has, capped by LUMTRAX_SIMD=scalar|sse2|ssse3|avx2|avx512.\n";

// Seconds of the steady clock, or of the CPU time this thread used.
double Now(bool cpu_time) {
    if (cpu_time) {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Seconds taken by `passes` passes.
double Time(const Contender& contender, int passes, bool cpu_time) {
    const double start = Now(cpu_time);
    for (int k = 0; k < passes; ++k) contender.pass();
    return Now(cpu_time) - start;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// "12.3 ms", "456 us": a time per pass, to the console.
std::string Duration(double seconds) {
    char text[32];
    if (seconds >= 1e-3) {
        std::snprintf(text, sizeof text, "%.2f ms", seconds * 1e3);
    } else {
        std::snprintf(text, sizeof text, "%.1f us", seconds * 1e6);
    }
    return text;
}

bool ParsePositive(const char* text, double* value) {
    char* end = nullptr;
    *value = std::strtod(text, &end);
    return end != text && *end == '\0' && *value > 0;
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options* options, int* exit_code) {
    *exit_code = 2;
    for (int k = 1; k < argc; ++k) {
        const std::string arg = argv[k];
        const bool has_value = k + 1 < argc;
        double value = 0;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            *exit_code = 0;
            return false;
        } else if (arg == "--quick") {
            options->rounds = 3;
            options->min_sample_seconds = 0.005;
        } else if (arg == "--cpu-time") {
            options->cpu_time = true;
        } else if (arg == "--level") {
            options->level_only = true;
        } else if (arg == "--rounds" && has_value && ParsePositive(argv[k + 1], &value) && value == std::floor(value)) {
            options->rounds = static_cast<int>(value);
            ++k;
        } else if (arg == "--min-ms" && has_value && ParsePositive(argv[k + 1], &value)) {
            options->min_sample_seconds = value / 1e3;
            ++k;
        } else if (arg == "--filter" && has_value) {
            options->filter = argv[++k];
            try {
                std::regex check(options->filter);
            } catch (const std::regex_error&) {
                std::fprintf(stderr, "lumtrax_bench: not a regular expression: %s\n", options->filter.c_str());
                return false;
            }
        } else if (arg == "--tsv" && has_value) {
            options->tsv_path = argv[++k];
        } else {
            std::fprintf(stderr, "lumtrax_bench: bad option or value: %s\n%s", arg.c_str(), kUsage);
            return false;
        }
    }
    return true;
}

std::vector<Measurement> Run(const std::vector<Job>& jobs, const Options& options) {
    const std::regex filter(options.filter);
    std::vector<Measurement> measurements;
    for (const Job& job : jobs) {
        if (!std::regex_search(job.name, filter)) continue;
        const std::size_t count = job.contenders.size();
        // The warm-up pass, then one timed pass that sets the sample's length.
        std::vector<int> passes(count);
        for (std::size_t c = 0; c < count; ++c) {
            job.contenders[c].pass();
            const double once = Time(job.contenders[c], 1, options.cpu_time);
            passes[c] = std::max(1, static_cast<int>(std::ceil(options.min_sample_seconds / std::max(once, 1e-9))));
        }
        std::vector<std::vector<double>> samples(count);
        for (int round = 0; round < options.rounds; ++round) {
            for (std::size_t k = 0; k < count; ++k) {
                const std::size_t c = (round + k) % count;
                samples[c].push_back(Time(job.contenders[c], passes[c], options.cpu_time) / passes[c]);
            }
        }
        std::fprintf(stderr, "%-26s", job.name.c_str());
        for (std::size_t c = 0; c < count; ++c) {
            Measurement m;
            m.job = job.name;
            m.converter = job.contenders[c].converter;
            m.bytes = job.bytes;
            m.calls = job.calls;
            m.median = Median(samples[c]);
            m.fastest = *std::min_element(samples[c].begin(), samples[c].end());
            m.slowest = *std::max_element(samples[c].begin(), samples[c].end());
            std::fprintf(stderr, "  %s %s (%.0f%%)", m.converter.c_str(), Duration(m.median).c_str(),
                         100 * (m.slowest - m.fastest) / m.median);
            measurements.push_back(m);
        }
        std::fprintf(stderr, "\n");
    }
    return measurements;
}

bool WriteTsv(const std::string& path, const std::string& level, const std::vector<Measurement>& measurements) {
    std::ofstream out(path);
    out.precision(9);
    out << "level\tjob\tconverter\tbytes\tcalls\tmedian\tfastest\tslowest\n";
    for (const Measurement& m : measurements) {
        out << level << '\t' << m.job << '\t' << m.converter << '\t' << m.bytes << '\t' << m.calls << '\t' << m.median
            << '\t' << m.fastest << '\t' << m.slowest << '\n';
    }
    return static_cast<bool>(out);
}

std::string CpuModel() {
    std::ifstream in("/proc/cpuinfo");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("model name", 0) == 0 && line.find(':') != std::string::npos) {
            return line.substr(line.find(':') + 2);
        }
    }
    return "unknown";
}

std::vector<std::pair<std::string, bool>> SimdFlags() {
    std::ifstream in("/proc/cpuinfo");
    std::string flags;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("flags", 0) == 0) {
            flags = " " + line.substr(line.find(':') + 1) + " ";
            break;
        }
    }
    std::vector<std::pair<std::string, bool>> result;
    for (const char* name : {"sse2", "ssse3", "avx2", "bmi2", "avx512bw", "avx512vl", "avx512vbmi", "avx512vbmi2"}) {
        // The kernel spells some of them avx512_vbmi2.
        std::string spelled = name;
        if (spelled.rfind("avx512", 0) == 0) spelled.insert(6, "_");
        const bool has = flags.find(" " + std::string(name) + " ") != std::string::npos ||
                         flags.find(" " + spelled + " ") != std::string::npos;
        result.emplace_back(name, has);
    }
    return result;
}

std::string LoadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one.empty() ? "unknown" : one + " " + five + " " + fifteen;
}

}  // namespace harness
