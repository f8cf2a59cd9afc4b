#include "reader.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "failure.h"

namespace lumtrax_cli {
namespace {

// A chunk and its result then fit a core's cache, which is faster than
// larger chunks.
constexpr std::size_t kChunkSize = 256 << 10;

Failure TooLarge(const Settings& settings, const std::string& where, const std::string& size, const char* hint) {
    return Failure(kExitInputOutput, where + ": " + size + " is too large for one call (at most " +
                                         std::to_string(lumtrax::MaxTextSize(settings.conversion)) +
                                         " bytes for this conversion)" + hint);
}

Failure TooLarge(const Settings& settings, const std::string& name, const lumtrax::Place& place) {
    const std::string most = std::to_string(lumtrax::MaxTextSize(settings.conversion));
    if (settings.split == Split::kLines) {
        return TooLarge(settings, "line " + std::to_string(place.call) + " of " + name, "more than " + most + " bytes",
                        "; use --record");
    }
    return TooLarge(settings, name,
                    "from byte offset " + std::to_string(place.bytes.offset) + " on, more than " + most +
                        " bytes with a run of double-byte characters open throughout",
                    "; use --lines or --record");
}

lumtrax::SourceOptions SourceOptionsOf(const Settings& settings) {
    lumtrax::SourceOptions source;
    source.framing = settings.split == Split::kLines     ? lumtrax::Framing::kLines
                     : settings.split == Split::kRecords ? lumtrax::Framing::kRecords
                                                         : lumtrax::Framing::kWhole;
    source.record_size = settings.record_size;
    source.batch_size = ChunkSize();
    return source;
}

// A shorter last record is converted as it is, with a warning.
void WarnOfShortRecord(const Settings& settings, const Job& job) {
    if (settings.split != Split::kRecords || !job.batch.last || job.batch.ends.empty()) return;
    const std::size_t k = job.batch.ends.size() - 1;
    const std::size_t size = job.batch.ends[k] - (k == 0 ? 0 : job.batch.ends[k - 1]);
    if (size == settings.record_size) return;
    std::fprintf(stderr, "lumtrax: record %llu of %s has %zu bytes, not %zu; converted as it is\n",
                 static_cast<unsigned long long>(job.batch.first_call + k), job.name->c_str(), size,
                 settings.record_size);
}

// Touches every page of a mapped batch, so that the page faults are taken
// here, on the reader's thread, while the converters convert the batches
// before it.
void FaultIn(std::string_view text) {
    constexpr std::size_t kPage = 4096;
    volatile char sink = 0;
    for (std::size_t at = 0; at < text.size(); at += kPage) sink = static_cast<char>(sink + text[at]);
}

}  // namespace

std::size_t ChunkSize() {
    const char* value = std::getenv("LUMTRAX_CHUNK_SIZE");
    if (value == nullptr) return kChunkSize;
    char* end = nullptr;
    const unsigned long long n = std::strtoull(value, &end, 10);
    return end != value && *end == '\0' && n > 0 && n <= (64u << 20) ? n : kChunkSize;
}

bool Reader::Next(std::string& out, std::size_t max) {
    std::size_t n = 0;
    if (hex_) {
        raw_.clear();
        n = input_.Read(raw_, max, &stop_);
        decoder_.Decode(raw_, out, input_.name());
        if (n == 0) decoder_.Finish(input_.name());
    } else {
        n = input_.Read(out, max, &stop_);
    }
    progress_.Advance(n);
    return n > 0;
}

void Reader::Count(std::size_t bytes) { progress_.Advance(bytes); }

bool ReadInput(InputFile& input, const Settings& settings, Reader& reader, const Jobs& jobs) {
    lumtrax::SourceCutter cutter(settings.conversion, settings.options, SourceOptionsOf(settings));
    std::unique_ptr<Job> job = jobs.New(input);
    // Hands on the batches the cutter has ready; false when the pipeline stops.
    const auto hand_on = [&](bool at_end, bool mapped) {
        std::error_code error;
        while (cutter.Next(job->batch, at_end, error)) {
            if (mapped) {
                reader.Count(job->batch.texts().size());
                FaultIn(job->batch.texts());
            }
            WarnOfShortRecord(settings, *job);
            if (!jobs.submit(std::move(job))) return false;
            job = jobs.New(input);
        }
        if (error == lumtrax::Errc::kTooLong) throw TooLarge(settings, input.name(), cutter.error_place());
        if (error) throw Failure(kExitInputOutput, input.name() + ": " + error.message());
        return true;
    };
    // A regular file is mapped, and the batches are views of it: no copy.
    if (const std::string_view mapped = settings.hex_in ? std::string_view() : input.Map(); !mapped.empty()) {
        cutter.SetSource(mapped);
        return hand_on(true, true);
    }
    for (bool more = true; more;) {
        try {
            more = reader.Next(cutter.input(), cutter.wanted());
        } catch (const Failure&) {
            // What was read whole before the error is converted and written.
            while (cutter.Salvage(job->batch) && jobs.submit(std::move(job))) job = jobs.New(input);
            throw;
        }
        if (!hand_on(!more, false)) return false;
    }
    return true;
}

}  // namespace lumtrax_cli
