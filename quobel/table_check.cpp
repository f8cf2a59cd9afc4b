// --check-gaiji-table: a table file checked as the server reads it, through
// the server's own reader, without loading it into the server.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "gaiji_table.h"
#include "quobel.h"

namespace {

using quobel::TableError;

int Check(const char* path, QuobelLineFunction line, void* context) {
    std::vector<TableError> errors;
    std::string text;
    std::unique_ptr<quobel::GaijiTable> table;
    std::string reason;
#if defined(_WIN32)
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) reason = std::string("cannot open it: ") + std::strerror(errno);
#else
    bool missing = false;
    std::FILE* file = quobel::OpenTableFile(path, reason, missing);
#endif
    if (file != nullptr) {
        if (!quobel::ReadTableFile(file, text, reason)) errors.push_back({0, reason});
        std::fclose(file);
        if (errors.empty()) table = quobel::GaijiTable::Parse(text, errors);
    } else {
        errors.push_back({0, reason});
    }
    for (const TableError& error : errors) {
        const std::string where = error.line > 0 ? ":" + std::to_string(error.line) : "";
        line((path + where + ": " + error.reason).c_str(), context);
    }
    if (!errors.empty()) {
        line((std::string(path) + ": " + std::to_string(errors.size()) + " error" + (errors.size() == 1 ? "" : "s") +
              "; the gaiji server refuses the table")
                 .c_str(),
             context);
        return 1;
    }
    line((std::string(path) + ": " + std::to_string(table->size()) + " gaiji, " +
          (table->fallback() ? "the built-in arithmetic for the rest" : "no fallback"))
             .c_str(),
         context);
    return 0;
}

}  // namespace

extern "C" GAIJI_PUBLIC int QuobelCheckGaijiTable(const char* path, QuobelLineFunction line, void* context) {
    if (path == nullptr || line == nullptr) return 1;
    try {
        return Check(path, line, context);
    } catch (...) {
        line("out of memory while checking the table", context);
        return 1;
    }
}
