// What the pieces of the C++ interface share and do not publish.
#ifndef LUMTRAX_CXX_APPEND_H
#define LUMTRAX_CXX_APPEND_H

#include <string>
#include <string_view>
#include <system_error>

#include "lumtrax.hpp"

namespace lumtrax {

// As ConvertInto, but the result goes after the first kept bytes of out,
// which stay (kept = out.size() appends). terminated says that a 00 follows
// the text (as one follows a std::string's bytes): then the text is
// converted where it lies, else from a copy. On error out holds its kept
// bytes and gaiji is kNone.
std::error_code ConvertAfter(Conversion conversion, std::string_view text, bool terminated, std::string& out,
                             std::size_t kept, GaijiStatus& gaiji, const Options& options) noexcept;

}  // namespace lumtrax

#endif  // LUMTRAX_CXX_APPEND_H
