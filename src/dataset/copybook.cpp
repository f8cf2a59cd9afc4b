// The copybook reader: source lines to characters with their positions,
// characters to tokens, tokens to data description entries, entries to the
// items of one record with their offsets and sizes. Whatever it cannot read
// as it stands is an error with the line and column where it stands.
#include <algorithm>
#include <cctype>
#include <new>

#include "dataset/errors.h"
#include "dataset/numbers.h"
#include "lumtrax_dataset.hpp"

namespace lumtrax {
namespace dataset {

// Records larger than this are refused (no host record comes near it).
constexpr std::size_t kMaxRecordLength = std::size_t{1} << 28;

namespace {

struct Position {
    std::size_t line = 0;
    std::size_t column = 0;
};

struct Failure {
    Position at;
    std::string message;
};

// ---- lines to characters -----------------------------------------------------------

struct SourceChar {
    char c;
    Position at;
};

std::string Upper(std::string_view s) {
    std::string u(s);
    for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return u;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(begin, end - begin);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        begin = end + 1;
    }
    return lines;
}

bool IsBlank(std::string_view line) {
    return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; });
}

// A line as fixed format has it: columns 1-6 all spaces or without a space
// (a sequence number or a tag), an indicator in column 7, nothing past 80.
bool IsFixedShaped(std::string_view line) {
    const std::string_view sequence = line.substr(0, std::min<std::size_t>(6, line.size()));
    const bool no_space = sequence.size() == 6 && sequence.find(' ') == std::string_view::npos;
    if (!IsBlank(sequence) && !no_space) return false;
    const char indicator = line.size() > 6 ? line[6] : ' ';
    if (std::string_view(" */-dD").find(indicator) == std::string_view::npos) return false;
    return line.size() <= 80 || IsBlank(line.substr(80));
}

SourceFormat DecideFormat(const std::vector<std::string_view>& lines) {
    for (std::string_view line : lines) {
        if (!IsBlank(line) && !IsFixedShaped(line)) return SourceFormat::kFree;
    }
    return SourceFormat::kFixed;
}

class CharSource {
public:
    std::vector<SourceChar> chars;
    bool Read(std::string_view text, SourceFormat format, Failure& failure) {
        const std::vector<std::string_view> lines = SplitLines(text);
        format_ = format == SourceFormat::kAuto ? DecideFormat(lines) : format;
        for (std::size_t n = 0; n < lines.size(); ++n) {
            if (!ReadLine(lines[n], n + 1, failure)) return false;
        }
        if (quote_ != 0) {
            failure = {literal_at_, "the literal is not closed"};
            return false;
        }
        return true;
    }
    SourceFormat format() const { return format_; }

private:
    bool ReadLine(std::string_view line, std::size_t number, Failure& failure) {
        std::size_t begin = 0;
        std::size_t end = line.size();
        if (format_ == SourceFormat::kFixed) {
            const char indicator = line.size() > 6 ? line[6] : ' ';
            if (indicator == '*' || indicator == '/' || indicator == 'd' || indicator == 'D') return true;
            if (indicator != ' ' && indicator != '-') {
                failure = {{number, 7},
                           std::string("column 7 holds '") + indicator +
                               "': a fixed-format line has ' ', '*', '/', 'D' or '-' there"};
                return false;
            }
            begin = 7;
            end = std::min<std::size_t>(line.size(), 72);
            if (indicator == '-') return Continue(line, begin, end, number, failure);
        } else {
            const std::size_t first = line.find_first_not_of(" \t");
            if (first == std::string_view::npos) return true;
            if (line[first] == '*' && line.substr(first, 2) != "*>") return true;
            if (line[first] == '/') return true;
        }
        if (quote_ != 0) {
            failure = {literal_at_, "the literal is not closed on its line, and the next line does not continue it"};
            return false;
        }
        chars.push_back({' ', {number, begin + 1}});
        Append(line, begin, end, number);
        return true;
    }

    // A continuation line: an open literal goes on after the quote that
    // begins the line's code; a word goes on with the line's first character.
    bool Continue(std::string_view line, std::size_t begin, std::size_t end, std::size_t number, Failure& failure) {
        std::size_t first = begin;
        while (first < end && (line[first] == ' ' || line[first] == '\t')) ++first;
        if (first == end) return true;
        if (quote_ != 0) {
            if (line[first] != quote_) {
                failure = {{number, first + 1}, "a continued literal goes on after a quote"};
                return false;
            }
            ++first;
        }
        Append(line, first, end, number);
        return true;
    }

    void Append(std::string_view line, std::size_t begin, std::size_t end, std::size_t number) {
        for (std::size_t i = begin; i < end; ++i) {
            const char c = line[i] == '\t' ? ' ' : line[i];
            if (quote_ == 0 && c == '*' && i + 1 < end && line[i + 1] == '>') break;  // an inline comment
            if (quote_ == 0 && (c == '\'' || c == '"')) {
                quote_ = c;
                literal_at_ = {number, i + 1};
            } else if (quote_ != 0 && c == quote_) {
                if (i + 1 < end && line[i + 1] == quote_) {  // a doubled quote inside the literal
                    chars.push_back({c, {number, i + 1}});
                    ++i;
                } else {
                    quote_ = 0;
                }
            }
            chars.push_back({c, {number, i + 1}});
        }
    }

    SourceFormat format_ = SourceFormat::kFixed;
    char quote_ = 0;
    Position literal_at_;
};

// ---- characters to tokens ----------------------------------------------------------

enum class TokenKind { kWord, kLiteral, kPeriod, kEnd };

struct Token {
    TokenKind kind = TokenKind::kEnd;
    std::string text;   // as written (a literal without its quotes)
    std::string upper;  // for keywords
    Position at;
};

class Tokenizer {
public:
    explicit Tokenizer(const std::vector<SourceChar>& chars) : chars_(chars) {}

    bool Next(Token& token, Failure& failure) {
        SkipSpace();
        token = Token{};
        if (i_ >= chars_.size()) {
            token.at = chars_.empty() ? Position{1, 1} : chars_.back().at;
            return true;
        }
        token.at = chars_[i_].at;
        const char c = chars_[i_].c;
        if (c == '.' && EndsWord(i_ + 1)) {
            token.kind = TokenKind::kPeriod;
            ++i_;
            return true;
        }
        // A literal, with an optional prefix letter or two (X'..', N'..', G'..').
        std::size_t q = i_;
        while (q < chars_.size() && q < i_ + 2 && std::isalpha(static_cast<unsigned char>(chars_[q].c))) ++q;
        if (q < chars_.size() && (chars_[q].c == '\'' || chars_[q].c == '"')) {
            const char quote = chars_[q].c;
            token.kind = TokenKind::kLiteral;
            for (std::size_t k = q + 1; k < chars_.size(); ++k) {
                if (chars_[k].c == quote) {
                    if (k + 1 < chars_.size() && chars_[k + 1].c == quote) {
                        token.text.push_back(quote);
                        ++k;
                        continue;
                    }
                    i_ = k + 1;
                    return true;
                }
                token.text.push_back(chars_[k].c);
            }
            failure = {token.at, "the literal is not closed"};
            return false;
        }
        token.kind = TokenKind::kWord;
        while (i_ < chars_.size() && !IsSeparator(i_)) token.text.push_back(chars_[i_++].c);
        token.upper = Upper(token.text);
        return true;
    }

private:
    bool EndsWord(std::size_t k) const { return k >= chars_.size() || chars_[k].c == ' '; }
    bool IsSeparator(std::size_t k) const {
        const char c = chars_[k].c;
        if (c == ' ' || c == '\'' || c == '"') return true;
        if ((c == '.' || c == ',' || c == ';') && EndsWord(k + 1)) return true;
        return false;
    }
    void SkipSpace() {
        while (i_ < chars_.size() &&
               (chars_[i_].c == ' ' || ((chars_[i_].c == ',' || chars_[i_].c == ';') && EndsWord(i_ + 1)))) {
            ++i_;
        }
    }

    const std::vector<SourceChar>& chars_;
    std::size_t i_ = 0;
};

// ---- tokens to entries ----------------------------------------------------------------

enum class Usage { kNone, kDisplay, kDisplay1, kBinary, kNativeBinary, kPacked };

struct Entry {
    int level = 0;
    Position at;
    std::string name;  // empty for FILLER or no name
    bool filler = false;
    std::string redefines;
    Position redefines_at;
    std::string picture;
    Position picture_at;
    Usage usage = Usage::kNone;
    Position usage_at;
    bool has_occurs = false;
    std::size_t occurs_min = 1;
    std::size_t occurs_max = 1;
    std::vector<std::string> depending;  // the name, then its qualifiers
    Position occurs_at;
    SignPosition sign = SignPosition::kNone;
    bool sign_separate = false;
    Position sign_at;
    bool blank_when_zero = false;
};

bool IsOneOf(const std::string& word, std::initializer_list<const char*> words) {
    for (const char* w : words) {
        if (word == w) return true;
    }
    return false;
}

bool IsClauseWord(const std::string& u) {
    return IsOneOf(u, {"REDEFINES",
                       "PIC",
                       "PICTURE",
                       "USAGE",
                       "DISPLAY",
                       "DISPLAY-1",
                       "COMP",
                       "COMPUTATIONAL",
                       "COMP-1",
                       "COMP-2",
                       "COMP-3",
                       "COMP-4",
                       "COMP-5",
                       "COMP-6",
                       "COMPUTATIONAL-1",
                       "COMPUTATIONAL-2",
                       "COMPUTATIONAL-3",
                       "COMPUTATIONAL-4",
                       "COMPUTATIONAL-5",
                       "BINARY",
                       "PACKED-DECIMAL",
                       "NATIONAL",
                       "INDEX",
                       "POINTER",
                       "OCCURS",
                       "SIGN",
                       "LEADING",
                       "TRAILING",
                       "SEPARATE",
                       "VALUE",
                       "VALUES",
                       "JUSTIFIED",
                       "JUST",
                       "BLANK",
                       "SYNC",
                       "SYNCHRONIZED",
                       "GLOBAL",
                       "EXTERNAL",
                       "IS",
                       "ASCENDING",
                       "DESCENDING",
                       "INDEXED",
                       "DEPENDING",
                       "TIMES"});
}

bool ParseCount(const Token& token, std::size_t& value) {
    if (token.kind != TokenKind::kWord || token.text.empty() || token.text.size() > 9) return false;
    value = 0;
    for (char c : token.text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<std::size_t>(c - '0');
    }
    return true;
}

class EntryParser {
public:
    explicit EntryParser(const std::vector<SourceChar>& chars) : tokens_(chars) {}

    // The next entry; false at the end of the text or on failure (failed set).
    bool Next(Entry& entry, bool& failed, Failure& failure) {
        failed = false;
        for (;;) {
            if (!Advance(failure)) return failed = true, false;
            if (token_.kind == TokenKind::kEnd) return false;
            if (token_.kind == TokenKind::kPeriod) continue;  // a stray period
            if (token_.kind == TokenKind::kWord && IsOneOf(token_.upper, {"EJECT", "SKIP1", "SKIP2", "SKIP3"})) {
                continue;  // listing directives
            }
            entry = Entry{};
            entry.at = token_.at;
            if (token_.kind == TokenKind::kWord && token_.upper == "COPY") {
                return Fail(failed, failure, token_.at, "COPY is not expanded here: put the copied text in its place");
            }
            std::size_t level = 0;
            if (!ParseCount(token_, level) || token_.text.size() > 2) {
                return Fail(failed, failure, token_.at, "'" + token_.text + "' is no level number (01-49, 66, 77, 88)");
            }
            entry.level = static_cast<int>(level);
            if (level == 66 || level == 88) {  // renames and condition names take no room
                if (!SkipEntry(failure)) return failed = true, false;
                continue;
            }
            if (level == 77) return Fail(failed, failure, entry.at, "a level-77 item is no part of a record");
            if (level < 1 || level > 49) {
                return Fail(failed, failure, entry.at, "level " + token_.text + " is none of 01-49, 66, 77, 88");
            }
            break;
        }
        if (!Advance(failure)) return failed = true, false;
        if (token_.kind == TokenKind::kWord && !IsClauseWord(token_.upper)) {
            if (token_.upper == "FILLER") {
                entry.filler = true;
            } else {
                entry.name = token_.text;
            }
            if (!Advance(failure)) return failed = true, false;
        } else {
            entry.filler = true;
        }
        while (token_.kind != TokenKind::kPeriod) {
            if (token_.kind == TokenKind::kEnd) {
                return Fail(failed, failure, token_.at, "the entry is not ended by a period");
            }
            if (!Clause(entry, failure)) return failed = true, false;
        }
        return true;
    }

private:
    bool Advance(Failure& failure) { return tokens_.Next(token_, failure); }
    bool Fail(bool& failed, Failure& failure, Position at, std::string message) {
        failure = {at, std::move(message)};
        failed = true;
        return false;
    }
    bool SkipEntry(Failure& failure) {
        const Position at = token_.at;
        for (;;) {
            if (!Advance(failure)) return false;
            if (token_.kind == TokenKind::kPeriod) return true;
            if (token_.kind == TokenKind::kEnd) {
                failure = {at, "the entry is not ended by a period"};
                return false;
            }
        }
    }
    bool Expect(bool ok, Position at, const std::string& message, Failure& failure) {
        if (!ok) failure = {at, message};
        return ok;
    }
    bool Word(const char* upper) const { return token_.kind == TokenKind::kWord && token_.upper == upper; }
    // Skips an optional word.
    bool Optional(const char* upper, Failure& failure) { return !Word(upper) || Advance(failure); }

    bool Clause(Entry& entry, Failure& failure) {
        const Token clause = token_;
        if (clause.kind != TokenKind::kWord) {
            failure = {clause.at, "unexpected literal"};
            return false;
        }
        const std::string& u = clause.upper;
        if (u == "REDEFINES") {
            if (!Advance(failure)) return false;
            if (!Expect(token_.kind == TokenKind::kWord && !IsClauseWord(token_.upper), token_.at,
                        "REDEFINES names the item it redefines", failure)) {
                return false;
            }
            entry.redefines = token_.text;
            entry.redefines_at = token_.at;
            return Advance(failure);
        }
        if (u == "PIC" || u == "PICTURE") {
            if (!Advance(failure)) return false;
            if (!Optional("IS", failure)) return false;
            // A picture string is one word: a period or comma inside it is
            // followed by more of it, not by a space.
            entry.picture = token_.text;
            entry.picture_at = token_.at;
            if (token_.kind != TokenKind::kWord || entry.picture.empty()) {
                failure = {token_.at, "PIC needs a picture string"};
                return false;
            }
            return Advance(failure);
        }
        if (u == "USAGE") {
            if (!Advance(failure) || !Optional("IS", failure)) return false;
            return UsageWord(entry, failure);
        }
        if (IsOneOf(u, {"DISPLAY",         "DISPLAY-1",       "COMP",
                        "COMPUTATIONAL",   "COMP-1",          "COMP-2",
                        "COMP-3",          "COMP-4",          "COMP-5",
                        "COMP-6",          "COMPUTATIONAL-1", "COMPUTATIONAL-2",
                        "COMPUTATIONAL-3", "COMPUTATIONAL-4", "COMPUTATIONAL-5",
                        "BINARY",          "PACKED-DECIMAL",  "NATIONAL",
                        "INDEX",           "POINTER"})) {
            return UsageWord(entry, failure);
        }
        if (u == "OCCURS") return Occurs(entry, failure);
        if (u == "SIGN" || u == "LEADING" || u == "TRAILING") {
            entry.sign_at = clause.at;
            if (u == "SIGN" && (!Advance(failure) || !Optional("IS", failure))) return false;
            if (Word("LEADING")) {
                entry.sign = SignPosition::kLeading;
            } else if (Word("TRAILING")) {
                entry.sign = SignPosition::kTrailing;
            } else {
                failure = {token_.at, "SIGN is LEADING or TRAILING"};
                return false;
            }
            if (!Advance(failure)) return false;
            if (Word("SEPARATE")) {
                entry.sign_separate = true;
                if (!Advance(failure) || !Optional("CHARACTER", failure)) return false;
            }
            return true;
        }
        if (u == "VALUE" || u == "VALUES") {
            if (!Advance(failure) || !Optional("IS", failure) || !Optional("ARE", failure)) return false;
            if (!Optional("ALL", failure)) return false;
            if (token_.kind == TokenKind::kPeriod || token_.kind == TokenKind::kEnd) {
                failure = {token_.at, "VALUE needs a value"};
                return false;
            }
            return Advance(failure);
        }
        if (u == "JUSTIFIED" || u == "JUST") {
            return Advance(failure) && Optional("RIGHT", failure);
        }
        if (u == "BLANK") {
            if (!Advance(failure) || !Optional("WHEN", failure)) return false;
            if (!Expect(Word("ZERO") || Word("ZEROS") || Word("ZEROES"), token_.at, "BLANK WHEN ZERO", failure)) {
                return false;
            }
            entry.blank_when_zero = true;
            return Advance(failure);
        }
        if (u == "SYNC" || u == "SYNCHRONIZED") {
            failure = {clause.at, "SYNC aligns items and moves their offsets; it is not supported"};
            return false;
        }
        if (u == "GLOBAL" || u == "EXTERNAL" || u == "IS") return Advance(failure);
        failure = {clause.at, "'" + clause.text + "' is no clause this reader knows"};
        return false;
    }

    bool UsageWord(Entry& entry, Failure& failure) {
        const std::string& u = token_.upper;
        entry.usage_at = token_.at;
        if (u == "DISPLAY") {
            entry.usage = Usage::kDisplay;
        } else if (u == "DISPLAY-1") {
            entry.usage = Usage::kDisplay1;
        } else if (IsOneOf(u, {"COMP", "COMPUTATIONAL", "COMP-4", "COMPUTATIONAL-4", "BINARY"})) {
            entry.usage = Usage::kBinary;
        } else if (u == "COMP-5" || u == "COMPUTATIONAL-5") {
            entry.usage = Usage::kNativeBinary;
        } else if (IsOneOf(u, {"COMP-3", "COMPUTATIONAL-3", "PACKED-DECIMAL"})) {
            entry.usage = Usage::kPacked;
        } else {
            failure = {token_.at, "USAGE " + token_.text + " is not supported"};
            return false;
        }
        return Advance(failure);
    }

    bool Occurs(Entry& entry, Failure& failure) {
        entry.has_occurs = true;
        entry.occurs_at = token_.at;
        if (!Advance(failure)) return false;
        std::size_t first = 0;
        if (!Expect(ParseCount(token_, first), token_.at, "OCCURS needs a count", failure)) return false;
        entry.occurs_min = entry.occurs_max = first;
        if (!Advance(failure)) return false;
        if (Word("TO")) {
            if (!Advance(failure)) return false;
            std::size_t last = 0;
            if (!Expect(ParseCount(token_, last), token_.at, "OCCURS m TO n needs n", failure)) return false;
            entry.occurs_max = last;
            if (!Advance(failure)) return false;
        }
        if (!Optional("TIMES", failure)) return false;
        if (Word("DEPENDING")) {
            if (!Advance(failure) || !Optional("ON", failure)) return false;
            if (!Expect(token_.kind == TokenKind::kWord && !IsClauseWord(token_.upper), token_.at,
                        "DEPENDING ON names the counter", failure)) {
                return false;
            }
            entry.depending.push_back(token_.upper);
            if (!Advance(failure)) return false;
            while (Word("OF") || Word("IN")) {
                if (!Advance(failure)) return false;
                if (!Expect(token_.kind == TokenKind::kWord, token_.at, "OF needs a name", failure)) return false;
                entry.depending.push_back(token_.upper);
                if (!Advance(failure)) return false;
            }
            if (entry.occurs_min == entry.occurs_max) entry.occurs_min = 0;  // OCCURS n DEPENDING ON: 0 to n
        }
        if (entry.occurs_max < 1 || entry.occurs_min > entry.occurs_max) {
            failure = {entry.occurs_at, "OCCURS needs 1 or more elements, and m TO n with m <= n"};
            return false;
        }
        // KEY and INDEXED BY name keys and indexes, which take no room.
        while (Word("ASCENDING") || Word("DESCENDING") || Word("INDEXED")) {
            if (!Advance(failure) || !Optional("KEY", failure) || !Optional("BY", failure) ||
                !Optional("IS", failure)) {
                return false;
            }
            while (token_.kind == TokenKind::kWord && !IsClauseWord(token_.upper)) {
                if (!Advance(failure)) return false;
            }
        }
        return true;
    }

    Tokenizer tokens_;
    Token token_;
};

// ---- pictures -------------------------------------------------------------------------

struct PictureInfo {
    FieldKind kind = FieldKind::kText;
    std::size_t size = 0;
    int digits = 0;
    int scale = 0;
    bool is_signed = false;
    bool edited = false;
};

bool ParsePicture(const std::string& picture, PictureInfo& info, std::string& why) {
    std::size_t text = 0, nines = 0, dbcs = 0, positions = 0;
    int leading_p = 0, trailing_p = 0, after_v = 0;
    bool has_v = false, has_s = false, edit = false, seen_nine = false;
    for (std::size_t i = 0; i < picture.size();) {
        char c = static_cast<char>(std::toupper(static_cast<unsigned char>(picture[i])));
        std::size_t width = 1;
        if ((c == 'C' || c == 'D') && i + 1 < picture.size()) {
            const char d = static_cast<char>(std::toupper(static_cast<unsigned char>(picture[i + 1])));
            if ((c == 'C' && d == 'R') || (c == 'D' && d == 'B')) width = 2;
        }
        i += width;
        std::size_t count = 1;
        if (i < picture.size() && picture[i] == '(') {
            const std::size_t close = picture.find(')', i);
            if (close == std::string::npos || close == i + 1 || close - i > 8) {
                why = "a repeat count in the picture is not closed, or is empty or too long";
                return false;
            }
            count = 0;
            for (std::size_t k = i + 1; k < close; ++k) {
                if (picture[k] < '0' || picture[k] > '9') {
                    why = "a repeat count in the picture is not a number";
                    return false;
                }
                count = count * 10 + static_cast<std::size_t>(picture[k] - '0');
            }
            if (count == 0) {
                why = "a repeat count of 0";
                return false;
            }
            i = close + 1;
        }
        if (width == 2) {
            edit = true;
            positions += 2 * count;
            continue;
        }
        switch (c) {
            case 'X':
            case 'A':
                text += count;
                break;
            case '9':
                nines += count;
                seen_nine = true;
                if (has_v) after_v += static_cast<int>(count);
                if (trailing_p > 0) {
                    why = "P stands at one end of the digits";
                    return false;
                }
                break;
            case 'G':
            case 'N':
                dbcs += count;
                break;
            case 'S':
                if (i != 1 || has_s) {
                    why = "S comes first, once";
                    return false;
                }
                has_s = true;
                break;
            case 'V':
                if (has_v || count != 1) {
                    why = "V comes once";
                    return false;
                }
                has_v = true;
                break;
            case 'P':
                if (seen_nine) {
                    if (has_v) {
                        why = "P after V stands before the digits";
                        return false;
                    }
                    trailing_p += static_cast<int>(count);
                } else {
                    leading_p += static_cast<int>(count);
                }
                break;
            case 'Z':
            case '*':
            case '+':
            case '-':
            case '.':
            case ',':
            case '$':
            case '0':
            case '/':
            case 'B':
            case 'E':
                edit = true;
                positions += count;
                break;
            default:
                why = std::string("'") + c + "' is no picture symbol";
                return false;
        }
        if (c == 'X' || c == 'A' || c == '9' || c == 'G' || c == 'N') positions += count;
    }
    if (dbcs > 0) {
        if (text + nines + positions != dbcs || has_s || has_v || leading_p + trailing_p > 0 || edit) {
            why = "G and N do not mix with other symbols";
            return false;
        }
        info.kind = FieldKind::kDoubleByte;
        info.size = 2 * dbcs;
        return true;
    }
    if (edit || text > 0) {
        if (has_s) {
            why = "S belongs to numeric pictures";
            return false;
        }
        info.kind = FieldKind::kText;
        info.edited = edit;
        info.size = positions;
        return true;
    }
    if (nines == 0) {
        why = "a numeric picture needs at least one 9";
        return false;
    }
    if (leading_p > 0 && has_v && after_v != static_cast<int>(nines)) {
        why = "V stands before leading Ps";
        return false;
    }
    info.kind = FieldKind::kZoned;
    info.digits = static_cast<int>(nines);
    info.is_signed = has_s;
    if (leading_p > 0) {
        info.scale = leading_p + static_cast<int>(nines);
    } else if (trailing_p > 0) {
        if (has_v && after_v > 0) {
            why = "V stands after trailing Ps";
            return false;
        }
        info.scale = -trailing_p;
    } else {
        info.scale = after_v;
    }
    if (info.digits > kMaxDecimalDigits - 7 || leading_p + trailing_p > 30) {
        why = "more than 31 digits, or more than 30 Ps";
        return false;
    }
    return true;
}

// ---- entries to a layout -----------------------------------------------------------------

struct Item {
    Entry entry;
    int parent = -1;
    std::vector<int> children;
};

}  // namespace

class LayoutBuilder {
public:
    explicit LayoutBuilder(const CopybookOptions& options) : options_(options) {}

    bool Build(std::vector<Entry> entries, SourceFormat format, Layout& layout, Failure& failure) {
        layout.format_ = format;
        layout.host_ = options_.host;
        if (!Select(entries, failure)) return false;
        if (!Tree(failure)) return false;
        std::vector<Field>& fields = layout.fields_;
        fields.resize(items_.size());
        for (std::size_t i = 0; i < items_.size(); ++i) {
            if (!Describe(static_cast<int>(i), fields, failure)) return false;
        }
        std::size_t end = 0;
        if (!Place(0, 0, fields, end, failure)) return false;
        layout.record_length_ = fields[0].size;
        layout.fixed_length_ = layout.record_length_;
        if (!Tables(fields, layout, failure)) return false;
        if (!Choose(fields, failure)) return false;
        return Unique(fields, failure);
    }

private:
    // The entries of the record: from the chosen 01 to the next 01, or all of
    // them when the copybook has no 01 (a record of its own is made for them).
    bool Select(std::vector<Entry>& entries, Failure& failure) {
        if (entries.empty()) {
            failure = {{1, 1}, "the copybook describes no item"};
            return false;
        }
        std::size_t begin = 0, end = entries.size();
        if (entries[0].level == 1) {
            begin = entries.size();
            for (std::size_t i = 0; i < entries.size(); ++i) {
                if (entries[i].level == 1 &&
                    (options_.record.empty() || Upper(entries[i].name) == Upper(options_.record))) {
                    begin = i;
                    break;
                }
            }
            if (begin == entries.size()) {
                failure = {{0, 0}, "the copybook has no 01 record named " + options_.record};
                return false;
            }
            for (end = begin + 1; end < entries.size() && entries[end].level != 1; ++end) {
            }
        } else {
            for (const Entry& e : entries) {
                if (e.level == 1) {
                    failure = {e.at, "an 01 record follows items that belong to no record"};
                    return false;
                }
            }
            Entry root;
            root.at = entries[0].at;
            items_.push_back({root, -1, {}});
        }
        for (std::size_t i = begin; i < end; ++i) items_.push_back({std::move(entries[i]), -1, {}});
        return true;
    }

    bool Tree(Failure& failure) {
        if (items_[0].entry.has_occurs) {
            failure = {items_[0].entry.occurs_at, "the record itself cannot OCCURS"};
            return false;
        }
        std::vector<int> open = {0};
        for (std::size_t i = 1; i < items_.size(); ++i) {
            const Entry& e = items_[i].entry;
            while (open.size() > 1 && items_[open.back()].entry.level >= e.level) open.pop_back();
            const int parent = open.back();
            Item& p = items_[parent];
            if (e.level <= p.entry.level) {
                failure = {e.at, "level " + std::to_string(e.level) + " is not below the record's level"};
                return false;
            }
            if (!p.children.empty() && items_[p.children.back()].entry.level != e.level) {
                failure = {e.at, "level " + std::to_string(e.level) + " matches neither the items before it (level " +
                                     std::to_string(items_[p.children.back()].entry.level) +
                                     ") nor an enclosing group"};
                return false;
            }
            if (!p.entry.picture.empty()) {
                failure = {e.at, "the item above has a PICTURE, so it cannot be a group"};
                return false;
            }
            items_[i].parent = parent;
            p.children.push_back(static_cast<int>(i));
            open.push_back(static_cast<int>(i));
        }
        return true;
    }

    // Usage and sign as inherited from the enclosing groups.
    Usage UsageOf(int i) const {
        for (int k = i; k >= 0; k = items_[k].parent) {
            if (items_[k].entry.usage != Usage::kNone) return items_[k].entry.usage;
        }
        return Usage::kNone;
    }
    const Entry* SignOf(int i) const {
        for (int k = i; k >= 0; k = items_[k].parent) {
            if (items_[k].entry.sign != SignPosition::kNone) return &items_[k].entry;
        }
        return nullptr;
    }

    bool Describe(int i, std::vector<Field>& fields, Failure& failure) {
        const Item& item = items_[i];
        const Entry& e = item.entry;
        Field& f = fields[i];
        f.name = e.filler || e.name.empty() ? "FILLER" : e.name;
        f.is_filler = e.filler || e.name.empty();
        if (i == 0) {  // the record is no field of its rows
            f.is_filler = false;
            if (e.level == 0) f.name.clear();
        }
        f.level = e.level;
        f.line = e.at.line;
        f.column = e.at.column;
        f.parent = item.parent;
        f.children = item.children;
        f.has_occurs = e.has_occurs;
        f.occurs_min = e.occurs_min;
        f.occurs_max = e.occurs_max;
        f.blank_when_zero = e.blank_when_zero;
        if (!item.children.empty()) {
            f.kind = FieldKind::kGroup;
            return true;
        }
        if (e.picture.empty()) {
            failure = {e.at, "'" + f.name + "' has neither a PICTURE nor items under it"};
            return false;
        }
        PictureInfo info;
        std::string why;
        if (!ParsePicture(e.picture, info, why)) {
            failure = {e.picture_at, "PIC " + e.picture + ": " + why};
            return false;
        }
        const Usage usage = UsageOf(i);
        const Position usage_at = e.usage != Usage::kNone ? e.usage_at : e.picture_at;
        f.digits = info.digits;
        f.scale = info.scale;
        f.is_signed = info.is_signed;
        f.edited = info.edited;
        f.size = info.size;
        f.kind = info.kind;
        if (info.kind == FieldKind::kDoubleByte) {
            const bool is_n = std::toupper(static_cast<unsigned char>(e.picture[0])) == 'N';
            if (usage == Usage::kDisplay1 || (usage == Usage::kNone && !is_n)) return true;
            failure = {
                usage != Usage::kNone ? usage_at : e.picture_at,
                is_n ? "PIC N is read as double-byte text with USAGE DISPLAY-1 only" : "PIC G takes USAGE DISPLAY-1"};
            return false;
        }
        if (info.kind == FieldKind::kText) {
            if (usage == Usage::kNone || usage == Usage::kDisplay) return true;
            failure = {usage_at, "PIC " + e.picture + " is text: its USAGE is DISPLAY"};
            return false;
        }
        switch (usage) {
            case Usage::kNone:
            case Usage::kDisplay:
                f.kind = FieldKind::kZoned;
                break;
            case Usage::kPacked:
                f.kind = FieldKind::kPacked;
                break;
            case Usage::kBinary:
                f.kind = FieldKind::kBinary;
                break;
            case Usage::kNativeBinary:
                f.kind = FieldKind::kNativeBinary;
                break;
            case Usage::kDisplay1:
                failure = {usage_at, "DISPLAY-1 is for PIC G and PIC N"};
                return false;
        }
        const Entry* sign = SignOf(i);
        if (e.sign != SignPosition::kNone && (f.kind != FieldKind::kZoned || !f.is_signed)) {
            failure = {e.sign_at, "a SIGN clause needs a signed zoned (DISPLAY) picture"};
            return false;
        }
        if (f.kind == FieldKind::kZoned) {
            if (f.is_signed && sign != nullptr) {
                f.sign = sign->sign;
                f.sign_separate = sign->sign_separate;
            } else if (f.is_signed) {
                f.sign = SignPosition::kTrailing;
            }
            const bool ebcdic = options_.host == Code::kEbcdic || options_.host == Code::kEbcdicKana;
            if (f.is_signed && !f.sign_separate && !ebcdic) {
                failure = {e.picture_at,
                           "a signed zoned number needs SIGN SEPARATE in the 8-bit host code and EUC, which have "
                           "no overpunched signs"};
                return false;
            }
            f.size = static_cast<std::size_t>(f.digits) + (f.sign_separate ? 1 : 0);
        } else if (f.kind == FieldKind::kPacked) {
            f.size = static_cast<std::size_t>(f.digits) / 2 + 1;
        } else {
            if (f.digits > kMaxBinaryDigits) {
                failure = {e.picture_at, "a binary number has at most 18 digits"};
                return false;
            }
            f.size = f.digits <= 4 ? 2 : f.digits <= 9 ? 4 : 8;
        }
        if (f.blank_when_zero && f.kind != FieldKind::kZoned) {
            failure = {e.at, "BLANK WHEN ZERO belongs to zoned (DISPLAY) numbers"};
            return false;
        }
        return true;
    }

    // Offsets and sizes, children first; a REDEFINES starts where the item it
    // redefines starts, and the group ends after the longest alternative.
    bool Place(int i, std::size_t offset, std::vector<Field>& fields, std::size_t& end, Failure& failure) {
        Field& f = fields[i];
        f.offset = offset;
        if (f.kind == FieldKind::kGroup) {
            std::size_t cursor = offset;
            int base = -1;
            for (int child : items_[i].children) {
                const Entry& e = items_[child].entry;
                std::size_t child_end = 0;
                if (!e.redefines.empty()) {
                    if (base < 0 || Upper(fields[base].name) != Upper(e.redefines)) {
                        failure = {e.redefines_at,
                                   "REDEFINES " + e.redefines + ": that is not the item this one follows at its level"};
                        return false;
                    }
                    fields[child].redefines = base;
                    if (!Place(child, fields[base].offset, fields, child_end, failure)) return false;
                } else {
                    base = child;
                    if (!Place(child, cursor, fields, child_end, failure)) return false;
                }
                cursor = std::max(cursor, child_end);
            }
            f.size = cursor - offset;
            if (f.size == 0) {
                failure = {items_[i].entry.at, "the group holds no byte"};
                return false;
            }
        }
        if (f.size > kMaxRecordLength / f.occurs_max) {
            failure = {items_[i].entry.at, "the item is larger than any record"};
            return false;
        }
        end = offset + f.size * f.occurs_max;
        if (end > kMaxRecordLength) {
            failure = {items_[i].entry.at, "the record would be larger than 256 MiB"};
            return false;
        }
        return true;
    }

    bool InTable(int i, const std::vector<Field>& fields) const {
        for (int k = i; k >= 0; k = fields[k].parent) {
            if (fields[k].has_occurs) return true;
        }
        return false;
    }

    // OCCURS DEPENDING ON: the counter, and the rule that nothing follows a
    // table whose length varies.
    bool Tables(std::vector<Field>& fields, Layout& layout, Failure& failure) {
        for (std::size_t t = 0; t < fields.size(); ++t) {
            const Entry& e = items_[t].entry;
            if (e.depending.empty()) continue;
            Field& table = fields[t];
            int counter = -1;
            for (std::size_t c = 0; c < fields.size(); ++c) {
                if (fields[c].is_filler || Upper(fields[c].name) != e.depending[0]) continue;
                bool qualified = true;
                int k = fields[c].parent;
                for (std::size_t q = 1; q < e.depending.size() && qualified; ++q) {
                    while (k >= 0 && Upper(fields[k].name) != e.depending[q]) k = fields[k].parent;
                    qualified = k >= 0;
                }
                if (!qualified) continue;
                if (counter >= 0) {
                    failure = {e.occurs_at, "DEPENDING ON " + e.depending[0] + " names more than one item: qualify it"};
                    return false;
                }
                counter = static_cast<int>(c);
            }
            if (counter < 0) {
                failure = {e.occurs_at, "DEPENDING ON " + e.depending[0] + ": the record has no such item"};
                return false;
            }
            const Field& cf = fields[counter];
            if (cf.kind == FieldKind::kGroup || cf.kind == FieldKind::kText || cf.kind == FieldKind::kDoubleByte ||
                cf.scale != 0 || InTable(counter, fields) || cf.offset + cf.size > table.offset) {
                failure = {e.occurs_at, "the counter " + cf.name +
                                            " must be an integer outside any table, before the table it counts"};
                return false;
            }
            if (InTable(table.parent, fields)) {
                failure = {e.occurs_at, "a table of varying length inside another table is not supported"};
                return false;
            }
            for (int k = static_cast<int>(t); k > 0; k = fields[k].parent) {
                if (fields[k].redefines >= 0) {
                    failure = {e.occurs_at, "a table of varying length inside a REDEFINES is not supported"};
                    return false;
                }
                const std::vector<int>& siblings = items_[fields[k].parent].children;
                for (auto s = std::find(siblings.begin(), siblings.end(), k) + 1; s != siblings.end(); ++s) {
                    if (fields[*s].redefines < 0) {
                        failure = {items_[*s].entry.at,
                                   "'" + fields[*s].name +
                                       "' follows a table of varying length; only the end of a record may vary"};
                        return false;
                    }
                }
            }
            table.depending_on = counter;
            layout.fixed_length_ = table.offset;
        }
        return true;
    }

    bool Choose(std::vector<Field>& fields, Failure& failure) {
        for (const std::string& name : options_.redefines) {
            int chosen = -1;
            for (std::size_t i = 0; i < fields.size(); ++i) {
                if (!fields[i].is_filler && Upper(fields[i].name) == Upper(name)) {
                    const bool alternative =
                        fields[i].redefines >= 0 || std::any_of(fields.begin(), fields.end(), [&](const Field& g) {
                            return g.redefines == static_cast<int>(i);
                        });
                    if (alternative) chosen = static_cast<int>(i);
                }
            }
            if (chosen < 0) {
                failure = {{0, 0}, "no REDEFINES alternative is named " + name};
                return false;
            }
            const int base = fields[chosen].redefines >= 0 ? fields[chosen].redefines : chosen;
            for (std::size_t i = 0; i < fields.size(); ++i) {
                if (static_cast<int>(i) == base || fields[i].redefines == base) {
                    fields[i].active = static_cast<int>(i) == chosen;
                }
            }
        }
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (fields[i].redefines >= 0 && !Chosen(static_cast<int>(i))) fields[i].active = false;
        }
        for (std::size_t i = 1; i < fields.size(); ++i) {
            if (!fields[fields[i].parent].active) fields[i].active = false;
        }
        return true;
    }

    bool Chosen(int i) const {
        for (const std::string& name : options_.redefines) {
            if (Upper(items_[i].entry.name) == Upper(name)) return true;
        }
        return false;
    }

    // Named siblings must differ: they become the keys of one JSON object.
    bool Unique(const std::vector<Field>& fields, Failure& failure) {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const Field& f = fields[i];
            if (!f.active || f.is_filler) continue;
            for (int child : f.children) {
                for (int other : f.children) {
                    if (other >= child) break;
                    if (fields[other].active && !fields[other].is_filler &&
                        Upper(fields[other].name) == Upper(fields[child].name)) {
                        failure = {items_[child].entry.at, "two items of one group are named " + fields[child].name};
                        return false;
                    }
                }
            }
        }
        return true;
    }

    const CopybookOptions& options_;
    std::vector<Item> items_;
};

int Layout::Find(std::string_view name) const noexcept {
    int found = -1;
    const std::string wanted = Upper(name);
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        if (!fields_[i].active || fields_[i].is_filler || Upper(fields_[i].name) != wanted) continue;
        if (found >= 0) return -1;
        found = static_cast<int>(i);
    }
    return found;
}

LayoutResult ParseCopybook(std::string_view text, const CopybookOptions& options) noexcept {
    LayoutResult result;
    if (options.host != Code::kEbcdic && options.host != Code::kEbcdicKana && options.host != Code::kEightBit &&
        options.host != Code::kEightBit70 && options.host != Code::kEuc) {
        result.error = MakeError(Errc::kUsage, "a record's code is a host code: ebcdic, 8bit or euc, not Shift-JIS");
        return result;
    }
    try {
        Failure failure;
        CharSource source;
        std::vector<Entry> entries;
        bool ok = source.Read(text, options.format, failure);
        if (ok) {
            EntryParser parser(source.chars);
            Entry entry;
            bool failed = false;
            while (parser.Next(entry, failed, failure)) entries.push_back(std::move(entry));
            ok = !failed;
        }
        auto layout = std::make_shared<Layout>();
        if (ok) ok = LayoutBuilder(options).Build(std::move(entries), source.format(), *layout, failure);
        if (!ok) {
            result.error = MakeError(Errc::kCopybook, failure.message);
            result.error.line = failure.at.line;
            result.error.column = failure.at.column;
            if (failure.at.line > 0) {
                result.error.message = "copybook line " + std::to_string(failure.at.line) + ", column " +
                                       std::to_string(failure.at.column) + ": " + failure.message;
            }
            return result;
        }
        result.layout = std::move(layout);
    } catch (const std::bad_alloc&) {
        result.layout.reset();
        result.error = MakeError(Errc::kHeapExhausted, "out of memory reading the copybook");
    }
    return result;
}

}  // namespace dataset
}  // namespace lumtrax
