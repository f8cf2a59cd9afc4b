#include "gaiji_table_check.h"

#include <dlfcn.h>

#include <cstdio>

#include "failure.h"

namespace lumtrax_cli {
namespace {

// The stand-in server's exports (quobel/quobel.h), looked up among the
// objects the program has loaded: the server comes with the library.
using TableFunction = int (*)(char* text, int size);
using LineFunction = void (*)(const char* text, void* context);
using CheckFunction = int (*)(const char* path, LineFunction line, void* context);

template <typename Function>
Function Export(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_DEFAULT, name));
}

}  // namespace

int CheckGaijiTable(const std::string& path) {
    const auto check = Export<CheckFunction>("QuobelCheckGaijiTable");
    if (check == nullptr) {
        throw Failure(kExitInputOutput,
                      "--check-gaiji-table: the gaiji server is not the stand-in server, which reads gaiji tables");
    }
    const int refused = check(
        path.c_str(), [](const char* line, void*) { std::printf("%s\n", line); }, nullptr);
    return refused == 0 ? kExitOk : kExitInputOutput;
}

std::string GaijiTableLine() {
    const auto describe = Export<TableFunction>("QuobelGaijiTable");
    if (describe == nullptr) return "gaiji table: not known (the gaiji server is not the stand-in server)";
    char text[4096];
    describe(text, sizeof text);
    return std::string("gaiji table: ") + text;
}

}  // namespace lumtrax_cli
