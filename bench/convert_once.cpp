// Runs one conversion over one corpus text a given number of times, whole
// or record by record: a steady workload for callgrind or perf, whose
// instruction counts hold on a busy machine (bench/instructions).
//
//   lumtrax_convert_once TEXT TYPE [records|whole|lrss] [ROUNDS]
//   lumtrax_convert_once --file PATH TYPE
//   lumtrax_convert_once --level
//
// TEXT is japanese, ascii or kanji; for the types 4-7 the host text is made
// by the matching forward conversion first. records: one Lumtrax call per
// record (the length computed); whole: the whole text through Lumtrax;
// lrss: the whole text through Lumtrax_LRSS with its length. The measured
// calls are those of ConvertPieces alone (callgrind
// --toggle-collect='*ConvertPieces*' counts them without the corpus and the
// host texts). --file converts the file at PATH in one Lumtrax call, three
// times, and prints the least seconds a call took (bench/cli compares the
// command with it). --level prints the SIMD level in use.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "corpus.h"
#include "lumtrax.h"
#include "lumtrax.hpp"

namespace {

using corpus::Bytes;

enum class Mode { kRecords, kWhole, kLrss };

// The forward type whose output a reverse type reads.
int ForwardOf(int type) {
    switch (type) {
        case 4:
            return 0;
        case 5:
            return 1;
        case 6:
            return 2;
        case 7:
            return 3;
        default:
            return -1;
    }
}

// Converts text (followed by 00) with the plain export.
Bytes Convert(int type, const Bytes& text) {
    Bytes source = text;
    source.push_back(0x00);
    Bytes dst(3 * text.size() + 8);
    int status = 0;
    const int n = Lumtrax(type, dst.data(), source.data(), LUMTRAX_LINE_END_KEEP, &status);
    dst.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
    return dst;
}

// The measured calls: every piece (followed by 00), rounds times.
__attribute__((noinline)) long ConvertPieces(int type, const std::vector<Bytes>& pieces, Mode mode, int rounds,
                                             std::uint8_t* dst, int* status) {
    long total = 0;
    for (int round = 0; round < rounds; ++round) {
        for (const Bytes& piece : pieces) {
            const int len = static_cast<int>(piece.size() - 1);
            total += mode == Mode::kLrss ? Lumtrax_LRSS(type, dst, piece.data(), len, LUMTRAX_LINE_END_KEEP, status)
                                         : Lumtrax(type, dst, piece.data(), LUMTRAX_LINE_END_KEEP, status);
        }
    }
    return total;
}

// The least seconds of three calls converting the file at path whole.
int ConvertFile(const char* path, int type) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        std::perror(path);
        return 1;
    }
    Bytes source;
    std::uint8_t block[1 << 16];
    for (std::size_t n; (n = std::fread(block, 1, sizeof block, file)) > 0;) source.insert(source.end(), block, block + n);
    std::fclose(file);
    source.push_back(0x00);
    Bytes dst(3 * source.size() + 8);
    int status = 0;
    double least = 0;
    for (int round = 0; round < 3; ++round) {
        const auto start = std::chrono::steady_clock::now();
        const int n = Lumtrax(type, dst.data(), source.data(), LUMTRAX_LINE_END_KEEP, &status);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (n < 0) {
            std::fprintf(stderr, "%s: type %d failed\n", path, type);
            return 1;
        }
        if (round == 0 || seconds < least) least = seconds;
    }
    std::printf("%.6f\n", least);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--level") == 0) {
        std::printf("%s\n", lumtrax::ActiveSimdLevel());
        return 0;
    }
    if (argc == 4 && std::strcmp(argv[1], "--file") == 0) return ConvertFile(argv[2], std::atoi(argv[3]));
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: %s japanese|ascii|kanji TYPE [records|whole|lrss] [ROUNDS]\n       %s --file PATH TYPE\n"
                     "       %s --level\n",
                     argv[0], argv[0], argv[0]);
        return 2;
    }
    const std::string name = argv[1];
    const int type = std::atoi(argv[2]);
    const std::string mode_name = argc > 3 ? argv[3] : "records";
    const int rounds = argc > 4 ? std::atoi(argv[4]) : 1;
    corpus::Kind kind = corpus::Kind::kJapanese;
    if (name == "ascii") kind = corpus::Kind::kAscii;
    if (name == "kanji") kind = corpus::Kind::kKanji;
    const Mode mode = mode_name == "whole" ? Mode::kWhole : mode_name == "lrss" ? Mode::kLrss : Mode::kRecords;

    const Bytes sjis = corpus::MakeText(kind, 4u << 20);
    std::vector<Bytes> pieces = mode == Mode::kRecords ? corpus::SplitRecords(sjis) : std::vector<Bytes>{sjis};
    std::size_t sjis_bytes = 0;
    for (const Bytes& piece : pieces) sjis_bytes += piece.size();
    if (ForwardOf(type) >= 0) {
        for (Bytes& piece : pieces) piece = Convert(ForwardOf(type), piece);
    }
    for (Bytes& piece : pieces) piece.push_back(0x00);

    Bytes dst(3 * sjis.size() + 4096);
    int status = 0;
    // The first call chooses the kernels: not part of the measured calls.
    const std::uint8_t empty[1] = {0x00};
    Lumtrax(type, dst.data(), empty, LUMTRAX_LINE_END_KEEP, &status);
    const long total = ConvertPieces(type, pieces, mode, rounds, dst.data(), &status);
    std::printf("level %s, %zu calls, %zu Shift-JIS bytes, %ld bytes written, status %d\n", lumtrax::ActiveSimdLevel(),
                pieces.size() * rounds, sjis_bytes * rounds, total, status);
    return 0;
}
