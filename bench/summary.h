// The benchmark's tables: lumtrax beside memcpy, iconv and ICU for every
// job, each rival as a ratio to lumtrax, and the targets that concern the
// SIMD level of the run, met or not.
#ifndef LUMTRAX_BENCH_SUMMARY_H
#define LUMTRAX_BENCH_SUMMARY_H

#include <string>
#include <vector>

#include "harness.h"

namespace summary {

// Job names are "<scope>/<text>/type<N>": scope "whole-plain" (the whole
// text through Lumtrax), "whole-lrss" (through Lumtrax_LRSS with its length)
// or "records" (one Lumtrax call per record).
std::string JobName(const std::string& scope, const std::string& text, int type);

// The SIMD level of the run, and whether it is the best the machine has
// (the targets "at the best level" are judged only then).
struct Level {
    std::string name;
    bool best = false;
};

void Print(const std::vector<harness::Measurement>& measurements, const std::vector<std::string>& texts,
           const std::vector<int>& types, const Level& level);

}  // namespace summary

#endif  // LUMTRAX_BENCH_SUMMARY_H
