// unicode_probe: the conversions to and from Unicode with the stand-in
// gaiji server and the characters of its gaiji table, in a process of its
// own (the server loads its table once per process).
//
//   unicode_probe ITEM...
//
// An ITEM is d:CODE:HEX (HEX in the byte code CODE, one of sjis, ebcdic,
// 8bit, euc, decoded to UTF-8) or e:CODE:HEX (HEX in UTF-8 encoded into
// CODE); each prints "HEX status S failure F at OFFSET", the result in hex,
// the gaiji status and the failure kind (0 for none).
#include <cstdio>
#include <string>
#include <vector>

#include "api/unicode_dispatch.h"
#include "codes/conversions.h"
#include "gaiji/server_characters.h"

namespace {

using namespace lumtrax;

std::vector<std::uint8_t> FromHex(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    std::string digits;
    for (char c : hex) {
        if (c != ' ') digits += c;
    }
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

// The row between the byte code named and UTF-8.
const ConversionRow& RowNamed(const std::string& name, bool decodes) {
    const char* code = name == "ebcdic" ? "ebcdic" : name == "8bit" ? "eightbit" : name == "euc" ? "euc" : "sjis";
    const std::string row_name = decodes ? std::string(code) + "_to_utf8" : "utf8_to_" + std::string(code);
    for (const ConversionRow& row : kConversions) {
        if (row_name == row.name) return row;
    }
    return kConversions[0];
}

std::string Do(const std::string& item) {
    const std::size_t first = item.find(':'), second = item.find(':', first + 1);
    const ConversionRow& row = RowNamed(item.substr(first + 1, second - first - 1), item[0] == 'd');
    const std::vector<std::uint8_t> src = FromHex(item.substr(second + 1));
    UnicodeOptions options;
    options.site = &ServerSiteCharacters();
    std::vector<std::uint8_t> dst(DestinationCapacity(row.growth, src.size()));
    const UnicodeOutcome o = ConvertUnicode(row, src.data(), src.size(), options, dst.data());
    std::string out;
    char hex[4];
    for (std::size_t i = 0; i < o.written; ++i) {
        std::snprintf(hex, sizeof hex, "%s%02X", i > 0 ? " " : "", dst[i]);
        out += hex;
    }
    return out + " status " + std::to_string(static_cast<int>(o.gaiji)) + " failure " +
           std::to_string(static_cast<int>(o.failure)) + " at " + std::to_string(o.failure_offset);
}

}  // namespace

int main(int argc, char** argv) {
    for (int k = 1; k < argc; ++k) std::printf("%s\n", Do(argv[k]).c_str());
    return 0;
}
