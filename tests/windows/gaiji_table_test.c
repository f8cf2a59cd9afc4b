/*
 * The Windows test of the stand-in server's gaiji table: Quobel.dll reads
 * gaiji.tsv from its own folder, found with GetModuleFileNameW.
 *
 * The program copies Lumtrax.dll and Quobel.dll from its own folder into a
 * new folder under %TEMP%, writes a gaiji table there as gaiji.tsv, and
 * loads Lumtrax.dll from there with LOAD_WITH_ALTERED_SEARCH_PATH, so that
 * Quobel.dll comes from that folder too. LUMTRAX_GAIJI_TABLE is cleared
 * first. It checks that each host code's conversion writes the table's codes
 * and brings the text back (row 13's 8740 only the table knows), that
 * Quobel.dll exports no QuobelGaijiTable, and removes the folder.
 *
 * It prints one line per failed check and a last line "N passed, M failed",
 * and exits with 1 when a check failed. Run it from the folder that holds
 * Lumtrax.dll and Quobel.dll; it needs no other file.
 */
#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

typedef int(WINAPI *LumtraxFn)(int type, unsigned char *dst, const unsigned char *src, int mode, int *status);

/* Three gaiji of a site, as examples/gaiji.tsv has them. */
static const char kTable[] =
    "# Shift-JIS\tEBCDIC\t8-bit\tEUC\tcharacter\r\n"
    "F040\t69A1\tC921\tFEA1\t\xE9\xAB\x99\r\n"
    "8740\t6AA1\tCA21\tFDA1\t\xE2\x91\xA0\r\n"
    "FA41\t6CA2\tCC22\tFBA2\t\xE2\x85\xB1\r\n";

static int passed;
static int failed;

static void Check(int ok, const char *format, ...) {
    va_list args;
    if (ok) {
        ++passed;
        return;
    }
    ++failed;
    va_start(args, format);
    printf("FAILED: ");
    vprintf(format, args);
    printf("\n");
    va_end(args);
}

static void Hex(char *out, const unsigned char *bytes, int count) {
    int i;
    out[0] = '\0';
    for (i = 0; i < count; ++i) sprintf(out + strlen(out), "%s%02X", i > 0 ? " " : "", bytes[i]);
}

/* dir\name, in buffer (MAX_PATH). */
static const char *PathIn(char *buffer, const char *dir, const char *name) {
    snprintf(buffer, MAX_PATH, "%s\\%s", dir, name);
    return buffer;
}

static int WriteTable(const char *path) {
    FILE *file = fopen(path, "wb");
    if (file == NULL) return 0;
    fwrite(kTable, 1, sizeof kTable - 1, file);
    return fclose(file) == 0;
}

/* Converts the text (len bytes, a 00 put after them) into out, and checks
 * the status 1 and, unless expected is null, the result in hex. */
static int Convert(LumtraxFn convert, int type, const unsigned char *src, int len, const char *expected,
                   unsigned char *out) {
    unsigned char text[64];
    char hex[256];
    int status = 7;
    int n;
    memcpy(text, src, (size_t)len);
    text[len] = 0x00;
    n = convert(type, out, text, 0, &status);
    if (n < 0) n = 0;
    Hex(hex, out, n);
    Check(n > 0 && status == 1 && (expected == NULL || strcmp(hex, expected) == 0),
          "type %d: %s, status %d (expected %s, status 1)", type, hex, status, expected ? expected : "a text");
    return n;
}

int main(void) {
    static const unsigned char kSjis[] = {0x41, 0xF0, 0x40, 0x87, 0x40, 0xFA, 0x41, 0x42};
    static const char kSjisHex[] = "41 F0 40 87 40 FA 41 42";
    static const struct {
        int out, back;
        const char *host; /* null: the round trip alone */
    } kCases[] = {
        {0, 4, "C1 2B 69 A1 6A A1 6C A2 2C C2"},
        {1, 5, NULL},
        {2, 6, "41 93 F0 C9 21 CA 21 CC 22 93 F1 42"},
        {10, 6, NULL},
        {3, 7, "41 FE A1 FD A1 FB A2 42"},
    };
    char self[MAX_PATH], from_dir[MAX_PATH], dir[MAX_PATH], temp[MAX_PATH], path[MAX_PATH], from[MAX_PATH];
    char server_path[MAX_PATH];
    const char *dlls[] = {"Lumtrax.dll", "Quobel.dll"};
    HMODULE lumtrax;
    HMODULE server;
    char *slash;
    size_t k;

    SetEnvironmentVariableA("LUMTRAX_GAIJI_TABLE", NULL);
    if (GetModuleFileNameA(NULL, self, MAX_PATH) == 0 || (slash = strrchr(self, '\\')) == NULL) {
        printf("FAILED: no folder of the program\n");
        return 1;
    }
    *slash = '\0';
    snprintf(from_dir, sizeof from_dir, "%s", self);
    GetTempPathA(MAX_PATH, temp);
    snprintf(dir, sizeof dir, "%slumtrax-gaiji-%lu", temp, (unsigned long)GetCurrentProcessId());
    Check(CreateDirectoryA(dir, NULL) != 0, "cannot make %s", dir);
    for (k = 0; k < 2; ++k) {
        Check(CopyFileA(PathIn(from, from_dir, dlls[k]), PathIn(path, dir, dlls[k]), FALSE) != 0,
              "cannot copy %s to %s", from, path);
    }
    Check(WriteTable(PathIn(path, dir, "gaiji.tsv")), "cannot write %s", path);

    lumtrax = LoadLibraryExA(PathIn(path, dir, "Lumtrax.dll"), NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
    Check(lumtrax != NULL, "cannot load %s (error %lu)", path, (unsigned long)GetLastError());
    if (lumtrax != NULL) {
        LumtraxFn convert = (LumtraxFn)(void *)GetProcAddress(lumtrax, "Lumtrax");
        server = GetModuleHandleA("Quobel.dll");
        Check(server != NULL && GetModuleFileNameA(server, server_path, MAX_PATH) != 0 &&
                  _strnicmp(server_path, dir, strlen(dir)) == 0,
              "Quobel.dll was not loaded from %s", dir);
        Check(server != NULL && GetProcAddress(server, "QuobelGaijiTable") == NULL,
              "Quobel.dll exports QuobelGaijiTable");
        Check(convert != NULL, "no export Lumtrax");
        for (k = 0; convert != NULL && k < sizeof kCases / sizeof kCases[0]; ++k) {
            unsigned char host[64], sjis[64];
            const int n = Convert(convert, kCases[k].out, kSjis, (int)sizeof kSjis, kCases[k].host, host);
            Convert(convert, kCases[k].back, host, n, kSjisHex, sjis);
        }
        FreeLibrary(lumtrax);
    }
    for (k = 0; k < 2; ++k) DeleteFileA(PathIn(path, dir, dlls[k]));
    DeleteFileA(PathIn(path, dir, "gaiji.tsv"));
    RemoveDirectoryA(dir);

    printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
