// The four exported functions. Each conversion export names its way with
// shift codes, turns the line-end mode into the core's, and hands everything
// to the dispatcher; the status goes back as its number.
#include "api/dispatch.h"
#include "common/modes.h"
#include "gaiji/gaiji_server.h"
#include "lumtrax.h"

static_assert(sizeof(int) == sizeof(std::int32_t), "the interface passes 32-bit integers");

namespace {

int ExportConversion(int type, unsigned char* dst, const unsigned char* src, int len, int mode, int* status,
            lumtrax::ShiftMode shift) {
    lumtrax::GaijiOutcome outcome = lumtrax::GaijiOutcome::kNone;
    const int result = lumtrax::ConvertDispatch(type, dst, src, len, {lumtrax::LineEndModeOf(mode), shift}, outcome);
    if (status != nullptr) *status = static_cast<int>(outcome);
    return result;
}

}  // namespace

extern "C" {

LUMTRAX_PUBLIC int LUMTRAX_WINAPI Lumtrax(int type, unsigned char* dst, const unsigned char* src, int mode,
                                          int* status) {
    return ExportConversion(type, dst, src, 0, mode, status, lumtrax::ShiftMode::kPlain);
}

LUMTRAX_PUBLIC int LUMTRAX_WINAPI Lumtrax_LRSS(int type, unsigned char* dst, const unsigned char* src, int len,
                                               int mode, int* status) {
    return ExportConversion(type, dst, src, len, mode, status, lumtrax::ShiftMode::kLrss);
}

LUMTRAX_PUBLIC int LUMTRAX_WINAPI Lumtrax_NoShift(int type, unsigned char* dst, const unsigned char* src, int mode,
                                                  int* status) {
    return ExportConversion(type, dst, src, 0, mode, status, lumtrax::ShiftMode::kNoShift);
}

LUMTRAX_PUBLIC int LUMTRAX_WINAPI GetGaijiServerVersion(int level, int* version) {
    const int level_answer = GaijiConvGetLevel(level);
    const int server_version = GaijiConvGetVersion();
    if (version != nullptr) *version = server_version;
    return level_answer == 0 ? 1 : 0;
}

}  // extern "C"
