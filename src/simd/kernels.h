// The block kernels: the fast paths of the conversions, one set per
// instruction-set level, chosen once per process.
//
// Each conversion is a plain loop over units (src/to_host/, src/to_sjis/),
// the reference for what it writes. A kernel takes the loop's cursor at a
// unit boundary, converts as many whole units as it can a block at a time,
// exactly as the loop would, and hands the cursor back at a unit boundary:
// at the first unit it leaves to the loop (a gaiji, which goes to the gaiji
// server in order, an escape, a line end the mode rewrites, an LRSS
// placeholder, a shift code in an odd place), or at the end of the text.
// The loop then converts that one unit and calls the kernel again.
//
// A kernel may write past what it hands back, up to cursor.out_end: those
// bytes are written again by what follows, or lie past the terminator.
//
// The kernels of the conversions to and from Unicode (to_unicode/,
// from_unicode/) read nothing past the counted text (cursor.n), and take
// only units whose result is a character of the mapping: no gaiji, no unit
// without a form, no site character, no invalid text.
#ifndef LUMTRAX_SIMD_KERNELS_H
#define LUMTRAX_SIMD_KERNELS_H

#include <cstdint>

#include "codes/eightbit_host.h"
#include "common/cursor.h"
#include "common/modes.h"
#include "tables/host_tables.h"
#include "codes/unicode_units.h"

namespace lumtrax {

// The levels, each a superset of the one before. kAvx512 needs AVX-512 F, BW,
// VL, VBMI and VBMI2 with BMI2, and the operating system's support of their
// state; it is built on 64-bit targets only.
enum class SimdLevel : int { kScalar, kSse2, kSsse3, kAvx2, kAvx512 };

// What a kernel of a conversion to Unicode looks units up by.
struct ToUnicodeTables {
    const std::uint16_t* units;  // the mapping's UnitScalars (codes/unicode_units.h)
    std::uint16_t singles;       // where the source code's single bytes begin there
    bool stops_at_gaiji;         // the site gives gaiji characters: a gaiji-class pair is the plain loop's
};

// What a kernel of a conversion from Unicode writes by.
struct FromUnicodeTables {
    const std::uint16_t* codes;  // the mapping's DirectCodes (from_unicode/direct_codes.h)
    const SingleForms* singles;  // the target's single bytes
    const ByteTable* table;      // the EBCDIC host code's single bytes (of ASCII), or null
    unsigned code_width;         // 1 or 2 for the shift codes or sequences written, 0 for none
    std::uint8_t open[2];
    std::uint8_t close[2];
    bool keeps_line_ends;  // CR LF is written as CR LF: a CR is a single byte like any other
    bool stops_at_site;    // the site gives characters: one that may begin a site character is the plain loop's
};

struct Kernels {
    SimdLevel level;
    // Types 0 and 1, by their table; 2 and 10, by their start sequence; 3.
    void (*sjis_to_ebcdic)(Cursor& c, const ByteTable& table, const CallMode& mode);
    void (*sjis_to_eightbit)(Cursor& c, StartSequence start, const CallMode& mode);
    void (*sjis_to_euc)(Cursor& c, LineEndMode line_end);
    // Types 4 and 5, by their table; 6; 7.
    void (*ebcdic_to_sjis)(Cursor& c, const ByteTable& table, ShiftMode mode);
    void (*eightbit_to_sjis)(Cursor& c, ShiftMode mode);
    void (*euc_to_sjis)(Cursor& c);
    // The conversions to Unicode, by source code (Shift-JIS, EBCDIC, 8-bit,
    // EUC: SourceCode 0-3) and form (UnicodeForm); and from Unicode, by
    // form and target code. The cursor's in_run is the host code's run.
    void (*to_unicode[4][3])(Cursor& c, const ToUnicodeTables& t);
    void (*from_unicode[3][4])(Cursor& c, const FromUnicodeTables& t);
};

// The name of a level: "scalar", "sse2", "ssse3", "avx2", "avx512".
const char* SimdLevelName(SimdLevel level);

// The highest level this build has kernels for and this CPU and operating
// system can run.
SimdLevel SupportedSimdLevel();

// The kernels of a level this process can run (SupportedSimdLevel or
// below); kScalar has none, and its conversions are the plain loops alone.
const Kernels& KernelsOf(SimdLevel level);

// The kernels the conversions use: the supported level, capped by the
// environment variable LUMTRAX_SIMD (one of the names above) when it is set.
// Chosen on the first call, once per process. The level changes only the
// speed, never a result.
const Kernels& ActiveKernels();

}  // namespace lumtrax

#endif  // LUMTRAX_SIMD_KERNELS_H
