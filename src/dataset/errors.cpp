// The error category of the dataset code, and the small writers its
// messages share.
#include "dataset/errors.h"

namespace lumtrax {
namespace dataset {
namespace {

class Category : public std::error_category {
public:
    const char* name() const noexcept override { return "lumtrax.dataset"; }
    std::string message(int value) const override {
        switch (static_cast<Errc>(value)) {
            case Errc::kCopybook:
                return "the copybook cannot be read";
            case Errc::kBadFrame:
                return "bad record framing";
            case Errc::kBadRow:
                return "the row is not well-formed";
            case Errc::kBadValue:
                return "a value does not fit its field";
            case Errc::kWrongLength:
                return "the record has the wrong length for its format";
            case Errc::kHeapExhausted:
                return "out of memory";
            case Errc::kUsage:
                return "a call out of order, or options that do not go together";
        }
        return "unknown lumtrax.dataset error";
    }
    std::error_condition default_error_condition(int value) const noexcept override {
        switch (static_cast<Errc>(value)) {
            case Errc::kHeapExhausted:
                return std::errc::not_enough_memory;
            case Errc::kUsage:
                return std::errc::invalid_argument;
            default:
                return std::errc::illegal_byte_sequence;
        }
    }
};

}  // namespace

const std::error_category& ErrorCategory() noexcept {
    static const Category category;
    return category;
}

std::error_code make_error_code(Errc error) noexcept { return {static_cast<int>(error), ErrorCategory()}; }

void AppendHex(std::string_view bytes, std::string& out) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) out.push_back(' ');
        const auto b = static_cast<unsigned char>(bytes[i]);
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 0x0F]);
    }
}

void AppendDecimal(std::uint64_t value, std::string& out) {
    char digits[20];
    int at = 20;
    do {
        digits[--at] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    out.append(digits + at, static_cast<std::size_t>(20 - at));
}

}  // namespace dataset
}  // namespace lumtrax
