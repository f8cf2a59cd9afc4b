// Text fields between the host code and Shift-JIS rows (RowCode::kShiftJis):
// the library's own conversions, with no Unicode on the way (text.h has the
// UTF-8 rows).
#ifndef LUMTRAX_DATASET_SJIS_TEXT_H
#define LUMTRAX_DATASET_SJIS_TEXT_H

#include <string>
#include <string_view>

#include "dataset/text.h"
#include "lumtrax.hpp"

namespace lumtrax {
namespace dataset {

class SjisText {
public:
    explicit SjisText(Code host);

    // Appends the Shift-JIS form of a field's host bytes to out.
    TextOutcome Decode(TextForm form, std::string_view host, TextErrors errors, std::string& out);
    // Appends the host form of Shift-JIS text to out (no padding).
    TextOutcome Encode(TextForm form, std::string_view sjis, TextErrors errors, std::string& out);

private:
    Code host_;
    Conversion to_sjis_;
    Conversion from_sjis_;
    std::string wrapped_;
    std::string converted_;
};

}  // namespace dataset
}  // namespace lumtrax

#endif  // LUMTRAX_DATASET_SJIS_TEXT_H
