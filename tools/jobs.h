// A piece of the command's work: a batch of whole calls of one input (a
// chunk of a whole file, or lines or records of a stretch of one), its
// result and what its calls met. The reader fills jobs, the workers convert
// them, the writer writes them in input order (pipeline.h); their buffers
// are reused.
#ifndef LUMTRAX_TOOLS_JOBS_H
#define LUMTRAX_TOOLS_JOBS_H

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "files.h"
#include "lumtrax.hpp"
#include "pipeline.h"

namespace lumtrax_cli {

struct Job {
    InputFile* input = nullptr;
    const std::string* name = nullptr;  // the input's
    lumtrax::Batch batch;
    lumtrax::Tally tally;
    std::string output;  // written over by the worker (see ConvertJob)
    std::vector<std::size_t> result_ends;
    std::exception_ptr error;
    bool partial = false;  // with error: output holds what came before it, to be written
};

using Submit = Pipeline<Job>::Submit;

// What the reader needs of the pipeline: where jobs go, and jobs to fill.
struct Jobs {
    const Submit& submit;
    Pipeline<Job>& pipeline;

    std::unique_ptr<Job> New(InputFile& input) const {
        std::unique_ptr<Job> job = pipeline.Spare();
        job->input = &input;
        job->name = &input.name();
        job->tally = lumtrax::Tally();
        job->error = nullptr;
        job->partial = false;
        return job;
    }
};

}  // namespace lumtrax_cli

#endif  // LUMTRAX_TOOLS_JOBS_H
