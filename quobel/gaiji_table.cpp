#include "gaiji_table.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "gaiji/code_forms.h"
#include "text.h"

namespace quobel {
namespace {

namespace forms = lumtrax::code_forms;

constexpr int kCodeColumns = 4;
constexpr const char* kColumnNames[kCodeColumns] = {"Shift-JIS", "EBCDIC host", "8-bit host", "EUC"};
// The host code of each column after the first.
constexpr HostCodeKind kColumnKinds[kCodeColumns - 1] = {HostCodeKind::kEbcdicHost, HostCodeKind::kEightBitHost,
                                                         HostCodeKind::kEuc};

// Why the conversion into Shift-JIS does not hand the code to the server.
const char* ReadingReason(forms::Reading reading) {
    switch (reading) {
        case forms::Reading::kShiftCode:
            return "the conversion into Shift-JIS reads it as a shift code or sequence";
        case forms::Reading::kJisCharacter:
            return "it is a JIS X 0208 code, which the library converts by arithmetic";
        case forms::Reading::kSpace:
            return "it is the ideographic space";
        case forms::Reading::kSingleByte:
            return "its first byte is a character of its own";
        case forms::Reading::kSingleShift:
            return "it is a half-width katakana (8E and its byte)";
        case forms::Reading::kServer:
            break;
    }
    return "";
}

// Why the code cannot be a gaiji of the host code kind, or "" when it can;
// answer receives the server's form of it.
std::string HostCodeFault(HostCodeKind kind, BytePair text, BytePair* answer) {
    if (text.lead == 0x00 || text.trail == 0x00) {
        return "it holds a 00 byte, which ends a text and a code record";
    }
    lumtrax::CodeRecord record{};
    const forms::Reading reading = forms::ReadInRun(kind, text, &record);
    if (reading != forms::Reading::kServer) return ReadingReason(reading);
    if (!forms::AnswerFor(kind, text, record, answer)) {
        return "it does not come back as itself: the conversion out of Shift-JIS writes the gaiji "
               "server's answer " +
               Hex(*answer) + " as " + Hex(forms::WrittenAnswer(kind, *answer));
    }
    return "";
}

// ---- the character of column 5 -------------------------------------------------

bool IsVariationSelector(std::uint32_t c) { return (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xE0100 && c <= 0xE01EF); }

std::string ScalarName(std::uint32_t c) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
    return text;
}

// A word "U+" and 4 to 6 hex digits; value receives them.
bool ParseScalarWord(std::string_view word, std::uint32_t* value) {
    if (word.size() < 6 || word.size() > 8 || word[0] != 'U' || word[1] != '+') return false;
    std::uint32_t v = 0;
    for (std::size_t k = 2; k < word.size(); ++k) {
        const int digit = HexDigit(word[k]);
        if (digit < 0) return false;
        v = v << 4 | static_cast<std::uint32_t>(digit);
    }
    *value = v;
    return true;
}

// Column 5: a character when its first word is "U+" and hex digits, a name
// alone otherwise (as every table before characters were). Returns "" or
// why the character cannot be a gaiji's; character receives it (scalar 0
// when the column gives none).
std::string ParseCharacter(std::string_view column, GaijiCharacter* character) {
    const std::vector<std::string_view> words = Split(column, [](char c) { return c == ' '; });
    std::uint32_t scalar = 0;
    if (words.empty() || !ParseScalarWord(words[0], &scalar)) return "";
    std::uint32_t selector = 0;
    if (words.size() > 1 && words[1].substr(0, 2) == "U+" && !ParseScalarWord(words[1], &selector)) {
        return "\"" + std::string(words[1]) + "\" after the character is no variation selector U+XXXX";
    }
    if (scalar > 0x10FFFF || (scalar >= 0xD800 && scalar <= 0xDFFF)) {
        return "character " + ScalarName(scalar) + " is no Unicode scalar value";
    }
    if (scalar < 0x80) {
        return "character " + ScalarName(scalar) + " is below U+0080: those characters are single bytes of every code";
    }
    if (IsVariationSelector(scalar)) {
        return "character " + ScalarName(scalar) +
               " is a variation selector, which comes after the character it selects";
    }
    if (selector != 0 && !IsVariationSelector(selector)) {
        return ScalarName(selector) + " after the character is no variation selector (U+FE00-U+FE0F, U+E0100-U+E01EF)";
    }
    character->scalar = scalar;
    character->selector = selector;
    return "";
}

std::string CharacterName(const GaijiCharacter& c) {
    return ScalarName(c.scalar) + (c.selector != 0 ? " " + ScalarName(c.selector) : "");
}

}  // namespace

GaijiTable::GaijiTable() : by_sjis_(0x10000) {
    for (auto& column : by_text_) column.assign(0x10000, 0);
}

std::unique_ptr<GaijiTable> GaijiTable::Parse(std::string_view text, std::vector<TableError>& errors) {
    std::unique_ptr<GaijiTable> table(new GaijiTable);
    const std::size_t errors_before = errors.size();
    auto fail = [&errors](int line, std::string reason) { errors.push_back({line, std::move(reason)}); };
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // a byte-order mark

    // The line each code was first seen on, by column.
    std::unordered_map<std::uint16_t, int> first_line[kCodeColumns];
    // The line each character (and selector) was first given on.
    std::unordered_map<std::uint64_t, int> character_line;
    bool entry_lines = false;
    bool fallback_line = false;
    int number = 0;
    while (!text.empty()) {
        ++number;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!IsUtf8(line)) {
            fail(number, "not UTF-8 text");
            continue;
        }
        line = Trim(line.substr(0, line.find('#')), IsBlank);
        if (line.empty()) continue;

        const std::vector<std::string_view> words = Split(line, IsBlank);
        if (Lower(words[0]) == "fallback") {
            if (entry_lines) {
                fail(number, "the fallback line must come before the first gaiji");
            } else if (fallback_line) {
                fail(number, "a second fallback line");
            } else if (words.size() == 2 && (Lower(words[1]) == "off" || Lower(words[1]) == "arithmetic")) {
                table->fallback_ = Lower(words[1]) == "arithmetic";
            } else {
                fail(number, "the fallback line is \"fallback off\" or \"fallback arithmetic\"");
            }
            fallback_line = true;
            continue;
        }

        entry_lines = true;
        const std::vector<std::string_view> fields = Split(line, [](char c) { return c == '\t'; });
        if (fields.size() != kCodeColumns && fields.size() != kCodeColumns + 1) {
            fail(number, std::to_string(fields.size()) + (fields.size() == 1 ? " column" : " columns") +
                             ": a gaiji's line holds its Shift-JIS, EBCDIC host, 8-bit host and EUC codes "
                             "and an optional name, separated by tabs");
            continue;
        }
        Entry entry{};
        bool whole = true;
        BytePair codes[kCodeColumns];
        for (int c = 0; c < kCodeColumns; ++c) {
            const std::string column = std::string(kColumnNames[c]) + " code ";
            const std::string_view field = fields[static_cast<std::size_t>(c)];
            if (!ParseCode(field, &codes[c])) {
                fail(number, column + "\"" + Printable(field) + "\" is not two bytes in hex (four digits, like F040)");
                whole = false;
                continue;
            }
            std::string fault;
            if (c == 0) {
                if (!forms::IsServerSjis(codes[c])) fault = "the library converts it without the gaiji server";
            } else {
                fault = HostCodeFault(kColumnKinds[c - 1], codes[c], &entry.answer[c - 1]);
            }
            if (!fault.empty()) {
                fail(number, column + Hex(codes[c]) + " cannot be a gaiji: " + fault);
                whole = false;
                continue;
            }
            const auto seen = first_line[c].emplace(Code(codes[c]), number);
            if (!seen.second) {
                fail(number, column + Hex(codes[c]) + " is already on line " + std::to_string(seen.first->second));
                whole = false;
            }
        }
        GaijiCharacter character{};
        if (fields.size() > kCodeColumns) {
            const std::string fault = ParseCharacter(fields[kCodeColumns], &character);
            if (!fault.empty()) {
                fail(number, fault);
                whole = false;
            } else if (character.scalar != 0) {
                const std::uint64_t key = std::uint64_t{character.scalar} << 32 | character.selector;
                const auto seen = character_line.emplace(key, number);
                if (!seen.second) {
                    fail(number, "character " + CharacterName(character) + " is already on line " +
                                     std::to_string(seen.first->second));
                    whole = false;
                }
            }
        }
        if (!whole) continue;
        if (character.scalar != 0) {
            character.sjis[0] = codes[0].lead;
            character.sjis[1] = codes[0].trail;
            table->characters_.push_back(character);
        }
        entry.sjis = codes[0];
        table->entries_.push_back(entry);
        const auto index = static_cast<std::uint16_t>(table->entries_.size());
        table->by_sjis_[Code(codes[0])] = index;
        for (int k = 0; k < kKinds; ++k) table->by_text_[k][Code(codes[k + 1])] = index;
    }
    if (!entry_lines && errors.size() == errors_before) fail(0, "no gaiji: the table is empty");
    return table;
}

bool GaijiTable::ToHost(BytePair sjis, HostCodeKind kind, BytePair* answer) const {
    const int column = Column(kind);
    if (column < 0 || column >= kKinds) return false;
    const std::uint16_t index = by_sjis_[Code(sjis)];
    if (index == 0) return false;
    *answer = entries_[index - 1u].answer[column];
    return true;
}

bool GaijiTable::ToSjis(HostCodeKind kind, const std::uint8_t* record, BytePair* sjis) const {
    const int column = Column(kind);
    BytePair text{};
    if (column < 0 || column >= kKinds || !forms::TextOfRecord(kind, record, &text)) return false;
    const std::uint16_t index = by_text_[column][Code(text)];
    if (index == 0) return false;
    *sjis = entries_[index - 1u].sjis;
    return true;
}

#if !defined(_WIN32)
std::FILE* OpenTableFile(const std::string& path, std::string& reason, bool& missing) {
    missing = false;
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        missing = errno == ENOENT;
        reason = std::string("cannot open it: ") + std::strerror(errno);
        return nullptr;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        reason = S_ISDIR(info.st_mode) ? "it is a folder, not a table file"
                                       : "it is not a regular file (a FIFO or a device), which no table is";
        close(fd);
        return nullptr;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* file = fdopen(fd, "rb");
    if (file == nullptr) {
        reason = std::string("cannot open it: ") + std::strerror(errno);
        close(fd);
    }
    return file;
}
#endif

bool ReadTableFile(std::FILE* file, std::string& text, std::string& reason) {
    text.clear();
    char buffer[16384];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        if (text.size() + n > kMaxTableFileSize) {
            reason = "larger than " + std::to_string(kMaxTableFileSize >> 20) + " MiB, which no gaiji table is";
            return false;
        }
        text.append(buffer, n);
    }
    if (std::ferror(file)) {
        reason = std::string("cannot read it: ") + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace quobel
