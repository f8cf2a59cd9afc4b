"""lumtrax.dataset: rows as dicts and DataFrames against the C++ decoding of
the same records (the lumtrax command's), rows written back, and errors."""

import csv
import decimal
import io
import json
import os
import random
import subprocess

import pytest

import lumtrax.dataset as ds

COMMAND = os.environ.get("LUMTRAX_COMMAND", "")
needs_command = pytest.mark.skipif(not COMMAND, reason="LUMTRAX_COMMAND names no lumtrax command")

COPYBOOK = """\
       01  CUSTOMER.
           05  CUST-ID     PIC 9(6).
           05  NAME        PIC X(20).
           05  KANA        PIC G(5).
           05  BALANCE     PIC S9(7)V99 COMP-3.
           05  QTY         PIC S9(4) COMP.
           05  STAMP       PIC S9(10) COMP.
           05  HUGE        PIC 9(18) COMP-5.
           05  HUNDREDS    PIC 9(3)PP.
           05  ITEMS OCCURS 2.
               10  CODE    PIC X(3).
               10  PRICE   PIC S9(3)V9 SIGN LEADING SEPARATE.
           05  N           PIC 9.
           05  TAGS        PIC X(2) OCCURS 0 TO 3 DEPENDING ON N.
"""
NAMES = ["山田 太郎", "ABC", "ｶﾅ", 'x,"q"', "", "東京都", "Ü"]


def make_rows(count, seed=7):
    """Rows in the decoder's canonical form: numbers as exact Python values."""
    rng = random.Random(seed)
    rows = []
    for k in range(count):
        n = rng.randint(0, 3)
        rows.append({
            "CUST-ID": k,
            "NAME": rng.choice(NAMES[:-1]),
            "KANA": rng.choice(["ヤマダ", "", "カナカナカ"]),
            "BALANCE": decimal.Decimal(rng.randint(-999999999, 999999999)).scaleb(-2),
            "QTY": rng.randint(-9999, 9999),
            "STAMP": rng.choice([-9999999999, 9999999999, rng.randint(-9999999999, 9999999999)]),
            "HUGE": rng.choice([0, 2**64 - 1, rng.randint(0, 2**64 - 1)]),
            "HUNDREDS": rng.randint(0, 999) * 100,
            "ITEMS": [{"CODE": rng.choice(["A1", "", "ZZZ"]),
                       "PRICE": decimal.Decimal(rng.randint(-9999, 9999)).scaleb(-1)} for _ in range(2)],
            "N": n,
            "TAGS": [str(t) * 2 for t in range(n)],
        })
    return rows


def as_json(value):
    """A row's values as the command's JSON has them: numbers as strings."""
    if isinstance(value, dict):
        return {k: as_json(v) for k, v in value.items()}
    if isinstance(value, list):
        return [as_json(v) for v in value]
    if isinstance(value, decimal.Decimal):
        return format(value, "f")
    if isinstance(value, int):
        return str(value)
    return value


def command(*args, data=None):
    result = subprocess.run([COMMAND, *args], input=data, capture_output=True, check=False)
    return result


@pytest.fixture(scope="module")
def layout():
    return ds.Layout(COPYBOOK)


@pytest.fixture(scope="module")
def rows():
    return make_rows(2000)


@pytest.fixture(scope="module")
def copybook(tmp_path_factory):
    path = tmp_path_factory.mktemp("cb") / "cust.cpy"
    path.write_text(COPYBOOK, encoding="utf-8")
    return str(path)


FORMATS = [("f", {}, []), ("fb", {}, []), ("v", {"little_endian": True}, ["--little-endian"]),
           ("vb", {"length_excludes_descriptor": True}, ["--length-without-descriptor"]),
           ("vb", {"block_size": 300}, ["--block-size", "300"])]


@needs_command
@pytest.mark.parametrize("format, options, flags", FORMATS)
def test_rows_and_records_are_the_commands(layout, rows, copybook, tmp_path, format, options, flags):
    jsonl = "".join(json.dumps(as_json(r), ensure_ascii=False) + "\n" for r in rows).encode("utf-8")
    made = command("--copybook", copybook, "--format", format, *flags, "--from", "jsonl", "--to", "ebcdic",
                   data=jsonl)
    assert made.returncode == 0, made.stderr
    host = made.stdout
    # Written by Python, nested or flat: the command's records byte for byte.
    assert ds.write_rows(rows, layout, format, **options) == host
    flat_rows = list(ds.read_rows(host, layout, format, trim=True, flat=True,
                                  **{k: v for k, v in options.items() if k != "block_size"}))
    assert ds.write_rows(flat_rows, layout, format, flat=True, **options) == host
    # Read by Python: the rows the command reads.
    reading = {k: v for k, v in options.items() if k != "block_size"}
    read = command("--copybook", copybook, "--format", format, *flags, "--from", "ebcdic", "--to", "jsonl",
                   "--trim", data=host)
    assert read.returncode == 0, read.stderr
    expected = [json.loads(line) for line in read.stdout.decode("utf-8").splitlines()]
    got = list(ds.read_rows(host, layout, format, trim=True, **reading))
    assert [as_json(r) for r in got] == expected
    assert got == rows  # exact: int and Decimal, the table as long as its counter


@needs_command
def test_a_dataframe_holds_the_commands_csv_columns_exactly(layout, rows, copybook):
    pandas = pytest.importorskip("pandas")
    host = ds.write_rows(rows, layout, "vb")
    frame = ds.read_dataframe(host, layout, "vb", trim=True)
    assert dict(frame.dtypes.astype(str)) == layout.dtypes()
    assert layout.dtypes()["QTY"] == "Int64" and layout.dtypes()["STAMP"] == "Int64"
    assert layout.dtypes()["HUGE"] == "object" and layout.dtypes()["BALANCE"] == "object"
    read = command("--copybook", copybook, "--format", "vb", "--from", "ebcdic", "--to", "csv", "--trim", data=host)
    table = list(csv.reader(io.StringIO(read.stdout.decode("utf-8"), newline="")))
    assert table[0] == list(frame.columns) == layout.columns

    def cell(value):
        if value is None or value is pandas.NA:
            return ""
        return format(value, "f") if isinstance(value, decimal.Decimal) else str(value)

    assert [[cell(v) for v in values] for values in frame.itertuples(index=False)] == table[1:]
    assert frame["HUGE"].tolist() == [r["HUGE"] for r in rows]  # beyond int64, exact
    assert frame["BALANCE"].tolist() == [r["BALANCE"] for r in rows]
    # Shift-JIS CSV is the UTF-8 CSV in cp932.
    sjis = command("--copybook", copybook, "--format", "vb", "--from", "ebcdic", "--to", "csv", "--trim",
                   "--rows-code", "sjis", data=host)
    assert sjis.stdout.decode("cp932") == read.stdout.decode("utf-8")


def test_sources_ranges_and_reports(layout, rows, tmp_path):
    host = ds.write_rows(rows[:50], layout, "f")
    path = tmp_path / "host.f"
    path.write_bytes(host)
    whole = list(ds.read_rows(host, layout, "f"))
    assert list(ds.read_rows(str(path), layout, "f")) == whole
    assert list(ds.read_rows(open(path, "rb"), layout, "f")) == whole
    length = layout.record_length
    reader = ds.Reader(layout, "f")
    part = reader.dataframe(path, start=10 * length, length=5 * length)
    full = ds.read_dataframe(path, layout, "f")
    assert part.reset_index(drop=True).equals(full.iloc[10:15].reset_index(drop=True))
    # A bad packed amount in record 13: None, and the report names it.
    bad = bytearray(host)
    bad[12 * length + 36] = 0xFA
    reader = ds.Reader(layout, "f")
    got = list(reader.rows(bytes(bad)))
    assert got[12]["BALANCE"] is None and got[11] == whole[11]
    assert reader.report.records == 50 and reader.report.invalid_fields == 1
    assert reader.report.issues == [ds.Issue(13, "BALANCE", 36, bad[12 * length + 36:12 * length + 41].hex(" ").upper(),
                                             "bad_nibble")]
    reader.dataframe(bytes(bad), start=10 * length, length=5 * length)
    assert reader.report.issues[0].record == 13  # numbered as in the whole data set


def test_errors_say_where(layout, rows):
    cases = [
        (lambda: ds.Layout("01 R.\n  05 A PIC X(3.\n"), ds.CopybookError, {"line": 2, "column": 12}),
        (lambda: ds.Layout("01 R.\n  05 A PIC S9(3).\n", "euc"), ds.CopybookError, {"line": 2}),
        (lambda: ds.write_rows(rows[:2] + [dict(rows[0], QTY=10000)], layout, "v"), ds.RowError,
         {"row": 3, "field": "QTY"}),
        (lambda: ds.write_rows([{"NAME": "x"}], layout, "v"), ds.RowError, {"row": 1}),
        (lambda: ds.read_rows(b"", layout, "vbs"), ds.ArgumentError, {}),
        (lambda: ds.Layout(COPYBOOK, "sjis"), ds.ArgumentError, {}),
    ]
    for call, error, where in cases:
        with pytest.raises(error) as raised:
            result = call()
            list(result) if hasattr(result, "__next__") else result
        for name, value in where.items():
            assert getattr(raised.value, name) == value, (raised.value, name)
    # A bad frame after good records: their rows first, then FrameError.
    host = ds.write_rows(rows[:3], layout, "v")
    got = []
    with pytest.raises(ds.FrameError) as raised:
        for row in ds.read_rows(host + b"\x00\x02\x00\x00", layout, "v", trim=True):
            got.append(row)
    assert got == rows[:3] and raised.value.record == 4 and raised.value.offset == len(host)
