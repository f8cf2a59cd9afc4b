// Decoding and encoding jobs of a data set, writing them in input order,
// and the report (dataset.h).
#include <cstdio>
#include <memory>

#include "dataset.h"
#include "failure.h"

namespace lumtrax_cli {
namespace {

using lumtrax::dataset::IssueKind;
using lumtrax::dataset::RowCode;
using lumtrax::dataset::RowFormat;

// Issues shown in full; the rest are counted.
constexpr std::size_t kShownIssues = 5;

// Each worker's own decoder or encoder, made on its first job.
struct WorkerState {
    std::unique_ptr<lumtrax::dataset::RecordDecoder> decoder;
    std::unique_ptr<lumtrax::dataset::RecordEncoder> encoder;
    std::string header;  // the CSV header the encoder has
    bool has_header = false;
};

lumtrax::dataset::DecodeOptions DecodeOptionsOf(const DatasetSettings& settings) {
    lumtrax::dataset::DecodeOptions options;
    options.format = settings.rows;
    options.code = settings.code;
    options.text_errors = settings.text_errors;
    options.trim = settings.trim;
    options.keep_issues = kShownIssues;
    return options;
}

void Decode(const DatasetSettings& settings, const std::shared_ptr<const lumtrax::dataset::Layout>& layout,
            WorkerState& state, DatasetJob& job) {
    if (!state.decoder) {
        state.decoder = std::make_unique<lumtrax::dataset::RecordDecoder>(layout, DecodeOptionsOf(settings));
    }
    lumtrax::dataset::RecordDecoder& decoder = *state.decoder;
    decoder.ClearReport();
    std::size_t start = 0;
    for (std::size_t k = 0; k < job.ends.size(); ++k) {
        const std::string_view record(job.input.data() + start, job.ends[k] - start);
        const lumtrax::dataset::Error error = decoder.Decode(record, job.numbers[k], job.output);
        if (!error.ok()) throw Failure(kExitInputOutput, *job.name + ": " + error.message);
        start = job.ends[k];
    }
    job.report = decoder.report();
}

void Encode(const DatasetSettings& settings, const std::shared_ptr<const lumtrax::dataset::Layout>& layout,
            WorkerState& state, DatasetJob& job) {
    using lumtrax::dataset::RecordFormat;
    if (!state.encoder) {
        lumtrax::dataset::EncodeOptions options;
        options.format = settings.rows;
        options.code = settings.code;
        options.text_errors = settings.text_errors;
        options.variable_length = settings.framing.format == RecordFormat::kVariable ||
                                  settings.framing.format == RecordFormat::kVariableBlocked;
        state.encoder = std::make_unique<lumtrax::dataset::RecordEncoder>(layout, options);
    }
    lumtrax::dataset::RecordEncoder& encoder = *state.encoder;
    if (settings.rows == RowFormat::kCsv && !job.ends.empty() && (!state.has_header || state.header != job.header)) {
        const lumtrax::dataset::Error error = encoder.SetHeader(job.header);
        if (!error.ok()) throw Failure(kExitInputOutput, *job.name + ": the header row: " + error.message);
        state.header = job.header;
        state.has_header = true;
    }
    const std::uint64_t replaced = encoder.replaced_text();
    std::size_t start = 0;
    for (std::size_t k = 0; k < job.ends.size(); ++k) {
        const std::string_view row(job.input.data() + start, job.ends[k] - start);
        const lumtrax::dataset::Error error = encoder.Encode(row, job.first_row + k, job.output);
        if (!error.ok()) {
            // The records before it are written; then this failure ends the command.
            job.error = std::make_exception_ptr(Failure(kExitInputOutput, *job.name + ": " + error.message));
            break;
        }
        job.output_ends.push_back(job.output.size());
        start = job.ends[k];
    }
    job.replaced = encoder.replaced_text() - replaced;
}

const char* IssueText(IssueKind kind, RowCode code) {
    switch (kind) {
        case IssueKind::kBadDigit:
            return "a byte that is no digit";
        case IssueKind::kBadSign:
            return "no sign that its picture allows";
        case IssueKind::kBadNibble:
            return "a packed nibble that is no digit, or a pad nibble that is not 0";
        case IssueKind::kBadText:
            return code == RowCode::kShiftJis ? "text that has no Shift-JIS form" : "text that has no Unicode form";
        case IssueKind::kShortRecord:
            return "the record ends inside it";
        case IssueKind::kBadCounter:
            return "an OCCURS DEPENDING ON counter outside its bounds";
    }
    return "a bad value";
}

}  // namespace

void ConvertDatasetJob(const DatasetSettings& settings, const std::shared_ptr<const lumtrax::dataset::Layout>& layout,
                       DatasetJob& job) noexcept {
    thread_local WorkerState state;
    try {
        job.output.clear();
        job.output_ends.clear();
        if (settings.to_rows) {
            Decode(settings, layout, state, job);
        } else {
            Encode(settings, layout, state, job);
        }
    } catch (const Failure&) {
        job.error = std::current_exception();
    } catch (...) {
        job.error = std::make_exception_ptr(Failure(kExitInputOutput, *job.name + ": out of memory"));
    }
}

DatasetWriter::DatasetWriter(const DatasetSettings& settings,
                             const std::shared_ptr<const lumtrax::dataset::Layout>& layout, Output& output)
    : settings_(settings), output_(output), framer_(settings.framing) {
    if (settings.to_rows && settings.rows == RowFormat::kCsv) {
        lumtrax::dataset::RecordDecoder decoder(layout, DecodeOptionsOf(settings));
        const lumtrax::dataset::Error error = decoder.AppendHeader(header_);
        if (!error.ok()) throw Failure(kExitInputOutput, error.message);
    }
}

void DatasetWriter::Write(DatasetJob& job) {
    if (settings_.to_rows) {
        if (!header_written_) {
            output_.Write(header_);
            header_written_ = true;
        }
        output_.Write(job.output);
        for (const lumtrax::dataset::Issue& issue : job.report.first) {
            if (first_.size() >= kShownIssues) break;
            first_.push_back({issue, *job.name});
        }
        total_.Add(job.report, 0);
        skipped_ += job.skipped;
        skipped_bytes_ += job.skipped_bytes;
    } else {
        framed_.clear();
        std::size_t start = 0;
        for (const std::size_t end : job.output_ends) {
            ++records_;
            const lumtrax::dataset::Error error =
                framer_.Write(std::string_view(job.output).substr(start, end - start), framed_);
            if (!error.ok()) {
                output_.Write(framed_);
                throw Failure(kExitInputOutput,
                              *job.name + ": record " + std::to_string(records_) + ": " + error.message);
            }
            start = end;
        }
        output_.Write(framed_);
        replaced_ += job.replaced;
    }
    if (job.error) std::rethrow_exception(job.error);
}

void DatasetWriter::Finish() {
    if (settings_.to_rows) {
        if (!header_written_) output_.Write(header_);
        header_written_ = true;
        return;
    }
    framed_.clear();
    const lumtrax::dataset::Error error = framer_.Finish(framed_);
    if (!error.ok()) throw Failure(kExitInputOutput, error.message);
    output_.Write(framed_);
}

int DatasetWriter::Report() const {
    bool lossy = false;
    if (!settings_.to_rows) {
        if (replaced_ > 0) {
            std::fprintf(stderr,
                         "lumtrax: %llu values had characters without a form in the host code, written as "
                         "substitutes\n",
                         static_cast<unsigned long long>(replaced_));
        }
        return replaced_ > 0 ? kExitGaijiReplaced : kExitOk;
    }
    for (const Place& place : first_) {
        const lumtrax::dataset::Issue& issue = place.issue;
        if (issue.kind == IssueKind::kShortRecord) {
            std::fprintf(stderr, "lumtrax: record %llu of %s is short: %s\n",
                         static_cast<unsigned long long>(issue.record), place.file.c_str(), issue.field.c_str());
            continue;
        }
        std::fprintf(stderr, "lumtrax: record %llu of %s, field %s (offset %zu, bytes %s): %s; null\n",
                     static_cast<unsigned long long>(issue.record), place.file.c_str(), issue.field.c_str(),
                     issue.offset, issue.bytes.c_str(), IssueText(issue.kind, settings_.code));
    }
    const auto count = [](std::uint64_t n) { return static_cast<unsigned long long>(n); };
    if (total_.invalid_fields > 0) {
        std::fprintf(stderr, "lumtrax: %llu field%s did not hold what %s picture says and %s null\n",
                     count(total_.invalid_fields), total_.invalid_fields == 1 ? "" : "s",
                     total_.invalid_fields == 1 ? "its" : "their", total_.invalid_fields == 1 ? "is" : "are");
        lossy = true;
    }
    if (total_.replaced_text > 0) {
        std::fprintf(stderr, "lumtrax: %llu text field%s had characters replaced by %s\n", count(total_.replaced_text),
                     total_.replaced_text == 1 ? "" : "s",
                     settings_.code == RowCode::kShiftJis ? "the substitute (a black square)" : "U+FFFD");
        lossy = true;
    }
    if (total_.short_records > 0) {
        std::fprintf(stderr, "lumtrax: %llu record%s shorter than the layout: the fields past the end are null\n",
                     count(total_.short_records), total_.short_records == 1 ? " is" : "s are");
        lossy = true;
    }
    if (skipped_ > 0) {
        std::fprintf(stderr, "lumtrax: %llu bad frame%s skipped (%llu bytes)\n", count(skipped_),
                     skipped_ == 1 ? "" : "s", count(skipped_bytes_));
        lossy = true;
    }
    if (total_.blank_numbers > 0) {
        std::fprintf(stderr, "lumtrax: note: %llu zoned number%s of spaces only: null\n", count(total_.blank_numbers),
                     total_.blank_numbers == 1 ? "" : "s");
    }
    if (total_.long_records > 0) {
        std::fprintf(stderr, "lumtrax: note: %llu record%s longer than the layout: the bytes past it are not read\n",
                     count(total_.long_records), total_.long_records == 1 ? " is" : "s are");
    }
    return lossy ? kExitGaijiReplaced : kExitOk;
}

}  // namespace lumtrax_cli
