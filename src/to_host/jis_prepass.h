// The first pass of every conversion out of Shift-JIS, and its working copy.
//
// JisPrepass rewrites the source into the destination buffer at the same
// length and offsets: each kanji as its JIS code, each gaiji as the code the
// gaiji server gives for the target (or the substitute A2 A3), every other
// byte unchanged. The conversion's own loop then reads that form from a
// working copy while it overwrites the destination with the final text.
#ifndef LUMTRAX_TO_HOST_JIS_PREPASS_H
#define LUMTRAX_TO_HOST_JIS_PREPASS_H

#include <cstddef>
#include <cstdint>

#include "common/bytes.h"
#include "gaiji/gaiji.h"

namespace lumtrax {

// A raw-byte escape 5C 01 X begins at i when its 5C and 01 both lie inside
// the n counted bytes; X may be the byte just after them.
inline bool IsRawByteEscapeAt(const std::uint8_t* src, std::size_t i, std::size_t n) {
    return i + 1 < n && src[i] == kEscapeFirst && src[i + 1] == kEscapeSecond;
}

// A line end needs both of its bytes inside the counted text.
inline bool IsLineEndAt(const std::uint8_t* src, std::size_t i, std::size_t n) {
    return i + 1 < n && src[i] == kCarriageReturn && src[i + 1] == kLineFeed;
}

// Writes the JIS form of src (len bytes) into dst and its terminator after
// it, sets *status by the gaiji met, and returns the source bytes consumed:
// len, or len + 1 when a pair begins at the last counted byte. With escapes,
// each raw-byte escape is copied unchanged as one unit, so the form stays in
// step with the conversions, which recognise escapes where this pass does.
std::int32_t JisPrepass(HostCodeKind kind, std::uint8_t* dst, const std::uint8_t* src,
                        std::int32_t len, bool escapes, std::int32_t* status);

// The working copy of one conversion call: texts below 1024 bytes use a
// buffer inside the object, longer ones one heap block of len + 1 bytes,
// freed when the object goes.
class ScratchCopy {
public:
    static constexpr std::int32_t kLocalSize = 1024;

    ScratchCopy() = default;
    ScratchCopy(const ScratchCopy&) = delete;
    ScratchCopy& operator=(const ScratchCopy&) = delete;
    ~ScratchCopy();

    // False when the heap has no block for the text.
    bool Acquire(std::int32_t len);
    // Copies the first len + 1 bytes of the pre-pass form.
    void Fill(const std::uint8_t* jis_form, std::int32_t len);
    // Copies the bytes from..to-1 of the pre-pass form.
    void FillPart(const std::uint8_t* jis_form, std::size_t from, std::size_t to);
    const std::uint8_t* data() const { return data_; }
    bool on_heap() const { return heap_ != nullptr; }

private:
    std::uint8_t local_[kLocalSize];
    std::uint8_t* heap_ = nullptr;
    std::uint8_t* data_ = local_;
};

// Shows the heap-exhaustion report: a message box on Windows, one line on
// standard error elsewhere.
void ReportHeapExhausted();

// The report's text as the library stores it: 44 Shift-JIS bytes.
extern const char kHeapExhaustedMessageSjis[];
// The same text in UTF-8, for the line on standard error.
extern const char kHeapExhaustedMessageUtf8[];
extern const char kHeapExhaustedCaption[];

// The steps every conversion out of Shift-JIS begins with: the pre-pass into
// dst, then the working copy of its form (for a long text, the copy of each
// slice of the form as soon as the pre-pass has written it). False, after the
// report, when the working copy cannot be had; dst then holds the JIS form.
bool PrepareWorkingCopy(ScratchCopy& copy, HostCodeKind kind, std::uint8_t* dst,
                        const std::uint8_t* src, std::int32_t len, bool escapes,
                        std::int32_t* status);

}  // namespace lumtrax

#endif  // LUMTRAX_TO_HOST_JIS_PREPASS_H
