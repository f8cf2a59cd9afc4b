// Helpers shared by the unit tests: hex byte strings, and a runner that
// calls one export with a guarded destination and reports what it wrote.
#ifndef LUMTRAX_TESTS_TEST_SUPPORT_H
#define LUMTRAX_TESTS_TEST_SUPPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gaiji_double.h"

namespace test_support {

using Bytes = std::vector<std::uint8_t>;

// "41 88 9F" -> {0x41, 0x88, 0x9F}.
Bytes Hex(const std::string& text);
std::string ToHex(const Bytes& bytes);

enum class Export { kPlain, kLrss, kNoShift };

struct Outcome {
    std::string out;  // the bytes before the result's terminator, as hex
    int result;
    int status;
};

// Calls the export with src followed by a 00 (the byte after the counted
// text when len is given). The destination is as large as the growth rules
// allow and guarded behind; a write past the guard fails the test. The
// status variable starts at 7 so that every path must set it.
Outcome RunExport(Export how, int type, const Bytes& src, int mode = 0, int len = 0);
Outcome RunExport(Export how, int type, const std::string& src_hex, int mode = 0, int len = 0);

// One conversion and the bytes it must give; the result must be their count.
struct Case {
    const char* name;
    Export how;
    int type;
    const char* src;
    const char* out;
    int mode = 0;
    int len = 0;
};

// Runs the case and checks its output, result and status.
void Check(const Case& c, int status = 0);

constexpr Export kPlain = Export::kPlain;
constexpr Export kLrss = Export::kLrss;
constexpr Export kNoShift = Export::kNoShift;

// Converts src through Lumtrax with a fresh server double that fails every
// call, and checks the status 2 and the records handed to the server, in
// order, with their kind and direction. Returns the outcome.
Outcome RunWithFailingServer(int type, const char* src, const std::vector<const char*>& records, int kind);

// Tests that start with a fresh gaiji server double, failing every call.
class ServerTest : public ::testing::Test {
protected:
    void SetUp() override { gaiji_double::Reset(); }
};

}  // namespace test_support

#endif  // LUMTRAX_TESTS_TEST_SUPPORT_H
