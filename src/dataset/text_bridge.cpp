// TEMPORARY BRIDGE for src/dataset/text.h, until the one-pass conversions
// between the host codes and UTF-8 take its place (this file is then
// replaced whole). It goes through Shift-JIS: the library's own conversion
// between the host code and Shift-JIS (lumtrax::ConvertInto), and glibc's
// iconv between CP932 and UTF-8. Double-byte text is wrapped in the shift
// codes (or sequences) of its host code for the way to Shift-JIS, and
// written without them (Options::shift = false) on the way back.
//
// What the bridge cannot do as the real conversions will: a bad range that
// is found on the Shift-JIS side is given as the whole field, and a gaiji
// that the gaiji server replaces counts as text without a Unicode form.
#include <errno.h>
#include <iconv.h>

#include <cstring>

#include "codes/shift_jis.h"
#include "dataset/text.h"
#include "lumtrax.hpp"

namespace lumtrax {
namespace dataset {
namespace {

// The library's conversions between the host code and Shift-JIS (the table
// of conversions has both for every host code).
struct Bridge {
    Conversion to_sjis;
    Conversion from_sjis;
};

Bridge BridgeOf(Code host) {
    return {*ConversionBetween(host, Code::kShiftJis), *ConversionBetween(Code::kShiftJis, host)};
}

bool IsEbcdic(Code host) { return host == Code::kEbcdic || host == Code::kEbcdicKana; }
bool IsEightBit(Code host) { return host == Code::kEightBit || host == Code::kEightBit70; }

// The length of the UTF-8 character that begins with lead (1 for a stray byte).
std::size_t Utf8Length(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC2) return 2;
    return 1;
}

// A pair of double-byte text that would end or break the run the bridge
// wraps it in, or that is no double-byte character of the code at all.
bool IsBadPair(Code host, unsigned char lead, unsigned char trail) {
    if (IsEbcdic(host)) return lead == 0x2B || lead == 0x2C || trail == 0x2B || trail == 0x2C;
    if (IsEightBit(host)) return lead == 0x93 && (trail == 0xF0 || trail == 0x70 || trail == 0xF1);
    return lead < 0x80 || trail < 0x80;
}

}  // namespace

struct TextCodec::State {
    Code host;
    Bridge conversions;
    iconv_t to_utf8 = reinterpret_cast<iconv_t>(-1);
    iconv_t to_cp932 = reinterpret_cast<iconv_t>(-1);
    std::string wrapped;
    std::string sjis;
    std::string fixed;
};

TextCodec::TextCodec(Code host) : state_(new State) {
    state_->host = host;
    state_->conversions = BridgeOf(host);
    state_->to_utf8 = iconv_open("UTF-8", "CP932");
    state_->to_cp932 = iconv_open("CP932", "UTF-8");
}

TextCodec::~TextCodec() {
    if (state_->to_utf8 != reinterpret_cast<iconv_t>(-1)) iconv_close(state_->to_utf8);
    if (state_->to_cp932 != reinterpret_cast<iconv_t>(-1)) iconv_close(state_->to_cp932);
}

TextOutcome TextCodec::Decode(TextForm form, std::string_view host, TextErrors errors, std::string& out) {
    State& s = *state_;
    const TextOutcome whole_field_bad{false, 0, host.size(), 0};
    if (s.to_utf8 == reinterpret_cast<iconv_t>(-1)) return whole_field_bad;
    std::string_view text = host;
    if (form == TextForm::kDoubleByte) {
        if (host.size() % 2 != 0) return whole_field_bad;
        for (std::size_t i = 0; i < host.size(); i += 2) {
            if (IsBadPair(s.host, static_cast<unsigned char>(host[i]), static_cast<unsigned char>(host[i + 1]))) {
                return {false, i, i + 2, 0};
            }
        }
        if (IsEbcdic(s.host)) {
            s.wrapped.assign(1, '\x2B').append(host).push_back('\x2C');
            text = s.wrapped;
        } else if (IsEightBit(s.host)) {
            s.wrapped.assign("\x93\xF0").append(host).append("\x93\xF1");
            text = s.wrapped;
        }
    }
    GaijiStatus gaiji = GaijiStatus::kNone;
    if (ConvertInto(s.conversions.to_sjis, text, s.sjis, gaiji)) return whole_field_bad;
    TextOutcome outcome;
    if (gaiji == GaijiStatus::kReplaced) {
        if (errors == TextErrors::kStrict) return whole_field_bad;
        ++outcome.replaced;
    }

    iconv(s.to_utf8, nullptr, nullptr, nullptr, nullptr);
    const std::size_t kept = out.size();
    out.resize(kept + 3 * s.sjis.size() + 4);
    char* in = s.sjis.data();
    std::size_t in_left = s.sjis.size();
    char* dst = out.data() + kept;
    std::size_t dst_left = out.size() - kept;
    while (in_left > 0) {
        if (iconv(s.to_utf8, &in, &in_left, &dst, &dst_left) != static_cast<std::size_t>(-1)) break;
        if (errors == TextErrors::kStrict || dst_left < 3) return whole_field_bad;
        // A byte that starts no CP932 character, or a pair with no Unicode form.
        const auto lead = static_cast<unsigned char>(*in);
        const std::size_t skip = (in_left >= 2 && IsSjisDoubleByte(lead, static_cast<unsigned char>(in[1]))) ? 2 : 1;
        std::memcpy(dst, "\xEF\xBF\xBD", 3);
        dst += 3;
        dst_left -= 3;
        in += skip;
        in_left -= skip;
        ++outcome.replaced;
    }
    out.resize(static_cast<std::size_t>(dst - out.data()));
    return outcome;
}

TextOutcome TextCodec::Encode(TextForm form, std::string_view utf8, TextErrors errors, std::string& out) {
    State& s = *state_;
    TextOutcome outcome;
    if (s.to_cp932 == reinterpret_cast<iconv_t>(-1)) return {false, 0, utf8.size(), 0};

    // UTF-8 to CP932, a substitute for each character it has no form for.
    // Every character becomes one CP932 character, so the two texts can be
    // walked side by side.
    iconv(s.to_cp932, nullptr, nullptr, nullptr, nullptr);
    s.sjis.resize(utf8.size() + 4);
    char* in = const_cast<char*>(utf8.data());
    std::size_t in_left = utf8.size();
    char* dst = s.sjis.data();
    std::size_t dst_left = s.sjis.size();
    while (in_left > 0) {
        if (iconv(s.to_cp932, &in, &in_left, &dst, &dst_left) != static_cast<std::size_t>(-1)) break;
        const std::size_t at = utf8.size() - in_left;
        const std::size_t length = Utf8Length(static_cast<unsigned char>(*in));
        if (errors == TextErrors::kStrict || dst_left < 2) return {false, at, at + std::min(length, in_left), 0};
        *dst++ = '?';
        --dst_left;
        in += std::min(length, in_left);
        in_left -= std::min(length, in_left);
        ++outcome.replaced;
    }
    s.sjis.resize(static_cast<std::size_t>(dst - s.sjis.data()));

    // What the way to the host would not carry as a character: single bytes
    // in double-byte text, and 5C 01, which Shift-JIS reads as an escape.
    s.fixed.clear();
    std::size_t u = 0;
    for (std::size_t i = 0; i < s.sjis.size();) {
        const auto lead = static_cast<unsigned char>(s.sjis[i]);
        const bool pair = i + 1 < s.sjis.size() && IsSjisDoubleByte(lead, static_cast<unsigned char>(s.sjis[i + 1]));
        const std::size_t length = u < utf8.size() ? Utf8Length(static_cast<unsigned char>(utf8[u])) : 1;
        const bool escape = lead == 0x01 && i > 0 && s.sjis[i - 1] == '\x5C';
        if ((form == TextForm::kDoubleByte && !pair) || escape) {
            if (errors == TextErrors::kStrict) return {false, u, u + length, 0};
            s.fixed.append(form == TextForm::kDoubleByte ? "\x81\x48" : "?");
            ++outcome.replaced;
        } else {
            s.fixed.append(s.sjis, i, pair ? 2 : 1);
        }
        i += pair ? 2 : 1;
        u += length;
    }

    Options options;
    options.shift = form == TextForm::kMixed;
    GaijiStatus gaiji = GaijiStatus::kNone;
    if (ConvertInto(s.conversions.from_sjis, s.fixed, s.wrapped, gaiji, options)) return {false, 0, utf8.size(), 0};
    if (gaiji == GaijiStatus::kReplaced) {
        if (errors == TextErrors::kStrict) return {false, 0, utf8.size(), 0};
        ++outcome.replaced;
    }
    out.append(s.wrapped);
    return outcome;
}

}  // namespace dataset
}  // namespace lumtrax
