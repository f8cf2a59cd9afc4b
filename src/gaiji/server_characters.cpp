#include "gaiji/server_characters.h"

#include <vector>

#include "gaiji/gaiji_characters.h"
#include "gaiji/gaiji_server.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace lumtrax {
namespace {

// The optional export of the library that serves GaijiConvGetHOST, or null.
GaijiCharactersFunction FindExport() {
#if defined(_WIN32)
    HMODULE server = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&GaijiConvGetHOST), &server)) {
        return nullptr;
    }
    return reinterpret_cast<GaijiCharactersFunction>(
        reinterpret_cast<void*>(GetProcAddress(server, GAIJI_CHARACTERS_FUNCTION)));
#else
    void* symbol = nullptr;
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&GaijiConvGetHOST), &info) != 0 && info.dli_fname != nullptr) {
        // The server is loaded already: this only finds its handle.
        if (void* server = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD)) {
            symbol = dlsym(server, GAIJI_CHARACTERS_FUNCTION);
            dlclose(server);
        }
    }
    return reinterpret_cast<GaijiCharactersFunction>(symbol);
#endif
}

const SiteCharacters* LoadServerCharacters() noexcept {
    static const SiteCharacters kNone;
    const GaijiCharactersFunction export_function = FindExport();
    if (export_function == nullptr) return &kNone;
    const GaijiCharacter* list = nullptr;
    const int count = export_function(&list);
    if (count <= 0 || list == nullptr) return &kNone;
    try {
        std::vector<SiteCharacter> characters;
        for (int k = 0; k < count; ++k) {
            const GaijiCharacter& c = list[k];
            characters.push_back({static_cast<std::uint16_t>(c.sjis[0] << 8 | c.sjis[1]), c.scalar, c.selector});
        }
        return new SiteCharacters(characters);  // kept for the life of the process
    } catch (...) {
        return &kNone;  // out of memory: every gaiji maps by its code
    }
}

}  // namespace

const SiteCharacters& ServerSiteCharacters() {
    static const SiteCharacters* const loaded = LoadServerCharacters();
    return *loaded;
}

}  // namespace lumtrax
