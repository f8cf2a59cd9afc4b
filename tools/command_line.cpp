#include "command_line.h"

#include <sched.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <thread>

#include "failure.h"

namespace lumtrax_cli {
namespace {

using lumtrax::Conversion;

// The codes, and the forms of rows (the other side of a data set).
enum class Code { kSjis, kEbcdic, kEightBit, kEuc, kUtf8, kUtf16Le, kUtf16Be, kJsonLines, kCsv };

bool IsRows(Code code) { return code == Code::kJsonLines || code == Code::kCsv; }
bool IsUnicodeSide(Code code) { return code == Code::kUtf8 || code == Code::kUtf16Le || code == Code::kUtf16Be; }
// The PC side of a text conversion: Shift-JIS or a form of Unicode.
bool IsPcSide(Code code) { return code == Code::kSjis || IsUnicodeSide(code); }

[[noreturn]] void Usage(const std::string& message) { throw Failure(kExitUsage, message + " (see lumtrax --help)"); }

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

Code ParseCode(const std::string& option, const std::string& value) {
    const std::string name = Lower(value);
    if (name == "sjis" || name == "shift-jis" || name == "shift_jis" || name == "shiftjis") {
        return Code::kSjis;
    }
    if (name == "ebcdic" || name == "host") return Code::kEbcdic;
    if (name == "8bit" || name == "8-bit" || name == "eightbit") return Code::kEightBit;
    if (name == "euc" || name == "euc-jp" || name == "eucjp") return Code::kEuc;
    if (name == "utf8" || name == "utf-8") return Code::kUtf8;
    if (name == "utf16le" || name == "utf-16le") return Code::kUtf16Le;
    if (name == "utf16be" || name == "utf-16be") return Code::kUtf16Be;
    if (name == "jsonl" || name == "json") return Code::kJsonLines;
    if (name == "csv") return Code::kCsv;
    Usage(option + ": unknown code '" + value +
          "'; the codes are sjis, ebcdic, 8bit, euc, utf8, utf16le and utf16be (and jsonl, csv)");
}

const char* CodeName(Code code) {
    switch (code) {
        case Code::kSjis:
            return "sjis";
        case Code::kEbcdic:
            return "ebcdic";
        case Code::kEightBit:
            return "8bit";
        case Code::kEuc:
            return "euc";
        case Code::kUtf8:
            return "utf8";
        case Code::kUtf16Le:
            return "utf16le";
        case Code::kUtf16Be:
            return "utf16be";
        case Code::kJsonLines:
            return "jsonl";
        case Code::kCsv:
            return "csv";
    }
    return "?";
}

// A decimal number from 0 to limit.
unsigned long long ParseNumber(const std::string& option, const std::string& value, unsigned long long limit) {
    if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos) {
        Usage(option + ": '" + value + "' is not a number");
    }
    errno = 0;
    const unsigned long long n = std::strtoull(value.c_str(), nullptr, 10);
    if (errno == ERANGE || n > limit) {
        Usage(option + ": " + value + " is too large (at most " + std::to_string(limit) + ")");
    }
    return n;
}

// An option that cannot hold twice with different values.
template <typename T>
void Once(std::optional<T>& slot, const T& value, const std::string& option) {
    if (slot && !(*slot == value)) Usage(option + " is given twice, with different values");
    slot = value;
}

// The CPUs this process may run on.
unsigned UsableCpus() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) {
        return static_cast<unsigned>(CPU_COUNT(&set));
    }
    const unsigned n = std::thread::hardware_concurrency();
    return n > 0 ? n : 1;
}

// One byte as one or two hex digits, with or without 0x.
unsigned char ParseByte(const std::string& option, const std::string& value) {
    std::string digits = Lower(value);
    if (digits.rfind("0x", 0) == 0) digits = digits.substr(2);
    if (digits.empty() || digits.size() > 2 || digits.find_first_not_of("0123456789abcdef") != std::string::npos) {
        Usage(option + ": '" + value + "' is not a byte in hex (00 to FF)");
    }
    return static_cast<unsigned char>(std::strtoul(digits.c_str(), nullptr, 16));
}

// The options as read, before they are put together.
struct Raw {
    std::optional<Code> from;
    std::optional<Code> to;
    std::optional<int> type;
    std::optional<int> table_set;
    std::optional<bool> start_70;
    std::optional<lumtrax::LineEnd> line_end;
    std::optional<unsigned char> escape;
    bool lrss = false;
    bool no_shift = false;
    bool lines = false;
    std::optional<std::size_t> record;
    std::optional<std::string> output;
    std::optional<unsigned> jobs;
    // Data sets.
    std::optional<std::string> copybook;
    std::optional<lumtrax::dataset::RecordFormat> format;
    std::optional<std::size_t> block_size;
    bool little_endian = false;
    bool length_without_descriptor = false;
    bool skip_bad = false;
    bool trim = false;
    std::vector<std::string> redefines;
    std::optional<std::string> copybook_record;
    std::optional<lumtrax::dataset::SourceFormat> copybook_format;
    std::optional<lumtrax::dataset::TextErrors> text_errors;
    std::optional<lumtrax::dataset::RowCode> rows_code;
    // Unicode.
    std::optional<lumtrax::Mapping> mapping;
    std::optional<lumtrax::OnError> errors;
};

// The library's code for a side of the conversion, with its variant.
lumtrax::Code LibraryCode(Code code, bool kana, bool start_70) {
    switch (code) {
        case Code::kEbcdic:
            return kana ? lumtrax::Code::kEbcdicKana : lumtrax::Code::kEbcdic;
        case Code::kEightBit:
            return start_70 ? lumtrax::Code::kEightBit70 : lumtrax::Code::kEightBit;
        case Code::kEuc:
            return lumtrax::Code::kEuc;
        case Code::kUtf8:
            return lumtrax::Code::kUtf8;
        case Code::kUtf16Le:
            return lumtrax::Code::kUtf16Le;
        case Code::kUtf16Be:
            return lumtrax::Code::kUtf16Be;
        case Code::kSjis:
        case Code::kJsonLines:
        case Code::kCsv:
            break;
    }
    return lumtrax::Code::kShiftJis;
}

Conversion ChooseConversion(const Raw& raw) {
    if (raw.type) {
        if (raw.from || raw.to) Usage("-t takes the place of --from and --to; give one or the other");
        if (raw.table_set || raw.start_70) {
            Usage("--table-set and --start go with --from/--to; -t names the conversion itself");
        }
        const Conversion c = static_cast<Conversion>(*raw.type);
        if (!lumtrax::IsAssigned(c) || *raw.type > static_cast<int>(Conversion::kRawByteEscape)) {
            Usage("-t " + std::to_string(*raw.type) + ": unassigned type; the types are 0-7, 10 and 11");
        }
        return c;
    }
    if (!raw.from && !raw.to) Usage("say what to convert: --from and --to, or -t N");
    if ((raw.from && IsRows(*raw.from)) || (raw.to && IsRows(*raw.to))) {
        Usage("rows (jsonl, csv) go with a host data set: give its --copybook and --format");
    }
    Code from = raw.from.value_or(Code::kSjis);
    Code to = raw.to.value_or(Code::kSjis);
    if (!raw.to && from == Code::kSjis) Usage("--to is missing: ebcdic, 8bit, euc, utf8, utf16le or utf16be");
    if (from == to) Usage(std::string("--from and --to are both ") + CodeName(from));
    if (!IsPcSide(from) && !IsPcSide(to)) {
        Usage(std::string("no conversion from ") + CodeName(from) + " to " + CodeName(to) +
              ": one side is always sjis, utf8, utf16le or utf16be (convert through one of them with two commands)");
    }
    if (IsUnicodeSide(from) && IsUnicodeSide(to)) {
        Usage(std::string("no conversion from ") + CodeName(from) + " to " + CodeName(to) +
              ": lumtrax converts Unicode to and from sjis and the host codes");
    }
    const Code host = IsPcSide(from) ? to : from;
    if (raw.table_set && host != Code::kEbcdic) Usage("--table-set goes with ebcdic only");
    if (raw.start_70 && to != Code::kEightBit) {
        Usage("--start goes with --to 8bit only (8bit input is read with either start sequence)");
    }
    const bool kana = raw.table_set.value_or(0) == 1;
    const bool start_70 = raw.start_70.value_or(false);
    const std::optional<Conversion> c =
        lumtrax::ConversionBetween(LibraryCode(from, kana, start_70), LibraryCode(to, kana, start_70));
    if (!c) Usage(std::string("no conversion from ") + CodeName(from) + " to " + CodeName(to));
    return *c;
}

// One option of the table: its names, whether it takes a value, and what it
// does with it.
struct Option {
    const char* name;        // "--from"
    const char* short_name;  // "-t", or null
    bool takes_value;
    void (*apply)(const std::string& name, const std::string& value, Raw& raw, Settings& settings);
};

void SetLineEnd(const std::string& name, const std::string& value, Raw& raw, Settings&) {
    const std::string v = Lower(value);
    if (v == "keep") {
        Once(raw.line_end, lumtrax::LineEnd::kKeep, name);
    } else if (v == "lf") {
        Once(raw.line_end, lumtrax::LineEnd::kLfOnly, name);
    } else if (v == "drop") {
        Once(raw.line_end, lumtrax::LineEnd::kDrop, name);
    } else {
        Usage("--line-end: keep, lf or drop, not '" + v + "'");
    }
}

void SetFormat(const std::string& name, const std::string& value, Raw& raw, Settings&) {
    using lumtrax::dataset::RecordFormat;
    const std::string v = Lower(value);
    if (v == "f") {
        Once(raw.format, RecordFormat::kFixed, name);
    } else if (v == "fb") {
        Once(raw.format, RecordFormat::kFixedBlocked, name);
    } else if (v == "v") {
        Once(raw.format, RecordFormat::kVariable, name);
    } else if (v == "vb") {
        Once(raw.format, RecordFormat::kVariableBlocked, name);
    } else {
        Usage(name + ": f, fb, v or vb, not '" + value + "'");
    }
}

// The options of a data set, put together (--copybook).
DatasetSettings ChooseDataset(const Raw& raw, const Settings& settings) {
    using lumtrax::dataset::RecordFormat;
    if (raw.type) Usage("-t converts text; a data set goes --from a host code --to jsonl or csv, or back");
    if (raw.lrss || raw.no_shift || raw.line_end || raw.lines || settings.hex_out) {
        Usage("--lrss, --no-shift, --line-end, --lines and --hex-out convert text, not a data set");
    }
    if (raw.mapping || raw.errors) {
        Usage("--mapping and --errors convert text; a data set's text maps by cp932, and --text-errors says what "
              "its errors do");
    }
    if (!raw.from || !raw.to) Usage("a data set needs --from and --to: a host code and jsonl or csv");
    const Code from = *raw.from;
    const Code to = *raw.to;
    if (IsRows(from) == IsRows(to) || IsPcSide(from) || IsPcSide(to)) {
        Usage(std::string("no conversion of a data set from ") + CodeName(from) + " to " + CodeName(to) +
              ": one side is ebcdic, 8bit or euc, the other jsonl or csv");
    }
    DatasetSettings d;
    d.copybook = *raw.copybook;
    d.to_rows = IsRows(to);
    const Code host = d.to_rows ? from : to;
    if (raw.table_set && host != Code::kEbcdic) Usage("--table-set goes with ebcdic only");
    if (raw.start_70 && !(host == Code::kEightBit && !d.to_rows)) {
        Usage("--start goes with --to 8bit only (8bit input is read with either start sequence)");
    }
    d.layout.host = LibraryCode(host, raw.table_set.value_or(0) == 1, raw.start_70.value_or(false));
    d.layout.format = raw.copybook_format.value_or(lumtrax::dataset::SourceFormat::kAuto);
    d.layout.record = raw.copybook_record.value_or("");
    d.layout.redefines = raw.redefines;
    d.rows = (d.to_rows ? to : from) == Code::kCsv ? lumtrax::dataset::RowFormat::kCsv
                                                   : lumtrax::dataset::RowFormat::kJsonLines;
    d.code = raw.rows_code.value_or(lumtrax::dataset::RowCode::kUtf8);
    if (d.code == lumtrax::dataset::RowCode::kShiftJis && d.rows != lumtrax::dataset::RowFormat::kCsv) {
        Usage("--rows-code sjis goes with csv only (JSON is UTF-8)");
    }
    d.text_errors = raw.text_errors.value_or(lumtrax::dataset::TextErrors::kStrict);
    d.trim = raw.trim;
    if (!raw.format) Usage("a data set needs its record format: --format f, fb, v or vb");
    d.framing.format = *raw.format;
    const bool fixed = d.framing.format == RecordFormat::kFixed || d.framing.format == RecordFormat::kFixedBlocked;
    if (raw.record && !fixed) Usage("--record N gives the length of F and FB records, not of V or VB");
    if ((raw.little_endian || raw.length_without_descriptor) && fixed) {
        Usage("--little-endian and --length-without-descriptor go with --format v or vb");
    }
    if (raw.block_size && d.framing.format != RecordFormat::kVariableBlocked) {
        Usage("--block-size goes with --format vb");
    }
    if ((raw.skip_bad || raw.trim) && !d.to_rows) Usage("--skip-bad and --trim go with reading a data set");
    if (raw.block_size && *raw.block_size < 8) Usage("--block-size: a block has at least 8 bytes");
    d.record_length_given = raw.record.has_value();
    d.framing.record_length = raw.record.value_or(0);
    d.framing.little_endian = raw.little_endian;
    d.framing.length_excludes_descriptor = raw.length_without_descriptor;
    d.framing.skip_bad = raw.skip_bad;
    if (raw.block_size) d.framing.block_size = *raw.block_size;
    return d;
}

const Option kOptions[] = {
    {"--help", "-h", false,
     [](const std::string&, const std::string&, Raw&, Settings& s) { s.action = Settings::Action::kHelp; }},
    {"--version", nullptr, false,
     [](const std::string&, const std::string&, Raw&, Settings& s) { s.action = Settings::Action::kVersion; }},
    {"--check-gaiji-table", nullptr, true,
     [](const std::string&, const std::string& v, Raw&, Settings& s) {
         s.action = Settings::Action::kCheckGaijiTable;
         s.gaiji_table = v;
     }},
    {"--from", nullptr, true,
     [](const std::string& n, const std::string& v, Raw& r, Settings&) { Once(r.from, ParseCode(n, v), n); }},
    {"--to", nullptr, true,
     [](const std::string& n, const std::string& v, Raw& r, Settings&) { Once(r.to, ParseCode(n, v), n); }},
    {"--type", "-t", true,
     [](const std::string& n, const std::string& v, Raw& r, Settings&) {
         Once(r.type, static_cast<int>(ParseNumber(n, v, 255)), "-t");
     }},
    {"--table-set", nullptr, true,
     [](const std::string& n, const std::string& v, Raw& r, Settings&) {
         if (v != "0" && v != "1") Usage("--table-set: 0 (lower-case) or 1 (kana), not '" + v + "'");
         Once(r.table_set, v == "1" ? 1 : 0, n);
     }},
    {"--start", nullptr, true,
     [](const std::string& n, const std::string& value, Raw& r, Settings&) {
         const std::string v = Lower(value);
         if (v != "f0" && v != "70") Usage("--start: f0 or 70, not '" + v + "'");
         Once(r.start_70, v == "70", n);
     }},
    {"--line-end", nullptr, true, SetLineEnd},
    {"--lrss", nullptr, false, [](const std::string&, const std::string&, Raw& r, Settings&) { r.lrss = true; }},
    {"--no-shift", nullptr, false,
     [](const std::string&, const std::string&, Raw& r, Settings&) { r.no_shift = true; }},
    {"--lines", nullptr, false, [](const std::string&, const std::string&, Raw& r, Settings&) { r.lines = true; }},
    {"--record", nullptr, true,
     [](const std::string& n, const std::string& v, Raw& r, Settings&) {
         const auto size = static_cast<std::size_t>(ParseNumber(n, v, 1ull << 30));
         if (size == 0) Usage("--record: a record has at least 1 byte");
         Once(r.record, size, n);
     }},
    {"--hex-in", nullptr, false, [](const std::string&, const std::string&, Raw&, Settings& s) { s.hex_in = true; }},
    {"--hex-out", nullptr, false, [](const std::string&, const std::string&, Raw&, Settings& s) { s.hex_out = true; }},
    {"--escape", nullptr, true,
     [](const std::string& n, const std::string& v, Raw& r, Settings&) { Once(r.escape, ParseByte(n, v), n); }},
    {"--output", "-o", true,
     [](const std::string& n, const std::string& v, Raw& r, Settings&) {
         if (v.empty()) Usage(n + " needs a file name");
         Once(r.output, v, "-o");
     }},
    {"--jobs", "-j", true,
     [](const std::string& n, const std::string& v, Raw& r, Settings&) {
         const auto jobs = static_cast<unsigned>(ParseNumber(n, v, 1024));
         if (jobs == 0) Usage(n + ": at least 1 job");
         Once(r.jobs, jobs, "-j");
     }},
    // Host data sets.
    {"--copybook", nullptr, true,
     [](const std::string& n, const std::string& v, Raw& r, Settings&) {
         if (v.empty()) Usage(n + " needs a file name");
         Once(r.copybook, v, n);
     }},
    {"--format", nullptr, true, SetFormat},
    {"--block-size", nullptr, true,
     [](const std::string& n, const std::string& v, Raw& r, Settings&) {
         const auto size = static_cast<std::size_t>(ParseNumber(n, v, 1ull << 30));
         Once(r.block_size, size, n);
     }},
    {"--little-endian", nullptr, false,
     [](const std::string&, const std::string&, Raw& r, Settings&) { r.little_endian = true; }},
    {"--length-without-descriptor", nullptr, false,
     [](const std::string&, const std::string&, Raw& r, Settings&) { r.length_without_descriptor = true; }},
    {"--skip-bad", nullptr, false,
     [](const std::string&, const std::string&, Raw& r, Settings&) { r.skip_bad = true; }},
    {"--trim", nullptr, false, [](const std::string&, const std::string&, Raw& r, Settings&) { r.trim = true; }},
    {"--redefines", nullptr, true,
     [](const std::string& n, const std::string& v, Raw& r, Settings&) {
         if (v.empty()) Usage(n + " needs the name of a REDEFINES alternative");
         r.redefines.push_back(v);
     }},
    {"--copybook-record", nullptr, true,
     [](const std::string& n, const std::string& v, Raw& r, Settings&) {
         if (v.empty()) Usage(n + " needs the name of an 01 record");
         Once(r.copybook_record, v, n);
     }},
    {"--copybook-format", nullptr, true,
     [](const std::string& n, const std::string& value, Raw& r, Settings&) {
         using lumtrax::dataset::SourceFormat;
         const std::string v = Lower(value);
         if (v != "auto" && v != "fixed" && v != "free") Usage(n + ": auto, fixed or free, not '" + value + "'");
         Once(r.copybook_format,
              v == "fixed"  ? SourceFormat::kFixed
              : v == "free" ? SourceFormat::kFree
                            : SourceFormat::kAuto,
              n);
     }},
    {"--text-errors", nullptr, true,
     [](const std::string& n, const std::string& value, Raw& r, Settings&) {
         using lumtrax::dataset::TextErrors;
         const std::string v = Lower(value);
         if (v != "strict" && v != "replace") Usage(n + ": strict or replace, not '" + value + "'");
         Once(r.text_errors, v == "strict" ? TextErrors::kStrict : TextErrors::kReplace, n);
     }},
    // Unicode.
    {"--mapping", nullptr, true,
     [](const std::string& n, const std::string& value, Raw& r, Settings&) {
         const std::string v = Lower(value);
         if (v != "cp932" && v != "jis") Usage(n + ": cp932 or jis, not '" + value + "'");
         Once(r.mapping, v == "jis" ? lumtrax::Mapping::kJis : lumtrax::Mapping::kCp932, n);
     }},
    {"--errors", nullptr, true,
     [](const std::string& n, const std::string& value, Raw& r, Settings&) {
         const std::string v = Lower(value);
         if (v != "strict" && v != "replace") Usage(n + ": strict or replace, not '" + value + "'");
         Once(r.errors, v == "replace" ? lumtrax::OnError::kReplace : lumtrax::OnError::kStrict, n);
     }},
    {"--rows-code", nullptr, true,
     [](const std::string& n, const std::string& value, Raw& r, Settings&) {
         using lumtrax::dataset::RowCode;
         const std::string v = Lower(value);
         const bool sjis = v == "sjis" || v == "shift-jis" || v == "shift_jis" || v == "cp932";
         if (!sjis && v != "utf8" && v != "utf-8") Usage(n + ": utf8 or sjis, not '" + value + "'");
         Once(r.rows_code, sjis ? RowCode::kShiftJis : RowCode::kUtf8, n);
     }},
};

const Option* FindOption(const std::string& name) {
    for (const Option& option : kOptions) {
        if (name == option.name || (option.short_name != nullptr && name == option.short_name)) return &option;
    }
    return nullptr;
}

bool HasUnicodeSide(Conversion c) {
    const lumtrax::ConversionInfo& info = *lumtrax::Describe(c);
    return IsUnicode(info.from) || IsUnicode(info.to);
}

// Whether the conversion takes each of the options that shape a call.
bool ReadsLineEnd(Conversion c) {
    const lumtrax::ConversionInfo& info = *lumtrax::Describe(c);
    return (info.from == lumtrax::Code::kShiftJis || IsUnicode(info.from)) && !IsUnicode(info.to) &&
           c != Conversion::kRawByteEscape;
}
bool WritesShiftCodes(Conversion c) {
    const lumtrax::Code to = lumtrax::Describe(c)->to;
    return to == lumtrax::Code::kEbcdic || to == lumtrax::Code::kEbcdicKana || to == lumtrax::Code::kEightBit ||
           to == lumtrax::Code::kEightBit70;
}
bool ReadsLrss(Conversion c) {
    const lumtrax::ConversionInfo& info = *lumtrax::Describe(c);
    return info.from != lumtrax::Code::kEuc && info.to != lumtrax::Code::kEuc && !HasUnicodeSide(c) &&
           c != Conversion::kRawByteEscape;
}

}  // namespace

bool IsUnicode(lumtrax::Code code) {
    return code == lumtrax::Code::kUtf8 || code == lumtrax::Code::kUtf16Le || code == lumtrax::Code::kUtf16Be;
}

const char* CodeName(lumtrax::Code code) {
    switch (code) {
        case lumtrax::Code::kShiftJis:
            return CodeName(Code::kSjis);
        case lumtrax::Code::kEbcdic:
        case lumtrax::Code::kEbcdicKana:
            return CodeName(Code::kEbcdic);
        case lumtrax::Code::kEightBit:
        case lumtrax::Code::kEightBit70:
            return CodeName(Code::kEightBit);
        case lumtrax::Code::kEuc:
            return CodeName(Code::kEuc);
        case lumtrax::Code::kUtf8:
            return CodeName(Code::kUtf8);
        case lumtrax::Code::kUtf16Le:
            return CodeName(Code::kUtf16Le);
        case lumtrax::Code::kUtf16Be:
            return CodeName(Code::kUtf16Be);
    }
    return "?";
}

Settings ParseCommandLine(const std::vector<std::string>& args) {
    Settings settings;
    Raw raw;
    bool only_inputs = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (only_inputs || arg == "-" || arg.empty() || arg[0] != '-') {
            settings.inputs.push_back(arg);
            continue;
        }
        if (arg == "--") {
            only_inputs = true;
            continue;
        }
        // --name=value or --name value; -o FILE, -oFILE (the short options
        // that take a value).
        std::string name = arg;
        std::optional<std::string> attached;
        const std::size_t equals = arg.find('=');
        if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
            name = arg.substr(0, equals);
            attached = arg.substr(equals + 1);
        } else if (arg.size() > 2 && arg[1] != '-') {
            const Option* short_option = FindOption(arg.substr(0, 2));
            if (short_option != nullptr && short_option->takes_value) {
                name = arg.substr(0, 2);
                attached = arg.substr(2);
            }
        }
        const Option* option = FindOption(name);
        if (option == nullptr) Usage("unknown option " + arg);
        std::string value;
        if (option->takes_value) {
            if (attached) {
                value = *attached;
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                Usage(name + " needs a value");
            }
        } else if (attached) {
            Usage(name + " takes no value");
        }
        option->apply(name, value, raw, settings);
    }
    if (settings.action == Settings::Action::kCheckGaijiTable && !settings.inputs.empty()) {
        Usage("--check-gaiji-table FILE checks one table and converts nothing");
    }
    if (settings.action != Settings::Action::kConvert) return settings;
    settings.output = raw.output.value_or("");
    settings.jobs = raw.jobs ? *raw.jobs : UsableCpus();

    const bool dataset_only = raw.format || raw.block_size || raw.little_endian || raw.length_without_descriptor ||
                              raw.skip_bad || raw.trim || !raw.redefines.empty() || raw.copybook_record ||
                              raw.copybook_format || raw.text_errors || raw.rows_code;
    if (raw.copybook) {
        if (raw.escape) Usage("--escape BYTE reads no input; give it alone (with -o or --hex-out)");
        settings.action = Settings::Action::kDataset;
        settings.dataset = ChooseDataset(raw, settings);
        if (settings.inputs.empty()) settings.inputs.push_back("-");
        return settings;
    }
    if (dataset_only) Usage("--format, --skip-bad, --trim and the other options of data sets go with --copybook");

    if (raw.escape) {
        if (raw.from || raw.to || raw.type || raw.table_set || raw.start_70 || raw.line_end || raw.lrss ||
            raw.no_shift || raw.lines || raw.record || settings.hex_in || !settings.inputs.empty()) {
            Usage("--escape BYTE reads no input; give it alone (with -o or --hex-out)");
        }
        settings.action = Settings::Action::kEscape;
        settings.escape_byte = *raw.escape;
        settings.conversion = Conversion::kRawByteEscape;
        return settings;
    }

    const Conversion c = ChooseConversion(raw);
    if (raw.line_end && !ReadsLineEnd(c)) {
        Usage("--line-end applies to conversions out of sjis, utf8, utf16le and utf16be only");
    }
    if (raw.no_shift && !WritesShiftCodes(c)) {
        Usage("--no-shift applies to --to ebcdic and --to 8bit only");
    }
    if (raw.lrss && !ReadsLrss(c)) {
        Usage(HasUnicodeSide(c) ? "--lrss: Unicode text has no LRSS placeholders" : "--lrss: euc has no shift codes");
    }
    if ((raw.mapping || raw.errors) && !HasUnicodeSide(c)) {
        Usage("--mapping and --errors go with a Unicode side (utf8, utf16le, utf16be)");
    }
    if (raw.lines && raw.record) Usage("--lines and --record exclude each other");

    settings.conversion = c;
    settings.options.line_end = raw.line_end.value_or(lumtrax::LineEnd::kKeep);
    settings.options.lrss = raw.lrss;
    settings.options.shift = !raw.no_shift;
    settings.options.mapping = raw.mapping.value_or(lumtrax::Mapping::kCp932);
    settings.options.errors = raw.errors.value_or(lumtrax::OnError::kStrict);
    if (raw.lines) settings.split = Split::kLines;
    if (raw.record) {
        settings.split = Split::kRecords;
        settings.record_size = *raw.record;
    }
    if (settings.inputs.empty()) settings.inputs.push_back("-");
    return settings;
}

const char* HelpText() {
    return R"(Usage: lumtrax [OPTION]... [FILE]...
Converts Japanese text between Shift-JIS (sjis) and the host codes: the EBCDIC
host code (ebcdic), the 8-bit host code (8bit) and EUC (euc); and between
Unicode (utf8, utf16le, utf16be) and Shift-JIS or a host code. Reads each FILE
(standard input when none is given, or for -) and writes the converted bytes
to standard output or to -o FILE.

What to convert (one side is always sjis or Unicode):
  --from CODE, --to CODE  sjis, ebcdic, 8bit, euc, utf8, utf16le or utf16be;
                          the side left out is sjis
  --table-set 0|1         ebcdic table set: 0 lower-case (default), 1 kana
  --start f0|70           --to 8bit: runs opened by 93 F0 (default) or 93 70
  -t, --type N            the conversion type number instead (0-7, 10, 11):
                          0/1 sjis->ebcdic, 2/10 sjis->8bit, 3 sjis->euc,
                          4/5 ebcdic->sjis, 6 8bit->sjis, 7 euc->sjis,
                          11 raw-byte escape of the first byte
Unicode (with utf8, utf16le or utf16be on one side):
  --mapping cp932|jis     each Shift-JIS code's character as Windows code page
                          932 has it (default), or as JIS X 0208 alone
  --errors strict|replace a unit without a Unicode form, or a character without
                          a code: stop after writing what came before (default,
                          exit status 3), or put in U+FFFD or the substitute
How (as the C functions Lumtrax, Lumtrax_LRSS and Lumtrax_NoShift):
  --lrss                  LRSS mode: A0 in sjis stands for each shift code
  --no-shift              write no shift code or sequence (--to ebcdic, 8bit)
  --line-end keep|lf|drop a CR LF in sjis: kept (default), LF only, dropped
How much per call:
  (default)               each FILE whole, with the bytes of one call: it is
                          converted in chunks, cut only where that gives the
                          same bytes (no cut inside an open run: the chunk
                          grows); 00 bytes are carried
  --lines                 each line (up to and with its LF: 0A, or 25 in
                          ebcdic) in its own call, as record files are processed
  --record N              each N bytes in their own call (files without line
                          ends); a shorter last record is converted, with a warning
  -j, --jobs N            convert on N threads (default: the CPUs this process
                          may use); the output is the same for every N
Input and output:
  --hex-in                read hex pairs ("C1 2B B0 A1"); whitespace is ignored
  --hex-out               write hex pairs, one line for each file (or line,
                          or record)
  -o, --output FILE       write FILE (through a temporary file renamed into
                          place: a failure never leaves a partial FILE)
  --escape BYTE           write the raw-byte escape 5C 01 BYTE (type 11) and stop
  -h, --help              this text
  --version               the library's and the gaiji server's versions, and
                          the gaiji table the stand-in server uses
  --check-gaiji-table FILE  check a gaiji table for the stand-in server: each
                          error with its line (exit status 3 when there is one)
Host data sets (records of text and numbers, by a COBOL copybook), read into
rows with --from CODE --to jsonl|csv, or written back with --from jsonl|csv
--to CODE:
  --copybook FILE         the copybook that lays out the records
  --format f|fb|v|vb      the record format: fixed (blocked) or variable (blocked)
  --record N              F and FB: the record length (default: the copybook's)
  --block-size N          writing VB: the largest block (default 32760)
  --little-endian         V and VB: descriptor lengths in little-endian order
  --length-without-descriptor  V and VB: lengths leave out the descriptor
  --skip-bad              skip bad frames where the format allows (VB, F), count them
  --trim                  drop trailing spaces of text fields
  --redefines NAME        read the REDEFINES alternative NAME (repeatable)
  --copybook-record NAME  the 01 record to use (default: the first)
  --copybook-format auto|fixed|free  the copybook's source format
  --text-errors strict|replace  text without a form: null/error, or a substitute
  --rows-code utf8|sjis   the code of CSV rows (default utf8; JSON is UTF-8)

Exit status: 0 done; 1 done, but some characters could not be converted (a
gaiji the gaiji server does not know, bytes that are no valid text, or with
--errors replace text without a form on the other side) and were replaced by
the substitute (a black square, or U+FFFD), or (data sets) fields were null
for bad values, records short or bad frames skipped; 2 usage error; 3
input/output error, input not hex, text without a form on the other side
(--errors strict), input that is not UTF-8 or UTF-16, a text too large for
one call, or (data sets) a bad copybook, a bad frame or a value that does not
fit its field. Standard error tells where the first replacement is, and
whether the gaiji server converted gaiji.
With standard error on a terminal, inputs of 16 MiB and more show a progress
line.

Examples:
  lumtrax --from ebcdic --to utf8 host.dat > text.txt
  lumtrax --from utf8 --to 8bit --errors replace --lines text.txt > host.8bit
  lumtrax --to ebcdic --hex-out examples/sample.sjis
  lumtrax --to ebcdic examples/sample.sjis | lumtrax --from ebcdic --hex-out
  lumtrax --from ebcdic --table-set 1 --lines -o out.txt host.dat
  lumtrax --to 8bit --start 70 --line-end lf --lines notes.txt > notes.host
  lumtrax --from 8bit --record 80 host.dat > records.sjis
  echo '41 88 9F 0D 0A' | lumtrax --hex-in --hex-out --to euc
  lumtrax --escape 0D --hex-out
  lumtrax --from ebcdic --copybook cust.cpy --format vb --to jsonl host.dat -o rows.jsonl
  lumtrax --from csv --to ebcdic --copybook cust.cpy --format fb rows.csv -o host.dat
)";
}

}  // namespace lumtrax_cli
