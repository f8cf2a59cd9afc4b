// The benchmark's texts: deterministic Shift-JIS made from a fixed seed, so
// that every run and every machine converts the same bytes.
#ifndef LUMTRAX_BENCH_CORPUS_H
#define LUMTRAX_BENCH_CORPUS_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace corpus {

using Bytes = std::vector<std::uint8_t>;

enum class Kind {
    // Japanese prose: about 70% of the bytes in double-byte characters
    // (hiragana, kanji of both levels, katakana, full-width symbols), the
    // rest ASCII words and numbers, a few half-width katakana, and CR LF
    // after every 40-80 characters.
    kJapanese,
    // Printable ASCII words with CR LF after every 40-80 characters.
    kAscii,
    // Kanji of both levels and nothing else: no line ends.
    kKanji,
};

const char* Name(Kind kind);

// A text of at least min_size bytes that ends with a whole character. It
// holds no 00 byte, no raw-byte escape, no gaiji and no A0.
Bytes MakeText(Kind kind, std::size_t min_size);

// The share of a Shift-JIS text's bytes that lie in double-byte characters.
double DoubleByteShare(const Bytes& sjis);

// The text cut into records of 20-200 bytes, the way a batch meets it: one
// record per line, without its CR LF; a line longer than 200 bytes, or a
// text without line ends, is cut at character boundaries into pieces of
// 20-200 bytes. Lines shorter than 20 bytes are left out.
std::vector<Bytes> SplitRecords(const Bytes& sjis);

}  // namespace corpus

#endif  // LUMTRAX_BENCH_CORPUS_H
