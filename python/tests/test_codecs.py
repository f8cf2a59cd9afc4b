"""The codecs: through CP932 into the host codes and back, strict and
replace, incrementally and through text files."""

import codecs
import io

import pytest

import lumtrax
from lumtrax import Conversion as C

CODECS = {
    "lumtrax-ebcdic": (C.SJIS_TO_EBCDIC, C.EBCDIC_TO_SJIS),
    "lumtrax-ebcdic-kana": (C.SJIS_TO_EBCDIC_KANA, C.EBCDIC_KANA_TO_SJIS),
    "lumtrax-8bit": (C.SJIS_TO_EIGHTBIT, C.EIGHTBIT_TO_SJIS),
    "lumtrax-8bit-70": (C.SJIS_TO_EIGHTBIT_70, C.EIGHTBIT_TO_SJIS),
    "lumtrax-euc": (C.SJIS_TO_EUC, C.EUC_TO_SJIS),
}
# U+E000 is the gaiji F040 in CP932, which the stand-in server converts.
TEXT = "Lumtrax: 日本語のかな、ｶﾅ。\r\n外字\ue000です。\r\nABC 123\r\n" * 50


@pytest.mark.parametrize("name", CODECS)
def test_text_goes_through_cp932_and_back(name):
    host = TEXT.encode(name)
    assert host == lumtrax.convert(TEXT.encode("cp932"), CODECS[name][0]).data
    assert host.decode(name) == TEXT
    assert codecs.lookup(name.replace("-", "_")).name == name
    # Byte by byte through the incremental decoder, as one call.
    decoder = codecs.getincrementaldecoder(name)()
    assert "".join(decoder.decode(host[i:i + 1]) for i in range(len(host))) + decoder.decode(b"", True) == TEXT


@pytest.mark.parametrize("name, text, at", [
    ("lumtrax-ebcdic", "ab①c", 2),  # a code of a vendor's extension: no gaiji server code
    ("lumtrax-8bit", "日本\ue000①", 3),
    ("lumtrax-euc", "x\ue3ac", 1),  # F540: the stand-in's EUC area ends before it
    ("lumtrax-euc", "abcé", 3),  # not in CP932
])
def test_strict_encoding_stops_at_the_character(name, text, at):
    with pytest.raises(UnicodeEncodeError) as caught:
        text.encode(name)
    assert (caught.value.encoding, caught.value.object, caught.value.start) == (name, text, at)
    with pytest.raises(UnicodeEncodeError) as caught:
        codecs.getincrementalencoder(name)().encode(text)
    assert caught.value.start == at


@pytest.mark.parametrize("name, data, at, reason", [
    ("lumtrax-euc", b"A\xa9\xa1B", 1, "CP932 does not define"),
    ("lumtrax-euc", b"AB\x8f\xa1\xa1", 2, "substitute"),
    ("lumtrax-ebcdic", b"\xc1\x2b\xb0\xa1\x69\xa1\x2c", 4, "substitute"),
    ("lumtrax-8bit", b"A\x93\xf0\x21\x21\x93\xf1", 3, "substitute"),
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


@pytest.mark.parametrize("name, text, host, back", [
    ("lumtrax-ebcdic", "ab①c", "81 82 2B A2 A3 2C 83", "ab■c"),  # the substitute, a black square
    ("lumtrax-euc", "é日", "3F C6 FC", "?日"),  # CP932's own replacement
])
def test_replace_keeps_the_substitute(name, text, host, back):
    assert text.encode(name, "replace") == bytes.fromhex(host)
    assert bytes.fromhex(host).decode(name, "replace") == back


@pytest.mark.parametrize("name, data, text", [
    ("lumtrax-euc", b"A\xa9\xa1B", "A\ufffd@B"),  # 85 40, whose lead cp932 replaces
    ("lumtrax-ebcdic", b"\x2b\x69\xa1\x2c", "■"),  # replaced by the substitute
])
def test_decoding_with_replace(name, data, text):
    assert data.decode(name, "replace") == text


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
