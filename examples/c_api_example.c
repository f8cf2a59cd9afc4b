/* Converts a letter, a kanji and a line end to the EBCDIC host code and back. */
#include <stdio.h>

#include "lumtrax.h"

static void print_hex(const char *label, const unsigned char *bytes, int count) {
    printf("%-10s", label);
    for (int i = 0; i < count; ++i) printf(" %02X", bytes[i]);
    printf("\n");
}

int main(void) {
    const unsigned char sjis[] = {0x41, 0x88, 0x9F, 0x0D, 0x0A, 0x00};
    /* Room by the growth rule: 5 * 5 / 3 + 1 host bytes and the terminator,
     * and at least the source length plus 2 for the first pass. */
    unsigned char host[16];
    unsigned char back[16];
    int status = 0;

    int n = Lumtrax(LUMTRAX_SJIS_TO_EBCDIC, host, sjis, LUMTRAX_LINE_END_KEEP, &status);
    if (n < 0) return 1;
    print_hex("Shift-JIS", sjis, 5);
    print_hex("host", host, n);

    /* The host text holds no 00 byte of its own, so its length can be
     * computed; a text that does is converted through Lumtrax_LRSS with its
     * length given. */
    int m = Lumtrax(LUMTRAX_EBCDIC_TO_SJIS, back, host, LUMTRAX_LINE_END_KEEP, &status);
    if (m < 0) return 1;
    print_hex("back", back, m);
    return status == LUMTRAX_GAIJI_NONE ? 0 : 1;
}
