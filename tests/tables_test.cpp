#include <gtest/gtest.h>

#include "tables/host_tables.h"

namespace {

using lumtrax::TableSet;

// Table set 0 is the lower-case layout, 1 the kana layout.
const lumtrax::ByteTable& SjisToHostTable(int set) {
    return lumtrax::SjisToHostTable(set == 0 ? TableSet::kLowerCase : TableSet::kKana);
}

struct ForwardCase {
    std::uint8_t sjis;
    std::uint8_t set0;
    std::uint8_t set1;
};

// The images the layouts are known by (that the tables are permutations with
// exact inverses is checked where they are defined).
TEST(HostTables, ForwardImages) {
    const ForwardCase cases[] = {
        {0x0A, 0x25, 0x25}, {0x0D, 0x0D, 0x0D}, {0x20, 0x40, 0x40}, {0x30, 0xF0, 0xF0}, {0x41, 0xC1, 0xC1},
        {0x8B, 0x2B, 0x2B}, {0x8C, 0x2C, 0x2C}, {0xFF, 0xFF, 0xFF}, {0x61, 0x81, 0x62}, {0xB1, 0x59, 0x81},
        {0xA0, 0x41, 0x59}, {0x5C, 0xE0, 0x5B}, {0x24, 0x5B, 0xE0}, {0x7E, 0xA1, 0xB1}, {0x7A, 0xA9, 0xAB},
        {0xDF, 0xB7, 0xBF}, {0xE2, 0xBA, 0xB2}, {0x04, 0x37, 0x37}, {0x9F, 0xE1, 0xE1}, {0x7F, 0x07, 0x07},
    };
    for (const ForwardCase& c : cases) {
        EXPECT_EQ(SjisToHostTable(0)[c.sjis], c.set0) << std::hex << int{c.sjis};
        EXPECT_EQ(SjisToHostTable(1)[c.sjis], c.set1) << std::hex << int{c.sjis};
    }
}

// The half-width katakana keep their order in both layouts.
TEST(HostTables, KatakanaAscendInBothSets) {
    for (int set : {0, 1}) {
        for (int b = 0xA1; b < 0xDF; ++b) {
            EXPECT_LT(SjisToHostTable(set)[b], SjisToHostTable(set)[b + 1]) << set << " " << b;
        }
    }
}

}  // namespace
