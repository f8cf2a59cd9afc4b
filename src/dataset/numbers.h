// The numbers of a record: zoned, packed and binary fields to exact decimal
// text and back, by their picture and the record's host code. No floating
// point anywhere: a value is its digits, a sign and the picture's scale.
//
// The canonical text of a value: "-" for a negative value (never for zero),
// the integer digits without leading zeros ("0" when there are none), then,
// for a scale above 0, "." and exactly scale digits. A negative scale (a
// picture that ends in P) appends that many zeros to a value that is not
// zero. PIC S9(3)V99 holding -1 is "-0.01", holding 0 is "0.00".
#ifndef LUMTRAX_DATASET_NUMBERS_H
#define LUMTRAX_DATASET_NUMBERS_H

#include <cstddef>
#include <cstdint>

#include "lumtrax_dataset.hpp"

namespace lumtrax {
namespace dataset {

// The longest canonical text: 38 digits, a sign, a point, a leading 0 and
// the zeros of a scale, with room to spare.
constexpr std::size_t kMaxNumberText = 96;
// The most digits a zoned or packed field may have, and a binary one.
constexpr int kMaxDecimalDigits = 38;
constexpr int kMaxBinaryDigits = 18;

// The bytes of the host code that zoned numbers are written with.
struct ZonedBytes {
    std::uint8_t zero;  // the digit 0; the digits are zero + 0-9 (EBCDIC: F0-F9, else 30-39)
    std::uint8_t plus;  // the separate signs
    std::uint8_t minus;
    std::uint8_t space;
    bool overpunch;  // signs in the zone of a digit (EBCDIC only)
};

constexpr ZonedBytes ZonedBytesOf(Code host) {
    return host == Code::kEbcdic || host == Code::kEbcdicKana ? ZonedBytes{0xF0, 0x4E, 0x60, 0x40, true}
                                                              : ZonedBytes{0x30, 0x2B, 0x2D, 0x20, false};
}

static_assert(ZonedBytesOf(Code::kEbcdic).zero == 0xF0 && ZonedBytesOf(Code::kEuc).zero == '0');
static_assert(ZonedBytesOf(Code::kEightBit).minus == '-' && ZonedBytesOf(Code::kEbcdicKana).minus == 0x60);

// What a number field's picture says, taken from its Field once.
struct NumberPicture {
    FieldKind kind = FieldKind::kZoned;
    int digits = 0;
    int scale = 0;
    bool is_signed = false;
    SignPosition sign = SignPosition::kTrailing;
    bool separate = false;
    bool blank_when_zero = false;
    std::size_t size = 0;
};

NumberPicture PictureOf(const Field& field);

enum class NumberStatus { kOk, kBlank, kBadDigit, kBadSign, kBadNibble };

// Writes the canonical text of the field at bytes (picture.size bytes) to
// text, its length to length. kBlank: a zoned field of host spaces only
// (without BLANK WHEN ZERO, which makes it 0).
NumberStatus DecodeNumber(const NumberPicture& picture, const ZonedBytes& zoned, const std::uint8_t* bytes, char* text,
                          std::size_t& length);

enum class ValueStatus { kOk, kNotANumber, kTooManyDigits, kTooManyDecimals, kNegativeUnsigned, kOutOfRange };

// Writes the value of a decimal text (an optional sign, digits, an optional
// point and digits) into picture.size bytes at out.
ValueStatus EncodeNumber(const NumberPicture& picture, const ZonedBytes& zoned, const char* text, std::size_t length,
                         std::uint8_t* out);

// The field's empty value: host spaces for blank-when-zero zoned fields,
// else zero.
void EncodeZero(const NumberPicture& picture, const ZonedBytes& zoned, std::uint8_t* out);
// Host spaces (a zoned field's null).
void EncodeBlank(const NumberPicture& picture, const ZonedBytes& zoned, std::uint8_t* out);

const char* ValueStatusText(ValueStatus status);

}  // namespace dataset
}  // namespace lumtrax

#endif  // LUMTRAX_DATASET_NUMBERS_H
