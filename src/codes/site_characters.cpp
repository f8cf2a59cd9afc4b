#include "codes/site_characters.h"

#include <algorithm>

namespace lumtrax {
namespace {

bool CodeBefore(const SiteCharacter& a, const SiteCharacter& b) { return a.sjis < b.sjis; }

bool CharacterBefore(const SiteCharacter& a, const SiteCharacter& b) {
    return a.scalar != b.scalar ? a.scalar < b.scalar : a.selector < b.selector;
}

}  // namespace

SiteCharacters::SiteCharacters(const std::vector<SiteCharacter>& list) : by_code_(list), by_character_(list) {
    std::sort(by_code_.begin(), by_code_.end(), CodeBefore);
    std::sort(by_character_.begin(), by_character_.end(), CharacterBefore);
    for (const SiteCharacter& c : list) filter_[(c.scalar >> 6) & 1023] |= std::uint64_t{1} << (c.scalar & 63);
}

const SiteCharacter* SiteCharacters::OfCode(std::uint16_t sjis) const {
    const SiteCharacter key{sjis, 0, 0};
    const auto at = std::lower_bound(by_code_.begin(), by_code_.end(), key, CodeBefore);
    return at != by_code_.end() && at->sjis == sjis ? &*at : nullptr;
}

const SiteCharacter* SiteCharacters::OfCharacter(char32_t c, char32_t selector) const {
    const SiteCharacter key{0, c, selector};
    const auto at = std::lower_bound(by_character_.begin(), by_character_.end(), key, CharacterBefore);
    return at != by_character_.end() && at->scalar == c && at->selector == selector ? &*at : nullptr;
}

}  // namespace lumtrax
