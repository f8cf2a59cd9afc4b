#include "gaiji/gaiji.h"

#include "gaiji/gaiji_server.h"

namespace lumtrax {
namespace {

// JIS row 2 cell 3, a black square, in each direction.
constexpr std::uint8_t kSubstituteOutOfSjis[2] = {0xA2, 0xA3};
constexpr std::uint8_t kSubstituteIntoSjis[2] = {0x81, 0xA1};

// The server writes into a buffer of 8 bytes; only the first two are read.
constexpr int kResultBufferSize = 8;

void WriteOutcome(bool converted, const std::uint8_t* result, const std::uint8_t* substitute,
                  std::uint8_t* out, std::int32_t* status) {
    const std::uint8_t* code = converted ? result : substitute;
    out[0] = code[0];
    out[1] = code[1];
    NoteGaijiOutcome(status, converted);
}

}  // namespace

void GaijiToHost(std::uint8_t lead, std::uint8_t trail, HostCodeKind kind, std::uint8_t* out,
                 std::int32_t* status) {
    const unsigned char record[3] = {lead, trail, 0x00};
    unsigned char result[kResultBufferSize] = {};
    const bool converted =
        GaijiConvGetHOST(0, record, result, static_cast<int>(kind)) == GAIJI_CONVERTED;
    WriteOutcome(converted, result, kSubstituteOutOfSjis, out, status);
}

void GaijiToSjis(const std::uint8_t* record, HostCodeKind kind, std::uint8_t* out,
                 std::int32_t* status) {
    unsigned char result[kResultBufferSize] = {};
    const bool converted =
        GaijiConvGetSJIS(0, record, result, static_cast<int>(kind)) == GAIJI_CONVERTED;
    WriteOutcome(converted, result, kSubstituteIntoSjis, out, status);
}

}  // namespace lumtrax
