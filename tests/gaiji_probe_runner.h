// Runs tests/gaiji_probe in a process of its own, with the gaiji table given
// in its environment: the stand-in server loads a table once per process.
#ifndef LUMTRAX_TESTS_GAIJI_PROBE_RUNNER_H
#define LUMTRAX_TESTS_GAIJI_PROBE_RUNNER_H

#include <string>
#include <vector>

namespace gaiji_probe {

struct Run {
    int status = -1;  // the exit status, or 128 + the signal
    std::string out;
    std::string err;
};

// LUMTRAX_GAIJI_TABLE is table, or unset when table is empty; a library
// folder puts LD_LIBRARY_PATH in front of the build's own.
Run Probe(const std::vector<std::string>& args, const std::string& table, const std::string& library_folder = "");

}  // namespace gaiji_probe

#endif  // LUMTRAX_TESTS_GAIJI_PROBE_RUNNER_H
