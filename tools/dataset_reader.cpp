// Reading a data set's records, or its rows, into jobs (dataset.h).
#include <cstdio>
#include <memory>

#include "dataset.h"
#include "failure.h"
#include "reader.h"

namespace lumtrax_cli {
namespace {

using lumtrax::dataset::ReadStatus;
using lumtrax::dataset::RecordReader;

std::unique_ptr<DatasetJob> NewJob(DatasetPipeline& pipeline, const std::string& name) {
    std::unique_ptr<DatasetJob> job = pipeline.Spare();
    job->Clear(name);
    return job;
}

// Records of one data set: framed as they come, copied into jobs of about a
// chunk's size. A bad frame ends the input after the records before it.
class RecordJobs {
public:
    RecordJobs(InputFile& input, const Settings& settings, DatasetPipeline& pipeline,
               const DatasetPipeline::Submit& submit)
        : input_(input),
          framer_(settings.dataset.framing),
          pipeline_(pipeline),
          submit_(submit),
          job_(NewJob(pipeline, input.name())) {}

    // Hands on the records framed so far; false when the pipeline stops.
    bool Take() {
        std::string_view record;
        ReadStatus status;
        while ((status = framer_.Next(record)) == ReadStatus::kRecord) {
            job_->input.append(record.data(), record.size());
            job_->ends.push_back(job_->input.size());
            job_->numbers.push_back(framer_.record_number());
            if (job_->input.size() >= ChunkSize() && !Submit()) return false;
        }
        if (status == ReadStatus::kError) Fail(framer_.error());
        return true;
    }
    void Feed(const std::string& piece) {
        const lumtrax::dataset::Error error = framer_.Feed(piece);
        if (!error.ok()) Fail(error);
    }
    void Finish() {
        const lumtrax::dataset::Error error = framer_.Finish();
        if (!error.ok()) Fail(error);
    }
    bool Submit() {
        job_->skipped = framer_.skipped() - skipped_;
        job_->skipped_bytes = framer_.skipped_bytes() - skipped_bytes_;
        skipped_ = framer_.skipped();
        skipped_bytes_ = framer_.skipped_bytes();
        if (!submit_(std::move(job_))) return false;
        job_ = NewJob(pipeline_, input_.name());
        return true;
    }

private:
    // What was framed before the error is written first (the pipeline
    // writes the jobs before the reader's exception).
    [[noreturn]] void Fail(const lumtrax::dataset::Error& error) {
        Submit();
        throw Failure(kExitInputOutput, input_.name() + ": " + error.message);
    }

    InputFile& input_;
    RecordReader framer_;
    DatasetPipeline& pipeline_;
    const DatasetPipeline::Submit& submit_;
    std::unique_ptr<DatasetJob> job_;
    std::uint64_t skipped_ = 0;
    std::uint64_t skipped_bytes_ = 0;
};

bool ReadRecords(InputFile& input, const Settings& settings, Reader& reader, DatasetPipeline& pipeline,
                 const DatasetPipeline::Submit& submit) {
    RecordJobs jobs(input, settings, pipeline, submit);
    std::string piece;
    for (;;) {
        piece.clear();
        bool more = false;
        try {
            more = reader.Next(piece, ChunkSize());
        } catch (const Failure&) {
            jobs.Submit();  // the whole records read before a read error
            throw;
        }
        if (!more) break;
        jobs.Feed(piece);
        if (!jobs.Take()) return false;
    }
    jobs.Finish();
    return jobs.Take() && jobs.Submit();
}

// Rows: JSON lines, or CSV records after their header row.
bool ReadRows(InputFile& input, const Settings& settings, Reader& reader, DatasetPipeline& pipeline,
              const DatasetPipeline::Submit& submit) {
    const lumtrax::dataset::RowFormat format = settings.dataset.rows;
    bool header_pending = format == lumtrax::dataset::RowFormat::kCsv;
    std::string header;
    std::string held;
    std::size_t begin = 0;  // held[begin, end) is not yet split
    std::uint64_t next_row = 1;
    std::unique_ptr<DatasetJob> job = NewJob(pipeline, input.name());
    const auto hand_on = [&]() {
        job->header = header;
        const std::uint64_t rows = job->ends.size();
        if (!submit(std::move(job))) return false;
        next_row += rows;
        job = NewJob(pipeline, input.name());
        job->first_row = next_row;
        return true;
    };
    job->first_row = next_row;
    for (bool more = true; more;) {
        try {
            more = reader.Next(held, ChunkSize());
        } catch (const Failure&) {
            hand_on();  // the whole rows read before a read error
            throw;
        }
        std::string_view text(held.data() + begin, held.size() - begin);
        std::string_view row;
        while (lumtrax::dataset::NextRow(format, text, row, !more)) {
            if (header_pending) {
                header.assign(row.data(), row.size());
                header_pending = false;
                continue;
            }
            job->input.append(row.data(), row.size());
            job->ends.push_back(job->input.size());
            if (job->input.size() >= ChunkSize() && !hand_on()) return false;
        }
        begin = held.size() - text.size();
        if (begin >= held.size() / 2) {  // keep the unsplit rest only
            held.erase(0, begin);
            begin = 0;
        }
    }
    return hand_on();
}

}  // namespace

std::shared_ptr<const lumtrax::dataset::Layout> ReadLayout(const DatasetSettings& settings) {
    std::FILE* file = std::fopen(settings.copybook.c_str(), "rb");
    if (file == nullptr) throw Failure(kExitInputOutput, settings.copybook + ": cannot read the copybook");
    std::string text;
    char buffer[1 << 14];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) throw Failure(kExitInputOutput, settings.copybook + ": cannot read the copybook");
    lumtrax::dataset::LayoutResult result = lumtrax::dataset::ParseCopybook(text, settings.layout);
    if (!result.layout) throw Failure(kExitInputOutput, settings.copybook + ": " + result.error.message);
    return result.layout;
}

bool ReadDatasetInput(InputFile& input, const Settings& settings, Progress& progress, DatasetPipeline& pipeline,
                      const DatasetPipeline::Submit& submit) {
    Reader reader(input, settings.hex_in, progress, pipeline.stopping());
    return settings.dataset.to_rows ? ReadRecords(input, settings, reader, pipeline, submit)
                                    : ReadRows(input, settings, reader, pipeline, submit);
}

}  // namespace lumtrax_cli
