// lumtrax: the command-line converter over the safe C++ interface. One
// thread reads the inputs into jobs (reader.h), workers convert them, and
// this thread writes them in input order (writer.h), through the pipeline
// (pipeline.h).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "command_line.h"
#include "dataset.h"
#include "failure.h"
#include "files.h"
#include "gaiji_table_check.h"
#include "hex.h"
#include "lumtrax.hpp"
#include "pipeline.h"
#include "progress.h"
#include "reader.h"
#include "writer.h"

namespace lumtrax_cli {
namespace {

void PrintVersion() {
    const lumtrax::GaijiServerInfo server = lumtrax::GaijiServer(0);
    std::printf("lumtrax %s\n", lumtrax::Version());
    const std::string active = lumtrax::ActiveSimdLevel();
    const std::string best = lumtrax::BestSimdLevel();
    if (active == best) {
        std::printf("kernels: %s\n", active.c_str());
    } else {
        std::printf("kernels: %s (this machine has %s; LUMTRAX_SIMD caps it)\n", active.c_str(), best.c_str());
    }
    std::printf("gaiji server version 0x%08X%s\n", static_cast<unsigned>(server.version),
                server.level_ok ? "" : " (it does not answer 0 for level 0)");
    std::printf("%s\n", GaijiTableLine().c_str());
}

// Flushes what the command printed on standard output: a failure to write
// it is an output error (exit status 3), with its reason.
int FinishStandardOutput(int status) {
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
    throw Failure(kExitInputOutput,
                  std::string("cannot write standard output: ") + (errno != 0 ? std::strerror(errno) : "write error"));
}

// Opens every input, refusing one that is the output; total receives their
// size, or -1 where one is not known (a pipe).
std::vector<std::unique_ptr<InputFile>> OpenInputs(const Settings& settings, const StandardStreams& streams,
                                                   Output& output, long long& total) {
    std::vector<std::unique_ptr<InputFile>> inputs;
    total = 0;
    for (const std::string& path : settings.inputs) {
        inputs.push_back(std::make_unique<InputFile>(path, streams));
        output.RefuseAsInput(*inputs.back());
        const long long size = inputs.back()->known_size();
        total = total < 0 || size < 0 ? -1 : total + size;
    }
    return inputs;
}

// --escape BYTE: the raw-byte escape, and no input.
int WriteEscape(const Settings& settings, Output& output) {
    const lumtrax::Result escape =
        lumtrax::Convert(settings.conversion, std::string(1, static_cast<char>(settings.escape_byte)));
    std::string text = escape.text;
    if (settings.hex_out) {
        text.clear();
        AppendHex(escape.text, text);
        text += '\n';
    }
    output.Write(text);
    output.Commit();
    return kExitOk;
}

// --copybook: a data set's records to rows, or rows to records.
int RunDataset(const Settings& command, const StandardStreams& streams) {
    Settings settings = command;
    DatasetSettings& dataset = settings.dataset;
    const std::shared_ptr<const lumtrax::dataset::Layout> layout = ReadLayout(dataset);
    if (!dataset.record_length_given) dataset.framing.record_length = layout->record_length();
    Output output(settings.output, streams);
    long long total = 0;
    std::vector<std::unique_ptr<InputFile>> inputs = OpenInputs(settings, streams, output, total);
    Progress progress(total);
    DatasetWriter writer(dataset, layout, output);
    DatasetPipeline pipeline(settings.jobs,
                             [&dataset, &layout](DatasetJob& job) { ConvertDatasetJob(dataset, layout, job); });
    const auto read = [&](const DatasetPipeline::Submit& submit) {
        for (auto& input : inputs) {
            if (!ReadDatasetInput(*input, settings, progress, pipeline, submit)) return;
        }
    };
    try {
        pipeline.Run(read, [&writer](DatasetJob& job) { writer.Write(job); });
    } catch (const Failure&) {
        // The records written before the failure close their last block (VB).
        try {
            writer.Finish();
        } catch (const Failure&) {
        }
        throw;
    }
    writer.Finish();
    progress.Clear();
    output.Commit();
    return writer.Report();
}

int Run(const std::vector<std::string>& args, const StandardStreams& streams) {
    const Settings settings = ParseCommandLine(args);
    switch (settings.action) {
        case Settings::Action::kHelp:
            std::fputs(HelpText(), stdout);
            return FinishStandardOutput(kExitOk);
        case Settings::Action::kVersion:
            PrintVersion();
            return FinishStandardOutput(kExitOk);
        case Settings::Action::kCheckGaijiTable:
            return FinishStandardOutput(CheckGaijiTable(settings.gaiji_table));
        case Settings::Action::kEscape:
        case Settings::Action::kConvert:
        case Settings::Action::kDataset:
            break;
    }
    InstallSignalHandlers();
    if (settings.action == Settings::Action::kDataset) return RunDataset(settings, streams);
    Output output(settings.output, streams);
    if (settings.action == Settings::Action::kEscape) return WriteEscape(settings, output);
    if (settings.split == Split::kRecords && settings.record_size > lumtrax::MaxTextSize(settings.conversion)) {
        const std::string size = std::to_string(settings.record_size);
        throw Failure(kExitInputOutput,
                      "--record " + size + ": " + size + " bytes is too large for one call (at most " +
                          std::to_string(lumtrax::MaxTextSize(settings.conversion)) + " bytes for this conversion)");
    }

    long long total = 0;
    std::vector<std::unique_ptr<InputFile>> inputs = OpenInputs(settings, streams, output, total);
    Progress progress(total);
    Writer writer(settings, output);
    Pipeline<Job> pipeline(settings.jobs, [&settings](Job& job) { ConvertJob(settings, job); });
    const auto read = [&](const Submit& submit) {
        for (auto& input : inputs) {
            Reader reader(*input, settings.hex_in, progress, pipeline.stopping());
            if (!ReadInput(*input, settings, reader, Jobs{submit, pipeline})) return;
        }
    };
    pipeline.Run(read, [&writer](Job& job) { writer.Write(job); });
    progress.Clear();
    output.Commit();
    writer.report().Print();
    return writer.report().replaced() ? kExitGaijiReplaced : kExitOk;
}

}  // namespace
}  // namespace lumtrax_cli

int main(int argc, char** argv) {
    // Before anything is opened: standard streams that were closed are
    // opened on /dev/null, and a closed pipe is a write error.
    const lumtrax_cli::StandardStreams streams = lumtrax_cli::OpenStandardStreams();
    lumtrax_cli::IgnoreWriteSignals();
    try {
        return lumtrax_cli::Run(std::vector<std::string>(argv + 1, argv + argc), streams);
    } catch (const lumtrax_cli::Failure& failure) {
        std::fprintf(stderr, "lumtrax: %s\n", failure.what());
        return failure.exit_status();
    } catch (const std::bad_alloc&) {
        std::fputs("lumtrax: out of memory\n", stderr);
        return lumtrax_cli::kExitInputOutput;
    }
}
