#include "writer.h"

#include <exception>
#include <string>

#include "failure.h"
#include "hex.h"

namespace lumtrax_cli {

void ConvertJob(const Settings& settings, Job& job) noexcept {
    try {
        thread_local std::string raw;
        // Without hex, a job's result is written over the output of its last
        // use, which thus need not be filled with zeros first.
        std::string& result = settings.hex_out ? raw : job.output;
        const std::error_code error = lumtrax::ConvertBatch(settings.conversion, settings.options, job.batch, result,
                                                            job.tally, settings.hex_out ? &job.result_ends : nullptr);
        if (error) throw Failure(kExitInputOutput, *job.name + ": " + error.message());
        if (!settings.hex_out) return;
        // One line of hex for each line or record; a whole file's pieces are
        // joined into one line by the writer.
        job.output.clear();
        std::size_t start = 0;
        for (const std::size_t end : job.result_ends) {
            AppendHex(std::string_view(raw).substr(start, end - start), job.output);
            if (settings.split != Split::kWhole) job.output += '\n';
            start = end;
        }
    } catch (...) {
        job.error = std::current_exception();
    }
}

void Writer::Write(Job& job) {
    if (job.error) std::rethrow_exception(job.error);
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
    if (!report_.replaced() && job.tally.replaced > 0) {
        lumtrax::LocateFirstReplaced(settings_.conversion, settings_.options, job.batch, job.tally);
    }
    report_.Add(job.tally, *job.name);
    job.input->Release(job.batch.offset + job.batch.texts().size());
}

}  // namespace lumtrax_cli
