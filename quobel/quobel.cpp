// quobel: the stand-in gaiji server. It converts a site's gaiji as the
// site's gaiji table says (quobel/server_table.h: where the table comes from;
// quobel/gaiji_table.h: its format), and the codes the table does not list
// by its built-in arithmetic, unless the table says "fallback off". Without a
// table file the arithmetic is all there is. It maps the Shift-JIS
// user-defined area F040-F9FC (1880 codes, numbered n = 0..1879 in code
// order) to and from the host codes, in the form the server exchanges with
// the library:
//   EBCDIC and 8-bit host code (kinds 1, 2): (A1 + n / 94, 21 + n % 94)
//   EUC (kind 3), rows 85-94, n < 940:      (F5 + n / 94, A1 + n % 94)
// and, on the way back into Shift-JIS, JIS open-area codes (kind 1 records
// carry the JIS bytes 21-7E, kind 3 records carry them with the high bit)
// whose Shift-JIS code is of the kanji class but no gaiji, so that the
// kanji-class codes that JIS X 0208 leaves empty survive a round trip.
//
// The arithmetic yields to the table: where it would give a code that the
// table gives to another gaiji, the call fails, so that no code comes back
// as another. A table with an error is refused, and every call fails.
#include <algorithm>
#include <cstring>

#include "common/bytes.h"
#include "gaiji/code_forms.h"
#include "gaiji/gaiji_server.h"
#include "quobel.h"
#include "server_table.h"

namespace {

using lumtrax::BytePair;
using lumtrax::HostCodeKind;
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

// The built-in arithmetic out of Shift-JIS.
bool ArithmeticToHost(BytePair sjis, int kind, unsigned char* result) {
    const int n = UserDefinedIndex(sjis.lead, sjis.trail);
    if (n < 0) return false;
    if (kind == GAIJI_KIND_EUC) {
        if (n >= kEucUserDefinedCount) return false;
        result[0] = static_cast<unsigned char>(0xF5 + n / kCellsPerRow);
        result[1] = static_cast<unsigned char>(0xA1 + n % kCellsPerRow);
    } else {
        result[0] = static_cast<unsigned char>(0xA1 + n / kCellsPerRow);
        result[1] = static_cast<unsigned char>(0x21 + n % kCellsPerRow);
    }
    return true;
}

// The built-in arithmetic into Shift-JIS, for a record that is not empty.
bool ArithmeticToSjis(const unsigned char* record, int kind, unsigned char* result) {
    const std::uint8_t first = record[0];
    const std::uint8_t second = record[1];
    const int n = HostIndex(first, second, kind);
    if (n >= 0) {
        SjisOfIndex(n, result);
        return true;
    }
    if (kind == GAIJI_KIND_EBCDIC_HOST) return OpenAreaJisToSjis(first, second, result);
    return kind == GAIJI_KIND_EUC && first >= 0x80 && second >= 0x80 &&
           OpenAreaJisToSjis(first & 0x7F, second & 0x7F, result);
}

void Write(BytePair code, unsigned char* result) {
    result[0] = code.lead;
    result[1] = code.trail;
}

}  // namespace

extern "C" {

GAIJI_PUBLIC int GAIJI_WINAPI GaijiConvGetHOST(int, const unsigned char* record, unsigned char* result, int kind) {
    if (record == nullptr || result == nullptr || !IsKnownKind(kind) || record[0] == 0x00) return 0;
    const quobel::ServerTable& server = quobel::TheServerTable();
    if (server.state == QUOBEL_TABLE_REFUSED) return 0;
    const BytePair sjis{record[0], record[1]};
    const auto host_kind = static_cast<HostCodeKind>(kind);
    const quobel::GaijiTable* table = server.table;
    BytePair answer{};
    if (table != nullptr && table->ToHost(sjis, host_kind, &answer)) {
        Write(answer, result);
        return GAIJI_CONVERTED;
    }
    if (table != nullptr && !table->fallback()) return 0;
    unsigned char computed[2];
    if (!ArithmeticToHost(sjis, kind, computed)) return 0;
    if (table != nullptr &&
        table->ListsText(host_kind, lumtrax::code_forms::WrittenAnswer(host_kind, {computed[0], computed[1]}))) {
        return 0;
    }
    Write({computed[0], computed[1]}, result);
    return GAIJI_CONVERTED;
}

GAIJI_PUBLIC int GAIJI_WINAPI GaijiConvGetSJIS(int, const unsigned char* record, unsigned char* result, int kind) {
    if (record == nullptr || result == nullptr || !IsKnownKind(kind) || record[0] == 0x00) return 0;
    const quobel::ServerTable& server = quobel::TheServerTable();
    if (server.state == QUOBEL_TABLE_REFUSED) return 0;
    const quobel::GaijiTable* table = server.table;
    BytePair sjis{};
    if (table != nullptr && table->ToSjis(static_cast<HostCodeKind>(kind), record, &sjis)) {
        Write(sjis, result);
        return GAIJI_CONVERTED;
    }
    if (table != nullptr && !table->fallback()) return 0;
    unsigned char computed[2];
    if (!ArithmeticToSjis(record, kind, computed)) return 0;
    if (table != nullptr && table->ListsSjis({computed[0], computed[1]})) return 0;
    Write({computed[0], computed[1]}, result);
    return GAIJI_CONVERTED;
}

GAIJI_PUBLIC int GAIJI_WINAPI GaijiConvGetLevel(int) { return 0; }

GAIJI_PUBLIC int GAIJI_WINAPI GaijiConvGetVersion(void) { return 0x00010000; }

GAIJI_PUBLIC int QuobelGaijiTable(char* text, int size) {
    const quobel::ServerTable& server = quobel::TheServerTable();
    if (text != nullptr && size > 0) {
        const char* line = server.description.empty() ? "refused (out of memory while loading it); every gaiji fails"
                                                      : server.description.c_str();
        const std::size_t n = std::min(std::strlen(line), static_cast<std::size_t>(size) - 1);
        std::memcpy(text, line, n);
        text[n] = '\0';
    }
    return server.state;
}

GAIJI_PUBLIC int QuobelGaijiCharacters(const GaijiCharacter** list) {
    const quobel::ServerTable& server = quobel::TheServerTable();
    const quobel::GaijiTable* table = server.state == QUOBEL_TABLE_LOADED ? server.table : nullptr;
    if (list == nullptr) return 0;
    if (table == nullptr || table->characters().empty()) {
        *list = nullptr;
        return 0;
    }
    *list = table->characters().data();
    return static_cast<int>(table->characters().size());
}

}  // extern "C"
