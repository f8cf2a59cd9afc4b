#include "report.h"

#include <cstdio>
#include <cstring>

namespace lumtrax_cli {

void Tally::Add(const Tally& later) {
    if (replaced == 0 && later.replaced > 0) first_replaced = later.first_replaced;
    if (cut == 0 && later.cut > 0) first_cut = later.first_cut;
    calls += later.calls;
    converted += later.converted;
    replaced += later.replaced;
    cut += later.cut;
}

void Tally::Report(const char* unit) const {
    const std::string units = std::string(unit) + "s";
    if (cut == 1) {
        std::fprintf(stderr,
                     "lumtrax: warning: %s ends inside a character, shift sequence or escape "
                     "(the byte after it was taken as 00)\n",
                     first_cut.c_str());
    } else if (cut > 1) {
        std::fprintf(stderr,
                     "lumtrax: warning: %llu %s end inside a character, shift sequence or "
                     "escape (the byte after each was taken as 00), first in %s\n",
                     cut, units.c_str(), first_cut.c_str());
    }
    // A unit that comes back from the gaiji server unconverted may be a gaiji
    // the server does not know or bytes that are no valid text (a cut host
    // pair, a code no table has): a character, not necessarily a gaiji.
    if (replaced > 0) {
        std::fprintf(stderr,
                     "lumtrax: %llu %s had characters that could not be converted and were "
                     "replaced by the substitute (a black square)%s%s\n",
                     replaced, replaced == 1 ? unit : units.c_str(), replaced == 1 ? ": " : "; the first in ",
                     first_replaced.c_str());
    }
    // Chunks are the command's own cut of a file: only lines and records
    // are worth counting.
    if (converted > 0 && (calls == 1 || std::strcmp(unit, "chunk") == 0)) {
        std::fputs("lumtrax: gaiji converted by the gaiji server\n", stderr);
    } else if (converted > 0) {
        std::fprintf(stderr, "lumtrax: gaiji converted by the gaiji server in %llu %s\n", converted,
                     converted == 1 ? unit : units.c_str());
    }
}

}  // namespace lumtrax_cli
