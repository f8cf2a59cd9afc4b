// Reads the input as a copybook (the first byte picks the host code and the
// source format), and requires the reader to give either a layout whose
// items all lie inside the record, or an error with a line and column inside
// the text. A layout is then made ready for rows and one record of spaces
// decoded and encoded, so that the plan of every layout the reader accepts
// is built too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "lumtrax_dataset.hpp"

using namespace lumtrax::dataset;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    CopybookOptions options;
    options.host = static_cast<lumtrax::Code>(1 + data[0] % 5);
    options.format = static_cast<SourceFormat>((data[0] / 5) % 3);
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const LayoutResult result = ParseCopybook(text, options);
    if (!result.error.ok()) {
        if (result.layout != nullptr || result.error.message.empty()) std::abort();
        std::size_t lines = 1;
        for (char c : text) lines += c == '\n';
        if (result.error.line > lines) std::abort();
        return 0;
    }
    const Layout& layout = *result.layout;
    for (const Field& field : layout.fields()) {
        if (field.offset + field.size * field.occurs_max > layout.record_length()) std::abort();
        if (field.kind != FieldKind::kGroup && field.size == 0) std::abort();
    }
    if (layout.record_length() > (1u << 16)) return 0;  // keep each run short
    const std::string record(layout.record_length(), ' ');
    RecordDecoder decoder(result.layout);
    std::string row;
    if (!decoder.Decode(record, 1, row).ok()) std::abort();
    RecordEncoder encoder(result.layout);
    std::string back;
    (void)encoder.Encode(row, 1, back);
    return 0;
}
