// Shift-JIS texts built from a small alphabet of units, for the tests that
// put every kind of unit at every place of a kernel's window: runs of every
// length at every alignment, broken at every offset, and mixed texts.
#ifndef LUMTRAX_TESTS_UNIT_TEXTS_H
#define LUMTRAX_TESTS_UNIT_TEXTS_H

#include <string>

#include "test_support.h"

namespace unit_texts {

// The letters: a, k, r (0D alone), y (5C alone) single bytes; K, S (81 40),
// L kanji; g a gaiji (F0 40); n a line end; e an escape carrying C1, E one
// carrying 88 (which would begin a pair); p the LRSS placeholder A0.
test_support::Bytes Text(const std::string& letters);

inline std::string Repeat(char letter, std::size_t count) { return std::string(count, letter); }

}  // namespace unit_texts

#endif  // LUMTRAX_TESTS_UNIT_TEXTS_H
