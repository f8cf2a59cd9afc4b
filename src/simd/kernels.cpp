#include "simd/kernels.h"

#include <cstdlib>
#include <cstring>

#include "simd/kernel_sets.h"

#if defined(LUMTRAX_SIMD_X86)
#include <cpuid.h>
#endif

namespace lumtrax {
namespace {

constexpr Kernels kScalarKernels = {SimdLevel::kScalar, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, {}, {}};

constexpr const char* kLevelNames[] = {"scalar", "sse2", "ssse3", "avx2", "avx512"};

#if defined(LUMTRAX_SIMD_X86)

struct CpuidRegisters {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
};

CpuidRegisters Cpuid(unsigned leaf, unsigned subleaf) {
    CpuidRegisters r;
    if (static_cast<unsigned>(__get_cpuid_max(0, nullptr)) < leaf) return r;
    __cpuid_count(leaf, subleaf, r.eax, r.ebx, r.ecx, r.edx);
    return r;
}

// The state components the operating system saves for us (XCR0).
unsigned long long EnabledStates() {
    unsigned eax = 0, edx = 0;
    __asm__ volatile(".byte 0x0f, 0x01, 0xd0" : "=a"(eax), "=d"(edx) : "c"(0));  // xgetbv
    return (static_cast<unsigned long long>(edx) << 32) | eax;
}

constexpr bool Has(unsigned reg, int bit) { return (reg >> bit & 1u) != 0; }

SimdLevel DetectLevel() {
    const CpuidRegisters one = Cpuid(1, 0);
    if (!Has(one.edx, 26)) return SimdLevel::kScalar;  // SSE2
    if (!Has(one.ecx, 9)) return SimdLevel::kSse2;     // SSSE3
    // AVX2 needs the operating system to save the YMM state (XCR0 bits 1-2).
    const bool avx = Has(one.ecx, 27) && Has(one.ecx, 28) && Has(one.ecx, 23);  // OSXSAVE, AVX, POPCNT
    if (!avx || (EnabledStates() & 0x6) != 0x6) return SimdLevel::kSsse3;
    const CpuidRegisters seven = Cpuid(7, 0);
    const bool avx2 = Has(seven.ebx, 5) && Has(seven.ebx, 3) && Has(seven.ebx, 8);  // AVX2, BMI1, BMI2
    if (!avx2) return SimdLevel::kSsse3;
    // AVX-512 F, BW, VL, VBMI, VBMI2, and the opmask and ZMM states (XCR0 bits 5-7).
    const bool avx512 = Has(seven.ebx, 16) && Has(seven.ebx, 30) && Has(seven.ebx, 31) && Has(seven.ecx, 1) &&
                        Has(seven.ecx, 6) && (EnabledStates() & 0xE6) == 0xE6;
    return avx512 ? SimdLevel::kAvx512 : SimdLevel::kAvx2;
}

#else

SimdLevel DetectLevel() { return SimdLevel::kScalar; }

#endif

// The highest level this build has kernels for.
constexpr SimdLevel BuiltLevel() {
#if defined(LUMTRAX_KERNELS_AVX512)
    return SimdLevel::kAvx512;
#elif defined(LUMTRAX_SIMD_X86)
    return SimdLevel::kAvx2;
#else
    return SimdLevel::kScalar;
#endif
}

SimdLevel Lower(SimdLevel a, SimdLevel b) { return static_cast<int>(a) < static_cast<int>(b) ? a : b; }

SimdLevel ChooseLevel() {
    SimdLevel level = SupportedSimdLevel();
    if (const char* cap = std::getenv("LUMTRAX_SIMD")) {
        for (int k = 0; k <= static_cast<int>(SimdLevel::kAvx512); ++k) {
            if (std::strcmp(cap, kLevelNames[k]) == 0) level = Lower(level, static_cast<SimdLevel>(k));
        }
    }
    return level;
}

}  // namespace

const char* SimdLevelName(SimdLevel level) { return kLevelNames[static_cast<int>(level)]; }

SimdLevel SupportedSimdLevel() {
    static const SimdLevel supported = Lower(DetectLevel(), BuiltLevel());
    return supported;
}

const Kernels& KernelsOf(SimdLevel level) {
    switch (Lower(level, SupportedSimdLevel())) {
#if defined(LUMTRAX_SIMD_X86)
        case SimdLevel::kSse2:
            return kSse2Kernels;
        case SimdLevel::kSsse3:
            return kSsse3Kernels;
        case SimdLevel::kAvx2:
            return kAvx2Kernels;
#endif
#if defined(LUMTRAX_KERNELS_AVX512)
        case SimdLevel::kAvx512:
            return kAvx512Kernels;
#endif
        default:
            return kScalarKernels;
    }
}

const Kernels& ActiveKernels() {
    static const Kernels& active = KernelsOf(ChooseLevel());
    return active;
}

}  // namespace lumtrax
