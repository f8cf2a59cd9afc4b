#include "server_table.h"

#if defined(_WIN32) && (!defined(_WIN32_WINNT) || _WIN32_WINNT < 0x0600)
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600  // InitOnceExecuteOnce
#endif

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <stdlib.h>

#include <mutex>
#endif

namespace quobel {
namespace {

#if defined(_WIN32)

using NativePath = std::wstring;

std::string Utf8(const std::wstring& path) {
    if (path.empty()) return {};
    const int size = static_cast<int>(path.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, path.data(), size, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, path.data(), size, &text[0], n, nullptr, nullptr);
    return text;
}

bool NamedPath(std::wstring& path) {
    const wchar_t* name = L"LUMTRAX_GAIJI_TABLE";
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size <= 1) return false;  // not set, or empty
    std::wstring value(size, L'\0');
    const DWORD n = GetEnvironmentVariableW(name, &value[0], size);
    if (n == 0 || n >= size) return false;
    value.resize(n);
    path = value;
    return true;
}

// gaiji.tsv in the folder of the module that holds this function: Quobel.dll.
bool PathBesideServer(std::wstring& path) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&TheServerTable), &module)) {
        return false;
    }
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(module, &name[0], static_cast<DWORD>(name.size()));
        if (n == 0) return false;
        if (n < name.size()) {
            name.resize(n);
            break;
        }
        if (name.size() >= 32768) return false;  // the longest path Windows has
        name.resize(name.size() * 2);
    }
    const std::size_t slash = name.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return false;
    path = name.substr(0, slash + 1) + L"gaiji.tsv";
    return true;
}

std::FILE* OpenTable(const std::wstring& path, std::string& reason, bool& missing) {
    std::FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr) {
        missing = errno == ENOENT;
        reason = std::string("cannot open it: ") + std::strerror(errno);
    }
    return file;
}

void Report(const std::string& line) { OutputDebugStringA((line + "\n").c_str()); }

#else

using NativePath = std::string;

constexpr char kVariable[] = "LUMTRAX_GAIJI_TABLE";

std::string Utf8(const std::string& path) { return path; }

bool NamedPath(std::string& path) {
    const char* value = std::getenv(kVariable);
    if (value == nullptr || *value == '\0') return false;
    path = value;
    return true;
}

// gaiji.tsv in the folder of the shared object that holds this function:
// libquobel.so.
bool PathBesideServer(std::string& path) {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&TheServerTable), &info) == 0 || info.dli_fname == nullptr) return false;
    const std::string name = info.dli_fname;
    const std::size_t slash = name.rfind('/');
    if (slash == std::string::npos) return false;
    std::string folder = name.substr(0, slash + 1);
    // Found through a run path such as $ORIGIN/../lib: named without the "..".
    if (char* resolved = realpath(folder.c_str(), nullptr)) {
        folder = std::string(resolved) + "/";
        std::free(resolved);
    }
    path = folder + "gaiji.tsv";
    return true;
}

std::FILE* OpenTable(const std::string& path, std::string& reason, bool& missing) {
    return OpenTableFile(path, reason, missing);
}

void Report(const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }

#endif

ServerTable* Load() {
    auto* server = new ServerTable;
    NativePath path;
    const bool named = NamedPath(path);
    if (!named && !PathBesideServer(path)) {
        server->description = "built-in arithmetic";
        return server;
    }
    server->path = Utf8(path);
    std::vector<TableError> errors;
    std::string text;
    std::string reason;
    bool missing = false;
    if (std::FILE* file = OpenTable(path, reason, missing)) {
        if (!ReadTableFile(file, text, reason)) errors.push_back({0, reason});
        std::fclose(file);
    } else if (!named && missing) {
        server->description = "built-in arithmetic";
        return server;
    } else {
        errors.push_back({0, reason});
    }
    std::unique_ptr<GaijiTable> table;
    if (errors.empty()) table = GaijiTable::Parse(text, errors);
    if (!errors.empty()) {
        const TableError& first = errors.front();
        const std::string line = first.line > 0 ? "line " + std::to_string(first.line) + ": " : "";
        server->state = QUOBEL_TABLE_REFUSED;
        server->description = server->path + ": refused (" + line + first.reason + "); every gaiji fails";
        Report("quobel: gaiji table " + server->path + ", " + line + first.reason +
               "; the table is refused and every gaiji fails" +
               (errors.size() > 1 ? " (" + std::to_string(errors.size()) + " errors in all)" : ""));
        return server;
    }
    server->state = QUOBEL_TABLE_LOADED;
    server->description = server->path + ": " + std::to_string(table->size()) + " gaiji, " +
                          (table->fallback() ? "the built-in arithmetic for the rest" : "no fallback");
    server->table = table.release();
    return server;
}

// A table that cannot be loaded for want of memory is refused too; its
// description stays empty (see QuobelGaijiTable).
const ServerTable* LoadOrRefuse() noexcept {
    try {
        return Load();
    } catch (...) {
        static const ServerTable kOutOfMemory{QUOBEL_TABLE_REFUSED, nullptr, {}, {}};
        std::fputs("quobel: out of memory while loading the gaiji table; every gaiji fails\n", stderr);
        return &kOutOfMemory;
    }
}

}  // namespace

#if defined(_WIN32)

namespace {

BOOL CALLBACK LoadOnce(PINIT_ONCE, PVOID, PVOID* context) {
    *context = const_cast<ServerTable*>(LoadOrRefuse());
    return TRUE;
}

}  // namespace

const ServerTable& TheServerTable() {
    static INIT_ONCE once = INIT_ONCE_STATIC_INIT;
    void* loaded = nullptr;
    InitOnceExecuteOnce(&once, LoadOnce, nullptr, &loaded);
    return *static_cast<const ServerTable*>(loaded);
}

#else

const ServerTable& TheServerTable() {
    static std::once_flag once;
    static const ServerTable* loaded = nullptr;
    std::call_once(once, [] { loaded = LoadOrRefuse(); });
    return *loaded;
}

#endif

}  // namespace quobel
