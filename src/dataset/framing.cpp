// Record framing: F and FB records back to back, V records behind an RDW,
// VB blocks behind a BDW holding RDW records. A descriptor word is a 2-byte
// length and 2 reserved bytes of 00; the length counts the descriptor itself
// unless the options say it leaves it out, and is big-endian unless they
// say little-endian (then its low byte comes first; the reserved bytes stay
// where they are).
#include <cstring>
#include <new>

#include "dataset/errors.h"
#include "lumtrax_dataset.hpp"

namespace lumtrax {
namespace dataset {
namespace {

constexpr std::size_t kDescriptor = 4;
constexpr std::size_t kMaxDescribed = 0xFFFF;

bool IsVariable(RecordFormat format) {
    return format == RecordFormat::kVariable || format == RecordFormat::kVariableBlocked;
}

struct Descriptor {
    std::size_t total = 0;  // the bytes it frames, its own 4 included
    bool reserved_zero = true;
    bool too_short = false;
};

Descriptor ReadDescriptor(const unsigned char* d, const FramingOptions& options, std::size_t least) {
    Descriptor descriptor;
    const std::size_t length =
        options.little_endian ? (d[0] | (std::size_t{d[1]} << 8)) : ((std::size_t{d[0]} << 8) | d[1]);
    descriptor.reserved_zero = d[2] == 0 && d[3] == 0;
    descriptor.total = options.length_excludes_descriptor ? length + kDescriptor : length;
    descriptor.too_short = descriptor.total < least;
    return descriptor;
}

void WriteDescriptor(std::size_t total, const FramingOptions& options, char* d) {
    const std::size_t length = options.length_excludes_descriptor ? total - kDescriptor : total;
    const auto high = static_cast<char>((length >> 8) & 0xFF);
    const auto low = static_cast<char>(length & 0xFF);
    d[0] = options.little_endian ? low : high;
    d[1] = options.little_endian ? high : low;
    d[2] = 0;
    d[3] = 0;
}

std::string DescriptorText(const unsigned char* d) {
    std::string hex;
    AppendHex(std::string_view(reinterpret_cast<const char*>(d), kDescriptor), hex);
    return hex;
}

}  // namespace

// ---- reading -----------------------------------------------------------------------

RecordReader::RecordReader(const FramingOptions& options) noexcept : options_(options) {
    if (!IsVariable(options.format) && options.record_length == 0) {
        error_ = MakeError(Errc::kUsage, "fixed-length records need a record length of at least 1");
    }
}

Error RecordReader::Feed(std::string_view piece) noexcept {
    if (!error_.ok()) return error_;
    if (finished_ || !piece_.empty() || !block_.empty()) {
        return MakeError(Errc::kUsage, finished_ ? "Feed after Finish" : "Feed before Next said kNeedMore");
    }
    piece_ = piece;
    return {};
}

Error RecordReader::Finish() noexcept {
    if (!error_.ok()) return error_;
    finished_ = true;
    return {};
}

bool RecordReader::Peek(std::size_t count, unsigned char* out) const noexcept {
    const std::string_view held = held_taken_ ? std::string_view() : std::string_view(held_);
    if (held.size() + piece_.size() < count) return false;
    const std::size_t from_held = std::min(count, held.size());
    if (from_held > 0) std::memcpy(out, held.data(), from_held);
    if (count > from_held) std::memcpy(out + from_held, piece_.data(), count - from_held);
    return true;
}

// The next count bytes as one view: straight from the piece where it holds
// them all, else gathered in held_. False (the bytes kept in held_) when the
// data fed so far ends before them.
bool RecordReader::Take(std::size_t count, std::string_view& unit) noexcept {
    if (held_taken_) {
        held_.clear();
        held_taken_ = false;
    }
    if (held_.empty() && piece_.size() >= count) {
        unit = piece_.substr(0, count);
        piece_.remove_prefix(count);
        offset_ += count;
        return true;
    }
    try {
        const std::size_t take = std::min(count - held_.size(), piece_.size());
        if (take > 0) held_.append(piece_.data(), take);
        piece_.remove_prefix(take);
    } catch (const std::bad_alloc&) {
        error_ = MakeError(Errc::kHeapExhausted, "out of memory holding a record");
        return false;
    }
    if (held_.size() < count) return false;
    unit = held_;
    held_taken_ = true;
    offset_ += count;
    return true;
}

ReadStatus RecordReader::Fail(std::string message, std::uint64_t offset) noexcept {
    const std::uint64_t record = record_number_ + 1;
    try {
        error_ = MakeError(Errc::kBadFrame, "record " + std::to_string(record) + " at offset " +
                                                std::to_string(offset) + ": " + message);
    } catch (const std::bad_alloc&) {
        error_ = Error{};
        error_.code = make_error_code(Errc::kBadFrame);
    }
    error_.record = record;
    error_.offset = offset;
    return ReadStatus::kError;
}

ReadStatus RecordReader::Next(std::string_view& record) noexcept {
    if (!error_.ok()) return ReadStatus::kError;
    ReadStatus status = ReadStatus::kEnd;
    switch (options_.format) {
        case RecordFormat::kFixed:
        case RecordFormat::kFixedBlocked:
            status = NextFixed(record);
            break;
        case RecordFormat::kVariable:
            status = NextVariable(record);
            break;
        case RecordFormat::kVariableBlocked:
            status = NextInBlock(record);
            break;
    }
    if (!error_.ok()) return ReadStatus::kError;  // out of memory in Take
    if (status == ReadStatus::kNeedMore) {
        // Keep what is left of the piece, so that the caller may reuse it.
        if (held_taken_) {
            held_.clear();
            held_taken_ = false;
        }
        try {
            if (!piece_.empty()) held_.append(piece_.data(), piece_.size());
        } catch (const std::bad_alloc&) {
            error_ = MakeError(Errc::kHeapExhausted, "out of memory holding a record");
            return ReadStatus::kError;
        }
        piece_ = {};
    }
    return status;
}

ReadStatus RecordReader::NextFixed(std::string_view& record) noexcept {
    const std::size_t length = options_.record_length;
    if (!Take(length, record)) {
        if (!finished_) return ReadStatus::kNeedMore;
        if (held_.empty()) return ReadStatus::kEnd;
        if (options_.skip_bad) {
            ++skipped_;
            skipped_bytes_ += held_.size();
            held_.clear();
            return ReadStatus::kEnd;
        }
        return Fail("the data set ends " + std::to_string(held_.size()) + " bytes into this record: its size is " +
                        "not a multiple of the record length " + std::to_string(length),
                    offset_);
    }
    ++record_number_;
    record_offset_ = offset_ - length;
    return ReadStatus::kRecord;
}

ReadStatus RecordReader::NextVariable(std::string_view& record) noexcept {
    unsigned char d[kDescriptor];
    if (!Peek(kDescriptor, d)) {
        if (!finished_) return ReadStatus::kNeedMore;
        const std::size_t left = held_taken_ ? 0 : held_.size() + piece_.size();
        if (left == 0) return ReadStatus::kEnd;
        return Fail("the data set ends inside a record descriptor word (" + std::to_string(left) + " bytes)", offset_);
    }
    const Descriptor rdw = ReadDescriptor(d, options_, kDescriptor);
    if (!rdw.reserved_zero)
        return Fail("the reserved bytes of the RDW are not 00 (RDW " + DescriptorText(d) + ")", offset_);
    if (rdw.too_short) return Fail("the RDW's length is under 4 (RDW " + DescriptorText(d) + ")", offset_);
    std::string_view unit;
    if (!Take(rdw.total, unit)) {
        if (!finished_) return ReadStatus::kNeedMore;
        return Fail("the data set ends inside the record: its RDW says " + std::to_string(rdw.total) + " bytes, " +
                        std::to_string(held_.size()) + " are left",
                    offset_);
    }
    ++record_number_;
    record_offset_ = offset_ - rdw.total;
    record = unit.substr(kDescriptor);
    return ReadStatus::kRecord;
}

ReadStatus RecordReader::NextInBlock(std::string_view& record) noexcept {
    for (;;) {
        if (block_.empty()) {
            unsigned char d[kDescriptor];
            if (!Peek(kDescriptor, d)) {
                if (!finished_) return ReadStatus::kNeedMore;
                const std::size_t left = held_taken_ ? 0 : held_.size() + piece_.size();
                if (left == 0) return ReadStatus::kEnd;
                return Fail("the data set ends inside a block descriptor word (" + std::to_string(left) + " bytes)",
                            offset_);
            }
            const Descriptor bdw = ReadDescriptor(d, options_, 2 * kDescriptor);
            if (!bdw.reserved_zero) {
                return Fail("the reserved bytes of the BDW are not 00 (BDW " + DescriptorText(d) +
                                "); the next block cannot be found",
                            offset_);
            }
            if (bdw.too_short) {
                return Fail(
                    "the BDW's length is under 8 (BDW " + DescriptorText(d) + "); the next block cannot be found",
                    offset_);
            }
            std::string_view unit;
            if (!Take(bdw.total, unit)) {
                if (!finished_) return ReadStatus::kNeedMore;
                if (options_.skip_bad) {
                    ++skipped_;
                    skipped_bytes_ += held_.size();
                    held_.clear();
                    return ReadStatus::kEnd;
                }
                return Fail("the data set ends inside the block: its BDW says " + std::to_string(bdw.total) +
                                " bytes, " + std::to_string(held_.size()) + " are left",
                            offset_);
            }
            block_ = unit.substr(kDescriptor);
            block_offset_ = offset_ - bdw.total + kDescriptor;
        }
        const auto* d = reinterpret_cast<const unsigned char*>(block_.data());
        std::string problem;
        Descriptor rdw;
        if (block_.size() < kDescriptor) {
            problem = "the block ends inside a record descriptor word";
        } else {
            rdw = ReadDescriptor(d, options_, kDescriptor);
            if (!rdw.reserved_zero) {
                problem = "the reserved bytes of the RDW are not 00 (RDW " + DescriptorText(d) + ")";
            } else if (rdw.too_short) {
                problem = "the RDW's length is under 4 (RDW " + DescriptorText(d) + ")";
            } else if (rdw.total > block_.size()) {
                problem = "the record reaches " + std::to_string(rdw.total - block_.size()) +
                          " bytes past the end of its block (RDW " + DescriptorText(d) + ")";
            }
        }
        if (!problem.empty()) {
            if (!options_.skip_bad) return Fail(problem, block_offset_);
            ++skipped_;
            ++record_number_;  // a skipped frame counts as one record
            skipped_bytes_ += block_.size();
            block_ = {};
            continue;
        }
        ++record_number_;
        record_offset_ = block_offset_;
        record = block_.substr(kDescriptor, rdw.total - kDescriptor);
        block_.remove_prefix(rdw.total);
        block_offset_ += rdw.total;
        return ReadStatus::kRecord;
    }
}

// ---- writing ---------------------------------------------------------------------------

RecordWriter::RecordWriter(const FramingOptions& options) noexcept : options_(options) {}

Error RecordWriter::Write(std::string_view record, std::string& out) noexcept {
    const std::uint64_t number = records_ + 1;
    auto wrong = [number](Errc code, std::string message) {
        Error error = MakeError(code, "record " + std::to_string(number) + ": " + message);
        error.record = number;
        return error;
    };
    try {
        switch (options_.format) {
            case RecordFormat::kFixed:
            case RecordFormat::kFixedBlocked:
                if (options_.record_length == 0) return MakeError(Errc::kUsage, "fixed-length records need a length");
                if (record.size() != options_.record_length) {
                    return wrong(Errc::kWrongLength, "it has " + std::to_string(record.size()) +
                                                         " bytes; the data set's records have " +
                                                         std::to_string(options_.record_length));
                }
                out.append(record);
                break;
            case RecordFormat::kVariable: {
                const std::size_t total = record.size() + kDescriptor;
                if ((options_.length_excludes_descriptor ? record.size() : total) > kMaxDescribed) {
                    return wrong(Errc::kWrongLength,
                                 "it has " + std::to_string(record.size()) + " bytes, more than an RDW can describe");
                }
                char d[kDescriptor];
                WriteDescriptor(total, options_, d);
                out.append(d, kDescriptor).append(record);
                break;
            }
            case RecordFormat::kVariableBlocked: {
                const std::size_t limit = options_.block_size;
                const std::size_t described = options_.length_excludes_descriptor ? limit - kDescriptor : limit;
                if (limit < 2 * kDescriptor || described > kMaxDescribed) {
                    return MakeError(Errc::kUsage, "the block size is 8 to 65535 bytes");
                }
                const std::size_t total = record.size() + kDescriptor;
                if (kDescriptor + total > limit) {
                    return wrong(Errc::kWrongLength, "it has " + std::to_string(record.size()) +
                                                         " bytes, more than a block of " + std::to_string(limit) +
                                                         " holds");
                }
                if (!block_.empty() && block_.size() + total > limit) {
                    if (Error e = Finish(out); !e.ok()) return e;
                }
                if (block_.empty()) block_.assign(kDescriptor, '\0');
                char d[kDescriptor];
                WriteDescriptor(total, options_, d);
                block_.append(d, kDescriptor).append(record);
                break;
            }
        }
    } catch (const std::bad_alloc&) {
        return MakeError(Errc::kHeapExhausted, "out of memory writing a record");
    }
    ++records_;
    return {};
}

Error RecordWriter::Finish(std::string& out) noexcept {
    if (block_.empty()) return {};
    try {
        WriteDescriptor(block_.size(), options_, block_.data());
        out.append(block_);
    } catch (const std::bad_alloc&) {
        return MakeError(Errc::kHeapExhausted, "out of memory writing a block");
    }
    block_.clear();
    return {};
}

}  // namespace dataset
}  // namespace lumtrax
