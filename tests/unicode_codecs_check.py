#!/usr/bin/python3
"""Compares what the conversions to and from Unicode give (unicode_dump) with
Python's cp932 and shift_jis codecs and with glibc's iconv (CP932), code by
code, and checks each place where they disagree against the rules of the
mappings (src/codes/unicode_map.h).

    unicode_codecs_check.py PATH-OF-unicode_dump
"""

import ctypes
import ctypes.util
import subprocess
import sys

LEADS = set(range(0x81, 0xA0)) | set(range(0xE0, 0xFD))
BEST_FIT = {0x301C: 0x8160, 0x2016: 0x8161, 0x2212: 0x817C, 0x00A2: 0x8191, 0x00A3: 0x8192, 0x00AC: 0x81CA}
# Where glibc's CP932 and the cp932 mapping part, by the rules: glibc reads
# no single byte 80, A0, FD-FF, and writes three more best fits.
# Python's shift_jis writes two characters that it does not read back; the
# jis mapping is the exact inverse of its reading, and writes neither.
PYTHON_SHIFT_JIS_BEST_FIT = {0x00A5: 0x5C, 0x203E: 0x7E}
GLIBC_DECODES_NOT = {0x80, 0xA0, 0xFD, 0xFE, 0xFF}
GLIBC_BEST_FIT = {0x00A5: 0x5C, 0x203E: 0x7E, 0x2014: 0x815C}
# The Shift-JIS images of the EBCDIC host code's shift codes: those bytes
# read from the host code are shift codes, which give nothing.
SHIFT_CODE_IMAGES = {"8B", "8C"}


def as_bytes(code):
    return code.to_bytes(1 if code < 0x100 else 2, "big")


def codec_decode(code, codec):
    if code in LEADS:
        return None
    try:
        text = as_bytes(code).decode(codec)
    except UnicodeDecodeError:
        return None
    return ord(text) if len(text) == 1 else None


def codec_encode(c, codec):
    try:
        data = chr(c).encode(codec)
    except UnicodeEncodeError:
        return None
    return int.from_bytes(data, "big")


def user_area(code):
    lead, trail = code >> 8, code & 0xFF
    if not 0xF0 <= lead <= 0xF9:
        return None
    return 0xE000 + (lead - 0xF0) * 188 + trail - 0x40 - (1 if trail >= 0x80 else 0)


class Iconv:
    def __init__(self, to, frm):
        self.libc = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)
        self.libc.iconv_open.restype = ctypes.c_void_p
        self.libc.iconv_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
        self.libc.iconv.restype = ctypes.c_size_t
        pointer = ctypes.POINTER(ctypes.c_char_p)
        size = ctypes.POINTER(ctypes.c_size_t)
        self.libc.iconv.argtypes = [ctypes.c_void_p, pointer, size, pointer, size]
        self.cd = self.libc.iconv_open(to, frm)
        if self.cd == ctypes.c_void_p(-1).value:
            raise OSError(f"iconv cannot convert {frm} to {to}")

    def __call__(self, data):
        self.libc.iconv(self.cd, None, None, None, None)
        inbuf = ctypes.create_string_buffer(data, len(data))
        out = ctypes.create_string_buffer(64)
        in_pointer, in_left = ctypes.c_char_p(ctypes.addressof(inbuf)), ctypes.c_size_t(len(data))
        out_pointer, out_left = ctypes.c_char_p(ctypes.addressof(out)), ctypes.c_size_t(64)
        r = self.libc.iconv(self.cd, ctypes.byref(in_pointer), ctypes.byref(in_left), ctypes.byref(out_pointer),
                            ctypes.byref(out_left))
        if r == ctypes.c_size_t(-1).value or in_left.value != 0:
            return None
        return out.raw[: 64 - out_left.value]


def main():
    lines = subprocess.run([sys.argv[1]], check=True, capture_output=True, text=True).stdout.splitlines()
    decoded = {"cp932": {}, "jis": {}}
    encoded = {"cp932": {}, "jis": {}}
    faults = []
    for line in lines:
        f = line.split()
        if f[0] == "D":
            decoded[f[1]][int(f[2], 16)] = None if f[3] == "-" else int(f[3], 16)
        elif f[0] == "E":
            encoded[f[1]][int(f[2], 16)] = None if f[3] == "-" else int(f[3], 16)
        elif not (f[2] == "decode" and f[3].startswith("ebcdic") and f[4] in SHIFT_CODE_IMAGES and len(f) == 7):
            faults.append("another byte code or form differs: " + line)
    assert len(decoded["cp932"]) == 256 + 60 * 188 and len(encoded["jis"]) == 0x10000 - 0x800, "incomplete dump"

    def expect(what, code, got, want):
        if got != want:
            faults.append(f"{what} {code:04X}: {got if got is None else hex(got)}, not {want if want is None else hex(want)}")

    for code, got in decoded["cp932"].items():
        expect("cp932 decodes", code, got, codec_decode(code, "cp932"))
    for code, got in decoded["jis"].items():
        want = user_area(code) if user_area(code) is not None else codec_decode(code, "shift_jis")
        expect("jis decodes", code, got, want)
    for c, got in encoded["cp932"].items():
        want = codec_encode(c, "cp932")
        if want is not None and want >> 8 in (0xED, 0xEE):
            # Python writes the NEC-selected copy; the rule, Windows and glibc the IBM extension.
            ibm = [code for code, v in decoded["cp932"].items() if v == c and 0xFA <= code >> 8 <= 0xFC]
            want = ibm[0] if ibm else None
        if c in BEST_FIT:
            assert want in (None, BEST_FIT[c]), hex(c)  # Python's cp932 writes them too
            want = BEST_FIT[c]
        expect("cp932 encodes", c, got, want)
    area = {user_area(code): code for code in decoded["jis"] if user_area(code) is not None}
    for c, got in encoded["jis"].items():
        want = area[c] if c in area else codec_encode(c, "shift_jis")
        if c in PYTHON_SHIFT_JIS_BEST_FIT:
            assert want == PYTHON_SHIFT_JIS_BEST_FIT[c] and decoded["jis"][want] != c, hex(c)
            want = None
        expect("jis encodes", c, got, want)

    # glibc's iconv agrees with cp932 but where the rules say it does not.
    glibc_decode = Iconv(b"UTF-32BE", b"CP932")
    glibc_encode = Iconv(b"CP932", b"UTF-32BE")
    for code, got in decoded["cp932"].items():
        r = glibc_decode(as_bytes(code))
        want = int.from_bytes(r, "big") if r is not None and len(r) == 4 else None
        if code in GLIBC_DECODES_NOT:
            assert want is None and got is not None, hex(code)
            continue
        expect("cp932 decodes (glibc)", code, got, want)
    for c, got in encoded["cp932"].items():
        r = glibc_encode(c.to_bytes(4, "big"))
        want = int.from_bytes(r, "big") if r is not None else None
        if c in GLIBC_BEST_FIT:
            assert want == GLIBC_BEST_FIT[c] and got is None, hex(c)
            continue
        if got is not None and got in GLIBC_DECODES_NOT:
            assert want is None, hex(c)
            continue
        expect("cp932 encodes (glibc)", c, got, want)

    for fault in faults[:40]:
        print(fault)
    counts = {m: sum(v is not None for v in decoded[m].values()) for m in decoded}
    print(f"{len(faults)} faults; cp932 {counts['cp932']} codes, jis {counts['jis']} codes, "
          f"each through Shift-JIS, EBCDIC (2 table sets), 8-bit (2 start sequences) and EUC")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
