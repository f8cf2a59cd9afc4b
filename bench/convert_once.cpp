// Runs one conversion over one corpus text a given number of times, whole
// or record by record: a steady workload for callgrind or perf, whose
// instruction counts compare two versions of a loop on a busy machine.
//
//   lumtrax_convert_once TEXT TYPE [whole|records] [ROUNDS]
//
// TEXT is japanese, ascii or kanji; for the types 4-7 the host text is made
// by the matching forward conversion first. The measured calls are those of
// ConvertPieces alone (callgrind --toggle-collect='*ConvertPieces*' counts them
// without the corpus and the host texts).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "corpus.h"
#include "lumtrax.h"

namespace {

using corpus::Bytes;

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

// The measured calls: every piece, rounds times. Records go through the
// plain export (the length computed), a whole text through Lumtrax_LRSS with
// its length.
__attribute__((noinline)) long ConvertPieces(int type, const std::vector<Bytes>& pieces, bool records, int rounds,
                                             std::uint8_t* dst, int* status) {
    long total = 0;
    for (int round = 0; round < rounds; ++round) {
        for (const Bytes& piece : pieces) {
            const int len = static_cast<int>(piece.size() - 1);
            total += records ? Lumtrax(type, dst, piece.data(), LUMTRAX_LINE_END_KEEP, status)
                             : Lumtrax_LRSS(type, dst, piece.data(), len, LUMTRAX_LINE_END_KEEP, status);
        }
    }
    return total;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s japanese|ascii|kanji TYPE [whole|records] [ROUNDS]\n", argv[0]);
        return 2;
    }
    const std::string name = argv[1];
    const int type = std::atoi(argv[2]);
    const bool records = argc > 3 && std::strcmp(argv[3], "records") == 0;
    const int rounds = argc > 4 ? std::atoi(argv[4]) : 1;
    corpus::Kind kind = corpus::Kind::kJapanese;
    if (name == "ascii") kind = corpus::Kind::kAscii;
    if (name == "kanji") kind = corpus::Kind::kKanji;

    const Bytes sjis = corpus::MakeText(kind, 4u << 20);
    std::vector<Bytes> pieces = records ? corpus::SplitRecords(sjis) : std::vector<Bytes>{sjis};
    if (ForwardOf(type) >= 0) {
        for (Bytes& piece : pieces) piece = Convert(ForwardOf(type), piece);
    }
    for (Bytes& piece : pieces) piece.push_back(0x00);

    Bytes dst(3 * sjis.size() + 4096);
    int status = 0;
    const long total = ConvertPieces(type, pieces, records, rounds, dst.data(), &status);
    std::printf("%ld bytes written, status %d\n", total, status);
    return 0;
}
