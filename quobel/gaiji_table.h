// A site's gaiji table, as the stand-in gaiji server reads it: UTF-8 text,
// one gaiji a line, with its Shift-JIS, EBCDIC host, 8-bit host and EUC codes
// in hex, each as its bytes appear in that text, then an optional fifth
// column, all separated by tabs. The fifth column is a name for people, or
// begins with the gaiji's character for the conversions to and from
// Unicode: "U+XXXX", or "U+XXXX U+YYYY" with a variation selector, then an
// optional name after a space; # starts a comment; a first line "fallback off" keeps
// the server from converting codes the table does not list by its built-in
// arithmetic. docs/gaiji.md describes the format for the people who write it.
//
// The server and the command's --check-gaiji-table read tables with Parse,
// so that both find the same errors.
#ifndef QUOBEL_GAIJI_TABLE_H
#define QUOBEL_GAIJI_TABLE_H

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/bytes.h"
#include "gaiji/gaiji.h"
#include "gaiji/gaiji_characters.h"

namespace quobel {

using lumtrax::BytePair;
using lumtrax::HostCodeKind;

// A table file larger than this is refused: a table lists each Shift-JIS
// gaiji at most once, and there are fewer than 3000.
constexpr std::size_t kMaxTableFileSize = 1 << 20;

struct TableError {
    int line;  // from 1; 0 for the file as a whole
    std::string reason;
};

class GaijiTable {
public:
    // Reads the text of a table file. Every error found is added to errors;
    // the table is whole, and may be used, only when none was.
    static std::unique_ptr<GaijiTable> Parse(std::string_view text, std::vector<TableError>& errors);

    std::size_t size() const { return entries_.size(); }
    // False after the line "fallback off".
    bool fallback() const { return fallback_; }

    // The answer for a listed Shift-JIS code, in the form the server
    // exchanges with the library; false when the table does not list it.
    bool ToHost(BytePair sjis, HostCodeKind kind, BytePair* answer) const;
    // The Shift-JIS code of a listed host or EUC code, given as the record
    // the library hands to the server.
    bool ToSjis(HostCodeKind kind, const std::uint8_t* record, BytePair* sjis) const;
    bool ListsSjis(BytePair sjis) const { return by_sjis_[Code(sjis)] != 0; }
    bool ListsText(HostCodeKind kind, BytePair text) const { return by_text_[Column(kind)][Code(text)] != 0; }
    // The gaiji that have a character, in the order of their lines.
    const std::vector<GaijiCharacter>& characters() const { return characters_; }

private:
    static constexpr int kKinds = 3;

    struct Entry {
        BytePair sjis;
        BytePair answer[kKinds];  // by kind, in the server's form
    };

    GaijiTable();
    static std::uint16_t Code(BytePair pair) { return static_cast<std::uint16_t>(pair.lead << 8 | pair.trail); }
    static int Column(HostCodeKind kind) { return static_cast<int>(kind) - 1; }

    std::vector<Entry> entries_;
    // Indexed by code: 1 + the entry's index, or 0 when none has it.
    std::vector<std::uint16_t> by_sjis_;
    std::vector<std::uint16_t> by_text_[kKinds];  // by kind, indexed by the text's bytes
    std::vector<GaijiCharacter> characters_;
    bool fallback_ = true;
};

#if !defined(_WIN32)
// Opens the table file at path for reading, without ever blocking: a path
// that is not a regular file (a FIFO, a device, a folder) is refused, so
// that nothing waits on a writer that never comes. Null, with the reason,
// when it cannot be opened; missing tells that there is no such file.
std::FILE* OpenTableFile(const std::string& path, std::string& reason, bool& missing);
#endif

// Reads a whole table file into text; false, with the reason, when it
// cannot be read or is larger than kMaxTableFileSize.
bool ReadTableFile(std::FILE* file, std::string& text, std::string& reason);

}  // namespace quobel

#endif  // QUOBEL_GAIJI_TABLE_H
