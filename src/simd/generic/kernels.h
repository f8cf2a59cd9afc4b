// The generic kernels, included inside a level's namespace and target
// region after its operations (generic/pieces.h and its isa.h).
// clang-format off
#include "simd/generic/sjis_to_host.h"
#include "simd/generic/host_to_sjis.h"
// clang-format on
