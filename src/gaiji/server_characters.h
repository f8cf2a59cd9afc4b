// The characters of the gaiji server's table (column 5 of a site's gaiji
// table), as the conversions to and from Unicode look them up
// (codes/site_characters.h): asked once per process through the server's
// optional export (gaiji/gaiji_characters.h).
#ifndef LUMTRAX_GAIJI_SERVER_CHARACTERS_H
#define LUMTRAX_GAIJI_SERVER_CHARACTERS_H

#include "codes/site_characters.h"

namespace lumtrax {

// The server's characters; none when the server has no such export, or its
// table gives no gaiji a character.
const SiteCharacters& ServerSiteCharacters();

}  // namespace lumtrax

#endif  // LUMTRAX_GAIJI_SERVER_CHARACTERS_H
