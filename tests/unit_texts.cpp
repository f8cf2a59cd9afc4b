#include "unit_texts.h"

#include <gtest/gtest.h>

namespace unit_texts {
namespace {

struct Unit {
    char letter;
    test_support::Bytes sjis;
};

const Unit kUnits[] = {
    {'a', {0x61}},       {'k', {0xB1}},       {'r', {0x0D}},       {'y', {0x5C}},
    {'K', {0x88, 0x9F}}, {'S', {0x81, 0x40}}, {'L', {0xEA, 0xA4}}, {'g', {0xF0, 0x40}},
    {'n', {0x0D, 0x0A}}, {'e', {0x5C, 0x01, 0xC1}}, {'E', {0x5C, 0x01, 0x88}}, {'p', {0xA0}},
};

}  // namespace

test_support::Bytes Text(const std::string& letters) {
    test_support::Bytes text;
    for (const char letter : letters) {
        const Unit* unit = nullptr;
        for (const Unit& u : kUnits) {
            if (u.letter == letter) unit = &u;
        }
        if (unit == nullptr) {
            ADD_FAILURE() << "no unit " << letter;
            continue;
        }
        text.insert(text.end(), unit->sjis.begin(), unit->sjis.end());
    }
    return text;
}

}  // namespace unit_texts
