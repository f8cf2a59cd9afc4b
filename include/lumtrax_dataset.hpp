// lumtrax::dataset: host data sets, record by record and field by field.
//
// A host data set is framed records (fixed length, or variable behind record
// and block descriptor words) whose fields mix text in the host code with
// zoned, packed and binary numbers. This interface reads and writes the
// framing (RecordReader, RecordWriter), parses a COBOL copybook into a
// read-only Layout (ParseCopybook), turns records into UTF-8 rows, JSON Lines
// or CSV (RecordDecoder), and rows back into records (RecordEncoder).
// docs/datasets.md is the guide; the comments here are the reference.
//
// Nothing here throws. Failures are Error values: a code in the
// lumtrax::dataset::Errc category, a message, and where it applies the
// copybook's line and column, or the record or row number and the byte
// offset. A field that does not hold what its picture says is no failure of
// the call: it becomes null (JSON) or empty (CSV) and goes into the Report.
//
// Requires C++17; part of the static library lumtrax::cxx.
#ifndef LUMTRAX_DATASET_HPP
#define LUMTRAX_DATASET_HPP

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "lumtrax.hpp"

namespace lumtrax {
namespace dataset {

// ---- errors -------------------------------------------------------------------

enum class Errc : int {
    kCopybook = 1,       // the copybook cannot be read as it stands (line, column)
    kBadFrame = 2,       // a record or block descriptor, or a record's length, is wrong (record, offset)
    kBadRow = 3,         // a row to write is not well-formed JSON or CSV, or names no field (row)
    kBadValue = 4,       // a row's value cannot be written into its field (row, field)
    kWrongLength = 5,    // a record to write has the wrong length for its format (record)
    kHeapExhausted = 6,  // memory could not be had
    kUsage = 7,          // a call out of order, or options that do not go together
};

const std::error_category& ErrorCategory() noexcept;
std::error_code make_error_code(Errc error) noexcept;

}  // namespace dataset
}  // namespace lumtrax

namespace std {
template <>
struct is_error_code_enum<lumtrax::dataset::Errc> : true_type {};
}  // namespace std

namespace lumtrax {
namespace dataset {

// The outcome of a call. ok() when code is empty; otherwise message says
// what went wrong and where, and the numbers that apply are set (the others
// are 0): line and column (from 1) of a copybook; record (from 1) and offset
// (bytes from the start of the data set) of a frame; row (from 1) and field
// of a row to write.
struct [[nodiscard]] Error {
    std::error_code code;
    std::string message;
    std::size_t line = 0;
    std::size_t column = 0;
    std::uint64_t record = 0;
    std::uint64_t offset = 0;
    std::uint64_t row = 0;
    std::string field;

    bool ok() const noexcept { return !code; }
};

// ---- host codes -----------------------------------------------------------------

// The code of a record's text and zoned numbers is a lumtrax::Code of the
// host (include/lumtrax.hpp): kEbcdic, kEbcdicKana, kEightBit (runs written
// with 93 F0; both start sequences are read), kEightBit70 (written with
// 93 70) or kEuc. kShiftJis is no host code: ParseCopybook refuses it.
using lumtrax::Code;

// What a text field that has no Unicode form (or a value that has no host
// form) does: kStrict makes it an invalid field (decoding: null and
// reported) or an error (encoding); kReplace puts U+FFFD in the row, or a
// substitute in the record ('?' in mixed text, the double-byte '？' in
// double-byte text), and counts it.
enum class TextErrors : int { kStrict = 0, kReplace = 1 };

// ---- framing ----------------------------------------------------------------------

enum class RecordFormat : int {
    kFixed = 0,           // F: records of record_length bytes back to back
    kFixedBlocked = 1,    // FB: the same bytes as F once transferred (blocks are whole records)
    kVariable = 2,        // V: each record behind a record descriptor word (RDW)
    kVariableBlocked = 3  // VB: blocks behind a block descriptor word (BDW), holding RDW records
};

struct FramingOptions {
    RecordFormat format = RecordFormat::kFixed;
    std::size_t record_length = 0;            // F and FB: every record's length (at least 1)
    bool little_endian = false;               // descriptor lengths in little-endian byte order
    bool length_excludes_descriptor = false;  // descriptor lengths leave out the descriptor's own 4 bytes
    bool skip_bad = false;                    // reading: skip bad frames where the format can resynchronise
    std::size_t block_size = 32760;           // writing VB: the largest block, its BDW included
};

// Reads records out of a data set fed in pieces of any size. It holds at
// most one unfinished block (VB) or record (F, V) between pieces, so memory
// stays bounded by the largest block plus one piece.
//
//   RecordReader reader(options);
//   std::string_view record;
//   while (read(piece)) {
//       if (auto e = reader.Feed(piece); !e.ok()) ...;
//       while (reader.Next(record) == ReadStatus::kRecord) use(record);
//   }
//   if (auto e = reader.Finish(); !e.ok()) ...;   // then Next drains what is left
//   while (reader.Next(record) == ReadStatus::kRecord) use(record);
//
// Next gives records in order as views that stay valid until the next Feed.
// Feed only after Next has said kNeedMore (or before the first Next): by
// then the reader has copied what it keeps of the piece, and the caller may
// reuse the piece's memory. After an error (kError) Next and Finish return it
// again; error() tells it.
//
// Bad frames: a descriptor length under 4 (or under 8 for a BDW), a record
// that reaches past its block, reserved descriptor bytes that are not 00, a
// truncated last record or block, and an F data set whose size is not a
// multiple of the record length. With skip_bad, VB skips from a bad record
// descriptor to the end of its block and goes on with the next block (a bad
// BDW cannot be skipped: nothing says where the next block begins); F skips
// a truncated last record; V cannot resynchronise and stops at the first bad
// frame in any case. Skipped frames are counted in skipped().
enum class ReadStatus : int { kRecord = 0, kNeedMore = 1, kEnd = 2, kError = 3 };

class RecordReader {
public:
    explicit RecordReader(const FramingOptions& options) noexcept;

    Error Feed(std::string_view piece) noexcept;
    // The end of the data: whatever is held must now be whole.
    Error Finish() noexcept;
    ReadStatus Next(std::string_view& record) noexcept;

    // The number of the last record given (from 1), and its offset in the data
    // set (where its descriptor, or the record itself, begins).
    std::uint64_t record_number() const noexcept { return record_number_; }
    std::uint64_t record_offset() const noexcept { return record_offset_; }
    // Bad frames skipped (skip_bad), and the bytes they took.
    std::uint64_t skipped() const noexcept { return skipped_; }
    std::uint64_t skipped_bytes() const noexcept { return skipped_bytes_; }
    const Error& error() const noexcept { return error_; }

private:
    bool Peek(std::size_t count, unsigned char* out) const noexcept;
    bool Take(std::size_t count, std::string_view& unit) noexcept;
    ReadStatus Fail(std::string message, std::uint64_t offset) noexcept;
    ReadStatus NextFixed(std::string_view& record) noexcept;
    ReadStatus NextVariable(std::string_view& record) noexcept;
    ReadStatus NextInBlock(std::string_view& record) noexcept;

    FramingOptions options_;
    std::string held_;                // the start of an unfinished unit, or the unit being read
    bool held_taken_ = false;         // held_ is the unit being read, to be dropped on the next Take
    std::string_view piece_;          // what is left of the piece fed last
    std::string_view block_;          // VB: the rest of the block being read
    std::uint64_t block_offset_ = 0;  // offset of block_'s first byte
    std::uint64_t offset_ = 0;        // offset of the first byte not yet taken
    std::uint64_t record_number_ = 0;
    std::uint64_t record_offset_ = 0;
    std::uint64_t skipped_ = 0;
    std::uint64_t skipped_bytes_ = 0;
    bool finished_ = false;
    Error error_;
};

// Frames records into a data set: F and FB write each record as it is (it
// must have record_length bytes), V puts an RDW before each, VB gathers them
// into blocks of at most block_size bytes behind a BDW. A record too long for
// its descriptor or block is an error (nothing is written for it).
class RecordWriter {
public:
    explicit RecordWriter(const FramingOptions& options) noexcept;

    // Appends the framed record to out (VB: the block, once it is full).
    Error Write(std::string_view record, std::string& out) noexcept;
    // Appends the last block (VB); the next Write begins a new data set.
    Error Finish(std::string& out) noexcept;

private:
    FramingOptions options_;
    std::string block_;  // VB: the block being filled, from its BDW on
    std::uint64_t records_ = 0;
};

// ---- layouts ----------------------------------------------------------------------------

enum class FieldKind : int {
    kGroup = 0,
    kText = 1,          // PIC X / A (and edited pictures): mixed text, shift codes inside the field
    kDoubleByte = 2,    // PIC G, or PIC N with USAGE DISPLAY-1: double-byte characters, no shift codes
    kZoned = 3,         // PIC 9 DISPLAY
    kPacked = 4,        // COMP-3, PACKED-DECIMAL
    kBinary = 5,        // COMP, COMP-4, BINARY: big-endian two's complement
    kNativeBinary = 6,  // COMP-5: as kBinary; writing checks the storage's range, not the picture's digits
};

enum class SignPosition : int { kNone = 0, kTrailing = 1, kLeading = 2 };

// One item of the copybook (FILLER and groups included), in source order.
struct Field {
    std::string name;  // as written; "FILLER" for FILLER and unnamed items
    int level = 0;
    std::size_t line = 0;  // where the item begins in the copybook
    std::size_t column = 0;
    int parent = -1;            // index of the enclosing group, -1 at the top
    std::vector<int> children;  // indices of the items directly under a group
    std::size_t offset = 0;     // of the first element, from the record's start
    std::size_t size = 0;       // of one element, in bytes
    FieldKind kind = FieldKind::kGroup;
    int digits = 0;  // numbers: the digit positions stored (9s, not Ps)
    int scale = 0;   // numbers: digits after the point (negative: trailing P, a power of ten)
    bool is_signed = false;
    SignPosition sign = SignPosition::kNone;
    bool sign_separate = false;
    bool blank_when_zero = false;
    bool edited = false;         // an edited picture, read as text
    std::size_t occurs_min = 1;  // 1 and 1 without OCCURS
    std::size_t occurs_max = 1;
    bool has_occurs = false;
    int depending_on = -1;  // OCCURS DEPENDING ON: index of the counter
    int redefines = -1;     // index of the item this one redefines
    bool active = true;     // in the rows: not an unchosen REDEFINES alternative, nor under one
    bool is_filler = false;
};

enum class SourceFormat : int {
    kAuto = 0,   // fixed unless the text plainly is free format (see docs/datasets.md)
    kFixed = 1,  // columns 1-6 sequence, 7 indicator, 8-72 code, 73-80 ignored
    kFree = 2,   // code anywhere; "*>" starts a comment, a "*" or "/" first on a line makes it one
};

struct CopybookOptions {
    Code host = Code::kEbcdic;  // decides which zoned signs the copybook may use
    SourceFormat format = SourceFormat::kAuto;
    // The 01 record to use when there are several (default: the first).
    std::string record;
    // REDEFINES alternatives to read in place of the first definition, by name:
    // each makes its own alternative the active one of its group.
    std::vector<std::string> redefines;
};

// A copybook parsed once; read-only, shareable between threads.
class Layout {
public:
    const std::vector<Field>& fields() const noexcept { return fields_; }
    int root() const noexcept { return root_; }  // the record's group
    // The length of a record with every table at its largest.
    std::size_t record_length() const noexcept { return record_length_; }
    // The length of a record that ends in an OCCURS DEPENDING ON table with no
    // element (record_length() when there is none).
    std::size_t fixed_length() const noexcept { return fixed_length_; }
    SourceFormat format() const noexcept { return format_; }  // the one the copybook was read in
    Code host() const noexcept { return host_; }
    // The index of the active, non-FILLER field of that name, -1 if none or
    // ambiguous.
    int Find(std::string_view name) const noexcept;

private:
    friend class LayoutBuilder;
    std::vector<Field> fields_;
    int root_ = 0;
    std::size_t record_length_ = 0;
    std::size_t fixed_length_ = 0;
    SourceFormat format_ = SourceFormat::kFixed;
    Code host_ = Code::kEbcdic;
};

struct LayoutResult {
    std::shared_ptr<const Layout> layout;  // null on error
    Error error;
};

LayoutResult ParseCopybook(std::string_view text, const CopybookOptions& options = {}) noexcept;

// ---- rows ---------------------------------------------------------------------------------

enum class RowFormat : int {
    kJsonLines = 0,  // one JSON object a line, groups as objects, OCCURS as arrays
    kCsv = 1,        // RFC 4180, CRLF, a header row; flat columns
};

// The code of the rows' text.
enum class RowCode : int {
    kUtf8 = 0,
    // CSV only (JSON is UTF-8): text fields go between the host code and
    // Shift-JIS through the library's own conversions, with no Unicode on
    // the way. A gaiji the gaiji server does not convert is text without a
    // form (TextErrors decides); kReplace leaves the substitute in.
    kShiftJis = 1,
};

// A field that did not hold what its picture says.
enum class IssueKind : int {
    kBadDigit = 1,     // zoned: a byte that is no digit of the host code
    kBadSign = 2,      // zoned or packed: no sign the picture allows
    kBadNibble = 3,    // packed: a digit nibble A-F, or a pad nibble that is not 0
    kBadText = 4,      // text without a Unicode form (strict)
    kShortRecord = 5,  // the record ends inside the field
    kBadCounter = 6,   // an OCCURS DEPENDING ON counter outside its bounds, or invalid
};

struct Issue {
    std::uint64_t record = 0;
    std::string field;       // the column name (CSV form: qualified, with _N suffixes)
    std::size_t offset = 0;  // of the field in the record
    std::string bytes;       // the field's bytes in hex, "F1 C2"
    IssueKind kind = IssueKind::kBadDigit;
};

// What decoding met: counts, and the first issues in full.
struct Report {
    std::uint64_t records = 0;
    std::uint64_t invalid_fields = 0;  // nulls for bad values (issues)
    std::uint64_t blank_numbers = 0;   // zoned numbers of host spaces only: null, no issue
    std::uint64_t replaced_text = 0;   // text fields with a substitute (TextErrors::kReplace)
    std::uint64_t short_records = 0;   // records shorter than the layout needs
    std::uint64_t long_records = 0;    // records longer than it (the rest is not read)
    std::vector<Issue> first;          // up to DecodeOptions::keep_issues

    // Adds the report of the records that come after these (decoded on
    // another thread, say): the counts, and later's issues while first holds
    // fewer than keep.
    void Add(const Report& later, std::size_t keep) noexcept;
};

struct DecodeOptions {
    RowFormat format = RowFormat::kJsonLines;
    TextErrors text_errors = TextErrors::kStrict;
    bool trim = false;  // drop trailing spaces of text (and trailing ideographic spaces of double-byte text)
    std::size_t keep_issues = 10;
    RowCode code = RowCode::kUtf8;
};

// The state of one column's value in a record (RecordDecoder::DecodeValues).
enum class ValueState : std::uint8_t {
    kPresent = 0,    // the value: text, or a number's canonical text
    kNull = 1,       // null in the row (a field that does not hold what its picture says, a blank
                     // zoned number, a field past the end of a short record)
    kAbsent = 2,     // an element past the counter of an OCCURS DEPENDING ON table (rows leave it out)
    kUncounted = 3,  // an element of a table whose counter is bad (JSON: the table is null)
};

// One column's value: its state, and for kPresent where its text lies in the
// text buffer that DecodeValues appends to (UTF-8, or Shift-JIS for
// RowCode::kShiftJis; trimmed as DecodeOptions::trim says).
struct Value {
    ValueState state = ValueState::kNull;
    std::size_t offset = 0;
    std::size_t size = 0;
};

// Turns records into rows. One decoder per thread; warm (after its first
// records) it allocates nothing per record but what out needs to grow.
class RecordDecoder {
public:
    RecordDecoder(std::shared_ptr<const Layout> layout, const DecodeOptions& options = {}) noexcept;
    ~RecordDecoder();
    RecordDecoder(RecordDecoder&&) noexcept;
    RecordDecoder& operator=(RecordDecoder&&) noexcept;

    // CSV: appends the header row (CRLF ended). JSON Lines has none.
    Error AppendHeader(std::string& out) noexcept;
    // Appends the row of one record (ended by LF, or CRLF for CSV); record_number
    // is for the report. Bad fields go to the report, not to the result.
    Error Decode(std::string_view record, std::uint64_t record_number, std::string& out) noexcept;
    // The same record as values, one for each of columns() in their order,
    // appended to values; their text is appended to text. For callers that
    // build rows of their own (the Python module's dicts and DataFrames).
    Error DecodeValues(std::string_view record, std::uint64_t record_number, std::vector<Value>& values,
                       std::string& text) noexcept;
    // Starts a new report (the counts and issues of the records after this).
    void ClearReport() noexcept;

    const Report& report() const noexcept;
    // The CSV column names in order (the flat names, also used by encoding CSV).
    const std::vector<std::string>& columns() const noexcept;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

struct EncodeOptions {
    RowFormat format = RowFormat::kJsonLines;
    TextErrors text_errors = TextErrors::kStrict;
    // A record that ends in an OCCURS DEPENDING ON table is written without
    // the elements past its counter (for V and VB); false writes every record
    // at record_length(), the unused elements as empty values (for F).
    bool variable_length = false;
    RowCode code = RowCode::kUtf8;
};

// Turns rows (JSON Lines, or CSV with its header) back into records. Warm, it
// allocates nothing per record but what out needs to grow.
class RecordEncoder {
public:
    RecordEncoder(std::shared_ptr<const Layout> layout, const EncodeOptions& options = {}) noexcept;
    ~RecordEncoder();
    RecordEncoder(RecordEncoder&&) noexcept;
    RecordEncoder& operator=(RecordEncoder&&) noexcept;

    // CSV: the header row (without its line end), before the first Encode.
    Error SetHeader(std::string_view header) noexcept;
    // Appends the record of one row (one JSON line, or one CSV record, without
    // its line end); row_number names it in errors. On error out is as it was.
    Error Encode(std::string_view row, std::uint64_t row_number, std::string& out) noexcept;
    // Values written with a substitute (TextErrors::kReplace).
    std::uint64_t replaced_text() const noexcept;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Splits rows out of text: a JSON line ends at LF; a CSV record at a CRLF or
// LF outside quotes. Gives the row (without its line end) and advances text
// past it; false when text holds no whole row (at_end: the rest is the last
// row, if it is not empty).
bool NextRow(RowFormat format, std::string_view& text, std::string_view& row, bool at_end) noexcept;

}  // namespace dataset
}  // namespace lumtrax

#endif  // LUMTRAX_DATASET_HPP
