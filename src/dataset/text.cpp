// Text fields between the host code and UTF-8 (dataset/text.h): one call of
// a conversion to or from Unicode for each field, by the cp932 mapping, with
// the site's characters of the gaiji table. A double-byte field (PIC G) is
// read and written as pairs alone, without shift codes.
#include <exception>

#include "api/unicode_dispatch.h"
#include "codes/conversions.h"
#include "common/growth.h"
#include "dataset/text.h"
#include "gaiji/server_characters.h"

namespace lumtrax {
namespace dataset {
namespace {

const ConversionRow& RowBetween(Code from, Code to) {
    return *FindAnyConversion(static_cast<std::int32_t>(*ConversionBetween(from, to)));
}

// Appends the conversion of text to out. In strict mode a gaiji that the
// gaiji server cannot convert fails too: a field is either its text or an
// issue.
TextOutcome Run(const ConversionRow& row, TextForm form, std::string_view text, TextErrors errors, std::string& out) {
    UnicodeOptions options;
    options.errors = errors == TextErrors::kReplace ? ErrorMode::kReplace : ErrorMode::kStrict;
    options.double_byte_only = form == TextForm::kDoubleByte;
    options.site = &ServerSiteCharacters();
    const std::size_t kept = out.size();
    try {
        out.resize(kept + DestinationCapacity(row.growth, text.size()));
    } catch (const std::exception&) {
        out.resize(kept);
        return {false, 0, text.size(), 0};
    }
    const UnicodeOutcome outcome = ConvertUnicode(row, reinterpret_cast<const std::uint8_t*>(text.data()), text.size(),
                                                  options, reinterpret_cast<std::uint8_t*>(&out[kept]));
    out.resize(kept + outcome.written);
    if (!outcome.ok()) return {false, outcome.failure_offset, outcome.failure_offset + outcome.failure_length, 0};
    if (!outcome.replaced()) return {};
    if (errors == TextErrors::kStrict) {
        return {false, outcome.replaced_offset, outcome.replaced_offset + outcome.replaced_length, 0};
    }
    return {true, 0, 0, 1};
}

}  // namespace

struct TextCodec::State {
    const ConversionRow& decode;
    const ConversionRow& encode;
};

TextCodec::TextCodec(Code host) : state_(new State{RowBetween(host, Code::kUtf8), RowBetween(Code::kUtf8, host)}) {}

TextCodec::~TextCodec() = default;

TextOutcome TextCodec::Decode(TextForm form, std::string_view host, TextErrors errors, std::string& out) {
    return Run(state_->decode, form, host, errors, out);
}

TextOutcome TextCodec::Encode(TextForm form, std::string_view utf8, TextErrors errors, std::string& out) {
    return Run(state_->encode, form, utf8, errors, out);
}

}  // namespace dataset
}  // namespace lumtrax
