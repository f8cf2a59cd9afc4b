// SSSE3: the SSE2 wrappers, with the byte shuffle that the table lookup and
// the window writers use (generic/shuffles.h). Included inside the level's
// namespace and target region.
#define LUMTRAX_ISA_HAS_SHUFFLE 1
#include "simd/sse2/isa.h"
