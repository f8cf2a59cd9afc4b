// Drives every export with fuzzer-chosen requests: the export, the
// conversion type (the assigned ones, 8, 9 and types far outside the
// range), the line-end mode, the length (computed, given, negative), null
// pointers, and the source bytes. fuzz_calls.cpp sizes the buffers and
// checks each result.
//
// Input: one byte each for the export, the type, the mode, the length and
// the null pointers, then the source bytes.
#include <cstddef>
#include <cstdint>
#include <limits>

#include "fuzz_calls.h"
#include "lumtrax.h"

namespace {

constexpr int kIntMin = std::numeric_limits<int>::min();
constexpr int kIntMax = std::numeric_limits<int>::max();

int PickType(std::uint8_t choice) {
    if (choice < 0xF0) return choice % 16;  // 0-15: the assigned types, 8, 9, 12-15
    constexpr int kFarTypes[] = {-1, 255, 256, kIntMax, kIntMin, -12, 0x10000, 11};
    return kFarTypes[choice % 8];
}

int PickMode(std::uint8_t choice) {
    constexpr int kModes[] = {0, 1, 2, 3, -1, kIntMin, kIntMax, 0x101};
    return kModes[choice % 8];
}

// The length given to Lumtrax_LRSS: 0 (computed), the whole source but its
// last byte, which is then the byte after the text, or a negative one.
int PickLength(std::uint8_t choice, std::size_t source_size) {
    switch (choice % 4) {
        case 0:
            return 0;
        case 1:
        case 2:
            return source_size > 1 ? static_cast<int>(source_size - 1) : 0;
        default:
            return choice >= 0x80 ? kIntMin : -1 - (choice >> 2);
    }
}

void CheckServerVersion(std::uint8_t level_choice, bool null_version) {
    int version = 7;
    const int answer = GetGaijiServerVersion(static_cast<int>(level_choice) - 1, null_version ? nullptr : &version);
    fuzz::Require(answer == 0 || answer == 1, "GetGaijiServerVersion answers 0 or 1");
    if (!null_version) fuzz::Require(version == 0x00010000, "the stand-in server's version is stored");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::InputReader input(data, size);
    const std::uint8_t export_choice = input.Byte();
    const std::uint8_t type_choice = input.Byte();
    const std::uint8_t mode_choice = input.Byte();
    const std::uint8_t length_choice = input.Byte();
    const std::uint8_t null_choice = input.Byte();
    const fuzz::Bytes source = input.Rest();

    if (export_choice % 4 == 3) {
        CheckServerVersion(type_choice, (null_choice & 1) != 0);
        return 0;
    }
    fuzz::Request request;
    request.how = static_cast<fuzz::Export>(export_choice % 4);
    request.type = PickType(type_choice);
    request.mode = PickMode(mode_choice);
    if (request.how == fuzz::Export::kLrss) request.len = PickLength(length_choice, source.size());
    // Null pointers are rare, so most runs convert.
    request.null_dst = (null_choice & 0x0F) == 0x01;
    request.null_src = (null_choice & 0x0F) == 0x02;
    request.null_status = (null_choice & 0x30) == 0x30;
    fuzz::Convert(request, source);
    return 0;
}
