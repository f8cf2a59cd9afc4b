// The four exported functions. Each conversion export adds its two flags
// (lrss, shift) and hands everything to the dispatcher.
#include "api/dispatch.h"
#include "gaiji/gaiji_server.h"
#include "lumtrax.h"

static_assert(sizeof(int) == sizeof(std::int32_t), "the interface passes 32-bit integers");

extern "C" {

LUMTRAX_PUBLIC int LUMTRAX_WINAPI Lumtrax(int type, unsigned char* dst, const unsigned char* src, int mode,
                                          int* status) {
    return lumtrax::ConvertDispatch(type, dst, src, 0, mode, status, false, true);
}

LUMTRAX_PUBLIC int LUMTRAX_WINAPI Lumtrax_LRSS(int type, unsigned char* dst, const unsigned char* src, int len,
                                               int mode, int* status) {
    return lumtrax::ConvertDispatch(type, dst, src, len, mode, status, true, true);
}

LUMTRAX_PUBLIC int LUMTRAX_WINAPI Lumtrax_NoShift(int type, unsigned char* dst, const unsigned char* src, int mode,
                                                  int* status) {
    return lumtrax::ConvertDispatch(type, dst, src, 0, mode, status, false, false);
}

LUMTRAX_PUBLIC int LUMTRAX_WINAPI GetGaijiServerVersion(int level, int* version) {
    const int level_answer = GaijiConvGetLevel(level);
    const int server_version = GaijiConvGetVersion();
    if (version != nullptr) *version = server_version;
    return level_answer == 0 ? 1 : 0;
}

}  // extern "C"
