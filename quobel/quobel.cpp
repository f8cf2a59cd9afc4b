// quobel: the stand-in gaiji server. It converts the Shift-JIS user-defined
// area F040-F9FC (1880 codes, numbered n = 0..1879 in code order) to and
// from the host codes:
//   EBCDIC and 8-bit host code (kinds 1, 2): (A1 + n / 94, 21 + n % 94)
//   EUC (kind 3), rows 85-94, n < 940:      (F5 + n / 94, A1 + n % 94)
// and, on the way back into Shift-JIS, JIS open-area codes (kind 1 records
// carry the JIS bytes 21-7E, kind 3 records carry them with the high bit)
// whose Shift-JIS code is of the kanji class but no gaiji, so that the
// kanji-class codes that JIS X 0208 leaves empty survive a round trip.
#include "gaiji/gaiji_server.h"

namespace {

constexpr int kUserDefinedCount = 1880;
constexpr int kEucUserDefinedCount = 940;
constexpr int kCellsPerRow = 94;
constexpr int kTrailsPerLead = 188;

bool InRange(int b, int lo, int hi) { return b >= lo && b <= hi; }

bool IsSjisTrail(int trail) { return InRange(trail, 0x40, 0x7E) || InRange(trail, 0x80, 0xFC); }

// n for a user-defined Shift-JIS code, or -1.
int UserDefinedIndex(int lead, int trail) {
    if (!InRange(lead, 0xF0, 0xF9) || !IsSjisTrail(trail)) return -1;
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
int HostIndex(int first, int second, int kind) {
    if (kind == GAIJI_KIND_EUC) {
        if (!InRange(first, 0xF5, 0xFE) || !InRange(second, 0xA1, 0xFE)) return -1;
        return (first - 0xF5) * kCellsPerRow + (second - 0xA1);
    }
    if (!InRange(first, 0xA1, 0xFE) || !InRange(second, 0x21, 0x7E)) return -1;
    const int n = (first - 0xA1) * kCellsPerRow + (second - 0x21);
    return n < kUserDefinedCount ? n : -1;
}

bool IsSjisKanjiNotGaiji(int lead, int trail) {
    const bool kanji = (InRange(lead, 0x81, 0x9F) || InRange(lead, 0xE0, 0xEF)) && IsSjisTrail(trail);
    const bool gaiji = (lead == 0x87 && (InRange(trail, 0x40, 0x7E) || InRange(trail, 0x80, 0x9E))) ||
                       InRange(lead, 0xED, 0xEE);
    return kanji && !gaiji;
}

// The assigned area of JIS X 0208: rows 1-7, row 8 cells 1-32, rows 16-83,
// row 84 cells 1-6.
bool IsJisAssigned(int row, int cell) {
    if (InRange(row, 0x21, 0x27) || InRange(row, 0x30, 0x73)) return true;
    if (row == 0x28) return cell <= 0x40;
    if (row == 0x74) return cell <= 0x26;
    return false;
}

// The JIS X 0208 arithmetic, for codes in the open area.
bool OpenAreaJisToSjis(int row, int cell, unsigned char* result) {
    if (!InRange(row, 0x21, 0x7E) || !InRange(cell, 0x21, 0x7E)) return false;
    if (IsJisAssigned(row, cell)) return false;
    const int lead = ((row + 1) >> 1) + (row < 0x5F ? 0x70 : 0xB0);
    const int trail = row % 2 == 1 ? cell + 0x1F + (cell >= 0x60 ? 1 : 0) : cell + 0x7E;
    if (!IsSjisKanjiNotGaiji(lead, trail)) return false;
    result[0] = static_cast<unsigned char>(lead);
    result[1] = static_cast<unsigned char>(trail);
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
    const int first = record[0];
    if (first == 0x00) return 0;
    const int second = record[1];
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
