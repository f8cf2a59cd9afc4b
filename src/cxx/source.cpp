// Converting a source as the lumtrax command does (lumtrax.hpp): the cutter
// that makes batches of whole calls, the conversion of a batch, and the
// tally of what the calls met.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>

#include "codes/units.h"
#include "cxx/append.h"
#include "cxx/cut_finder.h"
#include "cxx/line_finder.h"
#include "lumtrax.hpp"

namespace lumtrax {
namespace {

// How much a cutter asks to be read at once once a batch's worth is held.
constexpr std::size_t kReadSize = std::size_t{1} << 20;

const std::uint8_t* Bytes(std::string_view text) { return reinterpret_cast<const std::uint8_t*>(text.data()); }

}  // namespace

void Batch::Clear() noexcept {
    text.clear();
    view = {};
    ends.clear();
    ends_inside.clear();
    offset = 0;
    first_call = 0;
    last = false;
}

void Tally::Add(const Tally& later) noexcept {
    if (replaced == 0 && later.replaced > 0) first_replaced = later.first_replaced;
    if (ends_inside == 0 && later.ends_inside > 0) first_ends_inside = later.first_ends_inside;
    calls += later.calls;
    converted += later.converted;
    replaced += later.replaced;
    ends_inside += later.ends_inside;
    gaiji = MergeGaiji(gaiji, later.gaiji);
}

SourceCutter::SourceCutter(Conversion conversion, const Options& options, const SourceOptions& source) noexcept
    : conversion_(conversion), options_(options), source_(source) {
    if (source_.batch_size == 0) source_.batch_size = 1;
    if (source_.framing == Framing::kRecords && source_.record_size == 0) source_.record_size = 1;
}

void SourceCutter::SetSource(std::string_view source) noexcept {
    source_text_ = source;
    external_ = true;
    held_.clear();
    begin_ = 0;
}

std::string_view SourceCutter::Held() const noexcept {
    return (external_ ? source_text_ : std::string_view(held_)).substr(begin_);
}

std::size_t SourceCutter::wanted() const noexcept {
    const std::size_t held = Held().size();
    if (source_.framing == Framing::kWhole && held <= source_.batch_size) return source_.batch_size + 1 - held;
    return kReadSize;
}

void SourceCutter::StartBatch(Batch& batch) const {
    batch.Clear();
    batch.offset = offset_;
    batch.first_call = source_.framing == Framing::kWhole ? 0 : next_call_;
}

// Takes count bytes off the front of what is held. The bytes taken go once
// they are the larger part, so that each byte is moved a bounded number of
// times however long the stretch held.
void SourceCutter::Take(std::size_t count) {
    begin_ += count;
    offset_ += count;
    search_at_ = 0;
    search_open_ = false;
    searched_ = 0;
    walking_ = false;
    if (external_) return;
    if (begin_ == held_.size()) {
        held_.clear();
        begin_ = 0;
    } else if (begin_ >= held_.size() - begin_) {
        held_.erase(0, begin_);
        begin_ = 0;
    }
}

bool SourceCutter::Fail(std::error_code& error, std::uint64_t call, std::uint64_t offset, std::uint64_t length) {
    error = Errc::kTooLong;
    error_place_ = {call, {offset, length}};
    done_ = true;
    return false;
}

bool SourceCutter::Next(Batch& batch, bool at_end, std::error_code& error) noexcept {
    error.clear();
    if (done_) return false;
    if (!IsAssigned(conversion_)) {
        error = Errc::kUnassignedType;
        done_ = true;
        return false;
    }
    try {
        return source_.framing == Framing::kWhole ? NextWhole(batch, at_end, error) : NextCalls(batch, at_end, error);
    } catch (const std::exception&) {
        error = Errc::kHeapExhausted;
        done_ = true;
        return false;
    }
}

// A whole text: pieces of about the batch size, cut only where the pieces'
// results put together are the result of one call (FindCut); where there is
// no such cut, the piece grows, up to the most one call takes, and the
// search for the first cut goes on from where it stopped as bytes come.
bool SourceCutter::NextWhole(Batch& batch, bool at_end, std::error_code& error) {
    const std::size_t most = MaxTextSize(conversion_);
    if (conversion_ == Conversion::kRawByteEscape && Held().size() > 1) {  // the escape of the first byte
        if (external_) {
            source_text_ = source_text_.substr(0, begin_ + 1);
        } else {
            held_.resize(begin_ + 1);
        }
    }
    const std::string_view text = Held();
    std::size_t cut = 0;
    if (text.size() > source_.batch_size) {
        if (!walking_) {
            cut = FindCut(conversion_, text, source_.batch_size, options_);
            walking_ = cut == 0;
        }
        if (walking_) {
            UnitPosition p{search_at_, search_open_};
            cut = WalkToCut(RulesOf(conversion_, options_), Bytes(text), text.size(), p);
            search_at_ = p.at;
            search_open_ = p.open;
        }
        if (cut > most || (cut == 0 && text.size() > most)) {
            return Fail(error, 0, offset_, text.size());
        }
    }
    if (cut == 0 && !at_end) return false;
    StartBatch(batch);
    if (cut == 0) {  // the rest of the source, as the last piece
        cut = text.size();
        batch.last = true;
        done_ = true;
    }
    if (!external_ && begin_ == 0 && cut > (held_.size() - cut)) {
        // Most of what is held: the batch takes the buffer itself, and the
        // little after the cut moves on (into the batch's old buffer).
        batch.text.swap(held_);
        held_.assign(batch.text, cut, std::string::npos);
        batch.text.resize(cut);
        offset_ += cut;
        search_at_ = 0;
        search_open_ = false;
        walking_ = false;
    } else {
        TakeInto(batch, cut);
    }
    const std::string_view piece = batch.texts();
    batch.ends.push_back(piece.size());
    if (batch.last && conversion_ != Conversion::kRawByteEscape &&
        EndsInsideUnit(RulesOf(conversion_, options_), Bytes(piece), piece.size())) {
        batch.ends_inside.push_back(0);
    }
    return true;
}

// Moves the next count bytes held into the batch, after what it has: a copy,
// or a view of the source in memory.
void SourceCutter::TakeInto(Batch& batch, std::size_t count) {
    if (external_) {
        const std::string_view texts = batch.texts();
        const char* start = texts.empty() ? source_text_.data() + begin_ : texts.data();
        batch.view = std::string_view(start, texts.size() + count);
    } else {
        batch.text.append(held_, begin_, count);
    }
    Take(count);
}

// Lines and records: whole calls, added to the batch until it is large.
bool SourceCutter::NextCalls(Batch& batch, bool at_end, std::error_code& error) {
    const UnitRules rules = RulesOf(conversion_, options_);
    const bool lines = source_.framing == Framing::kLines;
    bool started = false;
    const auto add = [&](std::size_t length, bool ends_inside) {
        if (!started) StartBatch(batch);
        started = true;
        if (ends_inside) batch.ends_inside.push_back(batch.ends.size());
        ++next_call_;
        TakeInto(batch, length);
        batch.ends.push_back(batch.texts().size());
    };
    while (!started || batch.texts().size() < source_.batch_size) {
        const std::string_view text = Held();
        const std::size_t held = text.size();
        if (held == 0) break;
        if (lines) {
            LineSearch search{{search_at_, search_open_}, searched_};
            const std::size_t n = FindLineEnd(rules, search, Bytes(text), held, at_end);
            if (n > 0) {
                add(n, LineEndsInsideUnit(rules, search));
                continue;
            }
            search_at_ = search.position.at;
            search_open_ = search.position.open;
            searched_ = search.searched;
            if (held > MaxTextSize(conversion_)) return Fail(error, next_call_, offset_, held);
            if (!at_end) break;
            // A last line without its line end.
            add(held, conversion_ != Conversion::kRawByteEscape && EndsInsideUnit(rules, Bytes(text), held));
        } else {
            if (held < source_.record_size && !at_end) break;
            // A shorter last record is converted as it is.
            const std::size_t n = std::min(held, source_.record_size);
            add(n, conversion_ != Conversion::kRawByteEscape && EndsInsideUnit(rules, Bytes(text), n));
        }
    }
    if (at_end && Held().empty()) {
        done_ = true;
        if (started) batch.last = true;
    }
    return started;
}

bool SourceCutter::Salvage(Batch& batch) noexcept {
    if (done_ || !IsAssigned(conversion_)) return false;
    try {
        std::error_code error;
        if (source_.framing != Framing::kWhole) {
            const bool any = NextCalls(batch, false, error);
            if (!any) done_ = true;
            return any;
        }
        if (!salvaging_) {
            // The units that are certainly whole: the last one may need
            // bytes that never came.
            const std::string_view text = Held();
            const std::size_t whole = conversion_ == Conversion::kRawByteEscape
                                          ? std::min<std::size_t>(text.size(), 1)
                                          : WholeUnitsLength(RulesOf(conversion_, options_), Bytes(text), text.size());
            if (external_) {
                source_text_ = source_text_.substr(0, begin_ + whole);
            } else {
                held_.resize(begin_ + whole);
            }
            salvaging_ = true;
        }
        return NextWhole(batch, true, error);
    } catch (const std::exception&) {
        done_ = true;
        return false;
    }
}

std::error_code ConvertBatch(Conversion conversion, const Options& options, const Batch& batch, std::string& out,
                             Tally& tally, std::vector<std::size_t>* result_ends, Place* failure) noexcept {
    if (result_ends != nullptr) result_ends->clear();
    const std::string_view texts = batch.texts();
    const bool owned = batch.view.data() == nullptr;
    std::size_t start = 0;
    std::size_t next_inside = 0;
    for (std::size_t k = 0; k < batch.ends.size(); ++k) {
        const std::size_t end = batch.ends[k];
        const std::string_view text = texts.substr(start, end - start);
        // The last text of a batch's string has the string's 00 after it;
        // a piece of a whole text in memory, the source's next byte, which
        // one call reads too (the piece ends at a safe cut). Anything else
        // is followed by bytes that are not the call's.
        const bool last = end == texts.size();
        const bool piece = batch.first_call == 0 && !batch.last;
        const After after = last && (owned || piece) ? After::kNul : After::kAnything;
        GaijiStatus gaiji = GaijiStatus::kNone;
        ByteRange stop;
        // The first call writes over what out holds, which need not be filled first.
        if (const std::error_code error =
                ConvertAfter(conversion, text, after, out, k == 0 ? 0 : out.size(), gaiji, options, &stop)) {
            if (failure != nullptr) {
                *failure = {batch.first_call == 0 ? 0 : batch.first_call + k,
                            {batch.offset + start + stop.offset, stop.length}};
            }
            return error;
        }
        if (result_ends != nullptr) {
            try {
                result_ends->push_back(out.size());
            } catch (const std::exception&) {
                return Errc::kHeapExhausted;
            }
        }
        const Place place{batch.first_call == 0 ? 0 : batch.first_call + k, {batch.offset + start, end - start}};
        ++tally.calls;
        tally.gaiji = MergeGaiji(tally.gaiji, gaiji);
        if (gaiji == GaijiStatus::kConverted) ++tally.converted;
        if (gaiji == GaijiStatus::kReplaced && tally.replaced++ == 0) tally.first_replaced = place;
        if (next_inside < batch.ends_inside.size() && batch.ends_inside[next_inside] == k) {
            ++next_inside;
            if (tally.ends_inside++ == 0) tally.first_ends_inside = place;
        }
        start = end;
    }
    if (batch.ends.empty()) out.clear();
    return {};
}

void LocateFirstReplaced(Conversion conversion, const Options& options, const Batch& batch, Tally& tally) noexcept {
    if (!tally.first_replaced) return;
    Place& place = *tally.first_replaced;
    if (place.bytes.offset < batch.offset || place.bytes.offset - batch.offset >= batch.texts().size()) return;
    const std::size_t start = static_cast<std::size_t>(place.bytes.offset - batch.offset);
    const std::string_view text = batch.texts().substr(start, static_cast<std::size_t>(place.bytes.length));
    if (const std::optional<ByteRange> unit = FirstReplaced(conversion, text, options)) {
        place.bytes = {place.bytes.offset + unit->offset, unit->length};
    }
}

}  // namespace lumtrax
