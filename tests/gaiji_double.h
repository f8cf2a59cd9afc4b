// A test double of the gaiji server, linked into the unit tests in place of
// the shipped server. It records every call and answers as the test says.
#ifndef LUMTRAX_TESTS_GAIJI_DOUBLE_H
#define LUMTRAX_TESTS_GAIJI_DOUBLE_H

#include <cstdint>
#include <functional>
#include <vector>

namespace gaiji_double {

using Bytes = std::vector<std::uint8_t>;

enum class Direction { kToHost, kToSjis };

struct Call {
    Direction direction;
    Bytes record;  // the record's bytes, its final 00 included
    int kind;
    int reserved = 0;  // what the library passed first; always 0
    bool operator==(const Call& other) const {
        return direction == other.direction && record == other.record && kind == other.kind;
    }
};

// Answers one call: returns the server's result and fills code on success.
using Answer = std::function<int(Direction, const Bytes& record, int kind, std::uint8_t code[2])>;

// Back to the start: every conversion call fails, level 0, version 0x00010000.
void Reset();
void FailAll();
// Every conversion call succeeds with the code lead trail.
void AnswerWith(std::uint8_t lead, std::uint8_t trail);
void AnswerBy(Answer answer);
void SetLevelAnswer(int answer);
void SetVersion(int version);
const std::vector<Call>& Calls();
int LevelAsked();

}  // namespace gaiji_double

#endif  // LUMTRAX_TESTS_GAIJI_DOUBLE_H
