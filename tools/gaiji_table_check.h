// The command's view of the stand-in gaiji server's table: --check-gaiji-table
// FILE, and the line of --version that tells which table the server uses.
// Both ask the server itself, through the exports that libquobel.so has
// beside the gaiji server interface (docs/gaiji.md); a site's own server
// need not have them.
#ifndef LUMTRAX_TOOLS_GAIJI_TABLE_CHECK_H
#define LUMTRAX_TOOLS_GAIJI_TABLE_CHECK_H

#include <string>

namespace lumtrax_cli {

// Checks the table file at path as the stand-in server reads it: prints each
// error with its line, or the number of gaiji, on standard output. Returns
// the exit status: 0 when the table is sound, else 3.
int CheckGaijiTable(const std::string& path);

// "gaiji table: ..." as the stand-in server tells it, or a line saying that
// the gaiji server is another.
std::string GaijiTableLine();

}  // namespace lumtrax_cli

#endif  // LUMTRAX_TOOLS_GAIJI_TABLE_CHECK_H
