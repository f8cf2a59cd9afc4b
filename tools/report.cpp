#include "report.h"

#include <cstdio>

namespace lumtrax_cli {

Report::Report(const Settings& settings)
    : split_(settings.split),
      substitute_(IsUnicode(lumtrax::Describe(settings.conversion)->to) ? "U+FFFD"
                                                                         : "the substitute (a black square)") {}

// "line 3 of notes.txt", "record 5 of host.dat"; in a whole file, the range
// of bytes, or the file alone.
std::string Report::Words(const lumtrax::Place& place, const std::string& file, bool range) const {
    switch (split_) {
        case Split::kLines:
            return "line " + std::to_string(place.call) + " of " + file;
        case Split::kRecords:
            return "record " + std::to_string(place.call) + " of " + file;
        case Split::kWhole:
            break;
    }
    if (!range) return file;
    const unsigned long long first = place.bytes.offset;
    const unsigned long long last = first + (place.bytes.length > 0 ? place.bytes.length - 1 : 0);
    return "bytes " + std::to_string(first) + "-" + std::to_string(last) + " of " + file;
}

void Report::Add(const lumtrax::Tally& later, const std::string& file) {
    if (total_.replaced == 0 && later.replaced > 0 && later.first_replaced) {
        first_replaced_ = Words(*later.first_replaced, file, true);
    }
    if (total_.ends_inside == 0 && later.ends_inside > 0 && later.first_ends_inside) {
        first_cut_ = Words(*later.first_ends_inside, file, false);
    }
    total_.Add(later);
}

void Report::Print() const {
    // Chunks are the command's own cut of a file: only lines and records
    // are worth counting.
    const char* unit = split_ == Split::kLines ? "line" : split_ == Split::kRecords ? "record" : "chunk";
    const std::string units = std::string(unit) + "s";
    const unsigned long long cut = total_.ends_inside;
    if (cut == 1) {
        std::fprintf(stderr,
                     "lumtrax: warning: %s ends inside a character, shift sequence or escape "
                     "(the byte after it was taken as 00)\n",
                     first_cut_.c_str());
    } else if (cut > 1) {
        std::fprintf(stderr,
                     "lumtrax: warning: %llu %s end inside a character, shift sequence or "
                     "escape (the byte after each was taken as 00), first in %s\n",
                     cut, units.c_str(), first_cut_.c_str());
    }
    // A unit that comes back from the gaiji server unconverted may be a gaiji
    // the server does not know or bytes that are no valid text (a cut host
    // pair, a code no table has): a character, not necessarily a gaiji.
    const unsigned long long replaced = total_.replaced;
    if (replaced > 0) {
        std::fprintf(stderr,
                     "lumtrax: %llu %s had characters that could not be converted and were "
                     "replaced by %s%s%s\n",
                     replaced, replaced == 1 ? unit : units.c_str(), substitute_, replaced == 1 ? ": " : "; the first in ",
                     first_replaced_.c_str());
    }
    const unsigned long long converted = total_.converted;
    if (converted > 0 && (total_.calls == 1 || split_ == Split::kWhole)) {
        std::fputs("lumtrax: gaiji converted by the gaiji server\n", stderr);
    } else if (converted > 0) {
        std::fprintf(stderr, "lumtrax: gaiji converted by the gaiji server in %llu %s\n", converted,
                     converted == 1 ? unit : units.c_str());
    }
}

}  // namespace lumtrax_cli
