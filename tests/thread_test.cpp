// Concurrent calls into the shipped library with distinct buffers: several
// threads convert different texts of every type at once, the stand-in gaiji
// server answering on each of them, and every call must give exactly what
// it gives alone. Built with ThreadSanitizer, the test also catches any
// shared state that the calls touch.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <random>
#include <thread>
#include <vector>

#include "lumtrax.h"

namespace {

using Bytes = std::vector<unsigned char>;

enum class Export { kPlain, kLrss, kNoShift };

struct Job {
    Export how;
    int type;
    int mode;
    Bytes src;  // the text and a 00 after it
};

struct Result {
    int value;
    int status;
    Bytes text;
    bool operator==(const Result& other) const {
        return value == other.value && status == other.status && text == other.text;
    }
};

Result Convert(const Job& job) {
    const int len = static_cast<int>(job.src.size()) - 1;
    Bytes dst(3 * job.src.size() + 8, 0xEE);  // more than every growth rule asks
    int status = 7;
    int value = -2;
    switch (job.how) {
        case Export::kPlain:
            value = Lumtrax(job.type, dst.data(), job.src.data(), job.mode, &status);
            break;
        case Export::kLrss:
            value = Lumtrax_LRSS(job.type, dst.data(), job.src.data(), len, job.mode, &status);
            break;
        case Export::kNoShift:
            value = Lumtrax_NoShift(job.type, dst.data(), job.src.data(), job.mode, &status);
            break;
    }
    const std::size_t kept = value > 0 ? static_cast<std::size_t>(value) : 0;
    return {value, status, Bytes(dst.begin(), dst.begin() + static_cast<std::ptrdiff_t>(kept))};
}

// Shift-JIS text of every kind of unit: ASCII and kana, kanji, gaiji the
// stand-in server converts (F040-F9FC) and ones it does not (row 13), line
// ends, placeholders and raw-byte escapes. No 00, so that every export can
// take it.
Bytes ShiftJisText(std::mt19937& random, std::size_t length) {
    Bytes text;
    while (text.size() < length) {
        switch (random() % 8) {
            case 0:
                text.insert(text.end(), {static_cast<unsigned char>(0x88 + random() % 8),
                                         static_cast<unsigned char>(0x9F + random() % 0x5D)});
                break;
            case 1:
                text.insert(text.end(), {static_cast<unsigned char>(0xF0 + random() % 10), 0x40});
                break;
            case 2:
                text.insert(text.end(), {0x87, static_cast<unsigned char>(0x40 + random() % 0x3F)});
                break;
            case 3:
                text.insert(text.end(), {0x0D, 0x0A});
                break;
            case 4:
                text.push_back(0xA0);
                break;
            case 5:
                text.insert(text.end(), {0x5C, 0x01, static_cast<unsigned char>(0x01 + random() % 0xFF)});
                break;
            default:
                text.push_back(
                    static_cast<unsigned char>(random() % 2 ? 0x20 + random() % 0x5F : 0xA1 + random() % 0x3F));
        }
    }
    text.push_back(0x00);
    return text;
}

// Every type through every export and line-end mode; the host texts are
// what the conversions out of Shift-JIS make of the Shift-JIS ones, and
// two texts of each kind are longer than 1024 bytes.
std::vector<Job> Jobs() {
    std::mt19937 random(20240611);
    std::vector<Bytes> sjis;
    for (std::size_t length : {0u, 1u, 40u, 300u, 1023u, 1500u, 4000u}) sjis.push_back(ShiftJisText(random, length));
    std::vector<Job> jobs;
    int mode = 0;
    for (Export how : {Export::kPlain, Export::kLrss, Export::kNoShift}) {
        for (const Bytes& text : sjis) {
            const struct { int out, back; } pairs[] = {{0, 4}, {1, 5}, {2, 6}, {10, 6}, {3, 7}};
            for (const auto& p : pairs) {
                Job out{how, p.out, mode++ % 3, text};
                Bytes host = Convert(out).text;
                host.push_back(0x00);
                // A host text with 00 bytes of its own needs its length given.
                jobs.push_back(out);
                jobs.push_back({Export::kLrss, p.back, 0, host});
            }
        }
        for (int type : {11, 8, -1}) jobs.push_back({how, type, 0, sjis[2]});
    }
    return jobs;
}

TEST(ThreadSafety, ConcurrentCallsGiveTheSingleThreadedResults) {
    const std::vector<Job> jobs = Jobs();
    std::vector<Result> expected;
    for (const Job& job : jobs) expected.push_back(Convert(job));

    constexpr int kThreads = 4;
    constexpr int kRounds = 10;
    // The jobs each thread saw answered otherwise than alone.
    std::vector<std::vector<std::size_t>> differing(kThreads);
    std::atomic<int> waiting{kThreads};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            waiting.fetch_sub(1);
            while (waiting.load() > 0) std::this_thread::yield();
            // Each thread starts at another job, so different types overlap.
            const std::size_t first = static_cast<std::size_t>(t) * jobs.size() / kThreads;
            for (int round = 0; round < kRounds; ++round) {
                for (std::size_t k = 0; k < jobs.size(); ++k) {
                    const std::size_t j = (first + k) % jobs.size();
                    if (!(Convert(jobs[j]) == expected[j])) differing[static_cast<std::size_t>(t)].push_back(j);
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();

    for (int t = 0; t < kThreads; ++t) {
        for (std::size_t j : differing[static_cast<std::size_t>(t)]) {
            ADD_FAILURE() << "thread " << t << ": job " << j << " (type " << jobs[j].type << ", export "
                          << static_cast<int>(jobs[j].how) << ") differs from its single-threaded result";
        }
    }
}

}  // namespace
