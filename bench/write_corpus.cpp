// Writes one of the benchmark's texts to standard output, for benchmarks of
// the lumtrax command (bench/cli) and of the Python package (bench/python.py):
//
//   lumtrax_corpus japanese|ascii|kanji [BYTES] [records]
//
// The text is the one lumtrax_bench converts (4 MiB by default), made from
// the same fixed seed. With "records", its records instead, as lumtrax_bench
// cuts them, one a line (a record holds no 0A).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "corpus.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s japanese|ascii|kanji [BYTES] [records]\n", argv[0]);
        return 2;
    }
    const std::string name = argv[1];
    corpus::Kind kind = corpus::Kind::kJapanese;
    if (name == "ascii") {
        kind = corpus::Kind::kAscii;
    } else if (name == "kanji") {
        kind = corpus::Kind::kKanji;
    } else if (name != "japanese") {
        std::fprintf(stderr, "%s: no text named %s\n", argv[0], argv[1]);
        return 2;
    }
    const std::size_t size = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 4u << 20;
    corpus::Bytes text = corpus::MakeText(kind, size);
    if (argc > 3 && std::string(argv[3]) == "records") {
        corpus::Bytes lines;
        for (const corpus::Bytes& record : corpus::SplitRecords(text)) {
            lines.insert(lines.end(), record.begin(), record.end());
            lines.push_back(0x0A);
        }
        text.swap(lines);
    }
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
        std::perror(argv[0]);
        return 1;
    }
    return 0;
}
