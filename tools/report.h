// What the calls met, merged in input order, and the report of it on
// standard error.
#ifndef LUMTRAX_TOOLS_REPORT_H
#define LUMTRAX_TOOLS_REPORT_H

#include <string>

#include "lumtrax.hpp"

namespace lumtrax_cli {

struct Tally {
    unsigned long long calls = 0;
    unsigned long long converted = 0;  // calls whose gaiji the server all converted
    unsigned long long replaced = 0;   // calls where a unit came back from the server
                                       // unconverted and was replaced by the substitute
    std::string first_replaced;        // where the first of those is, in words
    unsigned long long cut = 0;        // texts that end inside a unit
    std::string first_cut;

    // where() puts the place of the call into words, when it is needed.
    template <typename Where>
    void Note(lumtrax::GaijiStatus status, const Where& where) {
        ++calls;
        if (status == lumtrax::GaijiStatus::kConverted) ++converted;
        if (status == lumtrax::GaijiStatus::kReplaced && replaced++ == 0) first_replaced = where();
    }
    template <typename Where>
    void NoteCut(const Where& where) {
        if (cut++ == 0) first_cut = where();
    }

    // Adds the tally of the calls that came after these.
    void Add(const Tally& later);

    // unit: "line", "record" or "chunk" (whole files are cut into chunks).
    void Report(const char* unit) const;
};

}  // namespace lumtrax_cli

#endif  // LUMTRAX_TOOLS_REPORT_H
