"""lumtrax.dask on a real cluster of two worker processes, against the
lumtrax command on the same files."""

import os
import random
import subprocess
import sys

import pytest

distributed = pytest.importorskip("distributed")
import dask.bag  # noqa: E402

import lumtrax  # noqa: E402
import lumtrax.dask  # noqa: E402
from lumtrax import Conversion as C, GaijiStatus as G  # noqa: E402

COMMAND = os.environ.get("LUMTRAX_COMMAND", "")
# Debian's distributed starts its event loop in a way tornado now warns about.
pytestmark = pytest.mark.filterwarnings("ignore::DeprecationWarning:tornado")


@pytest.fixture(scope="module")
def client():
    with distributed.LocalCluster(processes=True, n_workers=2, threads_per_worker=1,
                                  dashboard_address=None) as cluster:
        with distributed.Client(cluster) as client:
            yield client


@pytest.fixture(scope="module")
def files(tmp_path_factory):
    """Shift-JIS lines with gaiji (F040, which the stand-in server converts,
    and 87 40, which it does not), their EBCDIC and 8-bit host forms, and a
    host text with an LF inside a run that is never closed."""
    rng = random.Random(12)
    words = ["日本語", "漢字かな", "ABC", "ｶﾅ", "\ue000", "①", " 123 "]
    lines = ["".join(rng.choice(words) for _ in range(rng.randint(0, 30))) + "\r\n" for _ in range(40_000)]
    sjis = "".join(lines).encode("cp932")
    folder = tmp_path_factory.mktemp("in")
    paths = {
        "notes.sjis": sjis,  # 1.7 MB: converted whole in several pieces
        "short.sjis": sjis[:5000] + b"\x88",  # ends inside a character
        "host.ebc": lumtrax.convert(sjis, C.SJIS_TO_EBCDIC).data + b"\x2b\xb0\xa1\x25\xb0\xa1\x25",
        "host.8bit": lumtrax.convert(sjis[:100_000], C.SJIS_TO_EIGHTBIT).data,
    }
    for name, data in paths.items():
        (folder / name).write_bytes(data)
    return {name: str(folder / name) for name in paths}, lines


CASES = [  # files, conversion, options of convert_files, options of the command
    (["notes.sjis", "short.sjis"], C.SJIS_TO_EBCDIC, {}, []),
    (["notes.sjis", "short.sjis"], C.SJIS_TO_EUC, {"lines": True}, ["--lines"]),
    (["notes.sjis"], C.SJIS_TO_EIGHTBIT_70, {"line_end": "drop"}, ["--line-end", "drop"]),
    (["host.ebc"], C.EBCDIC_TO_SJIS, {"lines": True}, ["--lines"]),
    (["host.8bit", "host.ebc"], C.EIGHTBIT_TO_SJIS, {"record": 80}, ["--record", "80"]),
]


@pytest.mark.skipif(not COMMAND, reason="LUMTRAX_COMMAND names no lumtrax command")
@pytest.mark.parametrize("names, conversion, options, command_options", CASES)
def test_files_come_out_as_the_command_writes_them(client, files, tmp_path, names, conversion, options,
                                                   command_options):
    paths = [files[0][name] for name in names]
    results = lumtrax.dask.convert_files(paths, conversion, tmp_path / "out", client=client, **options)
    assert [r.path for r in results] == paths
    for result in results:
        expected = tmp_path / "expected"
        subprocess.run([COMMAND, "-t", str(int(conversion)), *command_options, "-o", str(expected), result.path],
                       stderr=subprocess.DEVNULL, check=False)
        output = open(result.output, "rb").read()
        assert output == expected.read_bytes(), result
        assert (result.size, result.output_size) == (os.path.getsize(result.path), len(output))


def test_files_go_to_utf8_and_a_strict_failure_names_its_line(client, files, tmp_path):
    path = files[0]["host.ebc"]
    (result,) = lumtrax.dask.convert_files([path], "ebcdic_to_utf8", tmp_path / "utf8", client=client,
                                           errors="replace")
    data = open(path, "rb").read()
    assert open(result.output, "rb").read() == lumtrax.convert(data, C.EBCDIC_TO_UTF8, errors="replace").data
    (tmp_path / "bad.ebc").write_bytes(b"\xc1\x25\x21\x25")  # 21 has no Unicode form
    with pytest.raises(lumtrax.TextError) as caught:
        lumtrax.dask.convert_files([tmp_path / "bad.ebc"], "ebcdic_to_utf8", tmp_path / "out", client=client,
                                   lines=True)
    assert (caught.value.record, caught.value.start, caught.value.end) == (2, 2, 3)
    assert not (tmp_path / "out" / "bad.ebc").exists()


def test_the_summary_counts_the_calls(client, files, tmp_path):
    paths, lines = files
    per_line, whole = (lumtrax.dask.convert_files([paths["notes.sjis"]], C.SJIS_TO_EUC, tmp_path / name,
                                                  client=client, lines=lines_)[0]
                       for name, lines_ in (("lines", True), ("whole", False)))
    replaced = [line for line in lines if "①" in line]
    first = "".join(lines).encode("cp932").index("①".encode("cp932"))
    assert (per_line.calls, per_line.replaced, per_line.first_replaced) == (len(lines), len(replaced), first)
    assert per_line.converted == sum("\ue000" in line and "①" not in line for line in lines)
    assert (whole.calls, whole.gaiji, whole.replaced, whole.first_replaced) == (1, G.REPLACED, 1, first)
    short = lumtrax.dask.convert_file(paths["short.sjis"], C.SJIS_TO_EBCDIC, tmp_path / "short")
    assert short.ends_inside == 1


def test_a_bag_of_records(client):
    records = [("行%d: 日本語\ue000" % i).encode("cp932") for i in range(1000)] + [b"", "①".encode("cp932")]
    bag = dask.bag.from_sequence(records, npartitions=4)
    results = lumtrax.dask.convert_bag(bag, "sjis_to_ebcdic").compute()
    assert results == lumtrax.convert_many(records, C.SJIS_TO_EBCDIC)
    assert results[-1].gaiji is G.REPLACED


def test_errors_come_back_to_the_caller(client, files, tmp_path):
    with pytest.raises(lumtrax.ArgumentError, match="same file name"):
        lumtrax.dask.convert_files(["a/x", "b/x"], 0, tmp_path, client=client)
    with pytest.raises(lumtrax.ArgumentError, match="record must be"):
        lumtrax.dask.convert_files([files[0]["notes.sjis"]], 0, tmp_path, record=0, client=client)
    with pytest.raises(FileNotFoundError):
        lumtrax.dask.convert_files([str(tmp_path / "missing")], 0, tmp_path / "out", client=client)
    assert not os.listdir(tmp_path / "out")  # no partial file


def test_an_output_that_would_be_its_input_is_refused_however_reached(client, tmp_path):
    inputs = tmp_path / "in1"
    inputs.mkdir()
    source = inputs / "b.sjis"
    source.write_bytes(b"A\x88\x9f")
    (tmp_path / "in1link").symlink_to(inputs)
    for out_dir in (inputs, tmp_path / "in1link"):
        with pytest.raises(lumtrax.ArgumentError, match="overwrite its input"):
            lumtrax.dask.convert_files([str(source)], C.SJIS_TO_EUC, out_dir, client=client)
    assert source.read_bytes() == b"A\x88\x9f"
    # One path is one file; what a killed task left behind goes once the tasks end.
    out = tmp_path / "out"
    out.mkdir()
    (out / ".b.sjis.lumtrax-0123456789ab").write_bytes(b"left by a killed worker")
    (result,) = lumtrax.dask.convert_files(str(source), C.SJIS_TO_EUC, out, client=client)
    assert (out / "b.sjis").read_bytes() == b"A\xb0\xa1"
    assert os.listdir(out) == ["b.sjis"]


SOURCE_DIR = os.environ.get("LUMTRAX_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))


@pytest.mark.parametrize("script, line", [
    ("from distributed import Client\nclient = Client()\n", 2),
    ("import distributed\nc = distributed.LocalCluster(n_workers=2)\n", 2),
    ("import lumtrax.dask\nbag = lumtrax.dask.convert_bag(b, 0).compute()\n", 2),
    ('from distributed import Client\nif __name__ == "__main__":\n    client = Client()\n', None),
    ("from distributed import Client\ndef main():\n    return Client()\n", None),
    ('from distributed import Client\nclient = Client("scheduler:8786")\n', None),
])
def test_a_cluster_started_at_a_scripts_top_level_is_found(script, line):
    from lumtrax._main_guard import unguarded_start
    assert unguarded_start(script) == line


def test_the_example_script_runs_and_an_unguarded_one_stops_at_once(tmp_path):
    source = tmp_path / "host.ebc"
    source.write_bytes(lumtrax.convert("日本語\r\n".encode("cp932"), C.SJIS_TO_EBCDIC).data)
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(sys.path))
    example = os.path.join(SOURCE_DIR, "examples", "dask_convert.py")
    done = subprocess.run([sys.executable, example, str(tmp_path / "out"), str(source)], env=env,
                          capture_output=True, text=True, timeout=300)
    assert done.returncode == 0, done.stderr
    assert (tmp_path / "out" / "host.ebc").read_bytes() == "日本語\r\n".encode("cp932")
    unguarded = tmp_path / "unguarded.py"
    unguarded.write_text("import lumtrax.dask\nfrom distributed import Client\nclient = Client()\n")
    done = subprocess.run([sys.executable, str(unguarded)], env=env, capture_output=True, text=True, timeout=120)
    assert done.returncode != 0
    assert 'if __name__ == "__main__":' in done.stderr


def test_a_data_set_reads_as_one_process_reads_it(client, tmp_path):
    import lumtrax.dataset as ds
    from test_dataset import COPYBOOK, make_rows

    pandas = pytest.importorskip("pandas")

    layout = ds.Layout(COPYBOOK)
    rows = make_rows(3000)
    paths = [str(tmp_path / "big.f"), str(tmp_path / "small.f")]
    ds.write_rows(rows, layout, "f", paths[0])
    ds.write_rows(rows[:7], layout, "f", paths[1])
    size = 200 * layout.record_length + 13  # ranges of 200 whole records
    frame = lumtrax.dask.read_dataset(paths, layout, "f", partition_size=size, trim=True)
    assert frame.npartitions == 15 + 1
    got = client.compute(frame).result()
    one = [ds.read_dataframe(p, layout, "f", trim=True) for p in paths]
    assert got.reset_index(drop=True).equals(pandas.concat(one, ignore_index=True))
    assert dict(got.dtypes.astype(str)) == layout.dtypes()
    # Each range is what one process reads of it.
    third = client.compute(frame.partitions[2]).result()
    assert third.equals(one[0].iloc[400:600].reset_index(drop=True))
    # V data sets are a partition each, however large.
    ds.write_rows(rows, layout, "vb", str(tmp_path / "big.vb"))
    frame = lumtrax.dask.read_dataset(str(tmp_path / "big.vb"), layout, "vb", partition_size=size, trim=True)
    assert frame.npartitions == 1
    assert client.compute(frame).result().equals(one[0])
