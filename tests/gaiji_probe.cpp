// gaiji_probe: conversions through the shipped library and the stand-in
// gaiji server in a process of its own, for the tests of the server's gaiji
// table, which a process loads once.
//
//   gaiji_probe [--threads N] ITEM...
//
// An ITEM is TYPE:HEX, a text in hex (without 00) converted by Lumtrax with
// that type, which prints "HEX status S" (the result in hex and the status); or
// "table", which prints "table STATE TEXT" as QuobelGaijiTable answers. With
// --threads, N threads start at once and each does every item; the output is
// printed once when all threads agree, else the probe exits with 1.
#include <dlfcn.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "lumtrax.h"
#include "quobel.h"

namespace {

std::vector<unsigned char> FromHex(const std::string& hex) {
    std::vector<unsigned char> bytes;
    std::string digits;
    for (char c : hex) {
        if (c != ' ') digits += c;
    }
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
        bytes.push_back(static_cast<unsigned char>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

std::string ToHex(const unsigned char* bytes, int count) {
    std::string hex;
    char pair[4];
    for (int i = 0; i < count; ++i) {
        std::snprintf(pair, sizeof pair, "%s%02X", i > 0 ? " " : "", bytes[i]);
        hex += pair;
    }
    return hex;
}

std::string Do(const std::string& item) {
    if (item == "table") {
        const auto describe =
            reinterpret_cast<QuobelGaijiTableFunction>(dlsym(RTLD_DEFAULT, QUOBEL_GAIJI_TABLE_FUNCTION));
        if (describe == nullptr) return "table: no " QUOBEL_GAIJI_TABLE_FUNCTION;
        char text[1024];
        const int state = describe(text, sizeof text);
        return "table " + std::to_string(state) + " " + text;
    }
    const std::size_t colon = item.find(':');
    std::vector<unsigned char> src = FromHex(item.substr(colon + 1));
    src.push_back(0x00);
    std::vector<unsigned char> dst(3 * src.size() + 8);
    int status = 7;
    const int n = Lumtrax(std::stoi(item.substr(0, colon)), dst.data(), src.data(), 0, &status);
    return ToHex(dst.data(), n > 0 ? n : 0) + " status " + std::to_string(status);
}

std::string DoAll(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) out += Do(item) + "\n";
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> items(argv + 1, argv + argc);
    int threads = 0;
    if (items.size() >= 2 && items[0] == "--threads") {
        threads = std::atoi(items[1].c_str());
        items.erase(items.begin(), items.begin() + 2);
    }
    if (threads <= 0) {
        std::fputs(DoAll(items).c_str(), stdout);
        return 0;
    }
    std::vector<std::string> outs(static_cast<std::size_t>(threads));
    std::atomic<int> waiting{threads};
    std::vector<std::thread> running;
    for (int t = 0; t < threads; ++t) {
        running.emplace_back([&, t] {
            waiting.fetch_sub(1);
            while (waiting.load() > 0) std::this_thread::yield();
            outs[static_cast<std::size_t>(t)] = DoAll(items);
        });
    }
    for (std::thread& thread : running) thread.join();
    for (const std::string& out : outs) {
        if (out != outs[0]) {
            std::fprintf(stdout, "threads differ:\n%s---\n%s", outs[0].c_str(), out.c_str());
            return 1;
        }
    }
    std::fputs(outs[0].c_str(), stdout);
    return 0;
}
