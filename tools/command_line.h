// The command line of lumtrax: what to convert, how, and where.
#ifndef LUMTRAX_TOOLS_COMMAND_LINE_H
#define LUMTRAX_TOOLS_COMMAND_LINE_H

#include <cstddef>
#include <string>
#include <vector>

#include "lumtrax.hpp"
#include "lumtrax_dataset.hpp"

namespace lumtrax_cli {

enum class Split {
    kWhole,    // each input file in one call
    kLines,    // each line in its own call
    kRecords,  // each fixed-length record in its own call
};

// A host data set and its rows (--copybook): records to rows, or back.
struct DatasetSettings {
    std::string copybook;  // the copybook's path
    bool to_rows = true;   // records to rows; false: rows to records
    lumtrax::dataset::CopybookOptions layout;
    lumtrax::dataset::FramingOptions framing;
    bool record_length_given = false;  // --record: else the layout's length
    lumtrax::dataset::RowFormat rows = lumtrax::dataset::RowFormat::kJsonLines;
    lumtrax::dataset::RowCode code = lumtrax::dataset::RowCode::kUtf8;
    lumtrax::dataset::TextErrors text_errors = lumtrax::dataset::TextErrors::kStrict;
    bool trim = false;
};

struct Settings {
    enum class Action { kConvert, kEscape, kHelp, kVersion, kCheckGaijiTable, kDataset };
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
    DatasetSettings dataset;          // for Action::kDataset
};

// Reads the arguments (without the program name). Throws Failure (exit 2)
// with a one-line message on a usage error.
Settings ParseCommandLine(const std::vector<std::string>& args);

// Whether the code is a form of Unicode (utf8, utf16le, utf16be).
bool IsUnicode(lumtrax::Code code);

// The command's name of a code ("ebcdic", "utf16le"; its variants share it).
const char* CodeName(lumtrax::Code code);

// The text of --help.
const char* HelpText();

}  // namespace lumtrax_cli

#endif  // LUMTRAX_TOOLS_COMMAND_LINE_H
