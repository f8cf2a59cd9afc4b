// The stand-in server's gaiji table loaded by several threads at once: each
// thread's first conversion of a process asks for the table together with
// the others (gaiji_probe --threads), and every thread must find it whole.
// Built with ThreadSanitizer, the probe also reports any race in the loading.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "gaiji_probe_runner.h"

namespace {

TEST(GaijiTableLoading, RacedByThreads) {
    const std::string example = std::string(LUMTRAX_SOURCE_DIR) + "/examples/gaiji.tsv";
    gaiji_probe::Run run = gaiji_probe::Probe({"--threads", "8", "0:F040 8740 FA41", "7:FEA1 FDA1", "table"}, example);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.out, "2B 69 A1 6A A1 6C A2 2C status 1\nF0 40 87 40 status 1\ntable 1 " + example +
                           ": 12 gaiji, the built-in arithmetic for the rest\n");
    EXPECT_EQ(run.err, "");

    // A refused table: every thread fails, and the server says so once.
    char path[] = "/tmp/lumtrax-race-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    std::fclose(fdopen(fd, "w"));
    run = gaiji_probe::Probe({"--threads", "8", "0:F040"}, path);
    std::remove(path);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.out, "2B A2 A3 2C status 2\n");
    EXPECT_EQ(run.err, "quobel: gaiji table " + std::string(path) +
                           ", no gaiji: the table is empty; the table is refused and every gaiji fails\n");
}

}  // namespace
