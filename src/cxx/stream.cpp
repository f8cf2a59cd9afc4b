// The converter that feeds on pieces of any size (StreamConverter).
#include <cstddef>
#include <new>
#include <string>

#include "cxx/append.h"
#include "cxx/cut_finder.h"
#include "lumtrax.hpp"

namespace lumtrax {

StreamConverter::StreamConverter(Conversion conversion, const Options& options, std::size_t piece_size) noexcept
    : conversion_(conversion), options_(options), piece_size_(piece_size == 0 ? 1 : piece_size) {}

void StreamConverter::Reset() noexcept {
    std::string().swap(held_);
    begin_ = 0;
    search_at_ = 0;
    gaiji_ = GaijiStatus::kNone;
    error_.clear();
    converted_ = 0;
    error_place_ = {};
    finished_ = false;
}

std::error_code StreamConverter::ConvertHeld(std::size_t count, std::string& out) noexcept {
    GaijiStatus gaiji = GaijiStatus::kNone;
    // The piece ends at a safe cut, or where the text ends: the byte after it
    // is read as one call over the whole text reads it.
    ByteRange place;
    error_ = ConvertAfter(conversion_, std::string_view(held_).substr(begin_, count), After::kNul, out, out.size(),
                          gaiji, options_, &place);
    if (error_) {
        error_place_ = {converted_ + place.offset, place.length};
        return error_;
    }
    gaiji_ = MergeGaiji(gaiji_, gaiji);
    begin_ += count;
    converted_ += count;
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
