/*
 * The stand-in gaiji server's exports beyond the gaiji server interface
 * (src/gaiji/gaiji_server.h): QuobelGaijiTable and QuobelCheckGaijiTable for
 * the lumtrax command's --version and --check-gaiji-table, which find them
 * with dlsym (the library never calls them), and QuobelGaijiCharacters, which
 * the library finds with dlsym. A site's own server need have none of them.
 * libquobel.so exports them; Quobel.dll does not: its exports stay the
 * interface's four functions at the ordinals 1 to 4.
 */
#ifndef QUOBEL_QUOBEL_H
#define QUOBEL_QUOBEL_H

#include "gaiji/gaiji_characters.h"
#include "gaiji/gaiji_server.h"

#ifdef __cplusplus
extern "C" {
#endif

/* What QuobelGaijiTable answers. */
enum QuobelTableState {
    QUOBEL_TABLE_BUILT_IN = 0, /* no table file: the built-in arithmetic */
    QUOBEL_TABLE_LOADED = 1,   /* the gaiji table of a file */
    QUOBEL_TABLE_REFUSED = 2   /* a table file with an error: every gaiji fails */
};

/* Tells which gaiji table the server uses, loading it first if no call has
 * yet. Returns a QuobelTableState and writes one line of UTF-8 text into
 * text (size bytes, cut if need be, always ended by 00; nothing when size is
 * 0), for example
 *   built-in arithmetic
 *   /etc/site/gaiji.tsv: 12 gaiji, the built-in arithmetic for the rest
 *   /etc/site/gaiji.tsv: 12 gaiji, no fallback
 *   /etc/site/gaiji.tsv: refused (line 7: ...); every gaiji fails */
#define QUOBEL_GAIJI_TABLE_FUNCTION "QuobelGaijiTable"
GAIJI_PUBLIC int QuobelGaijiTable(char* text, int size);
typedef int (*QuobelGaijiTableFunction)(char* text, int size);

/* Checks the gaiji table file at path as the server reads it, without
 * loading it into the server: calls line(text, context) for each line of the
 * report (each error with its line number, then a summary, or the number of
 * gaiji). Returns 0 when the server would take the table, else 1. */
typedef void (*QuobelLineFunction)(const char* text, void* context);
#define QUOBEL_CHECK_GAIJI_TABLE_FUNCTION "QuobelCheckGaijiTable"
GAIJI_PUBLIC int QuobelCheckGaijiTable(const char* path, QuobelLineFunction line, void* context);
typedef int (*QuobelCheckGaijiTableFunction)(const char* path, QuobelLineFunction line, void* context);

/* The characters that the gaiji table gives its gaiji (column 5, "U+XXXX"
 * or "U+XXXX U+YYYY"), for the library's conversions to and from Unicode
 * (src/gaiji/gaiji_characters.h): the library finds it with dlsym once per
 * process and does without it. None without a table or with a refused one. */
GAIJI_PUBLIC int QuobelGaijiCharacters(const GaijiCharacter** list);

#ifdef __cplusplus
}
#endif

#endif /* QUOBEL_QUOBEL_H */
