#include "progress.h"

#include <unistd.h>

#include <cstdio>

namespace lumtrax_cli {
namespace {

// Inputs smaller than this show no progress.
constexpr long long kProgressThreshold = 16ll << 20;

}  // namespace

Progress::Progress(long long total) : total_(total), enabled_(isatty(2) != 0) {}

void Progress::Advance(std::size_t bytes) {
    done_ += bytes;
    if (!enabled_) return;
    if (total_ >= 0 ? total_ < kProgressThreshold : done_ < kProgressThreshold) return;
    const auto now = std::chrono::steady_clock::now();
    if (shown_ && now - last_ < std::chrono::milliseconds(200)) return;
    last_ = now;
    std::string line = "\rlumtrax: " + std::to_string(done_ >> 20) + " MiB";
    if (total_ > 0) {
        line += " of " + std::to_string(static_cast<unsigned long long>(total_) >> 20) + " MiB (" +
                std::to_string(done_ * 100 / static_cast<unsigned long long>(total_)) + "%)";
    }
    Show(line);
}

void Progress::Clear() {
    if (!shown_) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    shown_ = false;
}

void Progress::Show(const std::string& line) {
    std::fputs(line.c_str(), stderr);
    std::fputs("\033[K", stderr);
    std::fflush(stderr);
    shown_ = true;
}

}  // namespace lumtrax_cli
