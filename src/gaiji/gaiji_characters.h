/*
 * An optional export of a gaiji server beyond the four functions of the
 * interface (gaiji_server.h): the characters that the site's gaiji table
 * gives its gaiji, for the conversions to and from Unicode. The library
 * looks it up once per process in the library that serves
 * GaijiConvGetHOST (dlsym; GetProcAddress on Windows) and does without it
 * where the server has none: then every gaiji maps by its Shift-JIS code.
 * The stand-in server's libquobel.so exports it; Quobel.dll does not.
 */
#ifndef LUMTRAX_GAIJI_CHARACTERS_H
#define LUMTRAX_GAIJI_CHARACTERS_H

#ifdef __cplusplus
extern "C" {
#endif

/* One gaiji's character: a scalar value, or a scalar value and a variation
 * selector (U+FE00-U+FE0F, U+E0100-U+E01EF) after it. */
typedef struct GaijiCharacter {
    unsigned char sjis[2]; /* the gaiji's Shift-JIS code, lead first: a code of the gaiji class */
    unsigned int scalar;   /* U+0080-U+10FFFF, no surrogate, no variation selector */
    unsigned int selector; /* a variation selector, or 0 */
} GaijiCharacter;

/* Returns how many gaiji have a character and points *list at them (an
 * array that lives as long as the process; no two share a character or a
 * code), loading the gaiji table first if no call has yet; 0 and a null
 * *list when none has one. Never called with a null list. */
#define GAIJI_CHARACTERS_FUNCTION "QuobelGaijiCharacters"
typedef int (*GaijiCharactersFunction)(const GaijiCharacter** list);

#ifdef __cplusplus
}
#endif

#endif /* LUMTRAX_GAIJI_CHARACTERS_H */
