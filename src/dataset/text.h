// The text of a record's fields, between the host code and UTF-8, as the
// dataset code needs it (text.cpp).
#ifndef LUMTRAX_DATASET_TEXT_H
#define LUMTRAX_DATASET_TEXT_H

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "lumtrax_dataset.hpp"

namespace lumtrax {
namespace dataset {

// Mixed text has single bytes and shift codes (or sequences) around double-
// byte runs; double-byte text has pairs only, no shift codes (PIC G).
enum class TextForm { kMixed, kDoubleByte };

// ok, or the first bad range: bytes [bad_begin, bad_end) of the input (host
// bytes when decoding, UTF-8 bytes when encoding). replaced is 1 when a
// substitute was put in (kReplace).
struct TextOutcome {
    bool ok = true;
    std::size_t bad_begin = 0;
    std::size_t bad_end = 0;
    std::size_t replaced = 0;
};

// One per thread: it keeps its working buffers, so that a warm codec
// allocates nothing.
class TextCodec {
public:
    explicit TextCodec(Code host);
    ~TextCodec();
    TextCodec(const TextCodec&) = delete;
    TextCodec& operator=(const TextCodec&) = delete;

    // Appends the UTF-8 form of host bytes to out. With kStrict and a bad
    // range, what out got is unspecified (the caller drops it).
    TextOutcome Decode(TextForm form, std::string_view host, TextErrors errors, std::string& out);
    // Appends the host form of UTF-8 text to out (no padding).
    TextOutcome Encode(TextForm form, std::string_view utf8, TextErrors errors, std::string& out);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace dataset
}  // namespace lumtrax

#endif  // LUMTRAX_DATASET_TEXT_H
