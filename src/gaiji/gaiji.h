// The library's side of the gaiji server: the calls with their code records,
// the substitute for a gaiji the server cannot convert, and the status rule.
#ifndef LUMTRAX_GAIJI_GAIJI_H
#define LUMTRAX_GAIJI_GAIJI_H

#include <cstdint>

#include "codes/host_code.h"
#include "common/bytes.h"
#include "common/modes.h"

namespace lumtrax {

// Asks the server for the host code of the Shift-JIS gaiji lead trail: its
// two bytes, or the substitute A2 A3 when it fails. Adds the call to status.
BytePair GaijiToHost(std::uint8_t lead, std::uint8_t trail, HostCodeKind kind, GaijiOutcome& status);

// Hands a host or EUC code record to the server: the Shift-JIS code, or the
// substitute 81 A1 when it fails. Adds the call to status.
BytePair GaijiToSjis(const CodeRecord& record, HostCodeKind kind, GaijiOutcome& status);

}  // namespace lumtrax

#endif  // LUMTRAX_GAIJI_GAIJI_H
