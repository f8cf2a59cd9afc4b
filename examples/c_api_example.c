/* Converts a letter, a kanji and a line end to the EBCDIC host code and back,
 * and checks that it gets what the documentation says (the tests run it). */
#include <stdio.h>
#include <string.h>

#include "lumtrax.h"

static void print_hex(const char *label, const unsigned char *bytes, int count) {
    printf("%-10s", label);
    for (int i = 0; i < count; ++i) printf(" %02X", bytes[i]);
    printf("\n");
}

int main(void) {
    const unsigned char sjis[] = {0x41, 0x88, 0x9F, 0x0D, 0x0A, 0x00};
    unsigned char host[16];
    unsigned char back[16];
    int status = 0;

    int n = Lumtrax(LUMTRAX_SJIS_TO_EBCDIC, host, sjis, LUMTRAX_LINE_END_KEEP, &status);
    /* n == 7, host == C1 2B B0 A1 2C 0D 25 00, status == 0 */
    if (n < 0) return 1;
    print_hex("Shift-JIS", sjis, 5);
    print_hex("host", host, n);
    if (n != 7 || memcmp(host, "\xC1\x2B\xB0\xA1\x2C\x0D\x25", 8) != 0 || status != 0) return 1;

    /* The host text holds no 00 byte of its own, so its length can be
     * computed; a text that does is converted through Lumtrax_LRSS with its
     * length given. */
    int m = Lumtrax(LUMTRAX_EBCDIC_TO_SJIS, back, host, LUMTRAX_LINE_END_KEEP, &status);
    /* m == 5, back == 41 88 9F 0D 0A 00, status == 0 */
    if (m < 0) return 1;
    print_hex("back", back, m);
    return m == 5 && memcmp(back, sjis, 6) == 0 && status == LUMTRAX_GAIJI_NONE ? 0 : 1;
}
