// Where a text may be cut: the cut rule (FindCut), and the walk that finds
// the first cut in a text that grows (the source cutter's, for a stretch
// without a cut). Internal to the C++ API.
#ifndef LUMTRAX_CXX_CUT_FINDER_H
#define LUMTRAX_CXX_CUT_FINDER_H

#include <cstddef>
#include <cstdint>

#include "codes/unicode.h"
#include "codes/units.h"
#include "common/modes.h"
#include "lumtrax.hpp"

namespace lumtrax {

// The core's mode of a call with the C++ API's options.
CallMode CallModeOf(const Options& options);

// The core's options of a conversion to or from Unicode: the site's
// characters those of the gaiji server, the LRSS modes as their shift codes.
UnicodeOptions UnicodeOptionsOf(const Options& options);

// How the conversion walks its source (an assigned conversion).
UnitRules RulesOf(Conversion conversion, const Options& options);

// Walks the text s of size bytes from p, which is where a unit begins with
// its true state, to the first safe cut after p.at: returns it, or 0 when
// the bytes so far hold none, with p left where the walk stopped, to go on
// from once more bytes have come.
std::size_t WalkToCut(const UnitRules& rules, const std::uint8_t* s, std::size_t size, UnitPosition& p);

}  // namespace lumtrax

#endif  // LUMTRAX_CXX_CUT_FINDER_H
