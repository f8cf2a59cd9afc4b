// Which gaiji table the stand-in server uses: the file named by the
// environment variable LUMTRAX_GAIJI_TABLE, else gaiji.tsv beside the server
// library, else none (the built-in arithmetic). It is loaded once per
// process, on the first call that needs it, by whichever thread comes first;
// the others wait for it. A table with an error is refused as a whole, with
// one line on standard error (on Windows, for the debugger).
#ifndef QUOBEL_SERVER_TABLE_H
#define QUOBEL_SERVER_TABLE_H

#include <string>

#include "gaiji_table.h"
#include "quobel.h"

namespace quobel {

struct ServerTable {
    QuobelTableState state = QUOBEL_TABLE_BUILT_IN;
    const GaijiTable* table = nullptr;  // when loaded
    std::string path;                   // of the file, in UTF-8
    std::string description;            // the line QuobelGaijiTable writes
};

// Loads the table on the first call. Never freed, so that a call on another
// thread while the process ends still finds it.
const ServerTable& TheServerTable();

}  // namespace quobel

#endif  // QUOBEL_SERVER_TABLE_H
