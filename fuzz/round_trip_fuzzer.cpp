// Converts gaiji-free Shift-JIS text out to each host code and back, and
// requires the text to come back unchanged; in LRSS mode the EBCDIC host
// text must also keep the length of the Shift-JIS text.
//
// The input's bytes become a text of that kind in place: whatever cannot
// come back (a gaiji, a kanji-class code that JIS X 0208 leaves empty, a 00,
// a raw-byte escape, a byte whose EBCDIC image is a shift code) turns into
// spaces of the same width, so that every other character keeps its bytes.
// For LRSS mode each run of kanji is then put between two placeholders.
#include <cstddef>
#include <cstdint>

#include "codes/ebcdic_host.h"
#include "codes/shift_jis.h"
#include "fuzz_calls.h"
#include "lumtrax.h"
#include "tables/host_tables.h"

namespace {

using fuzz::Bytes;

constexpr std::uint8_t kSpace = 0x20;  // neither a lead nor a trail byte

bool IsShiftCodeImage(std::uint8_t b) {
    for (lumtrax::TableSet set : {lumtrax::TableSet::kLowerCase, lumtrax::TableSet::kKana}) {
        const std::uint8_t image = lumtrax::SjisToHostTable(set)[b];
        if (image == 0x2B || image == 0x2C) return true;
    }
    return false;
}

bool IsSjisLead(std::uint8_t b) { return lumtrax::sjis_ranges::IsLead(b); }

std::uint8_t NextByte(const Bytes& text, std::size_t i) { return i + 1 < text.size() ? text[i + 1] : 0x00; }

// A pair that a round trip brings back without the gaiji server.
bool IsJisCharacter(std::uint8_t lead, std::uint8_t trail) {
    if (lumtrax::IsSjisGaiji(lead, trail)) return false;
    const lumtrax::BytePair jis = lumtrax::SjisToJis(lead, trail);
    return lumtrax::IsJisAreaPair(jis.lead, jis.trail);
}

Bytes PlainText(Bytes text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const std::uint8_t b = text[i];
        const std::uint8_t next = NextByte(text, i);
        if (lumtrax::IsSjisDoubleByte(b, next)) {
            if (!IsJisCharacter(b, next)) text[i] = text[i + 1] = kSpace;
            i += 2;
            continue;
        }
        if (b == 0x00 || IsShiftCodeImage(b)) text[i] = kSpace;
        if (b == 0x5C && next == 0x01) text[i + 1] = kSpace;
        i += 1;
    }
    return text;
}

// Every run of kanji between two placeholders, no placeholder or lone lead
// byte elsewhere (a lead before a placeholder would make a pair with it).
Bytes LrssText(const Bytes& plain) {
    Bytes text;
    bool in_run = false;
    std::size_t i = 0;
    while (i < plain.size()) {
        const std::uint8_t b = plain[i];
        const std::uint8_t next = NextByte(plain, i);
        const bool pair = lumtrax::IsSjisDoubleByte(b, next);
        if (pair != in_run) {
            text.push_back(LUMTRAX_LRSS_PLACEHOLDER);
            in_run = pair;
        }
        if (pair) {
            text.insert(text.end(), {b, next});
            i += 2;
        } else {
            text.push_back(b == LUMTRAX_LRSS_PLACEHOLDER || IsSjisLead(b) ? kSpace : b);
            i += 1;
        }
    }
    if (in_run) text.push_back(LUMTRAX_LRSS_PLACEHOLDER);
    return text;
}

fuzz::Outcome Plain(int type, const Bytes& text) {
    fuzz::Request request;
    request.type = type;
    return fuzz::Convert(request, text);
}

fuzz::Outcome Lrss(int type, const Bytes& text) {
    fuzz::Request request;
    request.how = fuzz::Export::kLrss;
    request.type = type;
    request.len = static_cast<int>(text.size());
    Bytes counted = text;
    counted.push_back(0x00);
    return fuzz::Convert(request, counted);
}

void RequireBack(const fuzz::Outcome& there, const fuzz::Outcome& back, const Bytes& text) {
    fuzz::Require(there.status == 0 && back.status == 0, "no gaiji is met on a round trip of JIS characters");
    fuzz::Require(back.text == text, "a text of JIS characters comes back unchanged");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Bytes plain = PlainText(Bytes(data, data + size));
    const struct { int out, back; } pairs[] = {{0, 4}, {1, 5}, {2, 6}, {10, 6}, {3, 7}};
    for (const auto& pair : pairs) {
        const fuzz::Outcome there = Plain(pair.out, plain);
        RequireBack(there, Plain(pair.back, there.text), plain);
    }
    if (plain.empty()) return 0;
    const Bytes lrss = LrssText(plain);
    for (int set : {0, 1}) {
        const fuzz::Outcome there = Lrss(set, lrss);
        fuzz::Require(there.text.size() == lrss.size(), "LRSS text keeps its length in the EBCDIC host code");
        RequireBack(there, Lrss(set + 4, there.text), lrss);
    }
    return 0;
}
