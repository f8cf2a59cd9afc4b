// Throughput of lumtrax's conversions to and from Unicode against ICU and
// glibc iconv on the same texts, their samples taken in turn in one loop
// (harness.cpp). See bench/README.md, "The Unicode conversions".
//
// The conversions are the rows of the table of conversion types from 32 on,
// reached through their dispatcher (api/unicode_dispatch.h), which the C
// interface does not export: this program links the C++ library's core.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "api/unicode_dispatch.h"
#include "codes/conversions.h"
#include "corpus.h"
#include "harness.h"
#include "lumtrax.h"
#include "lumtrax.hpp"
#include "rivals.h"

namespace {

using corpus::Bytes;

constexpr std::size_t kTextSize = 4u << 20;

// The conversions measured, by name; the Unicode text of an encoding is the
// one the row of the same form makes of the Shift-JIS text.
const char* const kRows[] = {"sjis_to_utf8",      "ebcdic_to_utf8",   "eightbit_to_utf8", "euc_to_utf8",
                             "utf8_to_sjis",      "utf8_to_ebcdic",   "utf8_to_eightbit", "utf8_to_euc",
                             "ebcdic_to_utf16le", "utf16le_to_ebcdic"};

const lumtrax::ConversionRow& Row(const std::string& name) {
    for (const lumtrax::ConversionRow& row : lumtrax::kConversions) {
        if (name == row.name) return row;
    }
    throw std::runtime_error("no row " + name);
}

struct Records {
    Bytes arena;
    std::vector<std::size_t> starts, lengths;
    std::size_t bytes = 0;
    void Add(const std::uint8_t* text, std::size_t len) {
        starts.push_back(arena.size());
        lengths.push_back(len);
        arena.insert(arena.end(), text, text + len);
        bytes += len;
    }
    const std::uint8_t* at(std::size_t k) const { return arena.data() + starts[k]; }
};

struct Text {
    Bytes whole;
    Records records;
};

std::uint8_t* Destination() {
    static std::vector<std::uint8_t> dst(5 * kTextSize + 4096);
    return dst.data();
}
constexpr std::size_t kDestinationSize = 5 * kTextSize + 4096;

template <typename Convert>
Text Transform(const Text& from, Convert convert, const std::string& what) {
    Text to;
    std::uint8_t* dst = Destination();
    const long n = convert(dst, from.whole.data(), from.whole.size());
    if (n < 0) throw std::runtime_error(what + ": a source text did not convert");
    to.whole.assign(dst, dst + n);
    for (std::size_t k = 0; k < from.records.starts.size(); ++k) {
        const long m = convert(dst, from.records.at(k), from.records.lengths[k]);
        if (m < 0) throw std::runtime_error(what + ": a source record did not convert");
        to.records.Add(dst, static_cast<std::size_t>(m));
    }
    return to;
}

auto ByRow(const lumtrax::ConversionRow& row) {
    return [&row](std::uint8_t* dst, const std::uint8_t* src, std::size_t len) -> long {
        const lumtrax::UnicodeOutcome o = lumtrax::ConvertUnicode(row, src, len, {}, dst);
        return o.ok() && !o.replaced() ? static_cast<long>(o.written) : -1;
    };
}

// Through the plain export (single bytes close runs), the text followed by
// its 00.
auto ByType(int type) {
    return [type](std::uint8_t* dst, const std::uint8_t* src, std::size_t len) -> long {
        Bytes terminated(src, src + len);
        terminated.push_back(0x00);
        int status = 0;
        const int n = Lumtrax(type, dst, terminated.data(), LUMTRAX_LINE_END_KEEP, &status);
        return status == LUMTRAX_GAIJI_NONE ? n : -1;
    };
}

auto ByRival(rivals::Converter& converter) {
    return [&converter](std::uint8_t* dst, const std::uint8_t* src, std::size_t len) -> long {
        return converter.Convert(dst, kDestinationSize, src, len);
    };
}

struct RivalJob {
    std::string name;  // "icu" or "iconv"
    std::unique_ptr<rivals::Converter> converter;
    Text source;
};

struct Workload {
    corpus::Kind kind;
    Text sjis, ebcdic, eightbit, euc, utf8, utf16le;
    std::vector<std::pair<std::string, RivalJob>> rivals;  // by the row they stand beside

    const Text& SourceOf(const lumtrax::ConversionRow& row) const {
        switch (row.source) {
            case lumtrax::SourceCode::kEbcdicHost:
                return ebcdic;
            case lumtrax::SourceCode::kEightBitHost:
                return eightbit;
            case lumtrax::SourceCode::kEuc:
                return euc;
            case lumtrax::SourceCode::kUtf8:
                return utf8;
            case lumtrax::SourceCode::kUtf16Le:
                return utf16le;
            default:
                return sjis;
        }
    }
};

// A rival's pair of jobs beside a decoding and an encoding row: the
// encoding reads the Unicode text, the decoding the text the rival made of
// it, so that each converts text it understands.
void AddRivals(Workload& w, const char* name, const std::string& decode_row, const std::string& encode_row,
               const Text& unicode, std::unique_ptr<rivals::Converter> out, std::unique_ptr<rivals::Converter> back) {
    Text own = Transform(unicode, ByRival(*out), out->Describe());
    if (Transform(own, ByRival(*back), back->Describe()).whole != unicode.whole) {
        std::fprintf(stderr, "note: %s and back does not give the text again\n", out->Describe().c_str());
    }
    w.rivals.push_back({encode_row, RivalJob{name, std::move(out), unicode}});
    w.rivals.push_back({decode_row, RivalJob{name, std::move(back), std::move(own)}});
}

Workload MakeWorkload(corpus::Kind kind) {
    Workload w;
    w.kind = kind;
    w.sjis.whole = corpus::MakeText(kind, kTextSize);
    for (const Bytes& record : corpus::SplitRecords(w.sjis.whole)) w.sjis.records.Add(record.data(), record.size());
    w.ebcdic = Transform(w.sjis, ByType(LUMTRAX_SJIS_TO_EBCDIC), "type 0");
    w.eightbit = Transform(w.sjis, ByType(LUMTRAX_SJIS_TO_8BIT), "type 2");
    w.euc = Transform(w.sjis, ByType(LUMTRAX_SJIS_TO_EUC), "type 3");
    w.utf8 = Transform(w.sjis, ByRow(Row("sjis_to_utf8")), "sjis_to_utf8");
    w.utf16le = Transform(w.sjis, ByRow(Row("sjis_to_utf16le")), "sjis_to_utf16le");
    // Every row measured must give its form of the same content.
    for (const char* name : kRows) {
        const lumtrax::ConversionRow& row = Row(name);
        const Text out = Transform(w.SourceOf(row), ByRow(row), name);
        const Text& want = lumtrax::IsUnicode(row.target)
                               ? (row.target == lumtrax::SourceCode::kUtf8 ? w.utf8 : w.utf16le)
                           : row.target == lumtrax::SourceCode::kEbcdicHost   ? w.ebcdic
                           : row.target == lumtrax::SourceCode::kEightBitHost ? w.eightbit
                           : row.target == lumtrax::SourceCode::kEuc          ? w.euc
                                                                              : w.sjis;
        if (out.whole != want.whole) std::fprintf(stderr, "note: %s does not give the expected text\n", name);
    }
    AddRivals(w, "icu", "ebcdic_to_utf8", "utf8_to_ebcdic", w.utf8, rivals::OpenIcu("UTF-8", "ibm-939_P120-1999"),
              rivals::OpenIcu("ibm-939_P120-1999", "UTF-8"));
    AddRivals(w, "icu", "sjis_to_utf8", "utf8_to_sjis", w.utf8, rivals::OpenIcu("UTF-8", "ibm-943_P15A-2003"),
              rivals::OpenIcu("ibm-943_P15A-2003", "UTF-8"));
    AddRivals(w, "icu", "euc_to_utf8", "utf8_to_euc", w.utf8, rivals::OpenIcu("UTF-8", "euc-jp-2007"),
              rivals::OpenIcu("euc-jp-2007", "UTF-8"));
    AddRivals(w, "icu", "ebcdic_to_utf16le", "utf16le_to_ebcdic", w.utf16le,
              rivals::OpenIcu("UTF-16LE", "ibm-939_P120-1999"), rivals::OpenIcu("ibm-939_P120-1999", "UTF-16LE"));
    AddRivals(w, "iconv", "sjis_to_utf8", "utf8_to_sjis", w.utf8, rivals::OpenIconv("UTF-8", "CP932"),
              rivals::OpenIconv("CP932", "UTF-8"));
    AddRivals(w, "iconv", "euc_to_utf8", "utf8_to_euc", w.utf8, rivals::OpenIconv("UTF-8", "EUC-JP"),
              rivals::OpenIconv("EUC-JP", "UTF-8"));
    return w;
}

template <typename T>
inline void Keep(T value) {
    asm volatile("" : : "r"(value) : "memory");
}

std::function<void()> WholePass(const Text& text, const lumtrax::ConversionRow& row) {
    return [&text, &row] {
        Keep(lumtrax::ConvertUnicode(row, text.whole.data(), text.whole.size(), {}, Destination()).written);
    };
}

std::function<void()> RecordsPass(const Text& text, const lumtrax::ConversionRow& row) {
    return [&text, &row] {
        std::uint8_t* dst = Destination();
        for (std::size_t k = 0; k < text.records.starts.size(); ++k) {
            Keep(lumtrax::ConvertUnicode(row, text.records.at(k), text.records.lengths[k], {}, dst).written);
        }
    };
}

std::function<void()> WholeRival(RivalJob& job) {
    return [&job] {
        Keep(job.converter->Convert(Destination(), kDestinationSize, job.source.whole.data(), job.source.whole.size()));
    };
}

std::function<void()> RecordsRival(RivalJob& job) {
    return [&job] {
        std::uint8_t* dst = Destination();
        const Records& records = job.source.records;
        for (std::size_t k = 0; k < records.starts.size(); ++k) {
            Keep(job.converter->Convert(dst, kDestinationSize, records.at(k), records.lengths[k]));
        }
    };
}

void AddJobs(std::vector<harness::Job>& jobs, Workload& w) {
    const std::string text = corpus::Name(w.kind);
    for (const char* scope : {"whole", "records"}) {
        const bool records = std::strcmp(scope, "records") == 0;
        for (const char* name : kRows) {
            const lumtrax::ConversionRow& row = Row(name);
            const Text& source = w.SourceOf(row);
            harness::Job job{std::string(scope) + "/" + text + "/" + name,
                             records ? w.sjis.records.bytes : w.sjis.whole.size(),
                             records ? w.sjis.records.starts.size() : 1,
                             {}};
            job.contenders.push_back({"lumtrax", records ? RecordsPass(source, row) : WholePass(source, row)});
            for (auto& [beside, rival] : w.rivals) {
                if (beside == name) {
                    job.contenders.push_back({rival.name, records ? RecordsRival(rival) : WholeRival(rival)});
                }
            }
            jobs.push_back(std::move(job));
        }
    }
}

const harness::Measurement* Find(const std::vector<harness::Measurement>& all, const std::string& job,
                                 const std::string& converter) {
    for (const harness::Measurement& m : all) {
        if (m.job == job && m.converter == converter) return &m;
    }
    return nullptr;
}

void PrintTables(const std::vector<harness::Measurement>& all) {
    for (const char* scope : {"whole", "records"}) {
        const bool records = std::strcmp(scope, "records") == 0;
        std::printf("\n%s: MB/s of Shift-JIS text%s; lumtrax / rival\n\n",
                    records ? "Records of 20-200 bytes" : "Whole text", records ? " and ns per call" : "");
        std::printf("| text | conversion | lumtrax MB/s |%s ICU MB/s | / ICU | iconv MB/s | / iconv |\n",
                    records ? " ns/call |" : "");
        std::printf("|---|---|---:|%s---:|---:|---:|---:|\n", records ? "---:|" : "");
        for (const char* text : {"japanese", "ascii", "kanji"}) {
            for (const char* name : kRows) {
                const std::string job = std::string(scope) + "/" + text + "/" + name;
                const harness::Measurement* ours = Find(all, job, "lumtrax");
                if (ours == nullptr) continue;
                const double rate = static_cast<double>(ours->bytes) / ours->median / 1e6;
                std::printf("| %s | %s | %.0f |", text, name, rate);
                if (records) std::printf(" %.1f |", ours->median / static_cast<double>(ours->calls) * 1e9);
                for (const char* rival : {"icu", "iconv"}) {
                    const harness::Measurement* other = Find(all, job, rival);
                    if (other == nullptr) {
                        std::printf(" - | - |");
                    } else {
                        std::printf(" %.0f | %.1fx |", static_cast<double>(other->bytes) / other->median / 1e6,
                                    other->median / ours->median);
                    }
                }
                std::printf("\n");
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    harness::Options options;
    int exit_code = 0;
    if (!harness::ParseOptions(argc, argv, &options, &exit_code)) return exit_code;
    const std::string level = lumtrax::ActiveSimdLevel();
    if (options.level_only) {
        std::printf("%s\n", level.c_str());
        return 0;
    }
    std::printf("lumtrax_unicode_bench\nSIMD level: %s\nCPU: %s\nLoad average before: %s\n", level.c_str(),
                harness::CpuModel().c_str(), harness::LoadAverage().c_str());
    std::vector<std::unique_ptr<Workload>> workloads;
    std::vector<harness::Job> jobs;
    try {
        for (corpus::Kind kind : {corpus::Kind::kJapanese, corpus::Kind::kAscii, corpus::Kind::kKanji}) {
            workloads.push_back(std::make_unique<Workload>(MakeWorkload(kind)));
            AddJobs(jobs, *workloads.back());
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lumtrax_unicode_bench: %s\n", e.what());
        return 1;
    }
    std::fflush(stdout);
    const std::vector<harness::Measurement> measurements = harness::Run(jobs, options);
    PrintTables(measurements);
    std::printf("\nLoad average after: %s\n", harness::LoadAverage().c_str());
    if (!options.tsv_path.empty() && !harness::WriteTsv(options.tsv_path, level, measurements)) return 1;
    return 0;
}
