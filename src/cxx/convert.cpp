// The safe C++ interface over the conversion core: the destination sized by
// the growth rule, the source followed by a readable 00, the length always
// given, and every failure returned as an error code.
#include "lumtrax.hpp"

#include <climits>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

#include "api/dispatch.h"
#include "codes/conversions.h"
#include "cxx/append.h"
#include "api/unicode_dispatch.h"
#include "cxx/cut_finder.h"
#include "gaiji/gaiji_server.h"
#include "simd/kernels.h"

#ifndef LUMTRAX_VERSION_STRING
#error "LUMTRAX_VERSION_STRING must be defined by the build"
#endif

namespace lumtrax {
namespace {

constexpr std::size_t kIntMax = static_cast<std::size_t>(INT_MAX);
// Below this, copying a text that no 00 follows is cheaper than looking for
// a cut to convert most of it where it lies.
constexpr std::size_t kCopyAtMost = 4 * 1024;
// A conversion whose destination (and copy) fits this many bytes is made in a
// block on the stack.
constexpr std::size_t kStackBlock = 4 * 1024;
// Below this, the growth rule (at most 7 × (len + 1) / 3 + 3) and the working
// memory (text, 00 and destination) are computed without overflow even where
// size_t has 32 bits.
constexpr std::size_t kArithmeticLimit = std::numeric_limits<std::size_t>::max() / 8;
constexpr std::size_t kUnlimited = std::numeric_limits<std::size_t>::max();

constexpr bool Fits(Growth growth, std::size_t size) {
    return size <= kArithmeticLimit && ResultFitsACount(growth, size);
}

// The largest size that Fits, by bisection over the monotonic growth rule
// (MaxTextSize answers the unassigned types before looking here).
constexpr std::size_t LongestText(Growth growth) {
    if (growth == Growth::kEscape) return kUnlimited;
    std::size_t fits = 0;
    std::size_t fails = (kIntMax < kArithmeticLimit ? kIntMax : kArithmeticLimit) + 1;
    while (fails - fits > 1) {
        const std::size_t middle = fits + (fails - fits) / 2;
        if (Fits(growth, middle)) {
            fits = middle;
        } else {
            fails = middle;
        }
    }
    return fits;
}

// By the rows of the table of conversions.
struct LongestTexts {
    std::size_t by_row[kConversionCount];
    constexpr LongestTexts() : by_row() {
        for (std::size_t row = 0; row < kConversionCount; ++row) by_row[row] = LongestText(kConversions[row].growth);
    }
};
constexpr LongestTexts kLongestTexts;

class Category final : public std::error_category {
public:
    const char* name() const noexcept override { return "lumtrax"; }

    std::string message(int value) const override {
        switch (static_cast<Errc>(value)) {
            case Errc::kUnassignedType:
                return "unassigned conversion type";
            case Errc::kHeapExhausted:
                return "not enough memory for the conversion";
            case Errc::kTooLong:
                return "text too long for one conversion call";
            case Errc::kNoUnicodeForm:
                return "no Unicode character stands for these bytes";
            case Errc::kNoCode:
                return "the code has no code for this character";
            case Errc::kInvalidUtf8:
                return "not UTF-8";
            case Errc::kInvalidUtf16:
                return "not UTF-16";
        }
        return "unknown lumtrax error";
    }

    std::error_condition default_error_condition(int value) const noexcept override {
        switch (static_cast<Errc>(value)) {
            case Errc::kUnassignedType:
                return std::errc::invalid_argument;
            case Errc::kHeapExhausted:
                return std::errc::not_enough_memory;
            case Errc::kTooLong:
                return std::errc::value_too_large;
            case Errc::kNoUnicodeForm:
            case Errc::kNoCode:
            case Errc::kInvalidUtf8:
            case Errc::kInvalidUtf16:
                return std::errc::illegal_byte_sequence;
        }
        return std::error_condition(value, *this);
    }
};

}  // namespace

const std::error_category& ErrorCategory() noexcept {
    static const Category category;
    return category;
}

std::error_code make_error_code(Errc error) noexcept {
    return std::error_code(static_cast<int>(error), ErrorCategory());
}

bool IsAssigned(Conversion conversion) noexcept {
    return FindAnyConversion(static_cast<std::int32_t>(conversion)) != nullptr;
}

std::size_t MaxTextSize(Conversion conversion) noexcept {
    const ConversionRow* info = FindAnyConversion(static_cast<std::int32_t>(conversion));
    if (info == nullptr) return 0;
    return kLongestTexts.by_row[static_cast<std::size_t>(info - kConversions)];
}

std::size_t MaxResultSize(Conversion conversion, std::size_t size) noexcept {
    if (!IsAssigned(conversion)) return 0;
    if (conversion == Conversion::kRawByteEscape) return 3;
    if (size > kArithmeticLimit) return kUnlimited;
    return DestinationCapacity(FindAnyConversion(static_cast<std::int32_t>(conversion))->growth, size) - 1;
}

namespace {

Errc ErrcOf(UnicodeFailure failure, SourceCode source) {
    switch (failure) {
        case UnicodeFailure::kNoUnicodeForm:
            return Errc::kNoUnicodeForm;
        case UnicodeFailure::kNoCode:
            return Errc::kNoCode;
        default:
            return source == SourceCode::kUtf8 ? Errc::kInvalidUtf8 : Errc::kInvalidUtf16;
    }
}

// One call of a conversion to or from Unicode: it reads nothing past the
// text, so the text is converted where it lies whatever follows it. On a
// failure out keeps the result of the text before it, and place receives
// the bytes.
std::error_code ConvertUnicodeOnce(const ConversionRow& row, std::string_view text, std::string& out,
                                   std::size_t kept, GaijiStatus& gaiji, const Options& options,
                                   ByteRange* place) noexcept {
    gaiji = GaijiStatus::kNone;
    const std::size_t capacity = DestinationCapacity(row.growth, text.size());
    const auto* source = reinterpret_cast<const std::uint8_t*>(text.data());
    UnicodeOutcome outcome;
    try {
        if (capacity <= kStackBlock) {
            alignas(64) std::uint8_t block[kStackBlock];
            outcome = ConvertUnicode(row, source, text.size(), UnicodeOptionsOf(options), block);
            out.resize(kept);
            out.append(reinterpret_cast<const char*>(block), outcome.written);
        } else {
            out.resize(kept + capacity);
            outcome = ConvertUnicode(row, source, text.size(), UnicodeOptionsOf(options),
                                     reinterpret_cast<std::uint8_t*>(&out[kept]));
            out.resize(kept + outcome.written);
        }
    } catch (const std::exception&) {
        out.resize(kept);
        return Errc::kHeapExhausted;
    }
    gaiji = static_cast<GaijiStatus>(outcome.gaiji);
    if (outcome.ok()) return {};
    if (place != nullptr) *place = {outcome.failure_offset, outcome.failure_length};
    return ErrcOf(outcome.failure, row.source);
}

// A long text to or from Unicode, converted in pieces at safe cuts, which
// gives what one call gives: each piece's growth room is zero-filled in
// turn, instead of room for the whole text's worst case at once, which costs
// more than the conversion (the pages of a block four times the text).
std::error_code ConvertUnicodeInPieces(const ConversionRow& row, Conversion conversion, std::string_view text,
                                       std::string& out, std::size_t kept, GaijiStatus& gaiji, const Options& options,
                                       ByteRange* place) noexcept {
    constexpr std::size_t kPiece = std::size_t{1} << 20;
    if (text.size() <= 2 * kPiece) return ConvertUnicodeOnce(row, text, out, kept, gaiji, options, place);
    try {
        out.reserve(kept + text.size() + text.size() / 2);  // most texts; a larger one grows as strings grow
    } catch (const std::exception&) {
        // The pieces ask for what they need.
    }
    GaijiStatus merged = GaijiStatus::kNone;
    for (std::size_t at = 0; at < text.size();) {
        const std::string_view rest = text.substr(at);
        std::size_t length = rest.size() <= 2 * kPiece ? rest.size() : FindCut(conversion, rest, kPiece, options);
        if (length == 0) length = rest.size();  // no safe cut: the rest is one call
        GaijiStatus piece_gaiji = GaijiStatus::kNone;
        ByteRange stop;
        if (const std::error_code error = ConvertUnicodeOnce(row, rest.substr(0, length), out,
                                                             at == 0 ? kept : out.size(), piece_gaiji, options, &stop)) {
            if (error == Errc::kHeapExhausted) out.resize(kept);
            gaiji = GaijiStatus::kNone;
            if (place != nullptr) *place = {at + stop.offset, stop.length};
            return error;
        }
        merged = MergeGaiji(merged, piece_gaiji);
        at += length;
    }
    gaiji = merged;
    return {};
}

// One call over text, where it lies (terminated: a 00 follows it) or from a
// copy followed by 00.
std::error_code ConvertOnce(Conversion conversion, std::string_view text, bool terminated, std::string& out,
                            std::size_t kept, GaijiStatus& gaiji, const Options& options, ByteRange* place) noexcept {
    gaiji = GaijiStatus::kNone;
    const auto fail = [&](Errc error) {
        out.resize(kept);
        return make_error_code(error);
    };
    const std::int32_t type = static_cast<std::int32_t>(conversion);
    if (!IsAssigned(conversion)) return fail(Errc::kUnassignedType);
    // The escape is built from the first byte alone.
    if (conversion == Conversion::kRawByteEscape) text = text.substr(0, 1);
    const std::size_t size = text.size();
    if (size > MaxTextSize(conversion)) return fail(Errc::kTooLong);
    const ConversionRow& row = *FindAnyConversion(type);
    if (IsUnicodeConversion(row)) return ConvertUnicodeInPieces(row, conversion, text, out, kept, gaiji, options, place);

    const bool copy = !terminated || size == 0;
    const std::size_t room = (copy ? size + 1 : 0) + DestinationCapacity(row.growth, size);
    // The working block: unless the text is followed by a 00, a copy of the
    // text and a 00, then the destination. A short text's block is on the
    // stack, and out grows by the result alone; a longer one's is in out,
    // after the bytes kept (what out holds there already is written over, so
    // only the part that grows is filled with zeros). Growing out by the
    // whole room for a short record costs more than converting it.
    alignas(64) std::uint8_t stack[kStackBlock];
    const bool on_stack = room <= kStackBlock;
    std::uint8_t* block = stack;
    if (!on_stack) {
        try {
            out.resize(kept + room);
        } catch (const std::exception&) {
            return fail(Errc::kHeapExhausted);
        }
        block = reinterpret_cast<std::uint8_t*>(&out[kept]);
    }
    const std::uint8_t* source = reinterpret_cast<const std::uint8_t*>(text.data());
    std::uint8_t* destination = block;
    if (copy) {
        if (size > 0) std::memcpy(block, text.data(), size);
        block[size] = 0x00;
        source = block;
        destination = block + size + 1;
    }

    // The core reads a length of 0 as "compute it"; a negative one is its
    // empty text.
    const std::int32_t length = size == 0 ? -1 : static_cast<std::int32_t>(size);
    GaijiOutcome status = GaijiOutcome::kNone;
    const std::int32_t result = ConvertDispatch(type, destination, source, length, CallModeOf(options), status);
    if (result < 0) return fail(Errc::kTooLong);  // not reached: the type is assigned and the length fits
    if (on_stack) {
        try {
            out.resize(kept);
            out.append(reinterpret_cast<const char*>(destination), static_cast<std::size_t>(result));
        } catch (const std::exception&) {
            return fail(Errc::kHeapExhausted);
        }
    } else {
        if (destination != block) std::memmove(block, destination, static_cast<std::size_t>(result));
        out.resize(kept + static_cast<std::size_t>(result));
    }
    gaiji = static_cast<GaijiStatus>(status);
    return {};
}

}  // namespace

std::error_code ConvertAfter(Conversion conversion, std::string_view text, After after, std::string& out,
                             std::size_t kept, GaijiStatus& gaiji, const Options& options, ByteRange* place) noexcept {
    // The escape is made of the first byte alone.
    if (conversion == Conversion::kRawByteEscape) text = text.substr(0, 1);
    const ConversionRow* row = FindAnyConversion(static_cast<std::int32_t>(conversion));
    // (The conversions to and from Unicode read nothing past the text.)
    if (after == After::kNul || text.size() <= kCopyAtMost || text.size() > MaxTextSize(conversion) ||
        (row != nullptr && IsUnicodeConversion(*row))) {
        return ConvertOnce(conversion, text, after == After::kNul, out, kept, gaiji, options, place);
    }
    // Up to its last safe cut the text is converted where it lies (the byte
    // after a safe cut is the text's own, and is read as it is in one call);
    // the rest from a copy, and the statuses merged.
    const std::size_t cut = FindCut(conversion, text, text.size() - 1, options);
    GaijiStatus first = GaijiStatus::kNone;
    if (cut > 0) {
        if (const std::error_code error =
                ConvertOnce(conversion, text.substr(0, cut), true, out, kept, first, options, place)) {
            gaiji = GaijiStatus::kNone;
            return error;
        }
    }
    const std::error_code error =
        ConvertOnce(conversion, text.substr(cut), false, out, cut > 0 ? out.size() : kept, gaiji, options, place);
    if (error) {
        out.resize(kept);
        gaiji = GaijiStatus::kNone;
        return error;
    }
    gaiji = MergeGaiji(first, gaiji);
    return {};
}

std::error_code ConvertInto(Conversion conversion, std::string_view text, std::string& out, GaijiStatus& gaiji,
                            const Options& options) noexcept {
    return ConvertAfter(conversion, text, After::kAnything, out, 0, gaiji, options);
}

std::error_code ConvertAppend(Conversion conversion, std::string_view text, std::string& out, GaijiStatus& gaiji,
                              const Options& options, After after, ByteRange* place) noexcept {
    return ConvertAfter(conversion, text, after, out, out.size(), gaiji, options, place);
}

std::error_code detail::ConvertTerminatedInto(Conversion conversion, std::string_view text, std::string& out,
                                              GaijiStatus& gaiji, const Options& options) noexcept {
    return ConvertAfter(conversion, text, After::kNul, out, 0, gaiji, options);
}

std::optional<ByteRange> FirstReplaced(Conversion conversion, std::string_view text, const Options& options) noexcept {
    std::string out;
    // A prefix converted where it lies, the byte after it read as the text's
    // own, converts the units that begin in it as the whole text does: the
    // first prefix that replaces something ends one byte after the first
    // replaced unit begins.
    const auto replaced = [&](std::size_t length) {
        GaijiStatus gaiji = GaijiStatus::kNone;
        const After after = length < text.size() ? After::kNul : After::kAnything;
        return !ConvertAfter(conversion, text.substr(0, length), after, out, 0, gaiji, options) &&
               gaiji == GaijiStatus::kReplaced;
    };
    if (text.empty() || !IsAssigned(conversion)) return std::nullopt;
    const ConversionRow& row = *FindAnyConversion(static_cast<std::int32_t>(conversion));
    if (IsUnicodeConversion(row)) {
        // The conversions to and from Unicode say where they replaced first.
        try {
            out.resize(DestinationCapacity(row.growth, text.size()));
        } catch (const std::exception&) {
            return std::nullopt;
        }
        const UnicodeOutcome outcome =
            ConvertUnicode(row, reinterpret_cast<const std::uint8_t*>(text.data()), text.size(),
                           UnicodeOptionsOf(options), reinterpret_cast<std::uint8_t*>(&out[0]));
        if (!outcome.replaced()) return std::nullopt;
        return ByteRange{outcome.replaced_offset, outcome.replaced_length};
    }
    if (!replaced(text.size())) return std::nullopt;
    // Galloping from the start, then halving: the cost follows where the
    // unit is, not the length of the text.
    std::size_t good = 0;
    std::size_t worse = 64;
    while (worse < text.size() && !replaced(worse)) {
        good = worse;
        worse *= 2;
    }
    if (worse > text.size()) worse = text.size();
    while (worse - good > 1) {
        const std::size_t middle = good + (worse - good) / 2;
        (replaced(middle) ? worse : good) = middle;
    }
    // The unit that begins at worse - 1, walked to from the text's start.
    const UnitRules rules = RulesOf(conversion, options);
    const auto* s = reinterpret_cast<const std::uint8_t*>(text.data());
    std::string padded;  // the byte after the text, for the walk
    if (worse >= text.size()) {
        padded.assign(text.data(), text.size());
        s = reinterpret_cast<const std::uint8_t*>(padded.c_str());
    }
    UnitPosition p;
    while (p.at < worse - 1) StepOverUnit(rules, s, p);
    UnitPosition next = p;
    StepOverUnit(rules, s, next);
    const std::size_t end = next.at < text.size() ? next.at : text.size();
    return ByteRange{p.at, end - p.at};
}

Result Convert(Conversion conversion, std::string_view text, const Options& options) noexcept {
    Result result;
    result.error =
        ConvertAfter(conversion, text, After::kAnything, result.text, 0, result.gaiji, options, &result.error_place);
    // The block also held the text and the growth room: give back what the
    // result does not use when that is much.
    if (result.text.capacity() > 2 * result.text.size() + 256) {
        try {
            result.text.shrink_to_fit();
        } catch (...) {  // keeping the larger block is harmless
        }
    }
    return result;
}

Result Convert(Conversion conversion, const void* text, std::size_t size, const Options& options) noexcept {
    const char* bytes = size == 0 ? "" : static_cast<const char*>(text);
    return Convert(conversion, std::string_view(bytes, size), options);
}

namespace {

Code NativeUtf16() {
    const std::uint16_t probe = 1;
    unsigned char first = 0;
    std::memcpy(&first, &probe, 1);
    return first == 1 ? Code::kUtf16Le : Code::kUtf16Be;
}

}  // namespace

Result16 ToUtf16(Code from, std::string_view text, const Options& options) noexcept {
    Result16 result;
    const std::optional<Conversion> conversion = ConversionBetween(from, NativeUtf16());
    if (!conversion) {
        result.error = Errc::kUnassignedType;
        return result;
    }
    std::string bytes;
    result.error = ConvertAfter(*conversion, text, After::kAnything, bytes, 0, result.gaiji, options,
                                &result.error_place);
    try {
        result.text.resize(bytes.size() / 2);
    } catch (const std::exception&) {
        result.error = Errc::kHeapExhausted;
        return result;
    }
    if (!bytes.empty()) std::memcpy(&result.text[0], bytes.data(), 2 * result.text.size());
    return result;
}

Result FromUtf16(std::u16string_view text, Code to, const Options& options) noexcept {
    Result result;
    const std::optional<Conversion> conversion = ConversionBetween(NativeUtf16(), to);
    if (!conversion) {
        result.error = Errc::kUnassignedType;
        return result;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(text.data()), 2 * text.size());
    result.error =
        ConvertAfter(*conversion, bytes, After::kAnything, result.text, 0, result.gaiji, options, &result.error_place);
    // In code units of the text.
    result.error_place = {result.error_place.offset / 2, (result.error_place.length + 1) / 2};
    return result;
}

const char* Version() noexcept { return LUMTRAX_VERSION_STRING; }

const char* ActiveSimdLevel() noexcept { return SimdLevelName(ActiveKernels().level); }

const char* BestSimdLevel() noexcept { return SimdLevelName(SupportedSimdLevel()); }

GaijiServerInfo GaijiServer(int level) noexcept {
    GaijiServerInfo info;
    info.level_ok = GaijiConvGetLevel(level) == 0;
    info.version = GaijiConvGetVersion();
    return info;
}

}  // namespace lumtrax
