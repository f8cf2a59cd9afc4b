#include "fuzz_calls.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "api/dispatch.h"
#include "codes/conversions.h"
#include "lumtrax.h"
#include "simd/kernels.h"

namespace fuzz {
namespace {

constexpr std::uint8_t kUntouched = 0xEE;
constexpr int kUnset = 7;
constexpr std::size_t kEscapeRoomBytes = 3;  // ends a text whose last bytes open an escape

// A heap block of exactly n bytes, or no block at all for a null pointer.
class Block {
public:
    Block(std::size_t n, bool null) : size_(n), bytes_(null ? nullptr : new std::uint8_t[n]) {}
    std::uint8_t* get() const { return bytes_.get(); }
    std::size_t size() const { return size_; }

private:
    std::size_t size_;
    std::unique_ptr<std::uint8_t[]> bytes_;
};

std::size_t TextUpToNul(const Bytes& raw) {
    if (raw.empty()) return 0;
    const void* nul = std::memchr(raw.data(), 0x00, raw.size());
    return nul != nullptr ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - raw.data()) : raw.size();
}

// The bytes a caller passes: the text the call is to read and whatever the
// rules allow it to read after the text.
Bytes SourceBytes(const Request& request, const Bytes& raw) {
    if (lumtrax::FindConversion(request.type) == nullptr) {
        Bytes text(raw.begin(), raw.begin() + static_cast<std::ptrdiff_t>(TextUpToNul(raw)));
        text.push_back(0x00);
        return text;  // copied up to its 00 whatever the length says
    }
    if (request.type == LUMTRAX_RAW_BYTE_ESCAPE) return Bytes{raw.empty() ? std::uint8_t{0} : raw[0]};
    if (request.how == Export::kLrss && request.len < 0) return Bytes{};
    if (request.how == Export::kLrss && request.len > 0) return raw;
    if (!lumtrax::HasShiftJisSource(*lumtrax::FindConversion(request.type))) {
        Bytes text(raw.begin(), raw.begin() + static_cast<std::ptrdiff_t>(TextUpToNul(raw)));
        text.push_back(0x00);
        return text;
    }
    // A Shift-JIS text ends at a 00 that begins a character; an escape may
    // carry a 00, so the raw bytes get enough 00s after them to end any text.
    Bytes padded = raw;
    padded.insert(padded.end(), kEscapeRoomBytes, 0x00);
    const std::size_t length = lumtrax::EscapedLength(padded.data());
    padded.resize(length + 1);
    return padded;
}

std::size_t CountedLength(const Request& request, const Bytes& source) {
    if (request.how == Export::kLrss && request.len != 0) return request.len > 0 ? request.len : 0;
    return source.empty() ? 0 : source.size() - 1;
}

std::size_t Room(const Request& request, const Bytes& source) {
    if (request.null_src) return 1;
    if (lumtrax::FindConversion(request.type) == nullptr) return source.size();
    if (request.type == LUMTRAX_RAW_BYTE_ESCAPE) return 4;
    return lumtrax::DestinationCapacity(request.type, CountedLength(request, source));
}

int CallExport(const Request& request, std::uint8_t* dst, const std::uint8_t* src, int* status) {
    switch (request.how) {
        case Export::kPlain:
            return Lumtrax(request.type, dst, src, request.mode, status);
        case Export::kLrss:
            return Lumtrax_LRSS(request.type, dst, src, request.len, request.mode, status);
        case Export::kNoShift:
            return Lumtrax_NoShift(request.type, dst, src, request.mode, status);
    }
    return -2;
}

void CheckRefusal(const Outcome& outcome, const Block& dst, bool status_given) {
    Require(outcome.result == -1, "a null pointer is refused with -1");
    if (status_given) Require(outcome.status == 0, "a refused call reports the status 0");
    if (dst.get() != nullptr) Require(dst.get()[0] == kUntouched, "a refused call writes nothing");
}

void CheckConversion(const Request& request, const Outcome& outcome, const Block& src, const Block& dst,
                     bool status_given) {
    if (status_given) {
        Require(outcome.status >= 0 && outcome.status <= 2, "the status is 0, 1 or 2");
    }
    const std::uint8_t* out = dst.get();
    if (lumtrax::FindConversion(request.type) == nullptr) {
        Require(outcome.result == -1, "an unassigned type returns -1");
        Require(std::memcmp(out, src.get(), src.size()) == 0, "an unassigned type copies the source");
        if (status_given) Require(outcome.status == 0, "an unassigned type reports the status 0");
        return;
    }
    if (request.type == LUMTRAX_RAW_BYTE_ESCAPE) {
        const std::uint8_t escape[4] = {0x5C, 0x01, src.get()[0], 0x00};
        Require(outcome.result == 3 && std::memcmp(out, escape, 4) == 0, "type 11 writes 5C 01 X 00");
        return;
    }
    if (request.how == Export::kLrss && request.len < 0) {
        Require(outcome.result == 0 && out[0] == 0x00, "a negative length is an empty text");
        if (status_given) Require(outcome.status == 0, "an empty text reports the status 0");
        return;
    }
    // Nothing but a refusal fails, so -1 would be a failure reported where
    // none happened.
    Require(outcome.result >= 0, "a conversion of an assigned type succeeds");
    Require(static_cast<std::size_t>(outcome.result) < dst.size(), "the result lies within the growth bound");
    Require(out[outcome.result] == 0x00, "the text is terminated at the result");
}

// The conversion once more at every kernel level this machine has, each in
// blocks of its own as exact as the export's: each must give what the plain
// loops give, and the export (at the process's level) gave that too.
void CheckEveryLevel(const Request& request, const Bytes& source, const Outcome& outcome) {
    const bool lrss = request.how == Export::kLrss;
    const bool shift = request.how != Export::kNoShift;
    const int len = lrss ? request.len : 0;
    const int top = static_cast<int>(lumtrax::SupportedSimdLevel());
    for (int level = 0; level <= top; ++level) {
        Block src(source.size(), false);
        if (!source.empty()) std::memcpy(src.get(), source.data(), source.size());
        Block dst(Room(request, source), false);
        lumtrax::GaijiOutcome outcome_status = lumtrax::GaijiOutcome::kNone;
        const int result = lumtrax::ConvertDispatch(
            lumtrax::KernelsOf(static_cast<lumtrax::SimdLevel>(level)), request.type, dst.get(), src.get(), len,
            {lumtrax::LineEndModeOf(request.mode), lumtrax::ShiftModeOf(lrss, shift)}, outcome_status);
        const int status = static_cast<int>(outcome_status);
        Require(result == outcome.result, "every kernel level gives the result of the plain loops");
        Require(request.null_status || status == outcome.status, "every kernel level gives the same status");
        Require(result <= 0 || std::memcmp(dst.get(), outcome.text.data(), static_cast<std::size_t>(result)) == 0,
                "every kernel level writes the bytes of the plain loops");
    }
}

}  // namespace

void Require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "lumtrax fuzz check failed: %s\n", what);
    std::abort();
}

Outcome Convert(const Request& request, const Bytes& raw) {
    if (request.how == Export::kLrss && request.len > 0) {
        Require(raw.size() == static_cast<std::size_t>(request.len) + 1, "a counted source brings its next byte");
    }
    const Bytes source = SourceBytes(request, raw);
    Block src(source.size(), request.null_src);
    if (src.get() != nullptr && !source.empty()) std::memcpy(src.get(), source.data(), source.size());
    Block dst(Room(request, source), request.null_dst);
    if (dst.get() != nullptr) std::memset(dst.get(), kUntouched, dst.size());

    int status = kUnset;
    int* status_ptr = request.null_status ? nullptr : &status;
    Outcome outcome{CallExport(request, dst.get(), src.get(), status_ptr), status, {}};
    if (request.null_dst || request.null_src) {
        CheckRefusal(outcome, dst, status_ptr != nullptr);
        return outcome;
    }
    CheckConversion(request, outcome, src, dst, status_ptr != nullptr);
    if (outcome.result > 0) outcome.text.assign(dst.get(), dst.get() + outcome.result);
    if (lumtrax::FindConversion(request.type) != nullptr && request.type != LUMTRAX_RAW_BYTE_ESCAPE) {
        CheckEveryLevel(request, source, outcome);
    }
    return outcome;
}

}  // namespace fuzz
