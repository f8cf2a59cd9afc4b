#!/usr/bin/python3
"""The Python package against the C++ library and Python's own codecs.

    bench/python.py [BUILD]

BUILD is a build folder configured with -DLUMTRAX_BUILD_BENCH=ON, in which
lumtrax_bench, lumtrax_corpus and the Python module are built (default:
build). On the Japanese text of the benchmark and its records (from
lumtrax_corpus, so the same bytes lumtrax_bench converts) it times, in one
run: lumtrax_bench's records and whole jobs (the C++ library, one call a
record through the C interface); convert_many() on all records, as a list of
results and as one batch (the records in one buffer with their ends); convert() a
record at a time and on the whole text; Python's own Shift-JIS <-> EUC-JP
codecs (decode then encode) beside types 3 and 7; the lumtrax-euc and
lumtrax-ebcdic codecs on str, beside the hop through Python's cp932 codec
that the codecs took before they converted directly. Times are CPU
times. lumtrax_bench and the Python jobs
run in turns, four rounds of each, and each figure is the best of all its
passes, the least disturbed on a machine that others load. Prints Markdown
tables, the page faults of a pass of convert_many, and whether the targets
are met. Python's own allocator returns freed arenas to the system, and the
next batch faults them in again; PYTHONMALLOC=malloc keeps them, which shows
what the conversions cost without that (bench/README.md has both).
"""

import array
import codecs
import itertools
import os
import resource
import subprocess
import sys
import tempfile
import time

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
sys.path.insert(0, os.path.join(BUILD, "python"))
import lumtrax  # noqa: E402

TYPES = [0, 3, 4, 7]  # as lumtrax_bench's targets; 4 and 7 read what 0 and 3 made
SOURCE_OF = {4: 0, 7: 3}
PASSES = 3  # a round
ROUNDS = 4


def corpus(*args):
    return subprocess.run([os.path.join(BUILD, "bin", "lumtrax_corpus"), "japanese", *args],
                          check=True, capture_output=True).stdout


def cpu_seconds(job, passes=PASSES):
    """The least CPU time of a pass of job, and the fewest page faults. What
    a pass made lives until the next one has made its own, as the results of
    one batch do in a loop over batches."""
    times, faults, kept = [], [], None
    for _ in range(passes):
        before = resource.getrusage(resource.RUSAGE_SELF).ru_minflt
        start = time.thread_time()
        made = job()
        times.append(time.thread_time() - start)
        faults.append(resource.getrusage(resource.RUSAGE_SELF).ru_minflt - before)
        kept = made  # noqa: F841 - freed once the next pass has made its own
    return min(times), min(faults)


def cxx_times():
    """lumtrax_bench's records (ns a call) and whole (MB/s) jobs for TYPES,
    the medians of three rounds."""
    pattern = "^(records|whole-plain)/japanese/type(%s)$" % "|".join(map(str, TYPES))
    with tempfile.NamedTemporaryFile(suffix=".tsv") as out:
        subprocess.run([os.path.join(BUILD, "bin", "lumtrax_bench"), "--filter", pattern, "--rounds", "3",
                        "--tsv", out.name], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        rows = [line.rstrip("\n").split("\t") for line in open(out.name)][1:]
    times = {}
    for _level, job, converter, size, calls, median, _fastest, _slowest in rows:
        if converter != "lumtrax":
            continue
        scope, _, kind = job.split("/")
        number = int(kind[len("type"):])
        if scope == "records":
            times[("cxx records", number)] = float(median) / int(calls) * 1e9
        else:
            times[("cxx whole", number)] = float(size) / float(median) / 1e6
    return times


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
    euc_text, euc_records = sources[7]
    string = text.decode("cp932")
    strings = [r.decode("cp932") for r in records]

    # What is timed: ns a record for lists, MB/s of source for whole texts.
    jobs = {}
    for number in TYPES:
        whole, recs = sources[number]
        jobs[("many", number)] = (lambda recs=recs, number=number: lumtrax.convert_many(recs, number), recs)
        joined, ends = b"".join(recs), array.array("Q", itertools.accumulate(map(len, recs)))
        jobs[("batch", number)] = (lambda joined=joined, ends=ends, number=number:
                                   lumtrax.convert_many(joined, number, ends=ends, batch=True), recs)
        jobs[("each", number)] = (lambda recs=recs, number=number: [lumtrax.convert(r, number) for r in recs], recs)
        jobs[("whole", number)] = (lambda whole=whole, number=number: lumtrax.convert(whole, number), whole)
    # Python's own, for the EUC job: Shift-JIS -> str -> EUC-JP and back.
    jobs[("own", 3)] = (lambda: [r.decode("shift_jis").encode("euc_jp") for r in records], records)
    jobs[("own whole", 3)] = (lambda: text.decode("shift_jis").encode("euc_jp"), text)
    jobs[("own", 7)] = (lambda: [r.decode("euc_jp").encode("shift_jis") for r in euc_records], records)
    jobs[("own whole", 7)] = (lambda: euc_text.decode("euc_jp").encode("shift_jis"), euc_text)
    # The codecs on str, and the hop through cp932 they took before.
    ebcdic_text, ebcdic_records = sources[4]

    def hop_encode(s, number):
        return lumtrax.convert(s.encode("cp932"), number).data

    def hop_decode(data, number):
        return lumtrax.convert(data, number).data.decode("cp932")

    for name, each, whole in [
        ("lumtrax-euc encode", lambda: [s.encode("lumtrax-euc") for s in strings],
         lambda: string.encode("lumtrax-euc")),
        ("lumtrax-euc decode", lambda: [r.decode("lumtrax-euc") for r in euc_records],
         lambda: euc_text.decode("lumtrax-euc")),
        ("lumtrax-ebcdic encode", lambda: [s.encode("lumtrax-ebcdic") for s in strings],
         lambda: string.encode("lumtrax-ebcdic")),
        ("lumtrax-ebcdic decode", lambda: [r.decode("lumtrax-ebcdic") for r in ebcdic_records],
         lambda: ebcdic_text.decode("lumtrax-ebcdic")),
        ("cp932 hop encode, EUC", lambda: [hop_encode(s, 3) for s in strings], lambda: hop_encode(string, 3)),
        ("cp932 hop decode, EUC", lambda: [hop_decode(r, 7) for r in euc_records], lambda: hop_decode(euc_text, 7)),
        ("euc_jp encode (Python's own)", lambda: [s.encode("euc_jp") for s in strings],
         lambda: string.encode("euc_jp")),
    ]:
        jobs[("codec", name)] = (each, records)
        jobs[("codec whole", name)] = (whole, text)

    # Rounds of lumtrax_bench and of the Python jobs in turn, so that a change
    # in the load of the machine falls on both; the best of all rounds.
    best, faults = {}, {}
    for _ in range(ROUNDS):
        for key, value in cxx_times().items():
            better = min if key[0] == "cxx records" else max
            best[key] = better(best.get(key, value), value)
        for key, (job, source) in jobs.items():
            seconds, faults[key] = cpu_seconds(job)
            if isinstance(source, list):
                value, better = seconds / len(source) * 1e9, min
            else:
                value, better = len(source) / seconds / 1e6, max
            best[key] = better(best.get(key, value), value)
    cxx_records = {t: best[("cxx records", t)] for t in TYPES}
    cxx_whole = {t: best[("cxx whole", t)] for t in TYPES}
    rows = {t: {"many": best[("many", t)], "batch": best[("batch", t)], "each": best[("each", t)],
                "whole": best[("whole", t)]} for t in TYPES}
    own = {t: (best[("own", t)], best[("own whole", t)]) for t in (3, 7)}
    pivot = {name: (best[("codec", name)], best[("codec whole", name)])
             for kind, name in best if kind == "codec"}
    load_after = os.getloadavg()

    print("\nRecords, ns a record (CPU time); whole text, MB/s of source:\n")
    print("| type | C++ ns/record | batch ns/record | batch / C++ | convert_many ns/record | convert_many / C++"
          " | convert() a record ns | Python's codecs ns/record | batch vs Python's codecs | C++ whole MB/s"
          " | convert() whole MB/s | Python's codecs whole MB/s | convert() whole vs Python's codecs |")
    print("|---:" * 13 + "|")
    for number in TYPES:
        row = rows[number]
        own_record, own_whole = own.get(number, (None, None))
        cells = [number, f"{cxx_records[number]:.1f}", f"{row['batch']:.1f}",
                 f"{row['batch'] / cxx_records[number]:.2f}", f"{row['many']:.1f}",
                 f"{row['many'] / cxx_records[number]:.2f}", f"{row['each']:.1f}",
                 f"{own_record:.1f}" if own_record else "-",
                 f"{own_record / row['batch']:.1f}x" if own_record else "-",
                 f"{cxx_whole[number]:.0f}", f"{row['whole']:.0f}",
                 f"{own_whole:.0f}" if own_whole else "-",
                 f"{row['whole'] / own_whole:.1f}x" if own_whole else "-"]
        print("| " + " | ".join(map(str, cells)) + " |")

    print("\nThe codecs on str, and the cp932 hop (CPU time):\n")
    print("| codec | ns a record | whole text MB/s |")
    print("|---|---:|---:|")
    for name, (per_record, rate) in pivot.items():
        print(f"| {name} | {per_record:.1f} | {rate:.0f} |")

    print("\nPage faults a pass of convert_many (all records): " +
          ", ".join(f"type {t} {faults[('many', t)]}" for t in TYPES) +
          f" (allocator: {os.environ.get('PYTHONMALLOC', 'pymalloc')})")

    print("\nTargets:\n")
    for number in TYPES:
        ratio = rows[number]["batch"] / cxx_records[number]
        print(f"- the batch form <= 1.5x the C++ time a record, type {number}: "
              f"{'met' if ratio <= 1.5 else 'NOT met'} ({ratio:.2f}x)")
    for number in (3, 7):
        batch = own[number][0] / rows[number]["batch"]
        whole = rows[number]["whole"] / own[number][1]
        print(f"- >= 10x Python's codecs on records (the batch form), EUC job, type {number}: "
              f"{'met' if batch >= 10 else 'NOT met'} ({batch:.1f}x); >= 5x whole text: "
              f"{'met' if whole >= 5 else 'NOT met'} ({whole:.1f}x)")
    for way in ("encode", "decode"):
        ratio = pivot[f"lumtrax-euc {way}"][1] / pivot[f"cp932 hop {way}, EUC"][1]
        print(f"- the lumtrax-euc codec's {way} >= 5x the cp932 hop, whole text: "
              f"{'met' if ratio >= 5 else 'NOT met'} ({ratio:.1f}x)")
    print(f"\nload average {load_before[0]:.2f} at the start, {load_after[0]:.2f} at the end")


if __name__ == "__main__":
    codecs.lookup("lumtrax-euc")
    main()
