#include "writer.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <string>

#include "failure.h"
#include "hex.h"

namespace lumtrax_cli {
namespace {

// The errors of the conversions to and from Unicode, after which the result
// holds the text before the bytes named.
bool StopsAtText(const std::error_code& error) {
    return error.category() == lumtrax::ErrorCategory() &&
           error.value() >= static_cast<int>(lumtrax::Errc::kNoUnicodeForm) &&
           error.value() <= static_cast<int>(lumtrax::Errc::kInvalidUtf16);
}

// Whether the bytes are U+FEFF in UTF-8 or UTF-16, which a file may begin with.
bool IsByteOrderMark(const Job& job, const lumtrax::Place& place) {
    const std::string_view texts = job.batch.texts();
    if (place.bytes.offset < job.batch.offset || place.bytes.offset - job.batch.offset >= texts.size()) return false;
    const std::string_view bytes = texts.substr(static_cast<std::size_t>(place.bytes.offset - job.batch.offset),
                                                static_cast<std::size_t>(place.bytes.length));
    return bytes == "\xEF\xBB\xBF" || bytes == "\xFF\xFE" || bytes == "\xFE\xFF";
}

// "notes.txt: line 3: bytes 10-12 (E2 80 94): the code has no code for this
// character", and what would convert it.
std::string TextError(const Settings& settings, const Job& job, const lumtrax::Place& place,
                      const std::error_code& error) {
    std::string message = *job.name + ": ";
    if (settings.split != Split::kWhole) {
        message += (settings.split == Split::kLines ? "line " : "record ") + std::to_string(place.call) + ": ";
    }
    const std::uint64_t first = place.bytes.offset;
    const std::uint64_t length = place.bytes.length > 0 ? place.bytes.length : 1;
    message += length == 1 ? "byte " + std::to_string(first)
                           : "bytes " + std::to_string(first) + "-" + std::to_string(first + length - 1);
    const std::string_view texts = job.batch.texts();
    if (first >= job.batch.offset && first - job.batch.offset < texts.size()) {
        constexpr std::size_t kShown = 8;
        const std::string_view bytes = texts.substr(static_cast<std::size_t>(first - job.batch.offset),
                                                    static_cast<std::size_t>(std::min<std::uint64_t>(length, kShown)));
        message += " (";
        AppendHex(bytes, message);
        message += length > kShown ? " ...)" : ")";
    }
    if (error == lumtrax::Errc::kNoCode) {
        message += std::string(": ") + CodeName(lumtrax::Describe(settings.conversion)->to) +
                   " has no code for this character";
        if (IsByteOrderMark(job, place)) return message + " (U+FEFF, a byte order mark: remove it first)";
    } else {
        message += ": " + error.message();
    }
    const bool invalid = error == lumtrax::Errc::kInvalidUtf8 || error == lumtrax::Errc::kInvalidUtf16;
    if (!invalid) message += "; --errors replace puts in a substitute";
    return message;
}

}  // namespace

void ConvertJob(const Settings& settings, Job& job) noexcept {
    try {
        thread_local std::string raw;
        // Without hex, a job's result is written over the output of its last
        // use, which thus need not be filled with zeros first.
        std::string& result = settings.hex_out ? raw : job.output;
        lumtrax::Place stop;
        const std::error_code error =
            lumtrax::ConvertBatch(settings.conversion, settings.options, job.batch, result, job.tally,
                                  settings.hex_out ? &job.result_ends : nullptr, &stop);
        if (error && !StopsAtText(error)) throw Failure(kExitInputOutput, *job.name + ": " + error.message());
        if (error) {
            // What came before the bytes is written, then the error reported.
            job.partial = true;
            job.error = std::make_exception_ptr(Failure(kExitInputOutput, TextError(settings, job, stop, error)));
        }
        if (!settings.hex_out) return;
        // One line of hex for each line or record; a whole file's pieces are
        // joined into one line by the writer.
        job.output.clear();
        const std::size_t whole_calls = job.result_ends.empty() ? 0 : job.result_ends.back();
        if (raw.size() > whole_calls) job.result_ends.push_back(raw.size());  // the call it stopped in
        std::size_t start = 0;
        for (const std::size_t end : job.result_ends) {
            AppendHex(std::string_view(raw).substr(start, end - start), job.output);
            if (settings.split != Split::kWhole) job.output += '\n';
            start = end;
        }
    } catch (...) {
        job.partial = false;
        job.error = std::current_exception();
    }
}

void Writer::Write(Job& job) {
    if (job.error && !job.partial) std::rethrow_exception(job.error);
    // A mapped input read 00 where it lost pages: nothing of it is written.
    if (job.input->mapped() && InputFile::Shrank()) {
        throw Failure(kExitInputOutput, *job.name + ": the file shrank while it was being read");
    }
    if (settings_.split == Split::kWhole && settings_.hex_out) {  // one line of hex for each file
        if (!job.output.empty() && line_open_) output_.Write(" ");
        output_.Write(job.output);
        line_open_ = line_open_ || !job.output.empty();
        if (job.batch.last) {
            output_.Write("\n");
            line_open_ = false;
        }
    } else {
        output_.Write(job.output);
    }
    if (job.error) {
        if (line_open_) output_.Write("\n");
        std::rethrow_exception(job.error);
    }
    if (!report_.replaced() && job.tally.replaced > 0) {
        lumtrax::LocateFirstReplaced(settings_.conversion, settings_.options, job.batch, job.tally);
    }
    report_.Add(job.tally, *job.name);
    job.input->Release(job.batch.offset + job.batch.texts().size());
}

}  // namespace lumtrax_cli
