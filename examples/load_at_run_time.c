/* Windows: loads Lumtrax.dll at run time and calls an export found by its
 * ordinal, as a program does that is not linked with the import library.
 * It checks that it gets what the documentation says (the Windows tests run
 * it under Wine). */
#include <windows.h>

#include <stdio.h>
#include <string.h>

typedef int (WINAPI *LumtraxProc)(int type, unsigned char *dst, const unsigned char *src,
                                  int mode, int *status);

int main(void) {
    int ok = 0;
    HMODULE dll = LoadLibraryA("Lumtrax.dll");  /* finds Quobel.dll beside it */
    if (dll != NULL) {
        LumtraxProc convert = (LumtraxProc)(void *)GetProcAddress(dll, MAKEINTRESOURCEA(1));
        const unsigned char sjis[] = {0x41, 0x88, 0x9F, 0x0D, 0x0A, 0x00};
        unsigned char host[16];
        int status;
        int n = convert(0, host, sjis, 0, &status);
        /* n == 7, host == C1 2B B0 A1 2C 0D 25 00, status == 0 */
        ok = n == 7 && memcmp(host, "\xC1\x2B\xB0\xA1\x2C\x0D\x25", 8) == 0 && status == 0;
        FreeLibrary(dll);
    }
    printf("%s\n", ok ? "converted as documented" : "FAILED: not as documented");
    return ok ? 0 : 1;
}
