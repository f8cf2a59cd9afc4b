/*
 * lumtrax: Japanese text conversion between Shift-JIS and the host codes
 * (the EBCDIC host code with one-byte shift codes, the 8-bit host code with
 * two-byte shift sequences, and EUC), one string per call.
 *
 * Usable from C and C++. On Windows every function uses the standard Windows
 * calling convention (stdcall, what WINAPI stands for); elsewhere the
 * platform's default C convention.
 *
 * No function checks the size of a buffer: size the destination by the growth
 * rule of the conversion (see README.md), and keep the source byte just after
 * a counted text readable. The safe C++ interface in lumtrax.hpp does both for
 * you.
 */
#ifndef LUMTRAX_H
#define LUMTRAX_H

#if defined(_WIN32)
#define LUMTRAX_WINAPI __stdcall
#define LUMTRAX_PUBLIC
#elif defined(__GNUC__)
#define LUMTRAX_WINAPI
#define LUMTRAX_PUBLIC __attribute__((visibility("default")))
#else
#define LUMTRAX_WINAPI
#define LUMTRAX_PUBLIC
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Conversion types: the first argument of the three conversion functions. */
enum LumtraxConversionType {
    LUMTRAX_SJIS_TO_EBCDIC = 0,      /* EBCDIC host code, lower-case table set */
    LUMTRAX_SJIS_TO_EBCDIC_KANA = 1, /* EBCDIC host code, kana table set */
    LUMTRAX_SJIS_TO_8BIT = 2,        /* 8-bit host code, runs opened by 93 F0 */
    LUMTRAX_SJIS_TO_EUC = 3,
    LUMTRAX_EBCDIC_TO_SJIS = 4,      /* lower-case table set */
    LUMTRAX_EBCDIC_KANA_TO_SJIS = 5, /* kana table set */
    LUMTRAX_8BIT_TO_SJIS = 6,        /* reads runs opened by 93 F0 or 93 70 */
    LUMTRAX_EUC_TO_SJIS = 7,
    LUMTRAX_SJIS_TO_8BIT_70 = 10, /* 8-bit host code, runs opened by 93 70 */
    LUMTRAX_RAW_BYTE_ESCAPE = 11  /* builds 5C 01 X from the first source byte */
};

/* How a CR LF (0D 0A) in Shift-JIS text is carried; read only by the types
 * whose source is Shift-JIS. Every value other than 1 and 2 keeps both bytes. */
enum LumtraxLineEndMode {
    LUMTRAX_LINE_END_KEEP = 0, /* CR and LF */
    LUMTRAX_LINE_END_LF = 1,   /* LF only */
    LUMTRAX_LINE_END_DROP = 2  /* neither */
};

/* The value stored through the status pointer. */
enum LumtraxGaijiStatus {
    LUMTRAX_GAIJI_NONE = 0,      /* no gaiji met */
    LUMTRAX_GAIJI_CONVERTED = 1, /* every gaiji met was converted */
    LUMTRAX_GAIJI_REPLACED = 2   /* at least one was replaced by the substitute */
};

/* The byte that stands for a shift code or sequence in LRSS-mode Shift-JIS. */
#define LUMTRAX_LRSS_PLACEHOLDER 0xA0

/* Converts the NUL-terminated src into dst and NUL-terminates it. Returns the
 * number of bytes written before that NUL (the text may hold NULs of its own),
 * or -1 for an unassigned type (src is then copied unchanged), a null dst or
 * src, or a text whose result could not be counted. status may be null. The
 * bytes of dst after the NUL are not part of the result: the conversions may
 * have written there, within the destination's size. */
LUMTRAX_PUBLIC int LUMTRAX_WINAPI Lumtrax(int type, unsigned char* dst, const unsigned char* src, int mode,
                                          int* status);

/* As Lumtrax, in LRSS mode: a Shift-JIS text carries the placeholder A0 where
 * the host text has a shift code or sequence. len counts the source bytes;
 * 0 asks for the length to be computed, a negative len is an empty text. */
LUMTRAX_PUBLIC int LUMTRAX_WINAPI Lumtrax_LRSS(int type, unsigned char* dst, const unsigned char* src, int len,
                                               int mode, int* status);

/* As Lumtrax, but no shift code or sequence is written. */
LUMTRAX_PUBLIC int LUMTRAX_WINAPI Lumtrax_NoShift(int type, unsigned char* dst, const unsigned char* src, int mode,
                                                  int* status);

/* Stores the gaiji server's version through version (if not null). Returns 1
 * when the server answers 0 for the given level, else 0. */
LUMTRAX_PUBLIC int LUMTRAX_WINAPI GetGaijiServerVersion(int level, int* version);

#ifdef __cplusplus
}
#endif

#endif /* LUMTRAX_H */
