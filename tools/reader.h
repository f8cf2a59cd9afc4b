// The command's reader: each input read piece by piece (hex decoded when
// asked) into the library's source cutter, and the batches it cuts handed on
// as jobs.
#ifndef LUMTRAX_TOOLS_READER_H
#define LUMTRAX_TOOLS_READER_H

#include <atomic>
#include <cstddef>
#include <string>

#include "command_line.h"
#include "files.h"
#include "hex.h"
#include "jobs.h"
#include "progress.h"

namespace lumtrax_cli {

// Reads an input piece by piece, decoding hex when asked.
class Reader {
public:
    Reader(InputFile& input, bool hex, Progress& progress, const std::atomic<bool>& stop)
        : input_(input), hex_(hex), progress_(progress), stop_(stop) {}

    // Appends the next piece, of up to max bytes read, to out; false at the
    // end of the input. Throws Failure on a read error or bad hex (the bytes
    // decoded before the bad character are appended first).
    bool Next(std::string& out, std::size_t max);
    // bytes more have been taken without Next (from a mapped file).
    void Count(std::size_t bytes);

private:
    InputFile& input_;
    bool hex_;
    Progress& progress_;
    const std::atomic<bool>& stop_;
    std::string raw_;
    HexDecoder decoder_;
};

// The chunk size, or how many bytes of lines or records a job holds.
// LUMTRAX_CHUNK_SIZE, which is internal (the tests set tiny sizes to put cuts
// and job ends everywhere), changes it; the output does not change with it.
std::size_t ChunkSize();

// Reads one input into jobs. False when the pipeline stops. Throws Failure
// when the input cannot be read or is too large for the calls it needs; the
// calls read whole before a read error are handed on first.
bool ReadInput(InputFile& input, const Settings& settings, Reader& reader, const Jobs& jobs);

}  // namespace lumtrax_cli

#endif  // LUMTRAX_TOOLS_READER_H
