/* A Windows program that does nothing but answer 42: the Windows tests run it
 * under Wine first, to find out whether this machine can run programs of its
 * architecture at all. */
int main(void) { return 42; }
