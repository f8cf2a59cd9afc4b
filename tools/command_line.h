// The command line of lumtrax: what to convert, how, and where.
#ifndef LUMTRAX_TOOLS_COMMAND_LINE_H
#define LUMTRAX_TOOLS_COMMAND_LINE_H

#include <cstddef>
#include <string>
#include <vector>

#include "lumtrax.hpp"

namespace lumtrax_cli {

enum class Split {
    kWhole,    // each input file in one call
    kLines,    // each line in its own call
    kRecords,  // each fixed-length record in its own call
};

struct Settings {
    enum class Action { kConvert, kEscape, kHelp, kVersion, kCheckGaijiTable };
    Action action = Action::kConvert;
    lumtrax::Conversion conversion = lumtrax::Conversion::kSjisToEbcdic;
    lumtrax::Options options;
    Split split = Split::kWhole;
    std::size_t record_size = 0;
    bool hex_in = false;
    bool hex_out = false;
    unsigned char escape_byte = 0;    // for Action::kEscape
    std::string output;               // empty: standard output
    std::string gaiji_table;          // for Action::kCheckGaijiTable
    unsigned jobs = 1;                // converting threads: -j, else the usable CPUs
    std::vector<std::string> inputs;  // never empty: "-" is standard input
};

// Reads the arguments (without the program name). Throws Failure (exit 2)
// with a one-line message on a usage error.
Settings ParseCommandLine(const std::vector<std::string>& args);

// The text of --help.
const char* HelpText();

}  // namespace lumtrax_cli

#endif  // LUMTRAX_TOOLS_COMMAND_LINE_H
