// A progress line on standard error while large inputs are read, when
// standard error is a terminal.
#ifndef LUMTRAX_TOOLS_PROGRESS_H
#define LUMTRAX_TOOLS_PROGRESS_H

#include <chrono>
#include <cstddef>
#include <string>

namespace lumtrax_cli {

class Progress {
public:
    // total: the bytes of all inputs, or -1 when not known beforehand.
    explicit Progress(long long total);
    ~Progress() { Clear(); }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // bytes more have been read.
    void Advance(std::size_t bytes);
    // Takes the line away.
    void Clear();

private:
    void Show(const std::string& line);

    long long total_;
    bool enabled_;
    bool shown_ = false;
    unsigned long long done_ = 0;
    std::chrono::steady_clock::time_point last_{};
};

}  // namespace lumtrax_cli

#endif  // LUMTRAX_TOOLS_PROGRESS_H
