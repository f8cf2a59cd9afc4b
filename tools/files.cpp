#include "files.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "failure.h"

namespace lumtrax_cli {
namespace {

constexpr std::size_t kOutputBufferSize = 1 << 16;

// The temporary file to remove when a signal ends the command.
char g_temp_path[4096];
volatile std::sig_atomic_t g_temp_set = 0;

void OnFatalSignal(int signal_number) {
    if (g_temp_set) unlink(g_temp_path);
    std::signal(signal_number, SIG_DFL);
    raise(signal_number);
}

void RememberTemp(const std::string& path) {
    if (path.size() >= sizeof g_temp_path) return;
    g_temp_set = 0;
    std::memcpy(g_temp_path, path.c_str(), path.size() + 1);
    g_temp_set = 1;
}

void ForgetTemp() { g_temp_set = 0; }

std::string Reason() { return std::strerror(errno); }

[[noreturn]] void Fail(const std::string& message) { throw Failure(kExitInputOutput, message); }

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

void InstallSignalHandlers() {
    std::signal(SIGXFSZ, SIG_IGN);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) std::signal(s, OnFatalSignal);
}

InputFile::InputFile(const std::string& path) {
    if (path == "-") {
        name_ = "standard input";
        fd_ = 0;
    } else {
        name_ = path;
        fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) Fail(path + ": " + Reason());
        owned_ = true;
    }
    struct stat info {};
    if (fstat(fd_, &info) != 0) Fail(name_ + ": " + Reason());
    if (S_ISDIR(info.st_mode)) Fail(name_ + ": is a folder");
    if (S_ISREG(info.st_mode)) known_size_ = static_cast<long long>(info.st_size);
}

InputFile::~InputFile() {
    if (owned_) close(fd_);
}

std::size_t InputFile::Read(std::string& out, std::size_t max, const std::atomic<bool>* stop) {
    if (stop != nullptr && known_size_ < 0) {
        pollfd ready{fd_, POLLIN, 0};
        for (;;) {
            const int n = poll(&ready, 1, 100);
            if (n > 0 || (n < 0 && errno != EINTR)) break;  // ready, or an error read reports
            if (stop->load()) return 0;
        }
    }
    const std::size_t old_size = out.size();
    out.resize(old_size + max);
    for (;;) {
        const ssize_t n = read(fd_, &out[old_size], max);
        if (n >= 0) {
            out.resize(old_size + static_cast<std::size_t>(n));
            return static_cast<std::size_t>(n);
        }
        if (errno != EINTR) {
            const std::string reason = Reason();
            out.resize(old_size);
            Fail("cannot read " + name_ + ": " + reason);
        }
    }
}

Output::Output(const std::string& path) {
    buffer_.reserve(kOutputBufferSize);
    if (path.empty() || path == "-") {
        name_ = "standard output";
        return;
    }
    name_ = path;
    struct stat info {};
    const bool exists = stat(path.c_str(), &info) == 0;
    if (exists && S_ISDIR(info.st_mode)) Fail(path + ": is a folder");
    if (exists && !S_ISREG(info.st_mode)) {
        // A device or a pipe: there is nothing to rename onto.
        fd_ = open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd_ < 0) Fail(path + ": " + Reason());
        owned_ = true;
        return;
    }
    // Through a symbolic link, the file it names is replaced, not the link.
    target_ = path;
    if (exists) {
        char* real = realpath(path.c_str(), nullptr);
        if (real != nullptr) {
            target_ = real;
            std::free(real);
        }
    }
    std::string pattern = FolderOf(target_) + "/." + BaseOf(target_) + ".lumtrax-XXXXXX";
    fd_ = mkstemp(&pattern[0]);
    if (fd_ < 0) Fail("cannot write " + path + ": " + Reason());
    owned_ = true;
    temp_ = pattern;
    RememberTemp(temp_);
    // The mode an existing file has, else what a new file gets.
    mode_t mode = 0;
    if (exists) {
        mode = info.st_mode & 07777;
        // The owner too where that is allowed (as root); else the caller's it is.
        const int owner_kept = fchown(fd_, info.st_uid, info.st_gid);
        static_cast<void>(owner_kept);
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    if (fchmod(fd_, mode) != 0) {
        const std::string reason = Reason();
        Discard();
        Fail("cannot write " + path + ": " + reason);
    }
}

Output::~Output() { Discard(); }

void Output::Discard() noexcept {
    if (owned_ && fd_ >= 0) close(fd_);
    fd_ = -1;
    owned_ = false;
    if (!temp_.empty()) {
        unlink(temp_.c_str());
        ForgetTemp();
        temp_.clear();
    }
}

void Output::Write(std::string_view bytes) {
    if (buffer_.size() + bytes.size() > kOutputBufferSize) Flush();
    if (bytes.size() >= kOutputBufferSize) {
        WriteAll(bytes);
    } else {
        buffer_.append(bytes.data(), bytes.size());
    }
}

void Output::Flush() {
    WriteAll(buffer_);
    buffer_.clear();
}

void Output::WriteAll(std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const std::string reason = n < 0 ? Reason() : "nothing written";
            Fail("cannot write " + name_ + ": " + reason);
        }
        done += static_cast<std::size_t>(n);
    }
}

void Output::Commit() {
    Flush();
    if (temp_.empty()) {
        if (owned_ && close(fd_) != 0) {
            fd_ = -1;
            Fail("cannot write " + name_ + ": " + Reason());
        }
        owned_ = false;
        return;
    }
    if (fsync(fd_) != 0) Fail("cannot write " + name_ + ": " + Reason());
    const int closed = close(fd_);
    fd_ = -1;
    owned_ = false;
    if (closed != 0) Fail("cannot write " + name_ + ": " + Reason());
    if (rename(temp_.c_str(), target_.c_str()) != 0) Fail("cannot write " + name_ + ": " + Reason());
    ForgetTemp();
    temp_.clear();
}

}  // namespace lumtrax_cli
