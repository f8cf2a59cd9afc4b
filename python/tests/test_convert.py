"""lumtrax.convert, convert_many and Stream: every conversion, the errors,
bytes-like arguments read where they lie, and threads."""

import array
import itertools
import mmap
import random
import threading

import pytest

import lumtrax
from lumtrax import Conversion as C, GaijiStatus as G

# Letters, kanji, hiragana, half-width katakana, CR LF, a gaiji of the user
# area (F040, converted by the stand-in server's arithmetic) and digits.
SJIS = "Lumtrax: 日本語のかな、ｶﾅ。\r\n".encode("cp932") + b"\xf0\x40 123\r\n"
ROUND_TRIPS = [(C.SJIS_TO_EBCDIC, C.EBCDIC_TO_SJIS), (C.SJIS_TO_EBCDIC_KANA, C.EBCDIC_KANA_TO_SJIS),
               (C.SJIS_TO_EIGHTBIT, C.EIGHTBIT_TO_SJIS), (C.SJIS_TO_EIGHTBIT_70, C.EIGHTBIT_TO_SJIS),
               (C.SJIS_TO_EUC, C.EUC_TO_SJIS)]


def japanese(size, seed=1):
    """Shift-JIS text of about size bytes: kanji runs, ASCII, line ends."""
    rng = random.Random(seed)
    pieces = ["日本語", "漢字のかな", "ABC ", "ｶﾅ", "、。", "\r\n", "x", "東京都"]
    text = "".join(rng.choice(pieces) for _ in range(size // 5))
    return text.encode("cp932")


@pytest.mark.parametrize("there, back", ROUND_TRIPS)
def test_round_trip_through_every_conversion(there, back):
    host = lumtrax.convert(SJIS, there)
    assert host.gaiji is G.CONVERTED and host.data != SJIS
    assert lumtrax.convert(host.data, back) == (SJIS, G.CONVERTED)
    # By name and number too, and records one call each.
    assert lumtrax.convert(SJIS, there.name.lower()).data == host.data
    assert lumtrax.convert(SJIS, int(there)).data == host.data
    records = [SJIS, b"", SJIS[:9], bytearray(SJIS)]
    assert lumtrax.convert_many(records, there) == [lumtrax.convert(r, there) for r in records]


@pytest.mark.parametrize("data, conversion, options, expected", [
    (b"A\x88\x9f\r\n", "sjis_to_ebcdic", {}, "C1 2B B0 A1 2C 0D 25"),
    (b"A\x88\x9f\r\n", "sjis_to_ebcdic", {"line_end": "lf"}, "C1 2B B0 A1 2C 25"),
    (b"A\x88\x9f\r\n", "sjis_to_ebcdic", {"line_end": "drop"}, "C1 2B B0 A1 2C"),
    (b"A\x88\x9fB", "sjis_to_ebcdic", {"shift": False}, "C1 B0 A1 C2"),
    (b"A\xa0\x88\x9f\xa0B", "sjis_to_ebcdic", {"lrss": True}, "C1 2B B0 A1 2C C2"),
    (b"A\x88\x9fB", "sjis_to_8bit_70", {}, "41 93 70 B0 A1 93 F1 42"),
    (b"A\x88\x9f\xb1", "SJIS_TO_EUC", {}, "41 B0 A1 8E B1"),
    (b"\x0d", C.RAW_BYTE_ESCAPE, {}, "5C 01 0D"),
    (b"\x81\x60", "sjis_to_utf8", {}, "EF BD 9E"),
    (b"\x81\x60", "sjis_to_utf8", {"mapping": "jis"}, "E3 80 9C"),
    (b"A\x85\x40", "sjis_to_utf16be", {"errors": "replace"}, "00 41 FF FD"),
    ("亜\r\n".encode(), "utf8_to_ebcdic", {"line_end": "lf"}, "2B B0 A1 2C 25"),
])
def test_options_reach_the_core(data, conversion, options, expected):
    assert lumtrax.convert(data, conversion, **options).data == bytes.fromhex(expected)


@pytest.mark.parametrize("call, error, message", [
    (lambda: lumtrax.convert("日本", 0), lumtrax.ArgumentError, "not str"),
    (lambda: lumtrax.convert(12, 0), lumtrax.ArgumentError, "bytes-like object"),
    (lambda: lumtrax.convert(b"x", 8), lumtrax.UnassignedTypeError, "type 8 is not assigned"),
    (lambda: lumtrax.convert(b"x", "sjis_to_utf32"), lumtrax.UnassignedTypeError, "no conversion is named"),
    (lambda: lumtrax.convert(b"x", 2.0), lumtrax.ArgumentError, "not float"),
    (lambda: lumtrax.convert(b"x", 0, line_end="cr"), lumtrax.ArgumentError, "'keep', 'lf' or 'drop'"),
    (lambda: lumtrax.convert(b"x", 0, lrss="yes"), lumtrax.ArgumentError, "lrss must be True or False"),
    (lambda: lumtrax.convert(b"x", 32, mapping="cp943"), lumtrax.ArgumentError, "'cp932' or 'jis'"),
    (lambda: lumtrax.Stream(32, errors="ignore"), lumtrax.ArgumentError, "'strict' or 'replace'"),
    (lambda: lumtrax.convert_many(b"abc", 0), lumtrax.ArgumentError, "not one bytes"),
    (lambda: lumtrax.convert_many([b"a", 7], 0), lumtrax.ArgumentError, "record 1 must be"),
    (lambda: lumtrax.convert_many(5, 0), lumtrax.ArgumentError, "iterable"),
])
def test_errors_say_what_is_wrong(call, error, message):
    with pytest.raises(error, match=message):
        call()


def test_a_text_too_long_for_one_call_is_refused_before_it_is_read():
    size = lumtrax.max_text_size(C.SJIS_TO_EIGHTBIT) + 1
    with mmap.mmap(-1, size) as huge:  # untouched pages cost nothing
        with pytest.raises(lumtrax.TextTooLongError, match=f"has {size} bytes"):
            lumtrax.convert(huge, C.SJIS_TO_EIGHTBIT)
        with pytest.raises(lumtrax.TextTooLongError, match="record 1 has"):
            lumtrax.convert_many([b"", huge], C.SJIS_TO_EIGHTBIT)


def test_bytes_like_objects_are_read_where_they_lie():
    text = japanese(100_000)
    # A view that ends on a lead byte whose trail follows in its buffer:
    # the conversion must take 00 after the view, not that trail.
    cut = text.index(b"\x93\xfa", 50_000) + 1
    expected = lumtrax.convert(bytes(text[:cut]), C.SJIS_TO_EBCDIC)
    assert expected != lumtrax.convert(text[:cut + 1], C.SJIS_TO_EBCDIC)
    with mmap.mmap(-1, len(text)) as mapped:
        mapped.write(text)
        views = [memoryview(text)[:cut], memoryview(bytearray(text))[:cut], memoryview(mapped)[:cut],
                 memoryview(array.array("B", text))[:cut]]
        for view in views:
            assert lumtrax.convert(view, C.SJIS_TO_EBCDIC) == expected
        for whole in [text, bytearray(text), memoryview(text)[10:], memoryview(bytearray(text))]:
            assert lumtrax.convert(whole, C.SJIS_TO_EBCDIC) == lumtrax.convert(bytes(whole), 0)
        for view in views:
            view.release()
    with pytest.raises(lumtrax.ArgumentError):
        lumtrax.convert(memoryview(text)[::2], 0)  # not contiguous


@pytest.mark.parametrize("conversion", [c for c in C if c < C.SJIS_TO_UTF8])
def test_a_stream_gives_the_bytes_of_one_call(conversion):
    rng = random.Random(int(conversion))
    text = japanese(20_000, seed=int(conversion)) + b"\xf0\x40\x87\x40"  # a gaiji, then one replaced
    if conversion in (C.EBCDIC_TO_SJIS, C.EBCDIC_KANA_TO_SJIS, C.EIGHTBIT_TO_SJIS, C.EUC_TO_SJIS):
        text = lumtrax.convert(text, {4: 0, 5: 1, 6: 2, 7: 3}[conversion]).data
    one = lumtrax.convert(text, conversion)
    stream = lumtrax.Stream(conversion, piece_size=rng.choice([1, 7, 300]))
    out, at = b"", 0
    while at < len(text):
        step = rng.randint(1, 2000)
        out += stream.feed(text[at:at + step])
        at += step
    out += stream.finish()
    assert (out, stream.gaiji) == tuple(one)
    if one.gaiji is G.REPLACED:  # the 87 40 at the end
        assert stream.first_replaced == lumtrax._lumtrax._first_replaced(text, conversion)[0]
        assert stream.first_replaced >= len(text) - 4


def test_unicode_errors_name_their_bytes_and_keep_what_came_before():
    with pytest.raises(lumtrax.TextError, match="bytes 1-2: no Unicode character") as caught:
        lumtrax.convert(b"A\x85\x40B", "sjis_to_utf8")
    assert (caught.value.start, caught.value.end, caught.value.partial, caught.value.record) == (1, 3, b"A", None)
    assert isinstance(caught.value, ValueError)
    with pytest.raises(lumtrax.TextError) as caught:
        lumtrax.convert_many([b"A", "B€".encode()], "utf8_to_sjis")
    assert (caught.value.start, caught.value.end, caught.value.partial, caught.value.record) == (1, 4, b"B", 1)
    # A stream names the bytes in the whole text.
    stream = lumtrax.Stream("utf8_to_ebcdic", piece_size=1)
    out = stream.feed(b"ab\n")
    with pytest.raises(lumtrax.TextError, match="not UTF-8") as caught:
        stream.feed(b"c\xffd")
    assert (caught.value.start, out + caught.value.partial) == (4, bytes.fromhex("81 82 25 83"))


def test_threads_give_what_one_thread_gives():
    texts = [japanese(200_000, seed=s) for s in range(4)]
    records = [t[i:i + 97] for t in texts for i in range(0, 50_000, 97)]
    jobs = [(lambda t=t, c=c: lumtrax.convert(t, c)) for t in texts for c in (0, 2, 3)]
    jobs += [(lambda c=c: lumtrax.convert_many(records, c)) for c in (0, 3)]
    alone = [job() for job in jobs]
    together = [None] * len(jobs)

    def run(k):
        for _ in range(3):
            together[k] = jobs[k]()

    threads = [threading.Thread(target=run, args=(k,)) for k in range(len(jobs))]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert together == alone


def test_the_package_says_what_it_is():
    assert lumtrax.__version__.count(".") == 2
    assert lumtrax.simd_level() in ("scalar", "sse2", "ssse3", "avx2", "avx512")
    assert lumtrax.gaiji_server_version() == 0x00010000
    assert "Result" in lumtrax.convert.__doc__ and "line_end" in lumtrax.convert.__doc__


def test_a_batch_holds_what_the_list_holds_with_no_object_a_record():
    records = [japanese(rng_size, seed=rng_size) for rng_size in (0, 1, 7, 200, 5000)] + [b"\x87\x40", b"A"]
    listed = lumtrax.convert_many(records, C.SJIS_TO_EBCDIC)
    data = b"".join(records)
    ends = list(itertools.accumulate(len(r) for r in records))
    for kind in ("records", "list", "array", "numpy"):
        if kind == "records":
            batch = lumtrax.convert_many(records, C.SJIS_TO_EBCDIC, batch=True)
        else:
            given = {"list": ends, "array": array.array("q", ends),
                     "numpy": pytest.importorskip("numpy").array(ends, dtype="int64")}[kind]
            batch = lumtrax.convert_many(data, C.SJIS_TO_EBCDIC, ends=given, batch=True)
            assert lumtrax.convert_many(data, C.SJIS_TO_EBCDIC, ends=given) == listed
        assert isinstance(batch, lumtrax.Batch) and len(batch) == len(records)
        assert list(batch) == listed and batch[-1] == listed[-1]
        assert batch.data == b"".join(r.data for r in listed)
        assert list(batch.ends) == list(itertools.accumulate(len(r.data) for r in listed))
        assert batch.replaced() == [len(records) - 2]


@pytest.mark.parametrize("ends, message", [
    ([3, 2], "must rise"),
    ([99], "within the data"),
    (array.array("i", [-1]), "negative"),
    (array.array("d", [1.0]), "integers"),
    (["1"], "offsets from 0"),
])
def test_bad_ends_are_refused(ends, message):
    with pytest.raises(lumtrax.ArgumentError, match=message):
        lumtrax.convert_many(b"ABCD", 0, ends=ends)
