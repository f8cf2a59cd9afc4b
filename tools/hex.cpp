#include "hex.h"

#include "failure.h"

namespace lumtrax_cli {
namespace {

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

const char kPairsHint[] = " (--hex-in reads pairs like \"C1 2B\")";

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace

void AppendHex(std::string_view bytes, std::string& out) {
    static const char kDigits[] = "0123456789ABCDEF";
    out.reserve(out.size() + 3 * bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        if (i > 0) out += ' ';
        out += kDigits[b >> 4];
        out += kDigits[b & 0x0F];
    }
}

void HexDecoder::Decode(std::string_view text, std::string& out, const std::string& name) {
    for (char c : text) {
        const int value = DigitValue(c);
        if (value >= 0) {
            if (pending_ < 0) {
                pending_ = value;
                pending_offset_ = offset_;
            } else {
                out += static_cast<char>(pending_ << 4 | value);
                pending_ = -1;
            }
        } else if (!IsSpace(c)) {
            throw Failure(kExitInputOutput, name + ": not hex pairs at offset " + std::to_string(offset_) + kPairsHint);
        } else if (pending_ >= 0) {  // the digit before the space is the fault
            throw Failure(kExitInputOutput, name + ": a hex digit without its pair at offset " +
                                                std::to_string(pending_offset_) + kPairsHint);
        }
        ++offset_;
    }
}

void HexDecoder::Finish(const std::string& name) const {
    if (pending_ >= 0) {
        throw Failure(kExitInputOutput, name + ": a hex digit without its pair at offset " +
                                            std::to_string(pending_offset_) + ", the end of the input");
    }
}

}  // namespace lumtrax_cli
