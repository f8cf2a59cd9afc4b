// lumtrax: the safe C++ interface.
//
// The same conversions as the C functions in lumtrax.h, without their
// dangers: the library sizes the destination by each conversion's growth rule
// (no input can overflow it), hands the conversion the 00 byte it may read
// just after the text, and carries 00 bytes inside the text. The text's
// length is always given explicitly (it is never computed from a 00).
//
// Nothing here throws. Every failure comes back as a std::error_code in the
// lumtrax::Errc category:
//   Errc::kUnassignedType  the conversion is none of the assigned types
//                          (nothing is converted; the C functions would copy
//                          the text unchanged)
//   Errc::kHeapExhausted   memory for the result could not be had
//                          (std::bad_alloc is caught; the conversions
//                          themselves allocate nothing)
//   Errc::kTooLong         the text, or the longest result the conversion
//                          could make of it, has more bytes than an int can
//                          count (see MaxTextSize)
// The result types are [[nodiscard]]: look at the error before the text.
//
// Requires C++17. Link with lumtrax::cxx (CMake) or `pkg-config lumtrax-cxx`:
// the static library liblumtrax_cxx.a, which imports the gaiji server from
// libquobel.so at load time, as liblumtrax.so does.
#ifndef LUMTRAX_HPP
#define LUMTRAX_HPP

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <type_traits>
#include <vector>

namespace lumtrax {

// The conversion types, numbered as the C interface numbers them.
enum class Conversion : int {
    kSjisToEbcdic = 0,      // EBCDIC host code, lower-case table set
    kSjisToEbcdicKana = 1,  // EBCDIC host code, kana table set
    kSjisToEightBit = 2,    // 8-bit host code, runs opened by 93 F0
    kSjisToEuc = 3,
    kEbcdicToSjis = 4,      // lower-case table set
    kEbcdicKanaToSjis = 5,  // kana table set
    kEightBitToSjis = 6,    // reads runs opened by 93 F0 and by 93 70
    kEucToSjis = 7,
    kSjisToEightBit70 = 10,  // 8-bit host code, runs opened by 93 70
    kRawByteEscape = 11,     // 5C 01 X from the text's first byte X

    // To and from Unicode (the C++ API, the command and Python; not the C
    // interface): UTF-8, and UTF-16 in either byte order.
    kSjisToUtf8 = 32,
    kEbcdicToUtf8 = 33,
    kEbcdicKanaToUtf8 = 34,
    kEightBitToUtf8 = 35,
    kEucToUtf8 = 36,
    kUtf8ToSjis = 40,
    kUtf8ToEbcdic = 41,
    kUtf8ToEbcdicKana = 42,
    kUtf8ToEightBit = 43,
    kUtf8ToEightBit70 = 44,
    kUtf8ToEuc = 45,
    kSjisToUtf16Le = 48,
    kEbcdicToUtf16Le = 49,
    kEbcdicKanaToUtf16Le = 50,
    kEightBitToUtf16Le = 51,
    kEucToUtf16Le = 52,
    kUtf16LeToSjis = 56,
    kUtf16LeToEbcdic = 57,
    kUtf16LeToEbcdicKana = 58,
    kUtf16LeToEightBit = 59,
    kUtf16LeToEightBit70 = 60,
    kUtf16LeToEuc = 61,
    kSjisToUtf16Be = 64,
    kEbcdicToUtf16Be = 65,
    kEbcdicKanaToUtf16Be = 66,
    kEightBitToUtf16Be = 67,
    kEucToUtf16Be = 68,
    kUtf16BeToSjis = 72,
    kUtf16BeToEbcdic = 73,
    kUtf16BeToEbcdicKana = 74,
    kUtf16BeToEightBit = 75,
    kUtf16BeToEightBit70 = 76,
    kUtf16BeToEuc = 77,
};

// The codes a conversion reads and writes, with their variants.
enum class Code : int {
    kShiftJis,
    kEbcdic,      // the EBCDIC host code, lower-case table set
    kEbcdicKana,  // the EBCDIC host code, kana table set
    kEightBit,    // the 8-bit host code: runs opened by 93 F0 (read: by 93 F0 or 93 70)
    kEightBit70,  // the 8-bit host code: runs opened by 93 70
    kEuc,
    kUtf8,
    kUtf16Le,
    kUtf16Be,
};

// A conversion, as the library's table of conversions has it.
struct ConversionInfo {
    Conversion conversion;
    const char* name;  // "sjis_to_ebcdic", "eightbit_to_sjis", ...: lower case
    Code from;
    Code to;
};

// The assigned conversions, in the order of their numbers; count receives
// how many there are.
const ConversionInfo* Conversions(std::size_t& count) noexcept;
// The row of a conversion; null for one that is not assigned.
const ConversionInfo* Describe(Conversion conversion) noexcept;
// The conversion named name ("sjis_to_ebcdic"; any case, '-' for '_', and
// "8bit" for "eightbit"), if one is.
std::optional<Conversion> ConversionNamed(std::string_view name) noexcept;
// The conversion from one code to another, if there is one (the 8-bit host
// code is read the same with either start sequence).
std::optional<Conversion> ConversionBetween(Code from, Code to) noexcept;

// How a CR LF in Shift-JIS text is carried (read by the conversions out of
// Shift-JIS only).
enum class LineEnd : int {
    kKeep = 0,    // CR and LF
    kLfOnly = 1,  // LF only
    kDrop = 2,    // neither
};

// What the conversion met of user-defined characters (gaiji).
enum class GaijiStatus : int {
    kNone = 0,       // no gaiji
    kConverted = 1,  // every gaiji was converted by the gaiji server
    kReplaced = 2,   // at least one was replaced by the substitute (a black square)
};

// The flags of the C exports: Lumtrax is {lrss = false, shift = true},
// Lumtrax_LRSS is {lrss = true, shift = true}, Lumtrax_NoShift is
// {lrss = false, shift = false}. With lrss and no shift, the placeholders of
// a Shift-JIS text open and close runs that are written without shift codes.
//
// mapping and errors are read by the conversions to and from Unicode only
// (docs/unicode.md): the Unicode character of each unit is that of its
// Shift-JIS image in Windows code page 932 (kCp932), or in JIS X 0208 alone
// (kJis); a unit without a Unicode form, or a character without a code,
// stops the conversion (kStrict) or becomes U+FFFD or the code's substitute,
// the black square (kReplace, with the status kReplaced). Unicode text has
// no LRSS placeholders and no raw-byte escapes.
enum class Mapping : int { kCp932 = 0, kJis = 1 };
enum class OnError : int { kStrict = 0, kReplace = 1 };

struct Options {
    LineEnd line_end = LineEnd::kKeep;
    bool lrss = false;  // LRSS mode: A0 stands for each shift code or sequence
    bool shift = true;  // false: write no shift code or sequence
    Mapping mapping = Mapping::kCp932;
    OnError errors = OnError::kStrict;
};

enum class Errc : int {
    kUnassignedType = 1,
    kHeapExhausted = 2,
    kTooLong = 3,
    // The conversions to and from Unicode, in strict mode (the result's
    // error_place names the bytes; the text holds what came before them):
    kNoUnicodeForm = 4,  // a unit that no Unicode character stands for
    kNoCode = 5,         // a character that the code has no code for
    // In every mode:
    kInvalidUtf8 = 6,   // overlong, a surrogate, past U+10FFFF, a stray or missing continuation
    kInvalidUtf16 = 7,  // an unpaired surrogate, an odd byte at the end
};

const std::error_category& ErrorCategory() noexcept;
std::error_code make_error_code(Errc error) noexcept;

}  // namespace lumtrax

namespace std {
template <>
struct is_error_code_enum<lumtrax::Errc> : true_type {};
}  // namespace std

namespace lumtrax {

// A range of bytes in a text or source: where it begins, and how long it is.
struct ByteRange {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

// The outcome of one conversion. On error, text is empty and gaiji is kNone,
// except for the errors of the conversions to and from Unicode (kNoUnicodeForm
// to kInvalidUtf16): text then holds the result of the text before
// error_place, the bytes where the conversion stopped.
struct [[nodiscard]] Result {
    std::string text;  // the converted bytes; may hold 00 bytes
    GaijiStatus gaiji = GaijiStatus::kNone;
    std::error_code error;
    ByteRange error_place;

    bool ok() const noexcept { return !error; }
    explicit operator bool() const noexcept { return ok(); }
};

// Converts the size bytes at text, as one call of the core. The text is
// converted as if a 00 byte followed it (a unit of two bytes that begins at
// its last byte gets 00 as its second byte); an empty text gives an empty
// result, except for kRawByteEscape, which then carries 00.
Result Convert(Conversion conversion, std::string_view text, const Options& options = {}) noexcept;
Result Convert(Conversion conversion, const void* text, std::size_t size, const Options& options = {}) noexcept;

// As Convert, into out: its content is replaced by the result (its capacity
// is reused, so a loop over records allocates only while records grow), and
// the gaiji status is stored in gaiji. On error out is empty and gaiji kNone.
[[nodiscard]] std::error_code ConvertInto(Conversion conversion, std::string_view text, std::string& out,
                                          GaijiStatus& gaiji, const Options& options = {}) noexcept;

// What lies after a text's bytes in memory, for the conversions that may
// read the byte after a text.
enum class After : int {
    kAnything,  // unknown: the library converts the text up to its last safe cut
                // where it lies and only the rest from a copy followed by 00
    kNul,       // a 00 (as after a std::string's bytes, or a Python bytes
                // object's): the whole text is converted where it lies
};

// As ConvertInto, but the result is appended to out, whose bytes stay. On
// error out is as it was and gaiji kNone (for the errors of Unicode, out
// holds the result of the text before the bytes that place, when given,
// receives).
[[nodiscard]] std::error_code ConvertAppend(Conversion conversion, std::string_view text, std::string& out,
                                            GaijiStatus& gaiji, const Options& options = {},
                                            After after = After::kAnything, ByteRange* place = nullptr) noexcept;

// UTF-16 as std::u16string, in the machine's byte order: from is the code
// of the text (a host code, or Shift-JIS), to the code to write. error_place
// of the Result16 and the Result counts bytes of text, and code units of
// a UTF-16 text.
struct [[nodiscard]] Result16 {
    std::u16string text;
    GaijiStatus gaiji = GaijiStatus::kNone;
    std::error_code error;
    ByteRange error_place;

    bool ok() const noexcept { return !error; }
    explicit operator bool() const noexcept { return ok(); }
};
Result16 ToUtf16(Code from, std::string_view text, const Options& options = {}) noexcept;
Result FromUtf16(std::u16string_view text, Code to, const Options& options = {}) noexcept;

namespace detail {
std::error_code ConvertTerminatedInto(Conversion conversion, std::string_view text, std::string& out,
                                      GaijiStatus& gaiji, const Options& options) noexcept;
}  // namespace detail

// The same for a std::string, which is converted where it lies, without a
// copy: the 00 that follows its bytes is the byte after the text. text and
// out must be different strings.
template <typename String, std::enable_if_t<std::is_same_v<String, std::string>, int> = 0>
[[nodiscard]] std::error_code ConvertInto(Conversion conversion, const String& text, std::string& out,
                                          GaijiStatus& gaiji, const Options& options = {}) noexcept {
    return detail::ConvertTerminatedInto(conversion, text, out, gaiji, options);
}

// ---------------------------------------------------------------------------
// Converting a text in pieces
//
// A text may be converted piece by piece, one call for each piece, with
// exactly the bytes and the gaiji status of one call over the whole text, if
// it is cut only at safe cuts: where a unit of the source begins as the
// conversion walks it (never inside a double-byte character, a host pair, a
// shift code or sequence, a raw-byte escape 5C 01 X or a CR LF) and no run of
// double-byte characters is open. Where a run stays open (LRSS text, a run
// across a dropped line end, a host run never closed) there is no safe cut
// until it closes. FindCut finds safe cuts; StreamConverter uses it to convert
// a text that comes in pieces of any size. For conversion on several threads,
// cut with FindCut, Convert the pieces on any threads, concatenate the results
// in order and merge their statuses with MergeGaiji.

// The status of two pieces of one text: kReplaced when either has it, else
// kConverted when either has it, else kNone.
GaijiStatus MergeGaiji(GaijiStatus earlier, GaijiStatus later) noexcept;

// The last safe cut in text at or before limit, or where there is none the
// first one after it: a position c with 0 < c < text.size() such that
// converting text[0, c) and the text after it in separate calls gives
// exactly what one call gives. text must begin where the whole text begins
// or at a safe cut; it may end anywhere, but the byte after a cut decides
// whether it is one, so a cut is never at the end of text. 0 when text has
// none (feed more text). Mostly looks at a few hundred bytes before limit;
// where they do not show the state of the text, it walks the text from its
// beginning. Always 0 for kRawByteEscape and the unassigned types.
std::size_t FindCut(Conversion conversion, std::string_view text, std::size_t limit,
                    const Options& options = {}) noexcept;

// Converts a text that is fed in pieces of any size, with the bytes and the
// status of one call over the whole text. Once it holds more than piece_size
// bytes it converts them up to the last safe cut before piece_size (or the
// first one after it); where the text it holds has none, it holds more and
// looks again once it holds twice as much, up to MaxTextSize bytes (then
// Errc::kTooLong). A text longer than MaxTextSize can be converted this way
// when it has safe cuts.
//
//   lumtrax::StreamConverter stream(lumtrax::Conversion::kSjisToEbcdic);
//   std::string out;
//   while (read(piece)) if (auto e = stream.Feed(piece, out)) ...;  // out grows
//   if (auto e = stream.Finish(out)) ...;
//   // out and stream.gaiji() are now what Convert gives for the whole text
//
// Nothing throws. After an error, Feed and Finish return it again until Reset;
// out keeps what was appended before the error.
class StreamConverter {
public:
    // A piece and its result fit a core's cache.
    static constexpr std::size_t kDefaultPieceSize = std::size_t{256} << 10;

    // piece_size: how many bytes to convert in one call where cuts allow
    // (at least 1; tests use tiny sizes to put cuts everywhere).
    explicit StreamConverter(Conversion conversion, const Options& options = {},
                             std::size_t piece_size = kDefaultPieceSize) noexcept;

    // Takes the next bytes of the text and appends to out what can be
    // converted of the text so far. After Finish, the first Feed begins a new
    // text.
    [[nodiscard]] std::error_code Feed(std::string_view bytes, std::string& out) noexcept;
    // The end of the text: converts the bytes held and appends them to out.
    [[nodiscard]] std::error_code Finish(std::string& out) noexcept;
    // Forgets the text, its status and any error.
    void Reset() noexcept;

    // The status of the text converted so far (after Finish, of the whole text).
    GaijiStatus gaiji() const noexcept { return gaiji_; }
    // The bytes fed and not yet converted.
    std::size_t held() const noexcept { return held_.size() - begin_; }
    // After an error of a conversion to or from Unicode: the bytes of the
    // text where it stopped (out then ends with the result of the text
    // before them).
    const ByteRange& error_place() const noexcept { return error_place_; }

private:
    std::error_code ConvertHeld(std::size_t count, std::string& out) noexcept;

    Conversion conversion_;
    Options options_;
    std::size_t piece_size_;
    std::string held_;  // held_[begin_, end) is not yet converted
    std::size_t begin_ = 0;
    std::size_t search_at_ = 0;  // held() that makes the next search worth it
    GaijiStatus gaiji_ = GaijiStatus::kNone;
    std::error_code error_;
    std::uint64_t converted_ = 0;  // the bytes of the text before held_[begin_]
    ByteRange error_place_;
    bool finished_ = false;
};

// The first unit of text that the conversion replaces by the substitute (a
// gaiji the server does not convert, bytes that are no valid text), the
// text converted as one call; none when there is none. Costs a few
// conversions of the text up to that unit.
std::optional<ByteRange> FirstReplaced(Conversion conversion, std::string_view text,
                                       const Options& options = {}) noexcept;

// ---------------------------------------------------------------------------
// Converting a source as the lumtrax command does: whole, line by line, or
// record by record
//
// A source (a file, a pipe) is converted in calls: the whole of it as one
// text (cut into pieces at safe cuts, so that the result is that of one
// call), each line, or each record of a fixed size, in a call of its own.
// SourceCutter cuts a source, fed in pieces of any size, into batches of
// whole calls; ConvertBatch converts a batch and tallies what its calls met.
// Batches may be converted on any threads; their results written in order,
// and their tallies added in order (with the first replacement located in
// the batch that holds it), give what one pass over the source gives. The
// lumtrax command and lumtrax.dask both convert files so.

// How a source is cut into calls.
enum class Framing : int {
    kWhole,    // the whole source is one text, converted in pieces at safe cuts
    kLines,    // each line, with its line end (LF: 0A, or 25 in the EBCDIC host code)
    kRecords,  // each record of record_size bytes; a shorter last record as it is
};

struct SourceOptions {
    Framing framing = Framing::kWhole;
    std::size_t record_size = 0;                      // kRecords
    std::size_t batch_size = std::size_t{256} << 10;  // about how many bytes a batch holds
};

// A stretch of a source: one or more whole calls, in order.
struct Batch {
    std::string text;                      // the calls' texts, one after the other
    std::string_view view;                 // or, cut from a source in memory (SetSource), where they lie
    std::vector<std::size_t> ends;         // where each call's text ends in texts()
    std::vector<std::size_t> ends_inside;  // the calls (by index) whose text ends inside a unit
    std::uint64_t offset = 0;              // of text[0] in the source
    std::uint64_t first_call = 0;          // the first call's line or record number, from 1 (0: a whole text)
    bool last = false;                     // the batch ends the source

    // Empty, keeping the memory of its buffers.
    void Clear() noexcept;
    // The calls' texts: view where it is set, else text.
    std::string_view texts() const noexcept { return view.data() != nullptr ? view : std::string_view(text); }
};

// Where something lies in a source.
struct Place {
    std::uint64_t call = 0;  // its line or record, from 1; 0 in a whole text
    ByteRange bytes;         // in the source
};

// What the calls of a source met, added up in order.
struct Tally {
    std::uint64_t calls = 0;              // calls: lines, records, or the pieces of a whole text
    std::uint64_t converted = 0;          // calls whose gaiji the gaiji server all converted
    std::uint64_t replaced = 0;           // calls where a unit was replaced by the substitute
    std::optional<Place> first_replaced;  // the first such unit (see LocateFirstReplaced)
    std::uint64_t ends_inside = 0;        // calls whose text ends inside a unit: the byte after it was taken as 00
    std::optional<Place> first_ends_inside;
    GaijiStatus gaiji = GaijiStatus::kNone;  // of the whole source

    // Adds the tally of the calls that come after these.
    void Add(const Tally& later) noexcept;
};

class SourceCutter {
public:
    SourceCutter(Conversion conversion, const Options& options = {}, const SourceOptions& source = {}) noexcept;

    // Where the next bytes of the source go: append them to this string
    // (read into it directly), then call Next.
    std::string& input() noexcept { return held_; }
    // Or the whole source at once, where it lies in memory (a mapped file):
    // the batches then hold views into it instead of copies, so it must stay
    // readable and unchanged until they are converted. Call it before Next,
    // instead of input(), and call Next with at_end.
    void SetSource(std::string_view source) noexcept;
    // How many bytes to append next, for a batch to come out soon.
    std::size_t wanted() const noexcept;

    // Takes the next batch of whole calls out of what input() holds into
    // batch (whose buffers are reused). at_end says that the source has no
    // more bytes: then the rest comes out as the last batch. False when no
    // batch is ready (append more), or the source is done, or error is set:
    // Errc::kTooLong for a line, or a stretch of a whole text without a safe
    // cut, longer than one call takes (error_place() says where), and
    // Errc::kUnassignedType.
    bool Next(Batch& batch, bool at_end, std::error_code& error) noexcept;
    // After a read error: takes out the next batch of the calls that input()
    // holds whole (the whole units of a whole text, whole lines, whole
    // records); call it until it gives false. A line or record cut short
    // stays out.
    bool Salvage(Batch& batch) noexcept;

    const Place& error_place() const noexcept { return error_place_; }

private:
    bool NextWhole(Batch& batch, bool at_end, std::error_code& error);
    bool NextCalls(Batch& batch, bool at_end, std::error_code& error);
    bool Fail(std::error_code& error, std::uint64_t call, std::uint64_t offset, std::uint64_t length);
    void StartBatch(Batch& batch) const;
    void Take(std::size_t count);

    Conversion conversion_;
    Options options_;
    SourceOptions source_;
    std::string_view Held() const noexcept;
    void TakeInto(Batch& batch, std::size_t count);

    std::string held_;              // held_[begin_, end) is input not yet taken
    std::string_view source_text_;  // ... or source_text_[begin_, end), with SetSource
    bool external_ = false;
    std::size_t begin_ = 0;
    std::uint64_t offset_ = 0;     // of held_[begin_] in the source
    std::uint64_t next_call_ = 1;  // the number of the next line or record
    // How far the search for the next line end or safe cut has looked, from
    // begin_: the unit there and whether a run is open, and (Shift-JIS lines)
    // the bytes already searched for an LF.
    std::size_t search_at_ = 0;
    bool search_open_ = false;
    std::size_t searched_ = 0;
    bool walking_ = false;  // whole texts: no cut before search_at_
    bool salvaging_ = false;
    bool done_ = false;
    Place error_place_;
};

// Converts each call of a batch, in order, into out (whose content is
// replaced by the results, one after the other: out's memory is reused, and
// the bytes it holds are written over); result_ends, when given, receives
// where each call's result ends. Adds what the calls met to tally (without
// locating the first replacement: see LocateFirstReplaced).
// On an error of a conversion to or from Unicode, failure (when given)
// receives the call and the bytes of the source where it stopped, and out
// holds the results of the text before them.
[[nodiscard]] std::error_code ConvertBatch(Conversion conversion, const Options& options, const Batch& batch,
                                           std::string& out, Tally& tally,
                                           std::vector<std::size_t>* result_ends = nullptr,
                                           Place* failure = nullptr) noexcept;

// Locates the first replaced unit of a batch's tally exactly: its call and
// its bytes in the source. Call it for the batch that holds the first
// replacement of the source (tally.replaced > 0 where all before had none),
// before adding the tally.
void LocateFirstReplaced(Conversion conversion, const Options& options, const Batch& batch, Tally& tally) noexcept;

// True for the types listed in Conversion.
bool IsAssigned(Conversion conversion) noexcept;

// The most bytes a conversion of size bytes can give: its growth rule, less
// the terminating 00 that the C interface adds. 0 for an unassigned type.
std::size_t MaxResultSize(Conversion conversion, std::size_t size) noexcept;

// The longest text the conversion takes in one call: the text and its longest
// result must both be countable by an int. 0 for an unassigned type.
std::size_t MaxTextSize(Conversion conversion) noexcept;

// The library's version, "MAJOR.MINOR.PATCH".
const char* Version() noexcept;

// The instruction-set level of the conversion kernels this process uses:
// "scalar", "sse2", "ssse3", "avx2" or "avx512". It is the highest the CPU
// and the build have, capped by the environment variable LUMTRAX_SIMD when
// that names a level. It changes the speed only, never a result.
const char* ActiveSimdLevel() noexcept;

// The highest level that this build has kernels for and this CPU runs.
const char* BestSimdLevel() noexcept;

// The gaiji server's version, and whether it answered 0 for the level asked
// (what GetGaijiServerVersion returns as 1).
struct GaijiServerInfo {
    int version = 0;
    bool level_ok = false;
};
GaijiServerInfo GaijiServer(int level = 0) noexcept;

}  // namespace lumtrax

#endif  // LUMTRAX_HPP
