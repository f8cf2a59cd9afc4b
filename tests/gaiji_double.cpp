#include "gaiji_double.h"

#include "gaiji/gaiji_server.h"

namespace gaiji_double {
namespace {

struct State {
    Answer answer;
    std::vector<Call> calls;
    int level_answer = 0;
    int level_asked = -1;
    int version = 0x00010000;
};

State& TheState() {
    static State state;
    return state;
}

// Records end in 00; a four-byte EUC record (8F lead trail 00) has no 00 at
// its third byte.
Bytes RecordBytes(const unsigned char* record, Direction direction, int kind) {
    const bool four = direction == Direction::kToSjis && kind == 3 && record[2] != 0;
    return Bytes(record, record + (four ? 4 : 3));
}

int Serve(int reserved, Direction direction, const unsigned char* record, unsigned char* result, int kind) {
    State& state = TheState();
    Call call{direction, RecordBytes(record, direction, kind), kind, reserved};
    state.calls.push_back(call);
    // Scribble over the whole result buffer: only two bytes may be read.
    for (int i = 0; i < 8; ++i) result[i] = 0xEE;
    std::uint8_t code[2] = {0, 0};
    const int answer = state.answer ? state.answer(direction, call.record, kind, code) : 0;
    if (answer == 2) {
        result[0] = code[0];
        result[1] = code[1];
    }
    return answer;
}

}  // namespace

void Reset() { TheState() = State{}; }

void FailAll() { TheState().answer = nullptr; }

void AnswerWith(std::uint8_t lead, std::uint8_t trail) {
    TheState().answer = [lead, trail](Direction, const Bytes&, int, std::uint8_t code[2]) {
        code[0] = lead;
        code[1] = trail;
        return 2;
    };
}

void AnswerBy(Answer answer) { TheState().answer = std::move(answer); }
void SetLevelAnswer(int answer) { TheState().level_answer = answer; }
void SetVersion(int version) { TheState().version = version; }
const std::vector<Call>& Calls() { return TheState().calls; }
int LevelAsked() { return TheState().level_asked; }

}  // namespace gaiji_double

extern "C" {

int GAIJI_WINAPI GaijiConvGetHOST(int reserved, const unsigned char* record, unsigned char* result, int kind) {
    return gaiji_double::Serve(reserved, gaiji_double::Direction::kToHost, record, result, kind);
}

int GAIJI_WINAPI GaijiConvGetSJIS(int reserved, const unsigned char* record, unsigned char* result, int kind) {
    return gaiji_double::Serve(reserved, gaiji_double::Direction::kToSjis, record, result, kind);
}

int GAIJI_WINAPI GaijiConvGetLevel(int level) {
    gaiji_double::TheState().level_asked = level;
    return gaiji_double::TheState().level_answer;
}

int GAIJI_WINAPI GaijiConvGetVersion(void) { return gaiji_double::TheState().version; }

}  // extern "C"
