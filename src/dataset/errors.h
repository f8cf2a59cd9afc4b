// What the dataset code shares about errors.
#ifndef LUMTRAX_DATASET_ERRORS_H
#define LUMTRAX_DATASET_ERRORS_H

#include <string>

#include "lumtrax_dataset.hpp"

namespace lumtrax {
namespace dataset {

inline Error MakeError(Errc code, std::string message) {
    Error error;
    error.code = make_error_code(code);
    error.message = std::move(message);
    return error;
}

// "F1 C2 40": bytes in hex, for reports and messages.
void AppendHex(std::string_view bytes, std::string& out);

// The decimal digits of value, appended without allocating beyond out's growth.
void AppendDecimal(std::uint64_t value, std::string& out);

}  // namespace dataset
}  // namespace lumtrax

#endif  // LUMTRAX_DATASET_ERRORS_H
