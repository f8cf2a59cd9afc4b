// The forms a gaiji's code takes between a host or EUC text and the gaiji
// server, as the conversions make them:
//   - the two bytes a text holds, what a site sees in its data;
//   - the code record that the conversion into Shift-JIS hands to the server
//     for those bytes (ReadInRun);
//   - the server's answer, which the conversion out of Shift-JIS writes into
//     the text (WrittenAnswer).
// The stand-in server and the checks of its gaiji tables know where a gaiji
// may lie from these functions alone, and these take every rule from the
// conversions' own classes: this header is the one place where the server
// looks into the conversions. tests/code_forms_test.cpp holds them against
// the conversions themselves over every pair of bytes.
#ifndef LUMTRAX_GAIJI_CODE_FORMS_H
#define LUMTRAX_GAIJI_CODE_FORMS_H

#include <cstdint>

#include "codes/ebcdic_host.h"
#include "codes/eightbit_host.h"
#include "codes/euc.h"
#include "codes/shift_jis.h"
#include "common/bytes.h"
#include "gaiji/gaiji.h"

namespace lumtrax {
namespace code_forms {

// Shift-JIS: the pairs that the conversions out of Shift-JIS hand to the
// server.
constexpr bool IsServerSjis(BytePair sjis) { return IsSjisGaiji(sjis.lead, sjis.trail); }

// What the conversion into Shift-JIS makes of two bytes where a double-byte
// character begins (in the host codes, inside a run opened by a shift code
// or sequence).
enum class Reading {
    kServer,        // hands them to the gaiji server
    kShiftCode,     // the first byte is a shift code, or the two a shift sequence
    kJisCharacter,  // converts them by the JIS X 0208 arithmetic
    kSpace,         // the 8-bit host code's ideographic space, 20 20
    kSingleByte,    // EUC: the first byte is a character of its own
    kSingleShift,   // EUC: 8E and a half-width katakana
};

// As the conversions into Shift-JIS (src/to_sjis/) read a pair, by the
// rules of each code (src/codes/); record receives what they hand to the
// server when they do.
constexpr Reading ReadInRun(HostCodeKind kind, BytePair text, CodeRecord* record) {
    const std::uint8_t lead = text.lead;
    const std::uint8_t trail = text.trail;
    switch (kind) {
        case HostCodeKind::kEbcdicHost:
            if (IsEbcdicShiftCode(lead)) return Reading::kShiftCode;
            if (IsEbcdicJisPair(lead, trail)) return Reading::kJisCharacter;
            *record = EbcdicHostRecord(lead, trail);
            return Reading::kServer;
        case HostCodeKind::kEightBitHost:
            if (IsEightBitSequence(lead, trail)) return Reading::kShiftCode;
            if (IsEightBitJisPair(lead, trail)) return Reading::kJisCharacter;
            if (IsEightBitSpace(lead, trail)) return Reading::kSpace;
            *record = {{lead, trail, 0x00, 0x00}};
            return Reading::kServer;
        case HostCodeKind::kEuc:
            if (lead < 0x80) return Reading::kSingleByte;
            if (lead == kSingleShift2) return Reading::kSingleShift;
            if (IsEucJisPair(lead, trail)) return Reading::kJisCharacter;
            *record = EucRecord(lead, trail);
            return Reading::kServer;
    }
    return Reading::kSingleByte;
}

// The bytes the conversion out of Shift-JIS writes for a gaiji whose code
// the server answered with answer (sjis_to_ebcdic.cpp writes it in the form
// of its class, the others as it stands).
constexpr BytePair WrittenAnswer(HostCodeKind kind, BytePair answer) {
    return kind == HostCodeKind::kEbcdicHost ? EbcdicHostPair(answer.lead, answer.trail) : answer;
}

// The bytes of a record before its 00: 2, or 3 for EUC's code-set-3 form
// (8F lead trail). Reads no byte past the first 00.
constexpr int RecordLength(const std::uint8_t* record) {
    int length = 0;
    while (length < 4 && record[length] != 0x00) ++length;
    return length;
}

constexpr bool SameRecord(const std::uint8_t* a, const std::uint8_t* b, int length) {
    for (int k = 0; k < length; ++k) {
        if (a[k] != b[k]) return false;
    }
    return true;
}

// The answer the server gives for the gaiji whose bytes in the text are
// text, handed over as record: the record's own two bytes, the form in which
// the server exchanges codes (after a record of three bytes, the text's own
// two). answer receives it; false when the conversion out of Shift-JIS writes
// that answer as other bytes, so that the code would not come back as itself.
constexpr bool AnswerFor(HostCodeKind kind, BytePair text, const CodeRecord& record, BytePair* answer) {
    *answer = RecordLength(record.bytes) == 2 ? BytePair{record.bytes[0], record.bytes[1]} : text;
    const BytePair written = WrittenAnswer(kind, *answer);
    return written.lead == text.lead && written.trail == text.trail;
}

// The text's bytes that a record handed to the server stands for, found from
// the record by the way back of ReadInRun and checked by ReadInRun itself.
// False for a record that the conversions never hand over.
constexpr bool TextOfRecord(HostCodeKind kind, const std::uint8_t* record, BytePair* text) {
    const int length = RecordLength(record);
    BytePair candidate{0, 0};
    if (length == 2) {
        candidate = WrittenAnswer(kind, {record[0], record[1]});
    } else if (length == 3 && kind == HostCodeKind::kEuc && record[0] == 0x8F) {
        candidate = {record[1], static_cast<std::uint8_t>(record[2] & 0x7F)};
    } else {
        return false;
    }
    CodeRecord again{};
    if (ReadInRun(kind, candidate, &again) != Reading::kServer || RecordLength(again.bytes) != length ||
        !SameRecord(again.bytes, record, length)) {
        return false;
    }
    *text = candidate;
    return true;
}

}  // namespace code_forms
}  // namespace lumtrax

#endif  // LUMTRAX_GAIJI_CODE_FORMS_H
