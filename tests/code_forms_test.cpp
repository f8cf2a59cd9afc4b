// The forms of a gaiji's code that src/gaiji/code_forms.h gives the stand-in
// server and its table checks, held against the conversions themselves over
// every pair of bytes: what they hand to the server, and what they write for
// its answer.
#include <gtest/gtest.h>

#include "gaiji/code_forms.h"
#include "gaiji_double.h"
#include "lumtrax.h"

namespace {

using gaiji_double::Bytes;
using lumtrax::BytePair;
using lumtrax::CodeRecord;
using lumtrax::HostCodeKind;
namespace forms = lumtrax::code_forms;

// Each host code: its conversion into Shift-JIS and out of it, and the shift
// codes around a run of double-byte characters.
const struct KindCase {
    HostCodeKind kind;
    int into_sjis, out_of_sjis;
    Bytes before, after;
} kKinds[] = {
    {HostCodeKind::kEbcdicHost, 4, 0, {0x2B}, {0x2C}},
    {HostCodeKind::kEightBitHost, 6, 2, {0x93, 0xF0}, {0x93, 0xF1}},
    {HostCodeKind::kEuc, 7, 3, {}, {}},
};

BytePair PairOf(int code) { return {static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code)}; }

Bytes InRun(const KindCase& k, BytePair pair) {
    Bytes text = k.before;
    text.insert(text.end(), {pair.lead, pair.trail});
    text.insert(text.end(), k.after.begin(), k.after.end());
    return text;
}

Bytes Convert(int type, const Bytes& text) {
    Bytes src = text;
    src.push_back(0x00);
    Bytes dst(3 * src.size() + 8);
    int status = 7;
    const int n = Lumtrax_LRSS(type, dst.data(), src.data(), static_cast<int>(text.size()), 0, &status);
    dst.resize(static_cast<std::size_t>(n > 0 ? n : 0));
    return dst;
}

// As the test double records it: the EUC record 8F lead trail has four bytes.
Bytes RecordBytes(HostCodeKind kind, const CodeRecord& record) {
    return Bytes(record.bytes, record.bytes + (kind == HostCodeKind::kEuc && record.bytes[2] != 0 ? 4 : 3));
}

// The record a pair would have if the conversion handed it over.
CodeRecord AsIfHanded(HostCodeKind kind, BytePair pair) {
    if (kind == HostCodeKind::kEbcdicHost) return lumtrax::EbcdicHostRecord(pair.lead, pair.trail);
    if (kind == HostCodeKind::kEuc) return lumtrax::EucRecord(pair.lead, pair.trail);
    return {{pair.lead, pair.trail, 0, 0}};
}

TEST(CodeForms, ReadInRunIsWhatTheConversionsHandToTheServer) {
    for (const KindCase& k : kKinds) {
        for (int code = 0; code < 0x10000; ++code) {
            const BytePair pair = PairOf(code);
            CodeRecord record{};
            const forms::Reading reading = forms::ReadInRun(k.kind, pair, &record);
            gaiji_double::Reset();
            Convert(k.into_sjis, InRun(k, pair));
            const auto& calls = gaiji_double::Calls();
            if (reading == forms::Reading::kServer) {
                ASSERT_EQ(calls.size(), 1u) << std::hex << code;
                ASSERT_EQ(calls[0].record, RecordBytes(k.kind, record)) << std::hex << code;
                ASSERT_EQ(calls[0].kind, static_cast<int>(k.kind));
            } else if (reading == forms::Reading::kShiftCode || reading == forms::Reading::kSingleByte) {
                // The first byte stands alone; what follows it may be handed over.
                const Bytes as_if = RecordBytes(k.kind, AsIfHanded(k.kind, pair));
                for (const auto& call : calls) ASSERT_NE(call.record, as_if) << std::hex << code;
            } else {
                ASSERT_TRUE(calls.empty()) << std::hex << code;
            }
        }
    }
}

TEST(CodeForms, WrittenAnswerIsWhatTheConversionsWriteForTheServersAnswer) {
    for (const KindCase& k : kKinds) {
        for (int code = 0; code < 0x10000; ++code) {
            const BytePair answer = PairOf(code);
            gaiji_double::Reset();
            gaiji_double::AnswerWith(answer.lead, answer.trail);
            ASSERT_EQ(Convert(k.out_of_sjis, {0xF0, 0x40}), InRun(k, forms::WrittenAnswer(k.kind, answer)))
                << std::hex << code;
        }
    }
}

// AnswerFor gives the answer that the conversion out of Shift-JIS writes as
// the code, and TextOfRecord finds the code again from its record. Today's
// arithmetic, for one, answers A1 21, A1 21 and F5 A1 for F040, which the
// texts hold as 41 A1, A1 21 and F5 A1.
TEST(CodeForms, AnswersAndRecordsComeBackToTheirCode) {
    const struct {
        HostCodeKind kind;
        int text, answer;
    } examples[] = {{HostCodeKind::kEbcdicHost, 0x41A1, 0xA121},
                    {HostCodeKind::kEightBitHost, 0xA121, 0xA121},
                    {HostCodeKind::kEuc, 0xF5A1, 0xF5A1}};
    for (const auto& e : examples) {
        CodeRecord record{};
        ASSERT_EQ(forms::ReadInRun(e.kind, PairOf(e.text), &record), forms::Reading::kServer);
        BytePair answer{};
        EXPECT_TRUE(forms::AnswerFor(e.kind, PairOf(e.text), record, &answer));
        EXPECT_EQ(answer.lead << 8 | answer.trail, e.answer);
    }
    for (const KindCase& k : kKinds) {
        for (int code = 0x0101; code < 0x10000; ++code) {
            const BytePair text = PairOf(code);
            CodeRecord record{};
            BytePair answer{}, back{};
            if (text.trail == 0 || forms::ReadInRun(k.kind, text, &record) != forms::Reading::kServer ||
                !forms::AnswerFor(k.kind, text, record, &answer)) {
                continue;
            }
            ASSERT_TRUE(forms::TextOfRecord(k.kind, record.bytes, &back)) << std::hex << code;
            ASSERT_EQ(back.lead << 8 | back.trail, code);
        }
    }
}

}  // namespace
