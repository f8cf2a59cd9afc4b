// UTF-8 into a host code (or Shift-JIS) and back: text that has a form in
// the code comes back as the mapping's normal form, which goes there and
// back unchanged; and every kernel level gives the plain loop's bytes and
// outcome, whether the text converts or stops.
//
// The first byte picks the code and its variant (low nibble) and the
// mapping and the mode (high bits); the rest is the UTF-8, as it comes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "api/unicode_dispatch.h"
#include "codes/conversions.h"
#include "common/growth.h"
#include "gaiji/server_characters.h"
#include "simd/kernels.h"

namespace {

using lumtrax::ConversionRow;
using lumtrax::UnicodeOptions;
using lumtrax::UnicodeOutcome;
using Bytes = std::vector<std::uint8_t>;

// The rows between UTF-8 and each code: {from UTF-8, to UTF-8}.
struct Pair {
    const ConversionRow* encode = nullptr;
    const ConversionRow* decode = nullptr;
};

std::vector<Pair> Pairs() {
    std::vector<Pair> pairs;
    for (const ConversionRow& there : lumtrax::kConversions) {
        if (there.source != lumtrax::SourceCode::kUtf8 || !lumtrax::IsUnicodeConversion(there)) continue;
        for (const ConversionRow& back : lumtrax::kConversions) {
            if (back.target == lumtrax::SourceCode::kUtf8 && back.source == there.target &&
                back.table_set == there.table_set) {
                pairs.push_back({&there, &back});
            }
        }
    }
    return pairs;
}

struct Run {
    Bytes out;
    UnicodeOutcome outcome;
};

Run Convert(const ConversionRow& row, const Bytes& src, const UnicodeOptions& options,
            const lumtrax::Kernels& kernels) {
    Run run;
    run.out.resize(lumtrax::DestinationCapacity(row.growth, src.size()));
    run.outcome = lumtrax::ConvertUnicode(row, src.data(), src.size(), options, kernels, run.out.data());
    run.out.resize(run.outcome.written);
    return run;
}

bool Same(const Run& a, const Run& b) {
    return a.out == b.out && a.outcome.failure == b.outcome.failure &&
           a.outcome.failure_offset == b.outcome.failure_offset &&
           a.outcome.failure_length == b.outcome.failure_length && a.outcome.gaiji == b.outcome.gaiji &&
           a.outcome.replaced_offset == b.outcome.replaced_offset &&
           a.outcome.replaced_length == b.outcome.replaced_length;
}

// The plain loop's run, checked against every level this machine has.
Run Checked(const ConversionRow& row, const Bytes& src, const UnicodeOptions& options) {
    const Run plain = Convert(row, src, options, lumtrax::KernelsOf(lumtrax::SimdLevel::kScalar));
    for (int level = 1; level <= static_cast<int>(lumtrax::SupportedSimdLevel()); ++level) {
        if (!Same(plain, Convert(row, src, options, lumtrax::KernelsOf(static_cast<lumtrax::SimdLevel>(level))))) {
            std::abort();
        }
    }
    return plain;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<Pair> pairs = Pairs();
    if (size == 0) return 0;
    const Pair& pair = pairs[data[0] % 16 % pairs.size()];
    UnicodeOptions options;
    options.mapping = (data[0] & 0x40) != 0 ? lumtrax::UnicodeMapping::kJis : lumtrax::UnicodeMapping::kCp932;
    options.errors = (data[0] & 0x80) != 0 ? lumtrax::ErrorMode::kReplace : lumtrax::ErrorMode::kStrict;
    options.site = &lumtrax::ServerSiteCharacters();
    const Bytes text(data + 1, data + size);

    const Run host = Checked(*pair.encode, text, options);
    // Only text with a form in the code, whole, makes the round trip.
    if (!host.outcome.ok() || host.outcome.replaced()) return 0;
    UnicodeOptions strict = options;
    strict.errors = lumtrax::ErrorMode::kStrict;
    const Run normal = Checked(*pair.decode, host.out, strict);
    if (!normal.outcome.ok() || normal.outcome.replaced()) std::abort();
    // The normal form is a fixed point: the same host bytes, the same text.
    const Run again = Checked(*pair.encode, normal.out, strict);
    if (!again.outcome.ok() || again.out != host.out) std::abort();
    return 0;
}
