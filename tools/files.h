// The command's input and output files. Output to a file goes to a temporary
// file beside it, renamed over it only when everything has been written, so
// that a failure never leaves a partial output file.
#ifndef LUMTRAX_TOOLS_FILES_H
#define LUMTRAX_TOOLS_FILES_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lumtrax_cli {

// One input: a file, or standard input for "-".
class InputFile {
public:
    explicit InputFile(const std::string& path);  // throws Failure (exit 3)
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    // The path, or "standard input".
    const std::string& name() const { return name_; }
    // The size of a regular file; -1 when it cannot be known beforehand.
    long long known_size() const { return known_size_; }
    // Appends up to max bytes to out; returns how many, 0 at the end. While
    // a pipe or terminal has nothing to read, gives up (returns 0) once stop
    // is set.
    std::size_t Read(std::string& out, std::size_t max, const std::atomic<bool>* stop = nullptr);

private:
    std::string name_;
    int fd_ = -1;
    bool owned_ = false;
    long long known_size_ = -1;
};

// The output: standard output (path "" or "-"), a device or pipe named by
// path (written in place), or a regular file (written through a temporary
// file in the same folder and renamed into place by Commit).
class Output {
public:
    explicit Output(const std::string& path);  // throws Failure (exit 3)
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;
    // Without Commit, the temporary file is removed: no output file appears.
    ~Output();

    void Write(std::string_view bytes);  // buffered; throws Failure (exit 3)
    void Commit();                       // throws Failure (exit 3)
    const std::string& name() const { return name_; }

private:
    void Flush();
    void WriteAll(std::string_view bytes);
    void Discard() noexcept;

    std::string name_;
    std::string target_;  // the file to rename onto, or empty
    std::string temp_;    // the temporary file, or empty
    int fd_ = 1;
    bool owned_ = false;
    std::string buffer_;
};

// Ignores SIGXFSZ (so that a file-size limit gives a write error instead of
// killing the command) and removes the temporary output file on SIGINT,
// SIGTERM and SIGHUP before dying of the signal.
void InstallSignalHandlers();

}  // namespace lumtrax_cli

#endif  // LUMTRAX_TOOLS_FILES_H
