// What the pieces of the C++ interface share and do not publish.
#ifndef LUMTRAX_CXX_APPEND_H
#define LUMTRAX_CXX_APPEND_H

#include <string>
#include <string_view>
#include <system_error>

#include "lumtrax.hpp"

namespace lumtrax {

// As ConvertInto, but the result goes after the first kept bytes of out,
// which stay (kept = out.size() appends; what out holds after them is written
// over, so that only the part that grows is filled). after says what follows
// the text's bytes (After::kNul: a 00, and the text is converted where it
// lies). On error out holds its kept bytes and gaiji is kNone.
std::error_code ConvertAfter(Conversion conversion, std::string_view text, After after, std::string& out,
                             std::size_t kept, GaijiStatus& gaiji, const Options& options,
                             ByteRange* place = nullptr) noexcept;

}  // namespace lumtrax

#endif  // LUMTRAX_CXX_APPEND_H
