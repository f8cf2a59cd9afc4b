#include "rivals.h"

#include <iconv.h>
#include <unicode/ucnv.h>

#include <stdexcept>
#include <vector>

namespace rivals {
namespace {

class Iconv : public Converter {
public:
    Iconv(const char* from, const char* to) : from_(from), to_(to), cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open " + Describe());
    }
    ~Iconv() override { iconv_close(cd_); }

    long Convert(std::uint8_t* dst, std::size_t capacity, const std::uint8_t* src, std::size_t len) override {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
        char* in = const_cast<char*>(reinterpret_cast<const char*>(src));
        char* out = reinterpret_cast<char*>(dst);
        std::size_t in_left = len;
        std::size_t out_left = capacity;
        if (iconv(cd_, &in, &in_left, &out, &out_left) == static_cast<std::size_t>(-1)) return -1;
        if (iconv(cd_, nullptr, nullptr, &out, &out_left) == static_cast<std::size_t>(-1)) return -1;
        return static_cast<long>(capacity - out_left);
    }
    std::string Describe() const override { return "iconv " + from_ + " -> " + to_; }

private:
    std::string from_, to_;
    iconv_t cd_;
};

class Icu : public Converter {
public:
    Icu(const char* from, const char* to) : from_(from), to_(to), pivot_(kPivotSize) {
        UErrorCode error = U_ZERO_ERROR;
        source_ = ucnv_open(from, &error);
        target_ = ucnv_open(to, &error);
        if (U_FAILURE(error)) throw std::runtime_error("ucnv_open " + Describe() + ": " + u_errorName(error));
    }
    ~Icu() override {
        ucnv_close(source_);
        ucnv_close(target_);
    }

    long Convert(std::uint8_t* dst, std::size_t capacity, const std::uint8_t* src, std::size_t len) override {
        UErrorCode error = U_ZERO_ERROR;
        char* out = reinterpret_cast<char*>(dst);
        const char* in = reinterpret_cast<const char*>(src);
        UChar* pivot_source = pivot_.data();
        UChar* pivot_target = pivot_.data();
        ucnv_convertEx(target_, source_, &out, out + capacity, &in, in + len, pivot_.data(), &pivot_source,
                       &pivot_target, pivot_.data() + pivot_.size(), true, true, &error);
        if (U_FAILURE(error)) return -1;
        return static_cast<long>(out - reinterpret_cast<char*>(dst));
    }
    std::string Describe() const override { return "ICU " + from_ + " -> " + to_; }

private:
    static constexpr std::size_t kPivotSize = 8192;
    std::string from_, to_;
    UConverter* source_ = nullptr;
    UConverter* target_ = nullptr;
    std::vector<UChar> pivot_;
};

}  // namespace

std::unique_ptr<Converter> OpenIconv(const char* from, const char* to) { return std::make_unique<Iconv>(from, to); }

std::unique_ptr<Converter> OpenIcu(const char* from, const char* to) { return std::make_unique<Icu>(from, to); }

}  // namespace rivals
