// The row a decoder is writing: a buffer of the decoder's own, grown only
// while rows grow, written through a pointer, and appended to the caller's
// string once per row. It keeps kSlack bytes of room past what a write
// asks for, so that short copies move whole 16-byte blocks.
#ifndef LUMTRAX_DATASET_ROW_BUFFER_H
#define LUMTRAX_DATASET_ROW_BUFFER_H

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>
#include <vector>

namespace lumtrax {
namespace dataset {

class RowBuffer {
public:
    static constexpr std::size_t kSlack = 16;

    // Room for n bytes (and the slack) at the end; Commit says where the
    // written bytes end.
    char* Reserve(std::size_t n) {
        if (used_ + n + kSlack > data_.size()) data_.resize(std::max(2 * data_.size(), used_ + n + kSlack + 256));
        return data_.data() + used_;
    }
    void Commit(const char* end) { used_ = static_cast<std::size_t>(end - data_.data()); }

    void push_back(char c) {
        *Reserve(1) = c;
        ++used_;
    }
    void append(const char* s, std::size_t n) {
        char* p = Reserve(n);
        if (n > 0) std::memcpy(p, s, n);
        used_ += n;
    }
    void append(std::string_view s) { append(s.data(), s.size()); }
    // n bytes of s, which must be readable up to n rounded up to 16.
    void AppendPadded(const char* s, std::size_t n) {
        char* p = Reserve(n);
        for (std::size_t i = 0; i < n; i += 16) std::memcpy(p + i, s + i, 16);
        used_ += n;
    }
    void clear() { used_ = 0; }
    std::string_view view() const { return {data_.data(), used_}; }

private:
    std::vector<char> data_;
    std::size_t used_ = 0;
};

}  // namespace dataset
}  // namespace lumtrax

#endif  // LUMTRAX_DATASET_ROW_BUFFER_H
