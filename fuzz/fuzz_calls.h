// Calls into the library as the fuzz targets make them. Every source and
// every destination is a heap block of its own, exactly as long as the call
// may read or write by the documented rules, so that AddressSanitizer stops
// at the first byte read or written beyond them. Each result is checked
// against what holds for every input, and against the same call at every
// kernel level the machine has (each must give what the plain loops give);
// a violation aborts with a message, which the fuzzer reports as a finding.
#ifndef LUMTRAX_FUZZ_FUZZ_CALLS_H
#define LUMTRAX_FUZZ_FUZZ_CALLS_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fuzz {

using Bytes = std::vector<std::uint8_t>;

enum class Export { kPlain, kLrss, kNoShift };

struct Request {
    Export how = Export::kPlain;
    int type = 0;
    int mode = 0;
    // Lumtrax_LRSS only: 0 computes the length, a negative length is an
    // empty text, a positive one counts source bytes.
    int len = 0;
    bool null_dst = false;
    bool null_src = false;
    bool null_status = false;
};

struct Outcome {
    int result;
    int status;
    Bytes text;  // the bytes before the terminator (empty for -1)
};

// Runs one conversion export. With a positive len, source holds the len
// counted bytes and the byte after them, len + 1 bytes in all. Otherwise
// source is raw material: the call gets the text that a caller would pass,
// cut from it (and ended by 00 bytes where it has none) as the type's length
// rule reads it; a negative len gets an empty block.
Outcome Convert(const Request& request, const Bytes& source);

// Aborts with the message when the condition fails.
void Require(bool condition, const char* what);

// Reads the fuzzer's input front to back; past its end every byte is 0.
class InputReader {
public:
    InputReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    Bytes Rest() {
        Bytes rest(data_ + at_, data_ + size_);
        at_ = size_;
        return rest;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

}  // namespace fuzz

#endif  // LUMTRAX_FUZZ_FUZZ_CALLS_H
