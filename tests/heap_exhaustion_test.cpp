// A text of 1024 bytes or more needs a heap block for its working copy.
// When the heap has none, the conversion reports it and returns -1, leaving
// the first pass's JIS form in the destination. The test runs the
// conversion in a child process whose address space is then limited, and
// under AddressSanitizer the child looks for leaks before it exits.
#include <gtest/gtest.h>

#include <iconv.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "address_space.h"
#include "lumtrax.h"
#include "to_host/jis_prepass.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LUMTRAX_ADDRESS_SANITIZER 1
#endif
#if __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define LUMTRAX_SANITIZED_HEAP 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define LUMTRAX_ADDRESS_SANITIZER 1
#endif
#if defined(__SANITIZE_THREAD__)
#define LUMTRAX_SANITIZED_HEAP 1
#endif

#ifdef LUMTRAX_ADDRESS_SANITIZER
#include <sanitizer/lsan_interface.h>

// Let a failed allocation return null, as the plain heap does, instead of
// ending the program; and look for leaks at the end of every test process
// of this suite, which holds the tests of the heap path of long texts.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1:detect_leaks=1"; }
#endif

namespace {

constexpr std::size_t kTextSize = 64u << 20;

// Converts a large text with no room left for the working copy; 0 when
// everything is as it should be, else the number of the failed check.
int ConvertWithoutHeap(int type) {
    std::vector<unsigned char> src(kTextSize + 1, 0x41);
    src[0] = 0x88;  // one kanji, to see the JIS form
    src[1] = 0x9F;
    src[kTextSize] = 0x00;
    std::vector<unsigned char> dst(2 * kTextSize + 2, 0xEE);
    rlimit unlimited{};
    if (getrlimit(RLIMIT_AS, &unlimited) != 0) return 10;
    rlimit limit = unlimited;
    limit.rlim_cur = test_support::AddressSpaceInUse() + (16u << 20);
    if (setrlimit(RLIMIT_AS, &limit) != 0) return 10;
    int status = 7;
    const int result = Lumtrax(type, dst.data(), src.data(), 0, &status);
    if (setrlimit(RLIMIT_AS, &unlimited) != 0) return 10;
    if (result != -1) return 11;
    if (status != 0) return 12;
    // The destination holds the JIS form and its terminator.
    if (dst[0] != 0x30 || dst[1] != 0x21 || dst[2] != 0x41) return 13;
    if (dst[kTextSize - 1] != 0x41 || dst[kTextSize] != 0x00) return 14;
    return 0;
}

// Child: the conversion, then a search for leaked blocks where the
// sanitizer can do one.
[[noreturn]] void ConvertWithoutHeapAndExit(int type) {
    const int failed_check = ConvertWithoutHeap(type);
#ifdef LUMTRAX_ADDRESS_SANITIZER
    if (failed_check == 0 && __lsan_do_recoverable_leak_check() != 0) std::_Exit(15);
#endif
    std::_Exit(failed_check);
}

TEST(HeapExhaustion, ReturnsMinusOneWithTheReportAndLeavesTheJisForm) {
#ifdef LUMTRAX_SANITIZED_HEAP
    GTEST_SKIP() << "this sanitizer's allocator does not fail under an address-space limit";
#endif
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string report = std::string("sjis to qomu: ") + lumtrax::kHeapExhaustedMessageUtf8;
    for (int type : {0, 1, 2, 3, 10}) {
        SCOPED_TRACE(type);
        EXPECT_EXIT(ConvertWithoutHeapAndExit(type), ::testing::ExitedWithCode(0), report);
    }
}

// The line on standard error must say what the 44 stored Shift-JIS bytes say.
TEST(HeapExhaustion, ReportTextIsTheSameInBothCodes) {
    ASSERT_EQ(std::strlen(lumtrax::kHeapExhaustedMessageSjis), 44u);
    iconv_t to_utf8 = iconv_open("UTF-8", "SHIFT_JIS");
    ASSERT_NE(to_utf8, reinterpret_cast<iconv_t>(-1));
    std::string sjis = lumtrax::kHeapExhaustedMessageSjis;
    char utf8[256] = {};
    char* in = sjis.data();
    char* out = utf8;
    std::size_t in_left = sjis.size();
    std::size_t out_left = sizeof utf8 - 1;
    ASSERT_EQ(iconv(to_utf8, &in, &in_left, &out, &out_left), 0u);
    iconv_close(to_utf8);
    EXPECT_STREQ(utf8, lumtrax::kHeapExhaustedMessageUtf8);
    EXPECT_STREQ(lumtrax::kHeapExhaustedCaption, "sjis to qomu");
}

}  // namespace
