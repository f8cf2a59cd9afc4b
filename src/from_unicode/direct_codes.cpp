#include "from_unicode/direct_codes.h"

namespace lumtrax {
namespace {

DirectCodes Build(const MappingTables& t) {
    DirectCodes codes{};
    for (char32_t c = 0; c < 0x10000; ++c) codes[c] = DirectCodeOf(t, c);
    codes[0x10000] = kNoDirectCode;
    return codes;
}

}  // namespace

const DirectCodes& DirectCodesOf(UnicodeMapping mapping) {
    static const DirectCodes cp932 = Build(kCp932Tables);
    static const DirectCodes jis = Build(kJisTables);
    return mapping == UnicodeMapping::kCp932 ? cp932 : jis;
}

}  // namespace lumtrax
