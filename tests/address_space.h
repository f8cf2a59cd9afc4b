// The tests that exhaust the heap limit a child process's address space to
// what it uses now plus a little.
#ifndef LUMTRAX_TESTS_ADDRESS_SPACE_H
#define LUMTRAX_TESTS_ADDRESS_SPACE_H

#include <cstddef>
#include <cstdio>
#include <cstdlib>

namespace test_support {

// The current size of the address space.
inline std::size_t AddressSpaceInUse() {
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    unsigned long pages = 0;
    if (statm == nullptr || std::fscanf(statm, "%lu", &pages) != 1) std::abort();
    std::fclose(statm);
    return pages * 4096u;
}

}  // namespace test_support

#endif  // LUMTRAX_TESTS_ADDRESS_SPACE_H
