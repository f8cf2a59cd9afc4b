// Zoned, packed and binary numbers to canonical decimal text and back.
#include "dataset/numbers.h"

#include <cstring>

namespace lumtrax {
namespace dataset {
namespace {

// Copies a few digits (a plain loop: no call for a handful of bytes).
inline char* Copy(char* p, const char* from, int count) {
    for (int i = 0; i < count; ++i) p[i] = from[i];
    return p + count;
}

// The canonical text of the digits d[0, n) (ASCII), with a sign and a scale.
std::size_t Canonical(const char* d, int n, bool negative, int scale, char* text) {
    int first = 0;
    while (first < n && d[first] == '0') ++first;
    const int significant = n - first;
    char* p = text;
    if (negative && significant > 0) *p++ = '-';
    if (scale <= 0) {
        if (significant == 0) {
            *p++ = '0';
        } else {
            p = Copy(p, d + first, significant);
            for (int i = 0; i < -scale; ++i) *p++ = '0';
        }
    } else {
        const int integer = significant - scale;
        if (integer <= 0) {
            *p++ = '0';
            *p++ = '.';
            for (int i = 0; i < -integer; ++i) *p++ = '0';
            p = Copy(p, d + first, significant);
        } else {
            p = Copy(p, d + first, integer);
            *p++ = '.';
            p = Copy(p, d + first + integer, scale);
        }
    }
    return static_cast<std::size_t>(p - text);
}

NumberStatus DecodeZoned(const NumberPicture& picture, const ZonedBytes& zoned, const std::uint8_t* bytes, char* text,
                         std::size_t& length) {
    const std::size_t size = picture.size;
    bool blank = true;
    for (std::size_t i = 0; i < size; ++i) blank = blank && bytes[i] == zoned.space;
    char digits[kMaxDecimalDigits + 1];
    if (blank) {
        if (!picture.blank_when_zero) return NumberStatus::kBlank;
        length = Canonical("0", 1, false, picture.scale, text);
        return NumberStatus::kOk;
    }
    const bool leading = picture.sign == SignPosition::kLeading;
    const std::uint8_t* first = bytes;
    bool negative = false;
    if (picture.is_signed && picture.separate) {
        const std::uint8_t sign = leading ? bytes[0] : bytes[size - 1];
        if (sign == zoned.minus) {
            negative = true;
        } else if (sign != zoned.plus) {
            return NumberStatus::kBadSign;
        }
        if (leading) ++first;
    }
    const int n = picture.digits;
    const int sign_at = !picture.is_signed || picture.separate ? -1 : (leading ? 0 : n - 1);
    for (int i = 0; i < n; ++i) {
        const std::uint8_t b = first[i];
        const std::uint8_t zone = b >> 4;
        const std::uint8_t value = b & 0x0F;
        if (zoned.overpunch) {
            if (value > 9) return NumberStatus::kBadDigit;
            if (i == sign_at) {
                if (zone == 0x0D) {
                    negative = true;
                } else if (zone != 0x0C && zone != 0x0F) {
                    return NumberStatus::kBadSign;
                }
            } else if (zone != 0x0F) {
                return NumberStatus::kBadDigit;
            }
            digits[i] = static_cast<char>('0' + value);
        } else {
            if (b < zoned.zero || b > zoned.zero + 9) return NumberStatus::kBadDigit;
            digits[i] = static_cast<char>('0' + (b - zoned.zero));
        }
    }
    length = Canonical(digits, n, negative, picture.scale, text);
    return NumberStatus::kOk;
}

NumberStatus DecodePacked(const NumberPicture& picture, const std::uint8_t* bytes, char* text, std::size_t& length) {
    const std::size_t size = picture.size;
    const int nibbles = static_cast<int>(2 * size - 1);  // the digit nibbles
    const int pad = nibbles - picture.digits;
    char digits[2 * kMaxDecimalDigits];
    for (int k = 0; k < nibbles; ++k) {
        const std::uint8_t b = bytes[k / 2];
        const std::uint8_t nibble = (k % 2 == 0) ? (b >> 4) : (b & 0x0F);
        if (nibble > 9 || (k < pad && nibble != 0)) return NumberStatus::kBadNibble;
        digits[k] = static_cast<char>('0' + nibble);
    }
    const std::uint8_t sign = bytes[size - 1] & 0x0F;
    const bool negative = sign == 0x0B || sign == 0x0D;
    if (sign < 0x0A || (negative && !picture.is_signed)) return NumberStatus::kBadSign;
    length = Canonical(digits + pad, picture.digits, negative, picture.scale, text);
    return NumberStatus::kOk;
}

void DecodeBinary(const NumberPicture& picture, const std::uint8_t* bytes, char* text, std::size_t& length) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < picture.size; ++i) value = (value << 8) | bytes[i];
    const unsigned bits = static_cast<unsigned>(8 * picture.size);
    bool negative = false;
    if (picture.is_signed && (value >> (bits - 1)) != 0) {
        negative = true;
        value = ~value + 1;
        if (bits < 64) value &= (std::uint64_t{1} << bits) - 1;
    }
    char digits[20];
    int at = 20;
    do {
        digits[--at] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    length = Canonical(digits + at, 20 - at, negative, picture.scale, text);
}

// A decimal text as the digits of the picture's scaled integer.
struct ParsedValue {
    ValueStatus status = ValueStatus::kOk;
    bool negative = false;
    char digits[kMaxNumberText];  // the significant digits, ASCII
    int count = 0;
};

ParsedValue ParseValue(const char* text, std::size_t length, int scale) {
    ParsedValue v;
    std::size_t i = 0;
    if (i < length && (text[i] == '-' || text[i] == '+')) v.negative = text[i++] == '-';
    const std::size_t int_begin = i;
    while (i < length && text[i] >= '0' && text[i] <= '9') ++i;
    const std::size_t int_end = i;
    std::size_t frac_begin = i, frac_end = i;
    if (i < length && text[i] == '.') {
        frac_begin = ++i;
        while (i < length && text[i] >= '0' && text[i] <= '9') ++i;
        frac_end = i;
    }
    if (i != length || (int_end == int_begin && frac_end == frac_begin)) {
        v.status = ValueStatus::kNotANumber;
        return v;
    }
    // The scaled integer: value * 10^scale, which must be whole.
    std::size_t int_digits_end = int_end;
    if (scale < 0) {
        for (std::size_t k = frac_begin; k < frac_end; ++k) {
            if (text[k] != '0') v.status = ValueStatus::kTooManyDecimals;
        }
        // The last -scale integer digits must be zeros (or the value zero).
        const std::size_t drop = static_cast<std::size_t>(-scale);
        bool zero = true;
        for (std::size_t k = int_begin; k < int_end; ++k) zero = zero && text[k] == '0';
        if (!zero) {
            if (int_end - int_begin < drop) {
                v.status = ValueStatus::kTooManyDecimals;
            } else {
                for (std::size_t k = int_end - drop; k < int_end; ++k) {
                    if (text[k] != '0') v.status = ValueStatus::kTooManyDecimals;
                }
                int_digits_end = int_end - drop;
            }
        }
        if (v.status != ValueStatus::kOk) return v;
    }
    auto push = [&v](char c) {
        if (v.count == 0 && c == '0') return;
        if (v.count < static_cast<int>(sizeof v.digits)) v.digits[v.count] = c;
        ++v.count;
    };
    for (std::size_t k = int_begin; k < int_digits_end; ++k) push(text[k]);
    if (scale > 0) {
        const std::size_t wanted = static_cast<std::size_t>(scale);
        for (std::size_t k = 0; k < wanted; ++k) push(frac_begin + k < frac_end ? text[frac_begin + k] : '0');
        for (std::size_t k = frac_begin + wanted; k < frac_end; ++k) {
            if (text[k] != '0') v.status = ValueStatus::kTooManyDecimals;
        }
    }
    if (v.count > static_cast<int>(sizeof v.digits)) v.status = ValueStatus::kTooManyDigits;
    if (v.count == 0) v.negative = false;
    return v;
}

// The digits of value, left-padded with zeros to picture.digits (ASCII).
void PadDigits(const ParsedValue& v, int digits, char* out) {
    const int pad = digits - v.count;
    for (int i = 0; i < pad; ++i) out[i] = '0';
    std::memcpy(out + pad, v.digits, static_cast<std::size_t>(v.count));
}

void WriteZoned(const NumberPicture& picture, const ZonedBytes& zoned, const char* digits, bool negative,
                std::uint8_t* out) {
    const bool leading = picture.sign == SignPosition::kLeading;
    std::uint8_t* first = out;
    if (picture.is_signed && picture.separate) {
        const std::uint8_t sign = negative ? zoned.minus : zoned.plus;
        if (leading) {
            *first++ = sign;
        } else {
            out[picture.size - 1] = sign;
        }
    }
    for (int i = 0; i < picture.digits; ++i) first[i] = static_cast<std::uint8_t>(zoned.zero + (digits[i] - '0'));
    if (picture.is_signed && !picture.separate) {  // overpunched: EBCDIC only
        std::uint8_t& b = first[leading ? 0 : picture.digits - 1];
        b = static_cast<std::uint8_t>((negative ? 0xD0 : 0xC0) | (b & 0x0F));
    }
}

void WritePacked(const NumberPicture& picture, const char* digits, bool negative, std::uint8_t* out) {
    const int nibbles = static_cast<int>(2 * picture.size - 1);
    const int pad = nibbles - picture.digits;
    std::memset(out, 0, picture.size);
    for (int k = pad; k < nibbles; ++k) {
        const auto nibble = static_cast<std::uint8_t>(digits[k - pad] - '0');
        out[k / 2] |= (k % 2 == 0) ? static_cast<std::uint8_t>(nibble << 4) : nibble;
    }
    const std::uint8_t sign = !picture.is_signed ? 0x0F : (negative ? 0x0D : 0x0C);
    out[picture.size - 1] |= sign;
}

void WriteBinary(const NumberPicture& picture, std::uint64_t value, std::uint8_t* out) {
    for (std::size_t i = picture.size; i-- > 0;) {
        out[i] = static_cast<std::uint8_t>(value & 0xFF);
        value >>= 8;
    }
}

ValueStatus EncodeBinary(const NumberPicture& picture, const ParsedValue& v, std::uint8_t* out) {
    if (v.count > 20) return ValueStatus::kOutOfRange;
    std::uint64_t magnitude = 0;
    for (int i = 0; i < v.count; ++i) {
        const std::uint64_t digit = static_cast<std::uint64_t>(v.digits[i] - '0');
        if (magnitude > (UINT64_MAX - digit) / 10) return ValueStatus::kOutOfRange;
        magnitude = magnitude * 10 + digit;
    }
    const unsigned bits = static_cast<unsigned>(8 * picture.size);
    // The storage's range: [-2^(bits-1), 2^(bits-1)) signed, [0, 2^bits) unsigned.
    const std::uint64_t top = picture.is_signed ? (std::uint64_t{1} << (bits - 1))
                                                : (bits == 64 ? UINT64_MAX : (std::uint64_t{1} << bits) - 1);
    if (picture.is_signed ? (v.negative ? magnitude > top : magnitude >= top) : magnitude > top) {
        return ValueStatus::kOutOfRange;
    }
    WriteBinary(picture, v.negative ? ~magnitude + 1 : magnitude, out);
    return ValueStatus::kOk;
}

}  // namespace

NumberPicture PictureOf(const Field& field) {
    NumberPicture p;
    p.kind = field.kind;
    p.digits = field.digits;
    p.scale = field.scale;
    p.is_signed = field.is_signed;
    p.sign = field.sign == SignPosition::kNone ? SignPosition::kTrailing : field.sign;
    p.separate = field.sign_separate;
    p.blank_when_zero = field.blank_when_zero;
    p.size = field.size;
    return p;
}

NumberStatus DecodeNumber(const NumberPicture& picture, const ZonedBytes& zoned, const std::uint8_t* bytes, char* text,
                          std::size_t& length) {
    switch (picture.kind) {
        case FieldKind::kZoned:
            return DecodeZoned(picture, zoned, bytes, text, length);
        case FieldKind::kPacked:
            return DecodePacked(picture, bytes, text, length);
        default:
            DecodeBinary(picture, bytes, text, length);
            return NumberStatus::kOk;
    }
}

ValueStatus EncodeNumber(const NumberPicture& picture, const ZonedBytes& zoned, const char* text, std::size_t length,
                         std::uint8_t* out) {
    const ParsedValue v = ParseValue(text, length, picture.scale);
    if (v.status != ValueStatus::kOk) return v.status;
    if (v.negative && !picture.is_signed) return ValueStatus::kNegativeUnsigned;
    if (picture.kind == FieldKind::kNativeBinary) return EncodeBinary(picture, v, out);
    if (v.count > picture.digits) return ValueStatus::kTooManyDigits;
    if (picture.kind == FieldKind::kBinary) return EncodeBinary(picture, v, out);
    char digits[kMaxDecimalDigits];
    PadDigits(v, picture.digits, digits);
    if (picture.kind == FieldKind::kPacked) {
        WritePacked(picture, digits, v.negative, out);
    } else if (picture.blank_when_zero && v.count == 0) {
        EncodeBlank(picture, zoned, out);
    } else {
        WriteZoned(picture, zoned, digits, v.negative, out);
    }
    return ValueStatus::kOk;
}

void EncodeZero(const NumberPicture& picture, const ZonedBytes& zoned, std::uint8_t* out) {
    (void)EncodeNumber(picture, zoned, "0", 1, out);  // 0 fits every picture
}

void EncodeBlank(const NumberPicture& picture, const ZonedBytes& zoned, std::uint8_t* out) {
    std::memset(out, zoned.space, picture.size);
}

const char* ValueStatusText(ValueStatus status) {
    switch (status) {
        case ValueStatus::kOk:
            return "ok";
        case ValueStatus::kNotANumber:
            return "is not a decimal number";
        case ValueStatus::kTooManyDigits:
            return "has more integer digits than the picture";
        case ValueStatus::kTooManyDecimals:
            return "has more decimals than the picture";
        case ValueStatus::kNegativeUnsigned:
            return "is negative, and the picture has no sign";
        case ValueStatus::kOutOfRange:
            return "is outside the binary field's range";
    }
    return "is not valid";
}

}  // namespace dataset
}  // namespace lumtrax
