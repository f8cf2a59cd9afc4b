// Text fields between the host code and Shift-JIS rows (see sjis_text.h).
// Double-byte fields are put between the shift codes (or sequences) of
// their host code on the way to Shift-JIS, and written without them
// (Options::shift = false) on the way back, so that the conversions read
// them as the runs they are.
#include "dataset/sjis_text.h"

#include "codes/shift_jis.h"

namespace lumtrax {
namespace dataset {
namespace {

bool IsEbcdic(Code host) { return host == Code::kEbcdic || host == Code::kEbcdicKana; }
bool IsEightBit(Code host) { return host == Code::kEightBit || host == Code::kEightBit70; }

// A pair that would end the run it is put in, or that no double-byte
// character of the code has.
bool IsBadPair(Code host, unsigned char lead, unsigned char trail) {
    if (IsEbcdic(host)) return lead == 0x2B || lead == 0x2C || trail == 0x2B || trail == 0x2C;
    if (IsEightBit(host)) return lead == 0x93 && (trail == 0xF0 || trail == 0x70 || trail == 0xF1);
    return lead < 0x80 || trail < 0x80;
}

}  // namespace

SjisText::SjisText(Code host)
    : host_(host),
      to_sjis_(*ConversionBetween(host, Code::kShiftJis)),
      from_sjis_(*ConversionBetween(Code::kShiftJis, host)) {}

TextOutcome SjisText::Decode(TextForm form, std::string_view host, TextErrors errors, std::string& out) {
    const TextOutcome whole_field_bad{false, 0, host.size(), 0};
    std::string_view text = host;
    if (form == TextForm::kDoubleByte) {
        if (host.size() % 2 != 0) return whole_field_bad;
        for (std::size_t i = 0; i < host.size(); i += 2) {
            if (IsBadPair(host_, static_cast<unsigned char>(host[i]), static_cast<unsigned char>(host[i + 1]))) {
                return {false, i, i + 2, 0};
            }
        }
        if (IsEbcdic(host_)) {
            wrapped_.assign(1, '\x2B').append(host).push_back('\x2C');
            text = wrapped_;
        } else if (IsEightBit(host_)) {
            wrapped_.assign("\x93\xF0").append(host).append("\x93\xF1");
            text = wrapped_;
        }
    }
    GaijiStatus gaiji = GaijiStatus::kNone;
    if (ConvertAppend(to_sjis_, text, out, gaiji)) return whole_field_bad;
    TextOutcome outcome;
    if (gaiji == GaijiStatus::kReplaced) {
        if (errors == TextErrors::kStrict) return whole_field_bad;
        outcome.replaced = 1;
    }
    return outcome;
}

TextOutcome SjisText::Encode(TextForm form, std::string_view sjis, TextErrors errors, std::string& out) {
    // What the way to the host would not carry as a character: a single
    // byte in double-byte text, and 5C 01, which Shift-JIS reads as an escape.
    TextOutcome outcome;
    converted_.clear();
    for (std::size_t i = 0; i < sjis.size();) {
        const auto lead = static_cast<unsigned char>(sjis[i]);
        const bool pair = i + 1 < sjis.size() && IsSjisDoubleByte(lead, static_cast<unsigned char>(sjis[i + 1]));
        const bool escape = lead == 0x5C && i + 1 < sjis.size() && sjis[i + 1] == '\x01';
        if ((form == TextForm::kDoubleByte && !pair) || escape) {
            if (errors == TextErrors::kStrict) return {false, i, i + (pair ? 2 : 1), 0};
            converted_.append(form == TextForm::kDoubleByte ? "\x81\x48" : "?");
            ++outcome.replaced;
        } else {
            converted_.append(sjis, i, pair ? 2 : 1);
        }
        i += pair ? 2 : 1;
    }
    Options options;
    options.shift = form == TextForm::kMixed;
    GaijiStatus gaiji = GaijiStatus::kNone;
    const std::size_t kept = out.size();
    if (ConvertAppend(from_sjis_, converted_, out, gaiji, options)) return {false, 0, sjis.size(), 0};
    if (gaiji == GaijiStatus::kReplaced) {
        if (errors == TextErrors::kStrict) {
            out.resize(kept);
            return {false, 0, sjis.size(), 0};
        }
        ++outcome.replaced;
    }
    return outcome;
}

}  // namespace dataset
}  // namespace lumtrax
