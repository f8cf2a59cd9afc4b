// The stand-in server's text helpers: the fields of a table's lines, codes
// in hex, and text fit to quote in a message.
#ifndef QUOBEL_TEXT_H
#define QUOBEL_TEXT_H

#include <string>
#include <string_view>
#include <vector>

#include "common/bytes.h"

namespace quobel {

using lumtrax::BytePair;

// A field as a message quotes it: control bytes (a 00 among them, which
// would end the message) as \xNN.
std::string Printable(std::string_view field);

// The two bytes as four upper-case hex digits.
std::string Hex(BytePair pair);

// The value of a hex digit, either case, or -1.
int HexDigit(char c);

// Exactly four hex digits, either case.
bool ParseCode(std::string_view field, BytePair* code);

// Well-formed UTF-8: no overlong form, surrogate or value past U+10FFFF.
bool IsUtf8(std::string_view text);

bool IsBlank(char c);

// text without the characters at either end for which strip is true.
std::string_view Trim(std::string_view text, bool (*strip)(char));

// The fields between runs of the separator, each without the spaces around it.
std::vector<std::string_view> Split(std::string_view line, bool (*separator)(char));

// ASCII letters in lower case.
std::string Lower(std::string_view text);

}  // namespace quobel

#endif  // QUOBEL_TEXT_H
