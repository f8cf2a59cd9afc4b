// The workers' part (converting a job) and the writer's (writing jobs in
// input order, adding up what they met).
#ifndef LUMTRAX_TOOLS_WRITER_H
#define LUMTRAX_TOOLS_WRITER_H

#include "command_line.h"
#include "files.h"
#include "jobs.h"
#include "report.h"

namespace lumtrax_cli {

// Converts every call of the job into its output (in hex where asked).
// Never throws; a failure is kept in the job.
void ConvertJob(const Settings& settings, Job& job) noexcept;

// Writes the jobs' output in input order and adds up their tallies.
class Writer {
public:
    Writer(const Settings& settings, Output& output) : settings_(settings), output_(output), report_(settings) {}

    void Write(Job& job);
    const Report& report() const { return report_; }

private:
    const Settings& settings_;
    Output& output_;
    Report report_;
    bool line_open_ = false;  // whole files in hex: a line of the file's hex is open
};

}  // namespace lumtrax_cli

#endif  // LUMTRAX_TOOLS_WRITER_H
