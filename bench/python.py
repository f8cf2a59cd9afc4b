#!/usr/bin/python3
"""The Python package against the C++ library and Python's own codecs.

    bench/python.py [BUILD]

BUILD is a build folder configured with -DLUMTRAX_BUILD_BENCH=ON, in which
lumtrax_bench, lumtrax_corpus and the Python module are built (default:
build). On the Japanese text of the benchmark and its records (from
lumtrax_corpus, so the same bytes lumtrax_bench converts) it times, in one
run: lumtrax_bench's records and whole jobs (the C++ library, one call a
record through the C interface); convert_many() on all records; convert() a
record at a time and on the whole text; Python's own Shift-JIS <-> EUC-JP
codecs (decode then encode) beside types 3 and 7; the lumtrax-euc codec on
str; and Python's cp932 codec, the pivot of the lumtrax codecs. Times are CPU
times (as Google Benchmark reports them); each figure is the best of several
passes (of lumtrax_bench: of its five repetitions), which on a machine that
others load is the least disturbed. Prints Markdown tables and whether the
targets are met.
"""

import codecs
import json
import os
import subprocess
import sys
import tempfile
import time

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
sys.path.insert(0, os.path.join(BUILD, "python"))
import lumtrax  # noqa: E402

TYPES = [0, 3, 4, 7]  # as lumtrax_bench's targets; 4 and 7 read what 0 and 3 made
SOURCE_OF = {4: 0, 7: 3}
PASSES = 7


def corpus(*args):
    return subprocess.run([os.path.join(BUILD, "bin", "lumtrax_corpus"), "japanese", *args],
                          check=True, capture_output=True).stdout


def cpu_seconds(job, passes=PASSES):
    """The least CPU time of a pass of job. What a pass made lives until the
    next one has made its own, as the results of one batch do in a loop over
    batches."""
    times, kept = [], None
    for _ in range(passes):
        start = time.thread_time()
        made = job()
        times.append(time.thread_time() - start)
        kept = made  # noqa: F841 - freed once the next pass has made its own
    return min(times)


def cxx_times():
    """lumtrax_bench's records (ns a call) and whole (MB/s) for TYPES."""
    pattern = "(records|whole)/japanese/type(%s)/lumtrax$" % "|".join(map(str, TYPES))
    with tempfile.NamedTemporaryFile(suffix=".json") as out:
        subprocess.run([os.path.join(BUILD, "bin", "lumtrax_bench"), f"--benchmark_filter={pattern}",
                        f"--benchmark_out={out.name}", "--benchmark_out_format=json",
                        "--benchmark_repetitions=5"],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        report = json.load(out)
    records, whole = {}, {}
    for run in report["benchmarks"]:
        if run["run_type"] != "iteration":
            continue
        job, _, kind, _ = run["run_name"].split("/")
        number = int(kind[len("type"):])
        if job == "records":
            records[number] = min(records.get(number, 1e18), 1e9 / run["items_per_second"])
        else:
            whole[number] = max(whole.get(number, 0), run["bytes_per_second"] / 1e6)
    return records, whole


def main():
    load_before = os.getloadavg()
    text = corpus()
    records = corpus(str(4 << 20), "records").split(b"\n")[:-1]
    sources = {0: (text, records), 3: (text, records)}
    for host_type, sjis_type in SOURCE_OF.items():
        sources[host_type] = (lumtrax.convert(text, sjis_type).data,
                              [r.data for r in lumtrax.convert_many(records, sjis_type)])
    n = len(records)
    print(f"japanese text: {len(text)} bytes, {n} records of {sum(map(len, records)) / n:.0f} bytes on average;"
          f" kernels {lumtrax.simd_level()}, lumtrax {lumtrax.__version__}, Python {sys.version.split()[0]}")

    cxx_records, cxx_whole = cxx_times()
    rows = {}
    for number in TYPES:
        whole, recs = sources[number]
        rows[number] = {
            "many": cpu_seconds(lambda: lumtrax.convert_many(recs, number)) / n * 1e9,
            "each": cpu_seconds(lambda: [lumtrax.convert(r, number) for r in recs], 3) / n * 1e9,
            "whole": len(whole) / cpu_seconds(lambda: lumtrax.convert(whole, number)) / 1e6,
        }

    # Python's own, for the EUC job: Shift-JIS -> str -> EUC-JP and back.
    euc_text, euc_records = sources[7]
    own = {
        3: (cpu_seconds(lambda: [r.decode("shift_jis").encode("euc_jp") for r in records], 3) / n * 1e9,
            len(text) / cpu_seconds(lambda: text.decode("shift_jis").encode("euc_jp"), 3) / 1e6),
        7: (cpu_seconds(lambda: [r.decode("euc_jp").encode("shift_jis") for r in euc_records], 3) / n * 1e9,
            len(euc_text) / cpu_seconds(lambda: euc_text.decode("euc_jp").encode("shift_jis"), 3) / 1e6),
    }
    # The lumtrax-euc codec on str, and its pivot, Python's cp932.
    string = text.decode("cp932")
    strings = [r.decode("cp932") for r in records]
    pivot = {
        "lumtrax-euc encode": (cpu_seconds(lambda: [s.encode("lumtrax-euc") for s in strings], 3),
                               cpu_seconds(lambda: string.encode("lumtrax-euc"), 3)),
        "lumtrax-euc decode": (cpu_seconds(lambda: [r.decode("lumtrax-euc") for r in euc_records], 3),
                               cpu_seconds(lambda: euc_text.decode("lumtrax-euc"), 3)),
        "cp932 encode": (cpu_seconds(lambda: [s.encode("cp932") for s in strings], 3),
                         cpu_seconds(lambda: string.encode("cp932"), 3)),
        "cp932 decode": (cpu_seconds(lambda: [r.decode("cp932") for r in records], 3),
                         cpu_seconds(lambda: text.decode("cp932"), 3)),
        "euc_jp encode (Python's own)": (cpu_seconds(lambda: [s.encode("euc_jp") for s in strings], 3),
                                         cpu_seconds(lambda: string.encode("euc_jp"), 3)),
    }
    load_after = os.getloadavg()

    print("\nRecords, ns a record (CPU time); whole text, MB/s of source:\n")
    print("| type | C++ ns/record | convert_many ns/record | convert_many / C++ | convert() a record ns"
          " | Python's codecs ns/record | convert_many vs Python's codecs | C++ whole MB/s"
          " | convert() whole MB/s | Python's codecs whole MB/s | convert() whole vs Python's codecs |")
    print("|---:" * 11 + "|")
    for number in TYPES:
        row = rows[number]
        own_record, own_whole = own.get(number, (None, None))
        cells = [number, f"{cxx_records[number]:.1f}", f"{row['many']:.1f}",
                 f"{row['many'] / cxx_records[number]:.2f}", f"{row['each']:.1f}",
                 f"{own_record:.1f}" if own_record else "-",
                 f"{own_record / row['many']:.1f}x" if own_record else "-",
                 f"{cxx_whole[number]:.0f}", f"{row['whole']:.0f}",
                 f"{own_whole:.0f}" if own_whole else "-",
                 f"{row['whole'] / own_whole:.1f}x" if own_whole else "-"]
        print("| " + " | ".join(map(str, cells)) + " |")

    print("\nThe codecs on str, and their pivot (CPU time):\n")
    print("| codec | ns a record | whole text MB/s |")
    print("|---|---:|---:|")
    for name, (per_records, per_whole) in pivot.items():
        print(f"| {name} | {per_records / n * 1e9:.1f} | {len(text) / per_whole / 1e6:.0f} |")

    print("\nTargets:\n")
    for number in TYPES:
        ratio = rows[number]["many"] / cxx_records[number]
        print(f"- convert_many <= 1.5x the C++ time a record, type {number}: "
              f"{'met' if ratio <= 1.5 else 'NOT met'} ({ratio:.2f}x)")
    for number in (3, 7):
        many = own[number][0] / rows[number]["many"]
        whole = rows[number]["whole"] / own[number][1]
        print(f"- >= 5x Python's codecs, EUC job, type {number}: records {'met' if many >= 5 else 'NOT met'}"
              f" ({many:.1f}x), whole text {'met' if whole >= 5 else 'NOT met'} ({whole:.1f}x)")
    print(f"\nload average {load_before[0]:.2f} at the start, {load_after[0]:.2f} at the end")


if __name__ == "__main__":
    codecs.lookup("lumtrax-euc")
    main()
