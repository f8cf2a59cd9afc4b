// A layout made ready for rows, once per decoder or encoder: the fields that
// rows carry (active, not FILLER) as a tree of nodes with their JSON keys and
// number pictures, the flat CSV columns with their offsets, and the counters
// of OCCURS DEPENDING ON tables. Nothing in it changes per record.
#ifndef LUMTRAX_DATASET_PLAN_H
#define LUMTRAX_DATASET_PLAN_H

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "dataset/numbers.h"
#include "dataset/text.h"
#include "lumtrax_dataset.hpp"

namespace lumtrax {
namespace dataset {

struct PlanNode {
    int field = -1;  // in the layout
    FieldKind kind = FieldKind::kGroup;
    std::string name;  // as written: the JSON key
    std::string key;   // "NAME": ready to append (JSON-escaped), then 16 bytes of padding
    std::size_t key_length = 0;
    std::string qualified;   // the CSV name without its _N suffixes
    std::size_t offset = 0;  // of the first element, every enclosing element the first
    std::size_t size = 0;    // of one element
    std::size_t occurs = 1;  // the most elements
    std::size_t occurs_min = 1;
    bool has_occurs = false;
    int counter = -1;           // an OCCURS DEPENDING ON table: its slot in Plan::counters
    int counts_for = -1;        // a counter: the slot it sets
    NumberPicture picture;      // numbers
    std::vector<int> children;  // nodes
};

struct PlanColumn {
    int node = -1;
    std::string name;
    std::size_t offset = 0;
    int table = -1;           // the slot of the varying table the column lies in, or -1
    std::size_t element = 0;  // its element in that table (from 0)
};

struct PlanCounter {
    int node = -1;   // the counter's node, -1 if rows do not carry it
    int field = -1;  // the counter's field
    std::size_t min = 0;
    std::size_t max = 0;
    std::size_t element_size = 0;  // of the table it counts
    std::size_t table_offset = 0;
};

struct Plan {
    std::shared_ptr<const Layout> layout;
    ZonedBytes zoned{};
    std::vector<PlanNode> nodes;
    std::vector<int> top;  // the nodes directly under the record
    std::vector<PlanColumn> columns;
    std::vector<PlanCounter> counters;
    std::string header;  // the CSV header row, CRLF ended
};

// Builds the plan of a layout (may throw std::bad_alloc).
void BuildPlan(std::shared_ptr<const Layout> layout, Plan& plan);

// The field of a node as text codec sees it.
inline TextForm FormOf(const PlanNode& node) {
    return node.kind == FieldKind::kDoubleByte ? TextForm::kDoubleByte : TextForm::kMixed;
}

inline bool IsNumber(FieldKind kind) {
    return kind == FieldKind::kZoned || kind == FieldKind::kPacked || kind == FieldKind::kBinary ||
           kind == FieldKind::kNativeBinary;
}

// JSON string content: quotes, backslashes and control characters escaped
// (out: a std::string or a RowBuffer).
template <class Out>
void AppendJsonEscaped(std::string_view text, Out& out) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::size_t plain = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c != '"' && c != '\\') continue;
        out.append(text.data() + plain, i - plain);
        plain = i + 1;
        out.push_back('\\');
        switch (c) {
            case '"':
                out.push_back('"');
                break;
            case '\\':
                out.push_back('\\');
                break;
            case '\n':
                out.push_back('n');
                break;
            case '\r':
                out.push_back('r');
                break;
            case '\t':
                out.push_back('t');
                break;
            default:
                out.append("u00", 3);
                out.push_back(kHex[c >> 4]);
                out.push_back(kHex[c & 0x0F]);
        }
    }
    out.append(text.data() + plain, text.size() - plain);
}

// A CSV field: quoted when it holds a comma, a quote, CR or LF.
template <class Out>
void AppendCsvField(std::string_view text, Out& out) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out.append(text.data(), text.size());
        return;
    }
    out.push_back('"');
    std::size_t plain = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '"') continue;
        out.append(text.data() + plain, i + 1 - plain);  // the quote, then its double
        plain = i;
    }
    out.append(text.data() + plain, text.size() - plain);
    out.push_back('"');
}

// The host's space, and its double-byte space.
std::uint8_t HostSpace(Code host);
const char* HostDoubleSpace(Code host);  // two bytes

}  // namespace dataset
}  // namespace lumtrax

#endif  // LUMTRAX_DATASET_PLAN_H
