"""The codecs: str straight into the host codes and back, in every error
mode, incrementally and through text files."""

import codecs
import io
import random

import pytest

import lumtrax
from lumtrax import Conversion as C

CODECS = {
    "lumtrax-ebcdic": (C.SJIS_TO_EBCDIC, C.UTF8_TO_EBCDIC),
    "lumtrax-ebcdic-kana": (C.SJIS_TO_EBCDIC_KANA, C.UTF8_TO_EBCDIC_KANA),
    "lumtrax-8bit": (C.SJIS_TO_EIGHTBIT, C.UTF8_TO_EIGHTBIT),
    "lumtrax-8bit-70": (C.SJIS_TO_EIGHTBIT_70, C.UTF8_TO_EIGHTBIT_70),
    "lumtrax-euc": (C.SJIS_TO_EUC, C.UTF8_TO_EUC),
}
# U+E000 is the gaiji F040, which the stand-in server converts.
TEXT = "Lumtrax: 日本語のかな、ｶﾅ。\r\n外字\ue000です。\r\nABC 123\r\n" * 50


@pytest.mark.parametrize("name", CODECS)
def test_text_goes_straight_into_the_host_code_and_back(name):
    host = TEXT.encode(name)
    # What Shift-JIS gives for the same text, and the conversion from UTF-8.
    assert host == lumtrax.convert(TEXT.encode("cp932"), CODECS[name][0]).data
    assert host == lumtrax.convert(TEXT.encode("utf-8"), CODECS[name][1]).data
    assert host.decode(name) == TEXT
    assert codecs.lookup(name.replace("-", "_")).name == name
    # Byte by byte through the incremental decoder, as one call.
    decoder = codecs.getincrementaldecoder(name)()
    assert "".join(decoder.decode(host[i:i + 1]) for i in range(len(host))) + decoder.decode(b"", True) == TEXT


def test_no_unit_joins_the_next_and_unicode_has_no_escapes():
    # 21 is a control byte whose Shift-JIS image is the lead byte 81.
    assert b"\x21\xc1".decode("lumtrax-ebcdic", "replace") == "\ufffdA"
    decoder = codecs.getincrementaldecoder("lumtrax-ebcdic")("replace")
    assert decoder.decode(b"\x21") + decoder.decode(b"\xc1", True) == "\ufffdA"
    assert "C:\\\x01A".encode("lumtrax-ebcdic").decode("lumtrax-ebcdic") == "C:\\\x01A"


@pytest.mark.parametrize("name, text, at, reason", [
    ("lumtrax-ebcdic", "ab①c", 2, "gaiji server"),  # NEC row 13: a gaiji the stand-in does not convert
    ("lumtrax-8bit", "日本\ue000①", 3, "gaiji server"),
    ("lumtrax-euc", "abcé", 3, "no code"),
    ("lumtrax-euc", "a\ud800b", 1, "not UTF"),  # a lone surrogate
])
def test_strict_encoding_stops_at_the_character(name, text, at, reason):
    with pytest.raises(UnicodeEncodeError, match=reason) as caught:
        text.encode(name)
    assert (caught.value.encoding, caught.value.object, caught.value.start) == (name, text, at)
    with pytest.raises(UnicodeEncodeError) as caught:
        codecs.getincrementalencoder(name)().encode(text)
    assert caught.value.start == at


@pytest.mark.parametrize("name, data, at, reason", [
    ("lumtrax-euc", b"A\xa9\xa1B", 1, "no Unicode character"),
    ("lumtrax-euc", b"AB\x8f\xa1\xa1", 2, "gaiji server"),  # before the lone A1 after it
    ("lumtrax-ebcdic", b"\xc1\x2b\xb0\xa1\x69\xa1\x2c", 4, "gaiji server"),
    ("lumtrax-8bit", b"A\x93\xf0\xb0\xa1\xa2\xaf\x93\xf1", 5, "no Unicode character"),
])
def test_strict_decoding_stops_at_the_code(name, data, at, reason):
    with pytest.raises(UnicodeDecodeError, match=reason) as caught:
        data.decode(name)
    assert (caught.value.encoding, caught.value.object, caught.value.start) == (name, data, at)
    # Incrementally the error names the bytes of the call that met it.
    decoder = codecs.getincrementaldecoder(name)()
    with pytest.raises(UnicodeDecodeError) as caught:
        decoder.decode(data[:1])
        decoder.decode(data[1:], True)
    assert caught.value.object[caught.value.start:] == data[at:]


# A run with a pair that has no Unicode form, a control byte, and a gaiji the
# stand-in server does not convert.
BAD = b"\xc1\x2b\xb0\xa1\xa2\xaf\xb0\xa1\x2c\x21\x2b\x69\xa1\x2c\xc1"


@pytest.mark.parametrize("errors, text, host", [
    ("replace", "A亜\ufffd亜\ufffd■A", None),
    ("ignore", "A亜亜■A", "C1 2B B0 A1 B0 A1 A2 A3 2C C1"),
    ("backslashreplace", "A亜\\xa2\\xaf亜\\x21■A", None),
    # The pair comes back with its shift codes, and so inside a run.
    ("surrogateescape", "A亜\udc2b\udca2\udcaf\udc2c亜\udc21■A",
     "C1 2B B0 A1 2C 2B A2 AF 2C 2B B0 A1 2C 21 2B A2 A3 2C C1"),
])
def test_error_handlers(errors, text, host):
    assert BAD.decode("lumtrax-ebcdic", errors) == text
    if host is not None:
        assert text.encode("lumtrax-ebcdic", errors) == bytes.fromhex(host)


@pytest.mark.parametrize("name, text, host", [
    ("lumtrax-ebcdic", "ab€c", "81 82 2B A2 A3 2C 83"),  # the substitute, a black square
    ("lumtrax-euc", "é日", "A2 A3 C6 FC"),
    ("lumtrax-euc", "a\ud800", "61 3F"),  # not UTF-8 in any mode: the handler's own
])
def test_encoding_with_replace_writes_the_substitute(name, text, host):
    assert text.encode(name, "replace") == bytes.fromhex(host)


# Units without a Unicode form: control bytes, pairs of empty cells, first,
# inside or last in their run, and a text that ends inside a run.
UNDECODABLE = {
    "lumtrax-ebcdic": ["21", "2B A2 AF 2C", "2B B0 A1 A2 AF B0 A1 2C", "2B A2 AF B0 A1 2C", "2B B0"],
    "lumtrax-8bit": ["93 41", "93 F0 A2 AF 93 F1", "93 70 B0 A1 A2 AF 93 F1", "93 F0 B0"],
    "lumtrax-euc": ["A9 A1", "B0", "8E"],
}


@pytest.mark.parametrize("name", UNDECODABLE)
def test_surrogateescape_round_trips_undecodable_bytes(name):
    rng = random.Random(20261208)
    good = "亜A ｱ\r\n漢字"
    for _ in range(100):
        pieces = [rng.choice(UNDECODABLE[name]) if rng.random() < 0.4 else good[rng.randrange(len(good)):].encode(name)
                  for _ in range(rng.randrange(1, 8))]
        data = b"".join(bytes.fromhex(p) if isinstance(p, str) else p for p in pieces)
        text = data.decode(name, "surrogateescape")
        again = text.encode(name, "surrogateescape")
        assert again.decode(name, "surrogateescape") == text, data.hex(" ")


def test_long_texts_convert_in_pieces(monkeypatch):
    # As if one call took only 1000 bytes: the codecs cut the text where it
    # converts as one call does.
    for codec in lumtrax._codecs._CODECS:
        monkeypatch.setattr(codec, "decode_limit", 1000)
        monkeypatch.setattr(codec, "encode_limit", 1000)
    text = TEXT * 4 + "€"
    host = text.encode("lumtrax-8bit", "replace")
    assert host == lumtrax.convert(text.encode(), C.UTF8_TO_EIGHTBIT, errors="replace").data
    assert host.decode("lumtrax-8bit") == TEXT * 4 + "■"
    with pytest.raises(UnicodeEncodeError) as caught:
        text.encode("lumtrax-8bit")
    assert caught.value.start == len(text) - 1
    assert (BAD * 100).decode("lumtrax-ebcdic", "surrogateescape") == BAD.decode("lumtrax-ebcdic", "surrogateescape") * 100


def test_text_files(tmp_path):
    path = tmp_path / "host.dat"
    with open(path, "w", encoding="lumtrax-ebcdic", newline="") as file:
        for line in TEXT.splitlines(keepends=True):
            file.write(line)  # each write ends at a line end: as one call
    assert path.read_bytes() == TEXT.encode("lumtrax-ebcdic")
    with open(path, encoding="lumtrax-ebcdic", newline="") as file:
        first = file.readline()
        position = file.tell()
        rest = file.read()
        file.seek(position)
        assert file.read() == rest
    assert first + rest == TEXT
    wrapper = io.TextIOWrapper(io.BytesIO(b"\xc1\x2b\xb0\xa1\x69\xa1\x2c"), encoding="lumtrax-ebcdic")
    with pytest.raises(UnicodeDecodeError):
        wrapper.read()
