// The plan of a layout: nodes, columns and counters (see plan.h).
#include "dataset/plan.h"

#include <algorithm>
#include <cctype>

#include "dataset/errors.h"

namespace lumtrax {
namespace dataset {
namespace {

std::string Upper(const std::string& s) {
    std::string u(s);
    for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return u;
}

bool Carried(const Field& field) { return field.active && !field.is_filler; }

class PlanBuilder {
public:
    PlanBuilder(const Layout& layout, Plan& plan) : layout_(layout), fields_(layout.fields()), plan_(plan) {}

    void Build() {
        const Field& root = fields_[layout_.root()];
        for (int child : root.children) {
            const int node = Node(child);
            if (node >= 0) plan_.top.push_back(node);
        }
        Qualify();
        for (int node : plan_.top) Columns(node, 0, "", -1, 0);
        for (std::size_t c = 0; c < plan_.columns.size(); ++c) {
            if (c > 0) plan_.header.push_back(',');
            AppendCsvField(plan_.columns[c].name, plan_.header);
        }
        plan_.header.append("\r\n");
    }

private:
    int Node(int field) {
        const Field& f = fields_[field];
        if (!Carried(f)) return -1;
        PlanNode node;
        node.field = field;
        node.kind = f.kind;
        node.name = f.name;
        node.key.push_back('"');
        AppendJsonEscaped(f.name, node.key);
        node.key.append("\":");
        node.key_length = node.key.size();
        node.key.append(16, '\0');
        node.offset = f.offset;
        node.size = f.size;
        node.occurs = f.occurs_max;
        node.occurs_min = f.has_occurs ? f.occurs_min : 1;
        node.has_occurs = f.has_occurs;
        if (IsNumber(f.kind)) node.picture = PictureOf(f);
        const int index = static_cast<int>(plan_.nodes.size());
        plan_.nodes.push_back(std::move(node));
        if (f.depending_on >= 0) {
            PlanCounter counter;
            counter.field = f.depending_on;
            counter.min = f.occurs_min;
            counter.max = f.occurs_max;
            counter.element_size = f.size;
            counter.table_offset = f.offset;
            plan_.nodes[index].counter = static_cast<int>(plan_.counters.size());
            plan_.counters.push_back(counter);
        }
        for (int child : f.children) {
            const int node_index = Node(child);
            if (node_index >= 0) plan_.nodes[index].children.push_back(node_index);
        }
        return index;
    }

    // The names of the elementary nodes, qualified by their groups' names
    // only as far as needed to tell them apart.
    void Qualify() {
        std::vector<int> leaves;
        for (std::size_t n = 0; n < plan_.nodes.size(); ++n) {
            if (plan_.nodes[n].kind != FieldKind::kGroup) leaves.push_back(static_cast<int>(n));
        }
        auto chain = [this](int node) {
            std::vector<std::string> names;
            for (int f = plan_.nodes[node].field; f >= 0 && f != layout_.root(); f = fields_[f].parent) {
                names.push_back(Upper(fields_[f].name));
            }
            return names;  // the node's own name first
        };
        std::vector<std::vector<std::string>> chains;
        for (int leaf : leaves) chains.push_back(chain(leaf));
        for (std::size_t a = 0; a < leaves.size(); ++a) {
            std::size_t depth = 1;
            for (; depth < chains[a].size(); ++depth) {
                bool clash = false;
                for (std::size_t b = 0; b < leaves.size() && !clash; ++b) {
                    clash =
                        b != a && chains[b].size() >= depth &&
                        std::equal(chains[a].begin(), chains[a].begin() + static_cast<long>(depth), chains[b].begin());
                }
                if (!clash) break;
            }
            std::string name;
            int f = plan_.nodes[leaves[a]].field;
            std::vector<const std::string*> parts;
            for (std::size_t d = 0; d < depth && f >= 0; ++d, f = fields_[f].parent) parts.push_back(&fields_[f].name);
            for (std::size_t p = parts.size(); p-- > 0;) {
                name.append(*parts[p]);
                if (p > 0) name.push_back('.');
            }
            plan_.nodes[leaves[a]].qualified = std::move(name);
        }
        for (std::size_t c = 0; c < plan_.counters.size(); ++c) {
            for (std::size_t n = 0; n < plan_.nodes.size(); ++n) {
                if (plan_.nodes[n].field == plan_.counters[c].field) {
                    plan_.counters[c].node = static_cast<int>(n);
                    plan_.nodes[n].counts_for = static_cast<int>(c);
                }
            }
        }
    }

    void Columns(int index, std::size_t shift, const std::string& suffix, int table, std::size_t element) {
        const PlanNode& node = plan_.nodes[index];
        for (std::size_t k = 0; k < node.occurs; ++k) {
            std::string s = suffix;
            if (node.has_occurs) {
                s.push_back('_');
                AppendDecimal(k + 1, s);
            }
            const std::size_t at = shift + k * node.size;
            const int t = node.counter >= 0 ? node.counter : table;
            const std::size_t e = node.counter >= 0 ? k : element;
            if (node.kind == FieldKind::kGroup) {
                for (int child : node.children) Columns(child, at, s, t, e);
            } else {
                PlanColumn column;
                column.node = index;
                column.name = node.qualified + s;
                column.offset = node.offset + at;
                column.table = t;
                column.element = e;
                plan_.columns.push_back(std::move(column));
            }
        }
    }

    const Layout& layout_;
    const std::vector<Field>& fields_;
    Plan& plan_;
};

}  // namespace

void BuildPlan(std::shared_ptr<const Layout> layout, Plan& plan) {
    plan = Plan{};
    plan.layout = std::move(layout);
    plan.zoned = ZonedBytesOf(plan.layout->host());
    PlanBuilder(*plan.layout, plan).Build();
}

std::uint8_t HostSpace(Code host) { return host == Code::kEbcdic || host == Code::kEbcdicKana ? 0x40 : 0x20; }

const char* HostDoubleSpace(Code host) {
    return host == Code::kEightBit || host == Code::kEightBit70 ? "\x20\x20" : "\xA1\xA1";
}

}  // namespace dataset
}  // namespace lumtrax
