// The library's side of the gaiji server: the calls with their code records,
// the substitute for a gaiji the server cannot convert, and the status rule.
#ifndef LUMTRAX_GAIJI_GAIJI_H
#define LUMTRAX_GAIJI_GAIJI_H

#include <cstdint>

#include "common/bytes.h"

namespace lumtrax {

// The kind of host code, as the server is told it.
enum class HostCodeKind : std::int32_t { kEbcdicHost = 1, kEightBitHost = 2, kEuc = 3 };

// A code record as the server takes it: the code's bytes and a 00; up to
// four bytes.
struct CodeRecord {
    std::uint8_t bytes[4];
};

// The status values: no gaiji met, every gaiji converted, at least one replaced.
constexpr std::int32_t kGaijiNone = 0;
constexpr std::int32_t kGaijiConverted = 1;
constexpr std::int32_t kGaijiReplaced = 2;

// Records the outcome of one server call. A replacement is final for the call.
inline void NoteGaijiOutcome(std::int32_t* status, bool converted) {
    if (!converted) {
        *status = kGaijiReplaced;
    } else if (*status != kGaijiReplaced) {
        *status = kGaijiConverted;
    }
}

// Asks the server for the host code of the Shift-JIS gaiji lead trail: its
// two bytes, or the substitute A2 A3 when it fails. Notes the outcome.
BytePair GaijiToHost(std::uint8_t lead, std::uint8_t trail, HostCodeKind kind, std::int32_t* status);

// Hands a host or EUC code record to the server: the Shift-JIS code, or the
// substitute 81 A1 when it fails. Notes the outcome.
BytePair GaijiToSjis(const CodeRecord& record, HostCodeKind kind, std::int32_t* status);

}  // namespace lumtrax

#endif  // LUMTRAX_GAIJI_GAIJI_H
