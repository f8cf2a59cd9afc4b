// The command's input and output files, its standard streams and its
// signals. Output to a regular file goes to a temporary file beside it,
// renamed over it only when everything has been written, so that a failure
// never leaves a partial output file; any other output is written in place.
#ifndef LUMTRAX_TOOLS_FILES_H
#define LUMTRAX_TOOLS_FILES_H

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lumtrax_cli {

// Which of the standard streams 0-2 the command was started without. Each
// closed one is opened on /dev/null first thing, so that no file the command
// opens later takes its number (a temporary output file on 2 would receive
// the diagnostics); reading from a closed standard input or writing to a
// closed standard output is then an error, not an empty text.
struct StandardStreams {
    bool closed[3] = {false, false, false};
};
StandardStreams OpenStandardStreams() noexcept;

// Ignores SIGPIPE (a closed pipe is a write error, exit status 3) and
// SIGXFSZ (a file-size limit is a write error, not death). Call first.
void IgnoreWriteSignals() noexcept;

// Removes the temporary output file on the signals that end the command by
// default (SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, ...)
// before dying of the signal. A signal inherited as ignored (nohup) stays
// ignored. SIGKILL cannot be caught: it leaves the temporary file.
void InstallSignalHandlers() noexcept;

// Which file an open descriptor is, for telling an input from the output.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool regular = false;
    bool same_file(const FileIdentity& other) const {
        return regular && other.regular && device == other.device && inode == other.inode;
    }
};

// One input: a file, or standard input for "-".
class InputFile {
public:
    InputFile(const std::string& path, const StandardStreams& streams);  // throws Failure (exit 3)
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    // The path, or "standard input".
    const std::string& name() const { return name_; }
    // The size of a regular file; -1 when it cannot be known beforehand.
    long long known_size() const { return known_size_; }
    const FileIdentity& identity() const { return identity_; }
    // Appends up to max bytes to out; returns how many, 0 at the end. While
    // a pipe or terminal has nothing to read, gives up (returns 0) once stop
    // is set.
    std::size_t Read(std::string& out, std::size_t max, const std::atomic<bool>* stop = nullptr);

    // A regular file mapped into memory, read by the pages the conversions
    // touch instead of copied: its bytes as they were when opened, or empty
    // (and mapped() false) where it cannot be mapped (a pipe, a device, an
    // empty file). A file that shrinks while it is mapped does not end the
    // command by SIGBUS: the pages it lost read as 00, and Shrank() tells.
    std::string_view Map();
    bool mapped() const { return map_ != nullptr; }
    // True once a page of a mapped input was found beyond its file's end.
    static bool Shrank();
    // The pages of the mapping before offset are done with: gives them back.
    void Release(std::uint64_t offset);

private:
    std::string name_;
    int fd_ = -1;
    bool owned_ = false;
    long long known_size_ = -1;
    FileIdentity identity_;
    void* map_ = nullptr;
    std::size_t map_size_ = 0;
    std::size_t released_ = 0;
};

// The output: standard output (path "" or "-"); a descriptor named by path
// (/dev/stdout, /dev/stderr, /dev/fd/N, /proc/self/fd/N, or a link to one),
// written where it stands, so that the file behind it keeps what it holds
// and is appended to when it was opened so; a device or FIFO, written in
// place; or a regular file (through a symbolic link, even a dangling one,
// the file it names), written through a temporary file in the same folder
// and renamed into place by Commit.
class Output {
public:
    Output(const std::string& path, const StandardStreams& streams);  // throws Failure (exit 3)
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;
    // Without Commit, the temporary file is removed: no output file appears.
    // Output written in place gets what was written before the failure.
    ~Output();

    void Write(std::string_view bytes);  // buffered; throws Failure (exit 3)
    void Commit();                       // throws Failure (exit 3)
    const std::string& name() const { return name_; }
    // Throws Failure (exit 3) when the output is written in place to a
    // regular file that is also the input: it would read what it writes.
    void RefuseAsInput(const InputFile& input) const;

private:
    void Flush();
    void WriteAll(std::string_view bytes);
    void Discard() noexcept;

    std::string name_;
    std::string target_;  // the file to rename onto, or empty
    std::string temp_;    // the temporary file, or empty
    int fd_ = 1;
    bool owned_ = false;
    FileIdentity identity_;  // of a file written in place
    std::string buffer_;
};

}  // namespace lumtrax_cli

#endif  // LUMTRAX_TOOLS_FILES_H
