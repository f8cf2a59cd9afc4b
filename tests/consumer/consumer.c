/* Uses the installed C library: a letter, a kanji and a line end to the
 * EBCDIC host code. */
#include <stdio.h>
#include <string.h>

#include <lumtrax.h>

int main(void) {
    const unsigned char sjis[] = {0x41, 0x88, 0x9F, 0x0D, 0x0A, 0x00};
    const unsigned char expected[] = {0xC1, 0x2B, 0xB0, 0xA1, 0x2C, 0x0D, 0x25, 0x00};
    unsigned char host[16];
    int status = 7;
    int n = Lumtrax(LUMTRAX_SJIS_TO_EBCDIC, host, sjis, LUMTRAX_LINE_END_KEEP, &status);
    if (n != 7 || status != 0 || memcmp(host, expected, sizeof expected) != 0) {
        printf("c_consumer: wrong conversion (%d)\n", n);
        return 1;
    }
    printf("c_consumer: ok\n");
    return 0;
}
