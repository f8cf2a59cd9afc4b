// The characters a site's gaiji table gives its gaiji, as the conversions to
// and from Unicode look them up: a gaiji's Shift-JIS code to its character
// (a scalar value, or a scalar value and a variation selector), and a
// character back to the code. A site character wins over the mapping in
// both directions.
//
// The lookups cost nothing for text without gaiji: decoding looks a code up
// only where the unit is a gaiji, and encoding first tests one bit of a
// filter by the character's low 16 bits, which is clear for every
// character when the table gives none. The gaiji server's list reaches the
// library through gaiji/server_characters.h.
#ifndef LUMTRAX_CODES_SITE_CHARACTERS_H
#define LUMTRAX_CODES_SITE_CHARACTERS_H

#include <array>
#include <cstdint>
#include <vector>

namespace lumtrax {

struct SiteCharacter {
    std::uint16_t sjis;  // the gaiji's Shift-JIS code, lead << 8 | trail
    char32_t scalar;
    char32_t selector;  // a variation selector after the scalar, or 0
};

constexpr bool IsVariationSelector(char32_t c) {
    return (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xE0100 && c <= 0xE01EF);
}

class SiteCharacters {
public:
    SiteCharacters() = default;
    // The list as the gaiji table gives it: no code and no character (with
    // its selector) twice.
    explicit SiteCharacters(const std::vector<SiteCharacter>& list);

    bool empty() const { return by_code_.empty(); }

    // The character of the gaiji code, or null.
    const SiteCharacter* OfCode(std::uint16_t sjis) const;

    // False when no site character begins with c; true when one may.
    bool MayBegin(char32_t c) const { return (filter_[(c >> 6) & 1023] >> (c & 63) & 1) != 0; }

    // The site character c followed by selector (0: c alone), or null.
    const SiteCharacter* OfCharacter(char32_t c, char32_t selector) const;

private:
    std::vector<SiteCharacter> by_code_;        // sorted by code
    std::vector<SiteCharacter> by_character_;   // sorted by scalar, then selector
    std::array<std::uint64_t, 1024> filter_{};  // a bit for each value of the scalars' low 16 bits
};

}  // namespace lumtrax

#endif  // LUMTRAX_CODES_SITE_CHARACTERS_H
