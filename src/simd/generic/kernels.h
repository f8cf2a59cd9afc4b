// The generic kernels, included inside a level's namespace and target
// region after its operations (generic/pieces.h and its isa.h): what both
// directions share, then each direction.
// clang-format off
#include "simd/generic/window.h"
#include "simd/generic/sjis_to_host.h"
#include "simd/generic/host_to_sjis.h"
#include "simd/generic/unicode.h"
// clang-format on
