#!/usr/bin/python3
"""Writes src/tables/unicode_tables.h, the Unicode mapping tables of lumtrax.

    make_unicode_tables.py           write the header beside this script
    make_unicode_tables.py --check   exit 1 when the committed header is not
                                     what the codecs and the rules give
    make_unicode_tables.py --dump    print both mappings, one code a line
                                     (for tests/unicode_codecs_check.py)

Two mappings, each defined unit by unit on the Shift-JIS image of a unit:

cp932  Windows code page 932 as Python's cp932 codec decodes it: JIS X 0208,
       NEC row 13 (lead 87), the NEC-selected IBM extensions (ED40-EEFC),
       the IBM extensions (FA40-FC4B), the user-defined area F040-F9FC as
       U+E000-U+E757, the single bytes 80, A0, FD-FF as U+0080 and
       U+F8F0-U+F8F3. Encoding writes a character with several codes as its
       JIS X 0208 code, else its row-13 code, else its IBM extension code,
       never its NEC-selected copy; six best-fit characters also encode
       (BEST_FIT below).
jis    JIS X 0208 as Python's shift_jis codec decodes it, the single bytes
       00-7F and A1-DF, and the user-defined area as in cp932. Encoding is
       the exact inverse.

A single byte whose image is a lead byte, or that the codec leaves
undefined, has no Unicode form; so has a pair the codec leaves undefined.
Every character of both mappings is in the BMP.
"""

import codecs
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
HEADER = os.path.join(HERE, "unicode_tables.h")

NONE16 = 0xFFFF  # no Unicode form / no code
BLOCK = 64  # scalars per block of the encode table
PAGES = 0x10000 // BLOCK

# Characters that encode without decoding back (cp932 only): each to the code
# that Python's shift_jis codec decodes to it.
BEST_FIT = {0x301C: 0x8160, 0x2016: 0x8161, 0x2212: 0x817C, 0x00A2: 0x8191, 0x00A3: 0x8192, 0x00AC: 0x81CA}


def sjis_of_jis(row, cell):
    """The Shift-JIS code of the JIS code (row, cell), both 21-7E."""
    lead = ((row + 1) >> 1) + (0x70 if row < 0x5F else 0xB0)
    trail = cell + 0x1F + (1 if cell >= 0x60 else 0) if row % 2 == 1 else cell + 0x7E
    return lead << 8 | trail


def jis_of_sjis(code):
    """The JIS code of a kanji-class Shift-JIS code (lead 81-9F, E0-EF)."""
    lead, trail = code >> 8, code & 0xFF
    base = 2 * lead - 0xE1 if lead <= 0x9F else 2 * lead - 0x161
    row = base + 1 if trail >= 0x9F else base
    cell = trail - 0x7E if trail >= 0x9F else (trail - 0x1F if trail <= 0x7E else trail - 0x20)
    return row << 8 | cell


def trails():
    return [t for t in range(0x40, 0xFD) if t != 0x7F]


def is_jis_area(row, cell):
    """The assigned area of JIS X 0208 (rows 1-7, 8 cells 1-32, 16-83, 84 cells 1-6)."""
    if 0x21 <= row <= 0x27 or 0x30 <= row <= 0x73:
        return True
    return (row == 0x28 and cell <= 0x40) or (row == 0x74 and cell <= 0x26)


def decode_one(data, codec):
    """The one BMP character the codec decodes data to, or None."""
    try:
        text = data.decode(codec)
    except UnicodeDecodeError:
        return None
    if len(text) != 1:
        return None
    value = ord(text)
    assert value < 0x10000, (data, codec)
    return value


def user_area_index(code):
    lead, trail = code >> 8, code & 0xFF
    if not 0xF0 <= lead <= 0xF9:
        return None
    return (lead - 0xF0) * 188 + trails().index(trail)


def build(mapping):
    codec = "cp932" if mapping == "cp932" else "shift_jis"
    single = [NONE16] * 256
    for b in range(256):
        is_lead = 0x81 <= b <= 0x9F or 0xE0 <= b <= 0xFC
        value = None if is_lead else decode_one(bytes([b]), codec)
        if value is not None:
            single[b] = value
    square = [NONE16] * (94 * 94)
    for row in range(0x21, 0x7F):
        for cell in range(0x21, 0x7F):
            code = sjis_of_jis(row, cell)
            value = decode_one(code.to_bytes(2, "big"), codec)
            if value is not None:
                square[(row - 0x21) * 94 + cell - 0x21] = value
    upper = [NONE16] * (13 * 188)
    for lead in range(0xF0, 0xFD):
        for k, trail in enumerate(trails()):
            code = lead << 8 | trail
            n = user_area_index(code)
            # The user-defined area is the same in both mappings, by the rule.
            value = 0xE000 + n if n is not None else decode_one(code.to_bytes(2, "big"), codec)
            if value is not None:
                upper[(lead - 0xF0) * 188 + k] = value
    return single, square, upper


def decode_map(single, square, upper):
    """Every code of a mapping: {Shift-JIS code: scalar}."""
    codes = {b: v for b, v in enumerate(single) if v != NONE16}
    for row in range(0x21, 0x7F):
        for cell in range(0x21, 0x7F):
            v = square[(row - 0x21) * 94 + cell - 0x21]
            if v != NONE16:
                codes[sjis_of_jis(row, cell)] = v
    for lead in range(0xF0, 0xFD):
        for k, trail in enumerate(trails()):
            v = upper[(lead - 0xF0) * 188 + k]
            if v != NONE16:
                codes[lead << 8 | trail] = v
    return codes


def preference(code):
    """The order in which a character's codes are chosen (lower first), or None for a code never written."""
    if code < 0x100:
        return 0
    lead = code >> 8
    if lead == 0x87:
        return 2
    if lead in (0xED, 0xEE):
        return None
    if 0xFA <= lead <= 0xFC:
        return 3
    if 0xF0 <= lead <= 0xF9:
        return 4
    return 1  # JIS X 0208


def encode_map(mapping, decoded):
    """{scalar: Shift-JIS code}, by the rules of the mapping."""
    chosen = {}
    for code, value in sorted(decoded.items(), key=lambda item: (preference(item[0]) or 9, item[0])):
        rank = preference(code)
        if rank is None:
            # Every NEC-selected character has another code.
            assert any(c != code and v == value and preference(c) is not None for c, v in decoded.items()), hex(code)
            continue
        if mapping == "jis":
            assert value not in chosen, ("the jis mapping has no duplicates", hex(code))
        chosen.setdefault(value, code)
    if mapping == "cp932":
        for value, code in BEST_FIT.items():
            assert value not in chosen, hex(value)
            chosen[value] = code
    return chosen


def is_gaiji_class(code):
    lead, trail = code >> 8, code & 0xFF
    return lead == 0x87 and trail <= 0x9E or lead in (0xED, 0xEE) or 0xF0 <= lead <= 0xFC


def encode_entry(code):
    """The 32-bit entry: the Shift-JIS code below, the JIS code of a plain kanji above (0 for others)."""
    if code is None:
        return 0x0000FFFF
    if code < 0x100 or is_gaiji_class(code):
        return code
    return jis_of_sjis(code) << 16 | code


def generate():
    tables = {}
    encodes = {}
    for mapping in ("cp932", "jis"):
        single, square, upper = build(mapping)
        tables[mapping] = (single, square, upper)
        encodes[mapping] = encode_map(mapping, decode_map(single, square, upper))
    # The jis mapping lies inside JIS X 0208, the user-defined area and the plain single bytes.
    single, square, upper = tables["jis"]
    assert all(v == NONE16 or b < 0x80 or 0xA1 <= b <= 0xDF for b, v in enumerate(single))
    assert all(
        square[(r - 0x21) * 94 + c - 0x21] == NONE16 or is_jis_area(r, c)
        for r in range(0x21, 0x7F)
        for c in range(0x21, 0x7F)
    )
    blocks = [tuple([0x0000FFFF] * BLOCK)]
    index = {blocks[0]: 0}
    pages = {}
    for mapping in ("cp932", "jis"):
        chosen = encodes[mapping]
        assert all(v < 0x10000 for v in chosen)
        page_list = []
        for p in range(PAGES):
            block = tuple(encode_entry(chosen.get(p * BLOCK + k)) for k in range(BLOCK))
            if block not in index:
                index[block] = len(blocks)
                blocks.append(block)
            page_list.append(index[block])
        pages[mapping] = page_list
    return tables, pages, blocks, encodes


def array(name, ctype, values, width, fmt, comment):
    lines = [f"// {comment}", f"inline constexpr std::array<{ctype}, {len(values)}> {name} = {{"]
    for k in range(0, len(values), width):
        lines.append("    " + " ".join(fmt.format(v) + "," for v in values[k : k + width]))
    lines.append("};")
    return "\n".join(lines)


def render():
    tables, pages, blocks, _ = generate()
    out = [
        "// Generated by src/tables/make_unicode_tables.py from Python's cp932 and",
        "// shift_jis codecs and the rules written there; do not edit. Run the script",
        "// to write it again; its --check mode (a ctest) proves that it is current.",
        "// src/codes/unicode_map.h reads these tables.",
        "#ifndef LUMTRAX_TABLES_UNICODE_TABLES_H",
        "#define LUMTRAX_TABLES_UNICODE_TABLES_H",
        "",
        "#include <array>",
        "#include <cstdint>",
        "",
        "namespace lumtrax {",
        "namespace unicode_tables {",
        "",
        "// clang-format off",
    ]
    for mapping, prefix in (("cp932", "kCp932"), ("jis", "kJis")):
        single, square, upper = tables[mapping]
        out.append(array(f"{prefix}Single", "std::uint16_t", single, 16, "0x{:04X}",
                         f"{mapping}: the scalar value of each single byte; FFFF: none."))
        out.append(array(f"{prefix}Square", "std::uint16_t", square, 16, "0x{:04X}",
                         f"{mapping}: the scalar value of each JIS code, by (row - 21) * 94 + (cell - 21); "
                         "FFFF: none."))
        out.append(array(f"{prefix}Upper", "std::uint16_t", upper, 16, "0x{:04X}",
                         f"{mapping}: the scalar value of each pair with a lead F0-FC, by (lead - F0) * 188 + "
                         "the trail's place among 40-7E, 80-FC; FFFF: none."))
        out.append(array(f"{prefix}Pages", "std::uint16_t", pages[mapping], 16, "{:4d}",
                         f"{mapping}: the block of each 64 scalar values of the BMP."))
    flat = [v for block in blocks for v in block]
    out.append(array("kEncodeBlocks", "std::uint32_t", flat, 12, "0x{:X}",
                     "The blocks of both mappings, 64 entries each: the Shift-JIS code in the low half (FFFF: "
                     "none), the JIS code of a plain kanji in the high half (0 for a single byte or a gaiji-class "
                     "code). Block 0 is empty."))
    out += [
        "// clang-format on",
        "",
        f"inline constexpr int kEncodeBlockCount = {len(blocks)};",
        "static_assert(kEncodeBlocks.size() == kEncodeBlockCount * 64);",
        "",
        "}  // namespace unicode_tables",
        "}  // namespace lumtrax",
        "",
        "#endif  // LUMTRAX_TABLES_UNICODE_TABLES_H",
        "",
    ]
    return "\n".join(out)


def dump():
    """Both mappings, for the comparison with the codecs: D mapping code scalar, E mapping scalar code."""
    tables, _, _, encodes = generate()
    for mapping in ("cp932", "jis"):
        for code, value in sorted(decode_map(*tables[mapping]).items()):
            print(f"D {mapping} {code:X} {value:X}")
        for value, code in sorted(encodes[mapping].items()):
            print(f"E {mapping} {value:X} {code:X}")


def main():
    codecs.lookup("cp932")
    if "--dump" in sys.argv[1:]:
        dump()
        return 0
    text = render()
    if "--check" in sys.argv[1:]:
        with open(HEADER, encoding="utf-8") as f:
            if f.read() != text:
                print(f"{HEADER} is not what the codecs and the rules give: run {sys.argv[0]}")
                return 1
        print(f"{HEADER} is current")
        return 0
    with open(HEADER, "w", encoding="utf-8") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
