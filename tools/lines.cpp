#include "lines.h"

#include <cstring>

namespace lumtrax_cli {
namespace {

constexpr std::uint8_t kLf = 0x0A;
constexpr std::uint8_t kEbcdicLf = 0x25;

bool InRange(std::uint8_t b, std::uint8_t lo, std::uint8_t hi) { return b >= lo && b <= hi; }

// The Shift-JIS double-byte rule of the library.
bool IsSjisLead(std::uint8_t b) { return InRange(b, 0x81, 0x9F) || InRange(b, 0xE0, 0xFC); }
bool IsSjisTrail(std::uint8_t b) { return InRange(b, 0x40, 0x7E) || InRange(b, 0x80, 0xFC); }

}  // namespace

SourceCode SourceOf(lumtrax::Conversion conversion) {
    switch (conversion) {
        case lumtrax::Conversion::kEbcdicToSjis:
        case lumtrax::Conversion::kEbcdicKanaToSjis:
            return SourceCode::kEbcdicHost;
        case lumtrax::Conversion::kEightBitToSjis:
            return SourceCode::kEightBitHost;
        case lumtrax::Conversion::kEucToSjis:
            return SourceCode::kEuc;
        default:
            return SourceCode::kShiftJis;
    }
}

std::size_t LineScanner::Scan(const std::uint8_t* data, std::size_t size, bool at_end) {
    if (code_ == SourceCode::kShiftJis) return ScanShiftJis(data, size);
    while (position_ < size) {
        const std::size_t i = position_;
        const std::uint8_t b = data[i];
        const bool has_next = i + 1 < size;
        const std::uint8_t next = has_next ? data[i + 1] : 0x00;
        switch (code_) {
            case SourceCode::kShiftJis:
                if (b == kLf) return i + 1;
                if ((IsSjisLead(b) || (escapes_ && b == 0x5C)) && !has_next && !at_end) {
                    return 0;  // the next byte decides the unit
                }
                if (IsSjisLead(b) && IsSjisTrail(next)) {
                    position_ += 2;
                } else if (escapes_ && b == 0x5C && next == 0x01) {
                    position_ += 3;  // the carried byte may be 0A
                } else {
                    position_ += 1;
                }
                break;
            case SourceCode::kEbcdicHost:
                if (b == kEbcdicLf) return i + 1;
                if (b == 0x2B || b == 0x2C) {
                    in_run_ = b == 0x2B;
                    position_ += 1;
                } else {
                    position_ += in_run_ ? 2 : 1;
                }
                break;
            case SourceCode::kEightBitHost:
                if (b == kLf) return i + 1;
                if (b == 0x93 && !has_next && !at_end) return 0;
                if (b == 0x93 && (next == 0xF0 || next == 0x70 || next == 0xF1)) {
                    in_run_ = next != 0xF1;
                    position_ += 2;
                } else {
                    position_ += in_run_ ? 2 : 1;
                }
                break;
            case SourceCode::kEuc:
                if (b == kLf) return i + 1;
                position_ += b < 0x80 ? 1 : 2;
                break;
        }
    }
    return 0;
}

// In Shift-JIS, 0A is neither a lead nor a trail byte: an 0A begins a unit,
// and ends a line, unless it is the byte that an escape 5C 01 carries. Only
// where 5C 01 stands before it are the units walked, from the line's start.
std::size_t LineScanner::ScanShiftJis(const std::uint8_t* data, std::size_t size) {
    while (searched_ < size) {
        const void* found = std::memchr(data + searched_, kLf, size - searched_);
        if (found == nullptr) {
            searched_ = size;
            return 0;
        }
        const std::size_t lf = static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - data);
        searched_ = lf + 1;
        if (!escapes_ || lf < 2 || data[lf - 2] != 0x5C || data[lf - 1] != 0x01) return lf + 1;
        while (position_ < lf) {  // every unit before the LF lies in the data
            const std::uint8_t b = data[position_];
            if (IsSjisLead(b) && IsSjisTrail(data[position_ + 1])) {
                position_ += 2;
            } else {
                position_ += b == 0x5C && data[position_ + 1] == 0x01 ? 3 : 1;
            }
        }
        if (position_ == lf) return lf + 1;
    }
    return 0;
}

namespace {

// Walks the units of the text from its start and returns where the first
// one begins that the end of the text cuts: a unit that needs bytes after
// the text, or (with may_grow) one that the byte after the text could make
// longer. size when there is none.
std::size_t FirstCutUnit(SourceCode code, bool escapes, const std::uint8_t* data, std::size_t size, bool may_grow) {
    bool in_run = false;
    std::size_t i = 0;
    while (i < size) {
        const std::uint8_t b = data[i];
        const bool last = i + 1 == size;
        const std::uint8_t next = last ? 0x00 : data[i + 1];
        std::size_t width = 1;
        bool grows = false;  // the byte after the text could lengthen it
        switch (code) {
            case SourceCode::kShiftJis:
                if (IsSjisLead(b)) {
                    if (last) return i;  // its trail is missing
                    width = IsSjisTrail(next) ? 2 : 1;
                } else if (escapes && b == 0x5C && next == 0x01) {
                    width = 3;
                } else {
                    grows = last && ((escapes && b == 0x5C) || b == 0x0D);
                }
                break;
            case SourceCode::kEbcdicHost:
                if (b == 0x2B || b == 0x2C) {
                    in_run = b == 0x2B;
                } else if (in_run) {
                    width = 2;
                }
                break;
            case SourceCode::kEightBitHost:
                if (b == 0x93 && (next == 0xF0 || next == 0x70 || next == 0xF1)) {
                    in_run = next != 0xF1;
                    width = 2;
                } else if (in_run) {
                    width = 2;
                } else {
                    grows = last && b == 0x93;
                }
                break;
            case SourceCode::kEuc:
                if (b >= 0x80) width = 2;
                break;
        }
        if (i + width > size || (may_grow && grows)) return i;
        i += width;
    }
    return size;
}

}  // namespace

bool EndsInsideUnit(SourceCode code, bool escapes, const std::uint8_t* data, std::size_t size) {
    return FirstCutUnit(code, escapes, data, size, false) < size;
}

std::size_t WholeUnitsLength(SourceCode code, bool escapes, const std::uint8_t* data, std::size_t size) {
    return FirstCutUnit(code, escapes, data, size, true);
}

}  // namespace lumtrax_cli
