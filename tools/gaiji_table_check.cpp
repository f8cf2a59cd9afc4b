#include "gaiji_table_check.h"

#include <dlfcn.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "failure.h"
#include "gaiji_table.h"
#include "quobel.h"

namespace lumtrax_cli {

int CheckGaijiTable(const std::string& path) {
    std::vector<quobel::TableError> errors;
    std::string text;
    std::unique_ptr<quobel::GaijiTable> table;
    std::string reason;
    bool missing = false;
    if (std::FILE* file = quobel::OpenTableFile(path, reason, missing)) {
        if (!quobel::ReadTableFile(file, text, reason)) errors.push_back({0, reason});
        std::fclose(file);
        if (errors.empty()) table = quobel::GaijiTable::Parse(text, errors);
    } else {
        errors.push_back({0, reason});
    }
    for (const quobel::TableError& error : errors) {
        const std::string line = error.line > 0 ? ":" + std::to_string(error.line) : "";
        std::printf("%s%s: %s\n", path.c_str(), line.c_str(), error.reason.c_str());
    }
    if (!errors.empty()) {
        std::printf("%s: %zu error%s; the gaiji server refuses the table\n", path.c_str(), errors.size(),
                    errors.size() == 1 ? "" : "s");
    } else {
        std::printf("%s: %zu gaiji, %s\n", path.c_str(), table->size(),
                    table->fallback() ? "the built-in arithmetic for the rest" : "no fallback");
    }
    return errors.empty() ? kExitOk : kExitInputOutput;
}

std::string GaijiTableLine() {
    // The server is loaded with the library; the function is looked up
    // among the objects the program has loaded.
    const auto describe = reinterpret_cast<QuobelGaijiTableFunction>(dlsym(RTLD_DEFAULT, QUOBEL_GAIJI_TABLE_FUNCTION));
    if (describe == nullptr) return "gaiji table: not known (the gaiji server is not the stand-in server)";
    char text[4096];
    describe(text, sizeof text);
    return std::string("gaiji table: ") + text;
}

}  // namespace lumtrax_cli
