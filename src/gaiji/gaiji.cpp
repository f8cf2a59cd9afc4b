#include "gaiji/gaiji.h"

#include "gaiji/gaiji_server.h"

namespace lumtrax {
namespace {

// JIS row 2 cell 3, a black square, in each direction.
constexpr BytePair kSubstituteOutOfSjis = {0xA2, 0xA3};
constexpr BytePair kSubstituteIntoSjis = {0x81, 0xA1};

// The server writes into a buffer of 8 bytes; only the first two are read.
constexpr int kResultBufferSize = 8;

BytePair Outcome(int answer, const unsigned char* result, BytePair substitute, GaijiOutcome& status) {
    const bool converted = answer == GAIJI_CONVERTED;
    status = AfterServerCall(status, converted);
    return converted ? BytePair{result[0], result[1]} : substitute;
}

}  // namespace

BytePair GaijiToHost(std::uint8_t lead, std::uint8_t trail, HostCodeKind kind, GaijiOutcome& status) {
    const unsigned char record[3] = {lead, trail, 0x00};
    unsigned char result[kResultBufferSize] = {};
    const int answer = GaijiConvGetHOST(0, record, result, static_cast<int>(kind));
    return Outcome(answer, result, kSubstituteOutOfSjis, status);
}

BytePair GaijiToSjis(const CodeRecord& record, HostCodeKind kind, GaijiOutcome& status) {
    unsigned char result[kResultBufferSize] = {};
    const int answer = GaijiConvGetSJIS(0, record.bytes, result, static_cast<int>(kind));
    return Outcome(answer, result, kSubstituteIntoSjis, status);
}

}  // namespace lumtrax
