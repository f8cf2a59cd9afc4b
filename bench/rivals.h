// The converters a user would otherwise call, opened once and used the way
// the benchmark uses lumtrax: one call per text or per record, into a
// destination large enough for the result.
#ifndef LUMTRAX_BENCH_RIVALS_H
#define LUMTRAX_BENCH_RIVALS_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace rivals {

// A conversion from one code to another.
class Converter {
public:
    virtual ~Converter() = default;
    // Converts len bytes of src into dst (capacity bytes) from a reset state
    // and returns the bytes written, or -1 on an error.
    virtual long Convert(std::uint8_t* dst, std::size_t capacity, const std::uint8_t* src, std::size_t len) = 0;
    virtual std::string Describe() const = 0;
};

// glibc iconv between two of its code names, e.g. "SHIFT_JIS" and "EUC-JP".
std::unique_ptr<Converter> OpenIconv(const char* from, const char* to);

// ICU: from one converter to another through UTF-16, with a pivot buffer of
// its own, e.g. "ibm-943_P15A-2003" to "ibm-939_P120-1999".
std::unique_ptr<Converter> OpenIcu(const char* from, const char* to);

}  // namespace rivals

#endif  // LUMTRAX_BENCH_RIVALS_H
