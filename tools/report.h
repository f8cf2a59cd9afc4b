// What the calls met, added up in input order, and the report of it on
// standard error.
#ifndef LUMTRAX_TOOLS_REPORT_H
#define LUMTRAX_TOOLS_REPORT_H

#include <string>

#include "command_line.h"
#include "lumtrax.hpp"

namespace lumtrax_cli {

class Report {
public:
    explicit Report(const Settings& settings);

    // Adds the tally of the calls that come next, read from file; the first
    // replacement in it must be located already (lumtrax::LocateFirstReplaced).
    void Add(const lumtrax::Tally& later, const std::string& file);

    bool replaced() const { return total_.replaced > 0; }

    // The lines on standard error: the texts that end inside a unit, the
    // replacements with the first one's place, the gaiji converted.
    void Print() const;

private:
    std::string Words(const lumtrax::Place& place, const std::string& file, bool range) const;

    Split split_;
    const char* substitute_;  // in words
    lumtrax::Tally total_;
    std::string first_replaced_;  // where, in words
    std::string first_cut_;
};

}  // namespace lumtrax_cli

#endif  // LUMTRAX_TOOLS_REPORT_H
