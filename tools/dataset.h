// Host data sets in the command (--copybook): records to rows, or rows to
// records, on the command's pipeline. The reader frames records (or splits
// rows) into jobs of whole records or rows, the workers decode or encode
// them, each with a decoder or encoder of its own, and the writer writes the
// results in input order, framing records as it goes (a VB block may take
// records of several jobs), so the output is the same for every -j.
#ifndef LUMTRAX_TOOLS_DATASET_H
#define LUMTRAX_TOOLS_DATASET_H

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "command_line.h"
#include "files.h"
#include "lumtrax_dataset.hpp"
#include "pipeline.h"
#include "progress.h"

namespace lumtrax_cli {

struct DatasetJob {
    const std::string* name = nullptr;   // the input
    std::string input;                   // records (or rows) back to back
    std::vector<std::size_t> ends;       // where each ends in input
    std::vector<std::uint64_t> numbers;  // each record's number in its data set (reading)
    std::uint64_t first_row = 0;         // the first row's number in its input (writing)
    std::string header;                  // writing CSV: the header row of the input
    std::uint64_t skipped = 0;           // bad frames skipped while reading these records
    std::uint64_t skipped_bytes = 0;
    std::string output;                    // rows, or the records unframed
    std::vector<std::size_t> output_ends;  // writing: where each record ends in output
    lumtrax::dataset::Report report;       // reading
    std::uint64_t replaced = 0;            // writing: values written with a substitute
    std::exception_ptr error;              // after the records or rows in output

    void Clear(const std::string& input_name) {
        name = &input_name;
        input.clear();
        ends.clear();
        numbers.clear();
        first_row = 0;
        header.clear();
        skipped = skipped_bytes = 0;
        output.clear();
        output_ends.clear();
        replaced = 0;
        error = nullptr;
    }
};

using DatasetPipeline = Pipeline<DatasetJob>;

// Reads the copybook into a layout. Throws Failure (exit 3) with the
// copybook's line and column.
std::shared_ptr<const lumtrax::dataset::Layout> ReadLayout(const DatasetSettings& settings);

// Reads one input into jobs: its records (to rows) or its rows (to
// records). False when the pipeline stops. Throws Failure on a read error or
// a bad frame, after handing on the records read before it.
bool ReadDatasetInput(InputFile& input, const Settings& settings, Progress& progress, DatasetPipeline& pipeline,
                      const DatasetPipeline::Submit& submit);

// The workers' part: decodes or encodes every record or row of the job.
// Never throws; a failure is kept in the job, after what was done before it.
void ConvertDatasetJob(const DatasetSettings& settings, const std::shared_ptr<const lumtrax::dataset::Layout>& layout,
                       DatasetJob& job) noexcept;

// Writes jobs in input order (framing records), adds up what they met, and
// prints the report.
class DatasetWriter {
public:
    DatasetWriter(const DatasetSettings& settings, const std::shared_ptr<const lumtrax::dataset::Layout>& layout,
                  Output& output);

    void Write(DatasetJob& job);  // throws the job's failure once its output is written
    void Finish();                // the last block; the header of CSV rows of no record
    // The report on standard error; the exit status it makes (0 or 1).
    int Report() const;

private:
    struct Place {
        lumtrax::dataset::Issue issue;
        std::string file;
    };

    const DatasetSettings& settings_;
    Output& output_;
    lumtrax::dataset::RecordWriter framer_;
    std::string framed_;
    std::string header_;  // reading to CSV: written before the first row
    bool header_written_ = false;
    lumtrax::dataset::Report total_;
    std::vector<Place> first_;
    std::uint64_t skipped_ = 0;
    std::uint64_t skipped_bytes_ = 0;
    std::uint64_t replaced_ = 0;
    std::uint64_t records_ = 0;
};

}  // namespace lumtrax_cli

#endif  // LUMTRAX_TOOLS_DATASET_H
