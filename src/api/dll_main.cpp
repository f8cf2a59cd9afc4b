// The entry routine of Lumtrax.dll: it answers 1 for process attach and 0
// for every other reason, and keeps no state. The library sets up nothing of
// its own; the C and C++ run-time that it links statically does.
#include <windows.h>

namespace {

BOOL EntryAnswer(DWORD reason) { return reason == DLL_PROCESS_ATTACH ? TRUE : FALSE; }

}  // namespace

extern "C" {

// Called by the run-time's start-up once the run-time is set up.
BOOL WINAPI DllMain(HINSTANCE /*instance*/, DWORD reason, LPVOID /*reserved*/) { return EntryAnswer(reason); }

#if defined(__MINGW32__)
// MinGW-w64's own entry routine (dllcrt2.o): sets up and tears down the
// run-time, calls DllMain, and answers 1 to thread detach whatever DllMain
// says.
BOOL WINAPI DllMainCRTStartup(HANDLE instance, DWORD reason, LPVOID reserved);

// The DLL's entry point (linked with --entry): the run-time's start-up and
// tear-down run as usual, and the system gets the library's answer.
BOOL WINAPI LumtraxDllEntry(HANDLE instance, DWORD reason, LPVOID reserved) {
    const BOOL started = DllMainCRTStartup(instance, reason, reserved);
    return reason == DLL_PROCESS_ATTACH ? started : EntryAnswer(reason);
}
#endif

}  // extern "C"
