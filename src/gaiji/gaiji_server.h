/*
 * The interface of the gaiji server, the separate library that converts
 * user-defined characters. lumtrax imports these four functions from it at
 * load time (libquobel.so, Quobel.dll); any library with this interface can
 * be put in its place without relinking.
 *
 * The two conversion calls take 0 as reserved, a code record (the code's
 * bytes followed by 00), an 8-byte result buffer and the kind of the host
 * code. They answer 2 on success, with the converted code in the first two
 * bytes of the result buffer, lead first; any other answer is a failure.
 */
#ifndef LUMTRAX_GAIJI_SERVER_H
#define LUMTRAX_GAIJI_SERVER_H

#if defined(_WIN32)
#define GAIJI_WINAPI __stdcall
#define GAIJI_PUBLIC
#elif defined(__GNUC__)
#define GAIJI_WINAPI
#define GAIJI_PUBLIC __attribute__((visibility("default")))
#else
#define GAIJI_WINAPI
#define GAIJI_PUBLIC
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The kinds of host code, as passed to the server. */
enum GaijiHostCodeKind { GAIJI_KIND_EBCDIC_HOST = 1, GAIJI_KIND_EIGHT_BIT_HOST = 2, GAIJI_KIND_EUC = 3 };

/* The answer that means the result buffer holds the converted code. */
#define GAIJI_CONVERTED 2

/* Shift-JIS record in, host code of the given kind out. */
GAIJI_PUBLIC int GAIJI_WINAPI GaijiConvGetHOST(int reserved, const unsigned char* record, unsigned char* result,
                                               int kind);
/* Host or EUC record of the given kind in, Shift-JIS code out. */
GAIJI_PUBLIC int GAIJI_WINAPI GaijiConvGetSJIS(int reserved, const unsigned char* record, unsigned char* result,
                                               int kind);
GAIJI_PUBLIC int GAIJI_WINAPI GaijiConvGetLevel(int level);
GAIJI_PUBLIC int GAIJI_WINAPI GaijiConvGetVersion(void);

#ifdef __cplusplus
}
#endif

#endif /* LUMTRAX_GAIJI_SERVER_H */
