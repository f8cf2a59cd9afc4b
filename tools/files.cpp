#include "files.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <atomic>
#include <cstdint>
#include <optional>

#include "failure.h"

namespace lumtrax_cli {
namespace {

constexpr std::size_t kOutputBufferSize = 1 << 16;
constexpr int kMostLinks = 40;  // as the kernel's ELOOP

// The temporary file to remove when a signal ends the command.
char g_temp_path[4096];
volatile std::sig_atomic_t g_temp_set = 0;

// The signals whose default action ends the process, and which a handler
// can catch.
constexpr int kEndingSignals[] = {SIGHUP,  SIGINT,    SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2,
                                  SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU, SIGPOLL, SIGSYS};

void OnEndingSignal(int signal_number) {
    if (g_temp_set) unlink(g_temp_path);
    // The handler was reset to the default on entry (SA_RESETHAND).
    raise(signal_number);
}

// The mapped inputs, for the SIGBUS handler: a page of a mapping beyond its
// file's end (the file shrank) is mapped afresh as zeros, so that the read
// that touched it goes on, and g_shrank is set for the writer to see. A
// fault anywhere else ends the command as SIGBUS would.
constexpr int kMostMappings = 64;
struct Mapping {
    std::atomic<char*> start{nullptr};
    std::atomic<std::size_t> size{0};
};
Mapping g_mappings[kMostMappings];
std::atomic<bool> g_shrank{false};

void OnBusError(int signal_number, siginfo_t* info, void*) {
    char* const address = static_cast<char*>(info->si_addr);
    for (Mapping& mapping : g_mappings) {
        char* const start = mapping.start.load();
        if (start == nullptr || address < start || address >= start + mapping.size.load()) continue;
        const auto page_size = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
        void* const page = reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(address) & ~(page_size - 1));
        if (mmap(page, page_size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) {
            g_shrank.store(true);
            return;
        }
    }
    signal(signal_number, SIG_DFL);
    raise(signal_number);
}

void WatchForBusErrors() {
    static const bool installed = [] {
        struct sigaction handler {};
        handler.sa_sigaction = OnBusError;
        handler.sa_flags = SA_SIGINFO;
        sigemptyset(&handler.sa_mask);
        sigaction(SIGBUS, &handler, nullptr);
        return true;
    }();
    static_cast<void>(installed);
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

FileIdentity IdentityOf(const struct stat& info) { return {info.st_dev, info.st_ino, S_ISREG(info.st_mode)}; }

// The descriptor number in "PREFIX<digits>", or none.
std::optional<int> NumberAfter(const std::string& path, const std::string& prefix) {
    if (path.compare(0, prefix.size(), prefix) != 0 || path.size() == prefix.size() ||
        path.size() > prefix.size() + 9) {
        return std::nullopt;
    }
    int n = 0;
    for (std::size_t i = prefix.size(); i < path.size(); ++i) {
        if (path[i] < '0' || path[i] > '9') return std::nullopt;
        n = 10 * n + (path[i] - '0');
    }
    return n;
}

// The target of the symbolic link at path, made absolute against its folder;
// none when path is no link.
std::optional<std::string> LinkTarget(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return std::nullopt;
    char target[PATH_MAX];
    const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
    if (n <= 0) return std::nullopt;
    target[n] = '\0';
    if (target[0] == '/') return std::string(target);
    return FolderOf(path) + "/" + target;
}

// The open descriptor that path names, following links: /dev/stdin,
// /dev/stdout, /dev/stderr, /dev/fd/N and /proc/self/fd/N (or this process's
// number for self). Writing through such a name opens the file behind the
// descriptor anew, at offset 0 and without O_APPEND; the descriptor itself
// keeps where its file stands.
std::optional<int> DescriptorNamed(std::string path) {
    const std::string own = "/proc/" + std::to_string(getpid()) + "/fd/";
    for (int hop = 0; hop < kMostLinks; ++hop) {
        if (path == "/dev/stdin") return 0;
        if (path == "/dev/stdout") return 1;
        if (path == "/dev/stderr") return 2;
        for (const std::string& prefix : {std::string("/dev/fd/"), std::string("/proc/self/fd/"), own}) {
            if (const std::optional<int> n = NumberAfter(path, prefix)) return n;
        }
        const std::optional<std::string> next = LinkTarget(path);
        if (!next) return std::nullopt;
        path = *next;
    }
    return std::nullopt;
}

// The file that path names once every symbolic link is followed, whether it
// exists or not (a dangling link names the file it would create).
std::string FileNamed(const std::string& path) {
    std::string at = path;
    for (int hop = 0; hop < kMostLinks; ++hop) {
        const std::optional<std::string> next = LinkTarget(at);
        if (!next) return at;
        at = *next;
    }
    errno = ELOOP;
    Fail(path + ": " + Reason());
}

}  // namespace

StandardStreams OpenStandardStreams() noexcept {
    StandardStreams streams;
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        streams.closed[fd] = true;
        // The lowest free number is fd itself.
        const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) close(opened);
    }
    return streams;
}

void IgnoreWriteSignals() noexcept {
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

void InstallSignalHandlers() noexcept {
    for (const int s : kEndingSignals) {
        struct sigaction current {};
        if (sigaction(s, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
        struct sigaction handler {};
        handler.sa_handler = OnEndingSignal;
        handler.sa_flags = SA_RESETHAND;
        sigemptyset(&handler.sa_mask);
        sigaction(s, &handler, nullptr);
    }
}

InputFile::InputFile(const std::string& path, const StandardStreams& streams) {
    if (path == "-") {
        name_ = "standard input";
        if (streams.closed[0]) Fail("cannot read standard input: it is closed");
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
    identity_ = IdentityOf(info);
}

InputFile::~InputFile() {
    if (map_ != nullptr) {
        for (Mapping& mapping : g_mappings) {
            if (mapping.start.load() == map_) mapping.start.store(nullptr);
        }
        munmap(map_, map_size_);
    }
    if (owned_) close(fd_);
}

std::string_view InputFile::Map() {
    if (known_size_ <= 0 || static_cast<unsigned long long>(known_size_) > SIZE_MAX) return {};
    const auto size = static_cast<std::size_t>(known_size_);
    Mapping* slot = nullptr;
    for (Mapping& mapping : g_mappings) {
        if (mapping.start.load() == nullptr) {
            slot = &mapping;
            break;
        }
    }
    if (slot == nullptr) return {};
    void* map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd_, 0);
    if (map == MAP_FAILED) return {};
    madvise(map, size, MADV_SEQUENTIAL);
    WatchForBusErrors();
    slot->size.store(size);
    slot->start.store(static_cast<char*>(map));
    map_ = map;
    map_size_ = size;
    return std::string_view(static_cast<const char*>(map), size);
}

bool InputFile::Shrank() { return g_shrank.load(); }

void InputFile::Release(std::uint64_t offset) {
    // In steps of a few MiB: each call is a system call.
    constexpr std::size_t kStep = std::size_t{8} << 20;
    const auto page_size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    if (map_ == nullptr || offset < released_ + kStep) return;
    const std::size_t end = static_cast<std::size_t>(offset) / page_size * page_size;
    madvise(static_cast<char*>(map_) + released_, end - released_, MADV_DONTNEED);
    released_ = end;
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

Output::Output(const std::string& path, const StandardStreams& streams) {
    buffer_.reserve(kOutputBufferSize);
    std::optional<int> descriptor;
    if (path.empty() || path == "-") {
        name_ = "standard output";
        descriptor = 1;
    } else {
        name_ = path;
        descriptor = DescriptorNamed(path);
    }
    if (descriptor) {
        if (*descriptor <= 2 && streams.closed[*descriptor]) Fail("cannot write " + name_ + ": it is closed");
        struct stat info {};
        if (fstat(*descriptor, &info) != 0) Fail("cannot write " + name_ + ": " + Reason());
        fd_ = *descriptor;
        identity_ = IdentityOf(info);
        return;
    }
    target_ = FileNamed(path);
    struct stat info {};
    const bool exists = stat(target_.c_str(), &info) == 0;
    if (exists && S_ISDIR(info.st_mode)) Fail(path + ": is a folder");
    if (exists && !S_ISREG(info.st_mode)) {
        // A device or a FIFO: there is nothing to rename onto.
        fd_ = open(target_.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd_ < 0) Fail(path + ": " + Reason());
        owned_ = true;
        identity_ = IdentityOf(info);
        target_.clear();
        return;
    }
    std::string pattern = FolderOf(target_) + "/." + BaseOf(target_) + ".lumtrax-XXXXXX";
    fd_ = mkostemp(&pattern[0], O_CLOEXEC);
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

Output::~Output() {
    if (temp_.empty() && fd_ >= 0 && !buffer_.empty()) {
        // What was converted before a failure stays in output written in
        // place; a second failure to write it changes nothing.
        try {
            Flush();
        } catch (...) {
        }
    }
    Discard();
}

void Output::RefuseAsInput(const InputFile& input) const {
    if (temp_.empty() && identity_.same_file(input.identity())) {
        Fail(input.name() + ": input file is output file");
    }
}

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
    const std::string pending = std::move(buffer_);
    buffer_.clear();
    WriteAll(pending);
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
