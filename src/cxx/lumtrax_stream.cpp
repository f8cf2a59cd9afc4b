// Converting a text in pieces: where a text may be cut (FindCut) and the
// converter that feeds on pieces of any size (StreamConverter).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>

#include "codes/conversions.h"
#include "codes/units.h"
#include "common/modes.h"
#include "cxx/append.h"
#include "lumtrax.hpp"

namespace lumtrax {
namespace {

using Position = UnitPosition;

// How the conversion walks its source, as far as cuts go.
UnitRules RulesOf(Conversion conversion, const Options& options) {
    const CallMode mode{LineEndModeOf(static_cast<std::int32_t>(options.line_end)),
                        ShiftModeOf(options.lrss, options.shift)};
    return lumtrax::RulesOf(*FindConversion(static_cast<std::int32_t>(conversion)), mode);
}

// The last safe cut after p and at or before end, walking from p, which is
// where a unit begins with its true state; where there is none, the first
// one after end and at or before beyond; 0 when there is none either.
std::size_t CutFrom(const UnitRules& walk, const std::uint8_t* s, Position p, std::size_t end, std::size_t beyond) {
    std::size_t last = 0;
    for (;;) {
        if (p.at > 0 && !p.open) {
            if (p.at <= end) {
                last = p.at;
            } else if (last == 0 && p.at <= beyond) {
                return p.at;
            }
        }
        if (p.at >= end && (last != 0 || p.at >= beyond)) return last;
        StepOverUnit(walk, s, p);
    }
}

// The true position at or after k, found without the bytes before k: walks
// from k under every position and state the text may have there (a unit
// begins at k, or at one of the next widest - 1 bytes, with a run open or
// not) until the walks meet, which the truth, one of them, then shares.
// False when they have not met before end.
bool Synchronise(const UnitRules& walk, const std::uint8_t* s, std::size_t k, std::size_t end, Position& agreed) {
    Position walks[6];
    std::size_t count = 0;
    for (std::size_t offset = 0; offset < walk.widest(); ++offset) {
        walks[count++] = {k + offset, false};
        if (walk.runs) walks[count++] = {k + offset, true};
    }
    while (count > 1) {
        std::size_t behind = 0;
        for (std::size_t i = 1; i < count; ++i) {
            if (walks[i].at < walks[behind].at) behind = i;
        }
        if (walks[behind].at >= end) return false;
        StepOverUnit(walk, s, walks[behind]);
        for (std::size_t i = 0; i < count; ++i) {
            if (i != behind && walks[i] == walks[behind]) {
                walks[behind] = walks[--count];
                break;
            }
        }
    }
    agreed = walks[0];
    return true;
}

}  // namespace

GaijiStatus MergeGaiji(GaijiStatus earlier, GaijiStatus later) noexcept {
    return static_cast<int>(later) > static_cast<int>(earlier) ? later : earlier;
}

// The cut rule. A cut at c is safe when
//   - a unit of the whole text begins at c, as the conversion walks it: no
//     double-byte character, host pair, shift sequence, raw-byte escape or
//     CR LF is split, and the unit that ends at c is the one it is in the
//     whole text (its bytes, and s[c], which decided it, are read), so the
//     00 that the first piece's call puts after it changes nothing;
//   - no run is open at c: a conversion into a host code closes an open run
//     at the end of every call and a conversion out of one starts every call
//     in single-byte state, so only a closed run gives the same bytes. Runs
//     are opened by double-byte characters (LRSS: and by placeholders) and
//     closed by single bytes and escapes (LRSS: by placeholders only), by
//     kept line ends, or by the host's shift codes and sequences; a dropped
//     line end, and in LRSS mode every single byte, leaves the run as it was,
//     so there is no cut inside such a run: the caller grows the text. Without
//     shift codes (NoShift) and into EUC there is no run to close.
// The statuses of the pieces merge into that of the whole (MergeGaiji): each
// unit asks the gaiji server alone.
std::size_t FindCut(Conversion conversion, std::string_view text, std::size_t limit, const Options& options) noexcept {
    if (!IsAssigned(conversion) || conversion == Conversion::kRawByteEscape || text.size() < 2) {
        return 0;
    }
    const std::size_t last = text.size() - 1;
    const std::size_t end = std::min(limit, last);
    const auto* s = reinterpret_cast<const std::uint8_t*>(text.data());
    const UnitRules walk = RulesOf(conversion, options);
    // Near end first; farther back while that does not settle it (a text
    // that has not shown its state in 64 KiB rarely shows it in more); from
    // the beginning, whose state is known, at last, and past end if need be.
    for (std::size_t window = 256;; window *= 16) {
        if (window >= end || window > (64u << 10)) return CutFrom(walk, s, Position{0, false}, end, last);
        Position agreed{};
        if (Synchronise(walk, s, end - window, end, agreed)) {
            if (const std::size_t cut = CutFrom(walk, s, agreed, end, end)) return cut;
        }
    }
}

StreamConverter::StreamConverter(Conversion conversion, const Options& options, std::size_t piece_size) noexcept
    : conversion_(conversion), options_(options), piece_size_(piece_size == 0 ? 1 : piece_size) {}

void StreamConverter::Reset() noexcept {
    std::string().swap(held_);
    begin_ = 0;
    search_at_ = 0;
    gaiji_ = GaijiStatus::kNone;
    error_.clear();
    finished_ = false;
}

std::error_code StreamConverter::ConvertHeld(std::size_t count, std::string& out) noexcept {
    GaijiStatus gaiji = GaijiStatus::kNone;
    error_ = ConvertAfter(conversion_, std::string_view(held_).substr(begin_, count), false, out, out.size(), gaiji,
                          options_);
    if (error_) return error_;
    gaiji_ = MergeGaiji(gaiji_, gaiji);
    begin_ += count;
    return {};
}

std::error_code StreamConverter::Feed(std::string_view bytes, std::string& out) noexcept {
    if (error_) return error_;
    if (finished_) Reset();
    if (!IsAssigned(conversion_)) return error_ = Errc::kUnassignedType;
    if (conversion_ == Conversion::kRawByteEscape) {  // the escape of the first byte
        if (held() == 0 && !bytes.empty()) held_.assign(1, bytes[0]);
        return {};
    }
    // The bytes already converted go once they are the larger part of what
    // is held, so that each byte held is moved a bounded number of times,
    // however long a stretch without a cut came before it.
    if (begin_ > 0 && begin_ >= held_.size() - begin_) {
        held_.erase(0, begin_);
        begin_ = 0;
    }
    try {
        held_.append(bytes.data(), bytes.size());
    } catch (const std::exception&) {
        return error_ = Errc::kHeapExhausted;
    }
    const std::size_t most = MaxTextSize(conversion_);
    // Where no cut was found, the next search waits until the text held has
    // doubled, so that a long stretch without a cut is walked a bounded
    // number of times.
    while (held() > piece_size_ && (held() >= search_at_ || held() > most)) {
        const std::size_t cut = FindCut(conversion_, std::string_view(held_).substr(begin_), piece_size_, options_);
        if (cut > most || (cut == 0 && held() > most)) return error_ = Errc::kTooLong;
        if (cut == 0) {
            search_at_ = 2 * held();
            break;
        }
        if (const std::error_code error = ConvertHeld(cut, out)) return error;
        search_at_ = 0;
    }
    return {};
}

std::error_code StreamConverter::Finish(std::string& out) noexcept {
    if (error_) return error_;
    if (finished_) Reset();
    if (const std::error_code error = ConvertHeld(held(), out)) return error;
    std::string().swap(held_);
    begin_ = 0;
    search_at_ = 0;
    finished_ = true;
    return {};
}

}  // namespace lumtrax
