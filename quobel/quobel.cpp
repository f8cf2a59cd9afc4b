// quobel: the stand-in gaiji server. It converts the Shift-JIS user-defined
// area F040-F9FC (1880 codes, numbered n = 0..1879 in code order) to and
// from the host codes:
//   EBCDIC and 8-bit host code (kinds 1, 2): (A1 + n / 94, 21 + n % 94)
//   EUC (kind 3), rows 85-94, n < 940:      (F5 + n / 94, A1 + n % 94)
// and, on the way back into Shift-JIS, JIS open-area codes (kind 1 records
// carry the JIS bytes 21-7E, kind 3 records carry them with the high bit)
// whose Shift-JIS code is of the kanji class but no gaiji, so that the
// kanji-class codes that JIS X 0208 leaves empty survive a round trip.
#include "common/bytes.h"
#include "gaiji/gaiji_server.h"
#include "codes/ebcdic_host.h"
#include "codes/shift_jis.h"

namespace {

using lumtrax::InRange;

constexpr int kUserDefinedCount = 1880;
constexpr int kEucUserDefinedCount = 940;
constexpr int kCellsPerRow = 94;
constexpr int kTrailsPerLead = 188;

// n for a user-defined Shift-JIS code, or -1.
int UserDefinedIndex(std::uint8_t lead, std::uint8_t trail) {
    if (!InRange(lead, 0xF0, 0xF9) || !lumtrax::IsSjisTrail(trail)) return -1;
    return (lead - 0xF0) * kTrailsPerLead + (trail - 0x40) - (trail >= 0x80 ? 1 : 0);
}

void SjisOfIndex(int n, unsigned char* result) {
    const int lead = 0xF0 + n / kTrailsPerLead;
    const int offset = n % kTrailsPerLead;
    const int trail = 0x40 + offset + (offset >= 0x3F ? 1 : 0);  // skips 7F
    result[0] = static_cast<unsigned char>(lead);
    result[1] = static_cast<unsigned char>(trail);
}

// The row and cell numbers (0-based) of a host record, or -1.
int HostIndex(std::uint8_t first, std::uint8_t second, int kind) {
    if (kind == GAIJI_KIND_EUC) {
        if (!InRange(first, 0xF5, 0xFE) || !InRange(second, 0xA1, 0xFE)) return -1;
        return (first - 0xF5) * kCellsPerRow + (second - 0xA1);
    }
    if (!InRange(first, 0xA1, 0xFE) || !InRange(second, 0x21, 0x7E)) return -1;
    const int n = (first - 0xA1) * kCellsPerRow + (second - 0x21);
    return n < kUserDefinedCount ? n : -1;
}

// The JIS X 0208 arithmetic, for codes of the open area whose Shift-JIS code
// is of the kanji class and no gaiji.
bool OpenAreaJisToSjis(std::uint8_t row, std::uint8_t cell, unsigned char* result) {
    if (!lumtrax::IsJisOpenAreaPair(row, cell)) return false;
    const lumtrax::BytePair sjis = lumtrax::JisToSjis(row, cell);
    if (!lumtrax::IsSjisKanji(sjis.lead, sjis.trail) || lumtrax::IsSjisGaiji(sjis.lead, sjis.trail)) {
        return false;
    }
    result[0] = sjis.lead;
    result[1] = sjis.trail;
    return true;
}

bool IsKnownKind(int kind) {
    return kind == GAIJI_KIND_EBCDIC_HOST || kind == GAIJI_KIND_EIGHT_BIT_HOST || kind == GAIJI_KIND_EUC;
}

}  // namespace

extern "C" {

GAIJI_PUBLIC int GAIJI_WINAPI GaijiConvGetHOST(int, const unsigned char* record, unsigned char* result,
                                               int kind) {
    if (record == nullptr || result == nullptr || !IsKnownKind(kind)) return 0;
    const int n = UserDefinedIndex(record[0], record[1]);
    if (n < 0) return 0;
    if (kind == GAIJI_KIND_EUC) {
        if (n >= kEucUserDefinedCount) return 0;
        result[0] = static_cast<unsigned char>(0xF5 + n / kCellsPerRow);
        result[1] = static_cast<unsigned char>(0xA1 + n % kCellsPerRow);
    } else {
        result[0] = static_cast<unsigned char>(0xA1 + n / kCellsPerRow);
        result[1] = static_cast<unsigned char>(0x21 + n % kCellsPerRow);
    }
    return GAIJI_CONVERTED;
}

GAIJI_PUBLIC int GAIJI_WINAPI GaijiConvGetSJIS(int, const unsigned char* record, unsigned char* result,
                                               int kind) {
    if (record == nullptr || result == nullptr || !IsKnownKind(kind)) return 0;
    const std::uint8_t first = record[0];
    if (first == 0x00) return 0;
    const std::uint8_t second = record[1];
    const int n = HostIndex(first, second, kind);
    if (n >= 0) {
        SjisOfIndex(n, result);
        return GAIJI_CONVERTED;
    }
    if (kind == GAIJI_KIND_EBCDIC_HOST && OpenAreaJisToSjis(first, second, result)) return GAIJI_CONVERTED;
    if (kind == GAIJI_KIND_EUC && first >= 0x80 && second >= 0x80 &&
        OpenAreaJisToSjis(first & 0x7F, second & 0x7F, result)) {
        return GAIJI_CONVERTED;
    }
    return 0;
}

GAIJI_PUBLIC int GAIJI_WINAPI GaijiConvGetLevel(int) { return 0; }

GAIJI_PUBLIC int GAIJI_WINAPI GaijiConvGetVersion(void) { return 0x00010000; }

}  // extern "C"
