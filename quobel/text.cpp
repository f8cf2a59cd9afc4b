#include "text.h"

namespace quobel {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string Printable(std::string_view field) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (const char c : field) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) {
            text += "\\x";
            text += kDigits[b >> 4];
            text += kDigits[b & 0x0F];
        } else {
            text += c;
        }
    }
    return text;
}

std::string Hex(BytePair pair) {
    static const char kDigits[] = "0123456789ABCDEF";
    return {kDigits[pair.lead >> 4], kDigits[pair.lead & 15], kDigits[pair.trail >> 4], kDigits[pair.trail & 15]};
}

bool ParseCode(std::string_view field, BytePair* code) {
    if (field.size() != 4) return false;
    int digits[4];
    for (int k = 0; k < 4; ++k) {
        digits[k] = HexDigit(field[static_cast<std::size_t>(k)]);
        if (digits[k] < 0) return false;
    }
    *code = {static_cast<std::uint8_t>(digits[0] << 4 | digits[1]),
             static_cast<std::uint8_t>(digits[2] << 4 | digits[3])};
    return true;
}

bool IsUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        int more = 0;
        unsigned lowest = 0;
        if (b < 0x80) {
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            more = 1, lowest = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            more = 2, lowest = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            more = 3, lowest = 0x10000;
        } else {
            return false;
        }
        if (text.size() - i <= static_cast<std::size_t>(more)) return false;
        unsigned value = b & (0x3Fu >> more);
        for (int k = 1; k <= more; ++k) {
            const auto c = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((c & 0xC0) != 0x80) return false;
            value = value << 6 | (c & 0x3F);
        }
        if (value < lowest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
        i += static_cast<std::size_t>(more) + 1;
    }
    return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text, bool (*strip)(char)) {
    while (!text.empty() && strip(text.front())) text.remove_prefix(1);
    while (!text.empty() && strip(text.back())) text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> Split(std::string_view line, bool (*separator)(char)) {
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    while (i < line.size()) {
        std::size_t end = i;
        while (end < line.size() && !separator(line[end])) ++end;
        fields.push_back(Trim(line.substr(i, end - i), [](char c) { return c == ' '; }));
        while (end < line.size() && separator(line[end])) ++end;
        i = end;
    }
    return fields;
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

}  // namespace quobel
