/*
 * The Windows test of Lumtrax.dll: a console program, built for 32-bit and
 * for 64-bit Windows alike, that uses the DLL as a Windows application does.
 * It loads Lumtrax.dll (and with it the stand-in gaiji server Quobel.dll,
 * which the DLL imports) with LoadLibraryA, resolves each export by name and
 * by ordinal, and checks real conversions through them: a letter, a kanji
 * and a line end to the host code and back, one case of every conversion
 * type through each export, the status values with the stand-in server,
 * GetGaijiServerVersion, a long text, conversions on several threads, and
 * the entry routine's answers. The 32-bit build also checks what only means
 * something there: that the exports are stdcall (the callee removes its
 * arguments), and that they work on a stack aligned to 4 bytes only.
 *
 * It prints one line per failed check and a last line "N passed, M failed"
 * with the architecture, and exits with 1 when a check failed.
 *
 * Run it from the folder that holds Lumtrax.dll and Quobel.dll.
 */
#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "lumtrax.h"

typedef int(WINAPI *LumtraxFn)(int type, unsigned char *dst, const unsigned char *src, int mode, int *status);
typedef int(WINAPI *LumtraxLrssFn)(int type, unsigned char *dst, const unsigned char *src, int len, int mode,
                                   int *status);
typedef int(WINAPI *VersionFn)(int level, int *version);
typedef int(WINAPI *ServerConvFn)(int reserved, const unsigned char *record, unsigned char *result, int kind);
typedef int(WINAPI *ServerLevelFn)(int level);
typedef int(WINAPI *ServerVersionFn)(void);
typedef BOOL(WINAPI *EntryFn)(HINSTANCE instance, DWORD reason, LPVOID reserved);

static int passed;
static int failed;

static void Check(int ok, const char *format, ...) {
    if (ok) {
        ++passed;
        return;
    }
    ++failed;
    va_list args;
    va_start(args, format);
    printf("FAILED: ");
    vprintf(format, args);
    printf("\n");
    va_end(args);
}

static void HexInto(char *out, size_t size, const unsigned char *bytes, int count) {
    size_t used = 0;
    out[0] = '\0';
    for (int i = 0; i < count && used + 4 < size; ++i) {
        used += (size_t)snprintf(out + used, size - used, "%s%02X", i > 0 ? " " : "", bytes[i]);
    }
}

#if defined(__i386__) || defined(_M_IX86)
#define LUMTRAX_TEST_X86 1
#define LUMTRAX_TEST_ARCH "32-bit"
#else
#define LUMTRAX_TEST_X86 0
#define LUMTRAX_TEST_ARCH "64-bit"
#endif

#if LUMTRAX_TEST_X86
/* Calls the function at fn with count 32-bit arguments pushed right to left,
 * as a caller of either convention does, and reports how many argument bytes
 * the callee removed from the stack: all of them for stdcall, none for cdecl.
 * skew bytes are taken off the stack first, so that the callee can be given
 * a stack aligned to 4 bytes only, as a caller built by another compiler may
 * give it. The stack pointer is restored from a register that the callee
 * preserves. */
static int CallSkewed(const void *fn, const int *args, int count, int skew, int *removed) {
    int result;
    int left = count;
    int base = skew;
    const int *cursor = args;
    __asm__ volatile(
        "movl %%esp, %%esi\n\t"
        "andl $-16, %%esp\n\t"
        "subl %%edx, %%esp\n\t"
        "movl %%esp, %%edx\n\t"
        "1:\n\t"
        "testl %%ecx, %%ecx\n\t"
        "jz 2f\n\t"
        "pushl -4(%%ebx,%%ecx,4)\n\t"
        "decl %%ecx\n\t"
        "jmp 1b\n"
        "2:\n\t"
        "movl %%edx, %%ebx\n\t"
        "call *%%edi\n\t"
        "movl %%ebx, %%ecx\n\t"
        "subl %%esp, %%ecx\n\t"
        "movl %%esi, %%esp\n\t"
        : "=a"(result), "+c"(left), "+d"(base), "+b"(cursor)
        : "D"(fn)
        : "esi", "memory", "cc");
    *removed = 4 * count - left;
    return result;
}

static int CallCounted(const void *fn, const int *args, int count, int *removed) {
    return CallSkewed(fn, args, count, 0, removed);
}

static int AsArgument(const void *pointer) { return (int)(INT_PTR)pointer; }
#endif

/* ---- resolving the exports ---------------------------------------------- */

static FARPROC Resolve(HMODULE module, const char *dll, const char *name, int ordinal) {
    FARPROC by_name = GetProcAddress(module, name);
    Check(by_name != NULL, "%s: %s resolved by name", dll, name);
    if (ordinal == 0) return by_name;
    FARPROC by_ordinal = GetProcAddress(module, MAKEINTRESOURCEA(ordinal));
    Check(by_ordinal != NULL, "%s: ordinal %d resolved", dll, ordinal);
    Check(by_name == by_ordinal, "%s: %s is ordinal %d", dll, name, ordinal);
    return by_ordinal != NULL ? by_ordinal : by_name;
}

static void CheckNotExported(HMODULE module, const char *dll, const char *name) {
    Check(GetProcAddress(module, name) == NULL, "%s: no export named %s", dll, name);
}

/* The three conversion exports, as one table for the cases below. */
typedef struct {
    const char *how; /* "by name" or "by ordinal" */
    LumtraxFn lumtrax;
    LumtraxLrssFn lrss;
    LumtraxFn no_shift;
    VersionFn version;
} Exports;

enum Export { LUMTRAX, LRSS, NO_SHIFT };
static const char *const kExportNames[] = {"Lumtrax", "Lumtrax_LRSS", "Lumtrax_NoShift"};

/* ---- conversion cases --------------------------------------------------- */

/* A byte string given as a literal of \x escapes, with its length. */
#define BYTES(literal) (const unsigned char *)(literal), (int)(sizeof(literal) - 1)

typedef struct {
    enum Export export_id;
    int type;
    const unsigned char *src;
    int src_size;
    int len; /* given to Lumtrax_LRSS; 0 asks for it to be computed */
    int mode;
    const unsigned char *want;
    int want_size;
    int want_status;
} Case;

static const Case kCases[] = {
    /* A letter, a kanji and a line end, to the host code and back. */
    {LUMTRAX, 0, BYTES("\x41\x88\x9F\x0D\x0A"), 0, 0, BYTES("\xC1\x2B\xB0\xA1\x2C\x0D\x25"), 0},
    {LUMTRAX, 4, BYTES("\xC1\x2B\xB0\xA1\x2C\x0D\x25"), 0, 0, BYTES("\x41\x88\x9F\x0D\x0A"), 0},

    /* Every conversion type through Lumtrax. */
    {LUMTRAX, 1, BYTES("\xB1\xDE\x61"), 0, 0, BYTES("\x81\xBE\x62"), 0},
    {LUMTRAX, 2, BYTES("\x41\x88\x9F\x42"), 0, 0, BYTES("\x41\x93\xF0\xB0\xA1\x93\xF1\x42"), 0},
    {LUMTRAX, 10, BYTES("\x41\x88\x9F\x42"), 0, 0, BYTES("\x41\x93\x70\xB0\xA1\x93\xF1\x42"), 0},
    {LUMTRAX, 3, BYTES("\x41\x88\x9F\xB1"), 0, 0, BYTES("\x41\xB0\xA1\x8E\xB1"), 0},
    {LUMTRAX, 5, BYTES("\x81\x2B\xB0\xA1\x2C\x62"), 0, 0, BYTES("\xB1\x88\x9F\x61"), 0},
    {LUMTRAX, 6, BYTES("\x41\x93\x70\xB0\xA1\x93\xF1\x42"), 0, 0, BYTES("\x41\x88\x9F\x42"), 0},
    {LUMTRAX, 7, BYTES("\x41\xB0\xA1\x8E\xB1"), 0, 0, BYTES("\x41\x88\x9F\xB1"), 0},
    {LUMTRAX, 11, BYTES("\x41"), 0, 0, BYTES("\x5C\x01\x41"), 0},

    /* Every conversion type through Lumtrax_NoShift: no shift code at all. */
    {NO_SHIFT, 0, BYTES("\x41\x88\x9F\x0D\x0A"), 0, 0, BYTES("\xC1\xB0\xA1\x0D\x25"), 0},
    {NO_SHIFT, 1, BYTES("\xB1\x88\x9F"), 0, 0, BYTES("\x81\xB0\xA1"), 0},
    {NO_SHIFT, 2, BYTES("\x41\x88\x9F\x42"), 0, 0, BYTES("\x41\xB0\xA1\x42"), 0},
    {NO_SHIFT, 10, BYTES("\x41\x88\x9F\x42"), 0, 0, BYTES("\x41\xB0\xA1\x42"), 0},
    {NO_SHIFT, 3, BYTES("\x41\x88\x9F\xB1"), 0, 0, BYTES("\x41\xB0\xA1\x8E\xB1"), 0},
    {NO_SHIFT, 4, BYTES("\xC1\x2B\xB0\xA1\x2C\x0D\x25"), 0, 0, BYTES("\x41\x88\x9F\x0D\x0A"), 0},
    {NO_SHIFT, 5, BYTES("\x81\x2B\xB0\xA1\x2C\x62"), 0, 0, BYTES("\xB1\x88\x9F\x61"), 0},
    {NO_SHIFT, 6, BYTES("\x41\x93\xF0\xB0\xA1\x93\xF1\x42"), 0, 0, BYTES("\x41\x88\x9F\x42"), 0},
    {NO_SHIFT, 7, BYTES("\x41\xB0\xA1\x8E\xB1"), 0, 0, BYTES("\x41\x88\x9F\xB1"), 0},
    {NO_SHIFT, 11, BYTES("\x00"), 0, 0, BYTES("\x5C\x01\x00"), 0},

    /* Every conversion type through Lumtrax_LRSS: placeholders A0 for the
     * shift codes and sequences, lengths computed or given. */
    {LRSS, 0, BYTES("\x41\xA0\x88\x9F\xA0\x0D\x0A"), 0, 0, BYTES("\xC1\x2B\xB0\xA1\x2C\x0D\x25"), 0},
    {LRSS, 1, BYTES("\xB1\xA0\x88\x9F\xA0"), 0, 0, BYTES("\x81\x2B\xB0\xA1\x2C"), 0},
    {LRSS, 2, BYTES("\x41\xA0\x88\x9F\xA0\x42"), 0, 0, BYTES("\x41\x93\xF0\xB0\xA1\x93\xF1\x42"), 0},
    {LRSS, 10, BYTES("\x41\xA0\x88\x9F\xA0\x42"), 0, 0, BYTES("\x41\x93\x70\xB0\xA1\x93\xF1\x42"), 0},
    {LRSS, 3, BYTES("\x41\x88\x9F\xB1"), 3, 0, BYTES("\x41\xB0\xA1"), 0},
    {LRSS, 4, BYTES("\xC1\x2B\xB0\xA1\x2C\x0D\x25"), 0, 0, BYTES("\x41\xA0\x88\x9F\xA0\x0D\x0A"), 0},
    {LRSS, 4, BYTES("\xC1\x00\xC2"), 3, 0, BYTES("\x41\x00\x42"), 0},
    {LRSS, 5, BYTES("\x81\x2B\xB0\xA1\x2C\x62"), 0, 0, BYTES("\xB1\xA0\x88\x9F\xA0\x61"), 0},
    {LRSS, 6, BYTES("\x41\x93\x70\xB0\xA1\x93\xF1\x42"), 0, 0, BYTES("\x41\xA0\x88\x9F\xA0\x42"), 0},
    {LRSS, 7, BYTES("\x41\xB0\xA1\x8E\xB1"), 5, 0, BYTES("\x41\x88\x9F\xB1"), 0},
    {LRSS, 11, BYTES("\x41"), 0, 0, BYTES("\x5C\x01\x41"), 0},

    /* Line-end modes and the raw-byte escape. */
    {LUMTRAX, 0, BYTES("\x41\x0D\x0A\x42"), 0, 1, BYTES("\xC1\x25\xC2"), 0},
    {LUMTRAX, 0, BYTES("\x41\x0D\x0A\x42"), 0, 2, BYTES("\xC1\xC2"), 0},
    {LUMTRAX, 0, BYTES("\x5C\x01\x0D"), 0, 0, BYTES("\x0D"), 0},
    {LRSS, 0, BYTES("\x5C\x01\x0D"), 3, 0, BYTES("\xE0\x01\x0D"), 0},
    {LUMTRAX, 0, BYTES("\x41\x5C\x01\x00\x42"), 0, 0, BYTES("\xC1\x00\xC2"), 0},

    /* The status values with the stand-in server, which converts the
     * Shift-JIS user-defined area F040-F9FC (EUC: its first 940 codes). */
    {LUMTRAX, 0, BYTES("\x41\xF0\x40"), 0, 0, BYTES("\xC1\x2B\x41\xA1\x2C"), 1},
    {LUMTRAX, 4, BYTES("\xC1\x2B\x41\xA1\x2C"), 0, 0, BYTES("\x41\xF0\x40"), 1},
    {LUMTRAX, 1, BYTES("\xB1\xDE\xF0\x40"), 0, 0, BYTES("\x81\xBE\x2B\x41\xA1\x2C"), 1},
    {LUMTRAX, 5, BYTES("\x81\xBE\x2B\x41\xA1\x2C"), 0, 0, BYTES("\xB1\xDE\xF0\x40"), 1},
    {LUMTRAX, 2, BYTES("\x41\xF0\x40"), 0, 0, BYTES("\x41\x93\xF0\xA1\x21\x93\xF1"), 1},
    {LUMTRAX, 3, BYTES("\x41\xF0\x40"), 0, 0, BYTES("\x41\xF5\xA1"), 1},
    {LUMTRAX, 7, BYTES("\xF5\xA1"), 0, 0, BYTES("\xF0\x40"), 1},
    {NO_SHIFT, 0, BYTES("\x41\xF0\x40"), 0, 0, BYTES("\xC1\x41\xA1"), 1},
    {LRSS, 0, BYTES("\x41\xA0\xF0\x40\xA0"), 0, 0, BYTES("\xC1\x2B\x41\xA1\x2C"), 1},
    {LRSS, 4, BYTES("\xC1\x2B\x41\xA1\x2C"), 0, 0, BYTES("\x41\xA0\xF0\x40\xA0"), 1},
    {LUMTRAX, 0, BYTES("\x41\xFA\x40"), 0, 0, BYTES("\xC1\x2B\xA2\xA3\x2C"), 2},
    {LUMTRAX, 0, BYTES("\xF0\x40\xFA\x40"), 0, 0, BYTES("\x2B\x41\xA1\xA2\xA3\x2C"), 2},
    {LUMTRAX, 0, BYTES("\xFA\x40\xF0\x40"), 0, 0, BYTES("\x2B\xA2\xA3\x41\xA1\x2C"), 2},
    {LUMTRAX, 3, BYTES("\xF9\xFC"), 0, 0, BYTES("\xA2\xA3"), 2},
};

enum { kBufferSize = 8192 };

static int Convert(const Exports *exports, enum Export export_id, int type, unsigned char *dst,
                   const unsigned char *src, int len, int mode, int *status) {
    switch (export_id) {
        case LRSS:
            return exports->lrss(type, dst, src, len, mode, status);
        case NO_SHIFT:
            return exports->no_shift(type, dst, src, mode, status);
        case LUMTRAX:
        default:
            return exports->lumtrax(type, dst, src, mode, status);
    }
}

static void RunCase(const Exports *exports, const Case *c) {
    static unsigned char src[kBufferSize];
    static unsigned char dst[kBufferSize];
    memset(src, 0, sizeof src);
    memcpy(src, c->src, (size_t)c->src_size);
    memset(dst, 0xEE, sizeof dst);
    int status = 99;
    const int n = Convert(exports, c->export_id, c->type, dst, src, c->len, c->mode, &status);
    char source[128], got[128], want[128];
    HexInto(source, sizeof source, c->src, c->src_size);
    HexInto(got, sizeof got, dst, n > 0 && n < 32 ? n : 0);
    HexInto(want, sizeof want, c->want, c->want_size);
    const int ok = n == c->want_size && memcmp(dst, c->want, (size_t)c->want_size) == 0 && dst[n] == 0x00 &&
                   status == c->want_status;
    Check(ok, "%s %s type %d mode %d len %d, %s: got %d [%s] status %d, want %d [%s] status %d",
          kExportNames[c->export_id], exports->how, c->type, c->mode, c->len, source, n, got, status, c->want_size,
          want, c->want_status);
}

static void CheckConversions(const Exports *exports) {
    for (size_t i = 0; i < sizeof kCases / sizeof kCases[0]; ++i) RunCase(exports, &kCases[i]);
}

/* Unassigned types copy the source, answer -1 and set the status to 0. */
static void CheckUnassignedTypes(const Exports *exports) {
    static const int kTypes[] = {8, 9, 12, -1};
    for (int e = LUMTRAX; e <= NO_SHIFT; ++e) {
        for (size_t i = 0; i < sizeof kTypes / sizeof kTypes[0]; ++i) {
            unsigned char dst[8];
            memset(dst, 0xEE, sizeof dst);
            int status = 2;
            const int n = Convert(exports, (enum Export)e, kTypes[i], dst, (const unsigned char *)"abc", 0, 0, &status);
            Check(n == -1 && memcmp(dst, "abc", 4) == 0 && status == 0, "%s %s unassigned type %d: got %d status %d",
                  kExportNames[e], exports->how, kTypes[i], n, status);
        }
    }
}

static void CheckRefusals(const Exports *exports) {
    unsigned char dst[16];
    int status = 2;
    Check(exports->lumtrax(0, NULL, (const unsigned char *)"A", 0, &status) == -1 && status == 0,
          "Lumtrax %s refuses a null dst", exports->how);
    status = 2;
    Check(exports->no_shift(0, dst, NULL, 0, &status) == -1 && status == 0, "Lumtrax_NoShift %s refuses a null src",
          exports->how);
    Check(exports->lrss(0, dst, (const unsigned char *)"A", 0, 0, NULL) == 1 && dst[0] == 0xC1,
          "Lumtrax_LRSS %s takes a null status", exports->how);
    status = 2;
    Check(exports->lrss(0, dst, (const unsigned char *)"A", -1, 0, &status) == 0 && dst[0] == 0 && status == 0,
          "Lumtrax_LRSS %s takes a negative length as an empty text", exports->how);
    status = 2;
    Check(exports->lumtrax(0, dst, (const unsigned char *)"A", 0, &status) == 1 && status == 0,
          "Lumtrax %s sets the status to 0 for a text without gaiji", exports->how);
}

static void CheckServerVersion(const Exports *exports) {
    int version = 0;
    Check(exports->version(0, &version) == 1 && version == 0x00010000, "GetGaijiServerVersion %s: got version %08X",
          exports->how, (unsigned)version);
    Check(exports->version(7, NULL) == 1, "GetGaijiServerVersion %s with a null version", exports->how);
}

/* A text much longer than a block, to the host code and back. */
static void CheckLongText(const Exports *exports) {
    enum { kKanji = 1500 };
    static unsigned char sjis[2 * kKanji + 2];
    static unsigned char host[2 * kKanji + 16];
    static unsigned char back[2 * kKanji + 16];
    for (int i = 0; i < kKanji; ++i) {
        sjis[2 * i] = 0x88;
        sjis[2 * i + 1] = 0x9F;
    }
    int status = 99;
    const int n = exports->lumtrax(0, host, sjis, 0, &status);
    int host_ok = n == 2 * kKanji + 2 && host[0] == 0x2B && host[n - 1] == 0x2C && status == 0;
    for (int i = 0; host_ok && i < kKanji; ++i) {
        host_ok = host[1 + 2 * i] == 0xB0 && host[2 + 2 * i] == 0xA1;
    }
    Check(host_ok, "Lumtrax %s, %d kanji to the EBCDIC host code: got %d", exports->how, kKanji, n);
    const int m = exports->lumtrax(4, back, host, 0, &status);
    Check(m == 2 * kKanji && memcmp(back, sjis, 2 * kKanji + 1) == 0 && status == 0,
          "Lumtrax %s, %d kanji back to Shift-JIS: got %d", exports->how, kKanji, m);
}

#if LUMTRAX_TEST_X86
/* Each export removes its own arguments from the stack. */
static void CheckStdcall(const Exports *exports) {
    unsigned char dst[32];
    int status = 99;
    int removed = -1;
    const unsigned char *walk = (const unsigned char *)"\x41\x88\x9F\x0D\x0A";
    const int lumtrax_args[] = {0, AsArgument(dst), AsArgument(walk), 0, AsArgument(&status)};
    int n = CallCounted((const void *)exports->lumtrax, lumtrax_args, 5, &removed);
    Check(n == 7 && removed == 20, "Lumtrax %s is stdcall: %d, removed %d bytes", exports->how, n, removed);
    const int lrss_args[] = {0, AsArgument(dst), AsArgument(walk), 0, 0, AsArgument(&status)};
    n = CallCounted((const void *)exports->lrss, lrss_args, 6, &removed);
    Check(n == 7 && removed == 24, "Lumtrax_LRSS %s is stdcall: %d, removed %d bytes", exports->how, n, removed);
    n = CallCounted((const void *)exports->no_shift, lumtrax_args, 5, &removed);
    Check(n == 5 && removed == 20, "Lumtrax_NoShift %s is stdcall: %d, removed %d bytes", exports->how, n, removed);
    int version = 0;
    const int version_args[] = {0, AsArgument(&version)};
    n = CallCounted((const void *)exports->version, version_args, 2, &removed);
    Check(n == 1 && version == 0x00010000 && removed == 8, "GetGaijiServerVersion %s is stdcall: %d, removed %d bytes",
          exports->how, n, removed);
}

/* The fast paths keep 16-byte values on the stack; a caller built by another
 * compiler may call with a stack aligned to 4 bytes only. Each alignment must
 * give what an aligned call gives, for short and long texts, out of
 * Shift-JIS and into it. */
static void CheckMisalignedStack(const Exports *exports) {
    static const unsigned char kUnit[] = {0x41, 0x88, 0x9F, 0x82, 0xA0, 0xB1, 0x42, 0x0D, 0x0A,
                                          0x93, 0xFA, 0x96, 0x7B, 0x8C, 0xEA, 0x31, 0x32};
    static unsigned char sjis[20000];
    static unsigned char host[3 * 20000 + 8];
    static unsigned char aligned[3 * 20000 + 8];
    static unsigned char skewed[3 * 20000 + 8];
    const int lengths[] = {100, 3000, 19000};
    const int out_types[] = {0, 2, 3};
    const int back_types[] = {4, 6, 7};
    for (int k = 0; k < (int)sizeof sjis; ++k) sjis[k] = kUnit[k % (int)sizeof kUnit];
    for (int l = 0; l < 3; ++l) {
        const int len = lengths[l];
        for (int t = 0; t < 3; ++t) {
            int status = 0;
            const int n = exports->lrss(out_types[t], host, sjis, len, 0, &status);
            const int m = exports->lrss(back_types[t], aligned, host, n, 0, &status);
            Check(n > len && m >= len, "type %d and back, %d bytes %s: %d, %d", out_types[t], len, exports->how, n, m);
            for (int skew = 4; skew < 16; skew += 4) {
                int removed = 0;
                const int out_args[] = {out_types[t],       AsArgument(skewed), AsArgument(sjis), len, 0,
                                        AsArgument(&status)};
                const int n2 = CallSkewed((const void *)exports->lrss, out_args, 6, skew, &removed);
                Check(n2 == n && memcmp(skewed, host, (size_t)n + 1) == 0, "type %d, %d bytes, stack skewed by %d %s",
                      out_types[t], len, skew, exports->how);
                const int back_args[] = {back_types[t],      AsArgument(skewed), AsArgument(host), n, 0,
                                         AsArgument(&status)};
                const int m2 = CallSkewed((const void *)exports->lrss, back_args, 6, skew, &removed);
                Check(m2 == m && memcmp(skewed, aligned, (size_t)m + 1) == 0,
                      "type %d, %d bytes, stack skewed by %d %s", back_types[t], n, skew, exports->how);
            }
        }
    }
}
#endif

/* ---- the entry routine -------------------------------------------------- */

static EntryFn EntryRoutine(HMODULE module) {
    const BYTE *base = (const BYTE *)module;
    const IMAGE_DOS_HEADER *dos = (const IMAGE_DOS_HEADER *)base;
    const IMAGE_NT_HEADERS *nt = (const IMAGE_NT_HEADERS *)(base + dos->e_lfanew);
    return (EntryFn)(void *)(base + nt->OptionalHeader.AddressOfEntryPoint);
}

/* Process attach answered 1, or LoadLibraryA would have failed. Every other
 * reason is answered 0: called here as the system calls it for a thread. */
static void CheckEntryRoutine(HMODULE module) {
    const EntryFn entry = EntryRoutine(module);
    Check(entry((HINSTANCE)module, DLL_THREAD_ATTACH, NULL) == FALSE, "the entry routine answers 0 for thread attach");
    Check(entry((HINSTANCE)module, DLL_THREAD_DETACH, NULL) == FALSE, "the entry routine answers 0 for thread detach");
}

/* ---- threads ------------------------------------------------------------ */

static DWORD WINAPI ConvertOnThread(LPVOID parameter) {
    const Exports *exports = (const Exports *)parameter;
    const unsigned char sjis[] = "\x41\x88\x9F\xF0\x40\xFA\x40\x0D\x0A";
    unsigned char host[64];
    unsigned char back[64];
    DWORD errors = 0;
    for (int i = 0; i < 500; ++i) {
        int status = 0;
        const int n = exports->lumtrax(0, host, sjis, 0, &status);
        if (n != 11 || memcmp(host, "\xC1\x2B\xB0\xA1\x41\xA1\xA2\xA3\x2C\x0D\x25", 12) != 0 || status != 2) {
            ++errors;
        }
        const int m = exports->lumtrax(4, back, host, 0, &status);
        /* F0 40 comes back; FA 40 was replaced by the black square A2 A3 (81 A1) */
        if (m != 9 || memcmp(back, "\x41\x88\x9F\xF0\x40\x81\xA1\x0D\x0A", 10) != 0 || status != 1) {
            ++errors;
        }
    }
    return errors;
}

static void CheckThreads(const Exports *exports) {
    HANDLE threads[4];
    for (int i = 0; i < 4; ++i) {
        threads[i] = CreateThread(NULL, 0, ConvertOnThread, (LPVOID)exports, 0, NULL);
        Check(threads[i] != NULL, "thread %d started", i);
    }
    for (int i = 0; i < 4; ++i) {
        if (threads[i] == NULL) continue;
        DWORD errors = 1;
        WaitForSingleObject(threads[i], INFINITE);
        GetExitCodeThread(threads[i], &errors);
        CloseHandle(threads[i]);
        Check(errors == 0, "conversions on thread %d: %lu wrong", i, (unsigned long)errors);
    }
}

/* ---- the stand-in server ------------------------------------------------ */

static void CheckServer(void) {
    HMODULE quobel = GetModuleHandleA("Quobel.dll");
    Check(quobel != NULL, "Quobel.dll was loaded with Lumtrax.dll");
    if (quobel == NULL) return;
    const ServerConvFn to_host = (ServerConvFn)(void *)Resolve(quobel, "Quobel.dll", "GaijiConvGetHOST", 0);
    const ServerConvFn to_sjis = (ServerConvFn)(void *)Resolve(quobel, "Quobel.dll", "GaijiConvGetSJIS", 0);
    const ServerLevelFn level = (ServerLevelFn)(void *)Resolve(quobel, "Quobel.dll", "GaijiConvGetLevel", 0);
    const ServerVersionFn version = (ServerVersionFn)(void *)Resolve(quobel, "Quobel.dll", "GaijiConvGetVersion", 0);
    CheckNotExported(quobel, "Quobel.dll", "GaijiConvGetHOST@16");
    CheckNotExported(quobel, "Quobel.dll", "_GaijiConvGetHOST@16");
    if (to_host == NULL || to_sjis == NULL || level == NULL || version == NULL) return;

    unsigned char result[8] = {0};
    const unsigned char sjis_record[] = {0xF0, 0x40, 0x00};
    const unsigned char host_record[] = {0xA1, 0x21, 0x00};
#if LUMTRAX_TEST_X86
    int removed = -1;
    const int host_args[] = {0, AsArgument(sjis_record), AsArgument(result), 1};
    int answer = CallCounted((const void *)to_host, host_args, 4, &removed);
    Check(answer == 2 && result[0] == 0xA1 && result[1] == 0x21 && removed == 16,
          "GaijiConvGetHOST is stdcall and converts F0 40: %d, removed %d bytes", answer, removed);
    const int sjis_args[] = {0, AsArgument(host_record), AsArgument(result), 1};
    answer = CallCounted((const void *)to_sjis, sjis_args, 4, &removed);
    Check(answer == 2 && result[0] == 0xF0 && result[1] == 0x40 && removed == 16,
          "GaijiConvGetSJIS is stdcall and converts A1 21: %d, removed %d bytes", answer, removed);
    const int level_args[] = {0};
    answer = CallCounted((const void *)level, level_args, 1, &removed);
    Check(answer == 0 && removed == 4, "GaijiConvGetLevel is stdcall: %d, removed %d bytes", answer, removed);
    answer = CallCounted((const void *)version, NULL, 0, &removed);
    Check(answer == 0x00010000 && removed == 0, "GaijiConvGetVersion: %08X", (unsigned)answer);
#else
    int answer = to_host(0, sjis_record, result, 1);
    Check(answer == 2 && result[0] == 0xA1 && result[1] == 0x21, "GaijiConvGetHOST converts F0 40: %d", answer);
    answer = to_sjis(0, host_record, result, 1);
    Check(answer == 2 && result[0] == 0xF0 && result[1] == 0x40, "GaijiConvGetSJIS converts A1 21: %d", answer);
    answer = level(0);
    Check(answer == 0, "GaijiConvGetLevel: %d", answer);
    answer = version();
    Check(answer == 0x00010000, "GaijiConvGetVersion: %08X", (unsigned)answer);
#endif
}

/* ---- main --------------------------------------------------------------- */

int main(void) {
    HMODULE module = LoadLibraryA("Lumtrax.dll");
    Check(module != NULL, "LoadLibraryA(\"Lumtrax.dll\"): error %lu", (unsigned long)GetLastError());
    if (module == NULL) {
        printf("%d passed, %d failed\n", passed, failed);
        return 1;
    }

    static const char *const kNames[] = {"Lumtrax", "Lumtrax_LRSS", "Lumtrax_NoShift", "GetGaijiServerVersion"};
    FARPROC by_name[4];
    FARPROC by_ordinal[4];
    for (int i = 0; i < 4; ++i) {
        by_name[i] = GetProcAddress(module, kNames[i]);
        by_ordinal[i] = Resolve(module, "Lumtrax.dll", kNames[i], i + 1);
    }
    Check(GetProcAddress(module, MAKEINTRESOURCEA(5)) == NULL, "Lumtrax.dll: no ordinal 5");
    CheckNotExported(module, "Lumtrax.dll", "_Lumtrax@20");
    CheckNotExported(module, "Lumtrax.dll", "Lumtrax@20");
    CheckNotExported(module, "Lumtrax.dll", "Lumtrax_LRSS@24");
    CheckNotExported(module, "Lumtrax.dll", "GetGaijiServerVersion@8");
    CheckNotExported(module, "Lumtrax.dll", "DllMain");
    CheckNotExported(module, "Lumtrax.dll", "ConvertDispatch");

    int resolved = 1;
    for (int i = 0; i < 4; ++i) resolved = resolved && by_name[i] != NULL && by_ordinal[i] != NULL;
    if (resolved) {
        const Exports named = {"by name", (LumtraxFn)(void *)by_name[0], (LumtraxLrssFn)(void *)by_name[1],
                               (LumtraxFn)(void *)by_name[2], (VersionFn)(void *)by_name[3]};
        const Exports numbered = {"by ordinal", (LumtraxFn)(void *)by_ordinal[0], (LumtraxLrssFn)(void *)by_ordinal[1],
                                  (LumtraxFn)(void *)by_ordinal[2], (VersionFn)(void *)by_ordinal[3]};
        const Exports *const all[] = {&named, &numbered};
        for (int i = 0; i < 2; ++i) {
#if LUMTRAX_TEST_X86
            CheckStdcall(all[i]);
            CheckMisalignedStack(all[i]);
#endif
            CheckConversions(all[i]);
            CheckUnassignedTypes(all[i]);
            CheckRefusals(all[i]);
            CheckServerVersion(all[i]);
            CheckLongText(all[i]);
        }
        CheckThreads(&numbered);
    }
    CheckServer();
    CheckEntryRoutine(module);
    Check(FreeLibrary(module) != FALSE, "FreeLibrary(Lumtrax.dll)");

    printf("%s: %d passed, %d failed\n", LUMTRAX_TEST_ARCH, passed, failed);
    return failed == 0 ? 0 : 1;
}
