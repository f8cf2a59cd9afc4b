"""Converting whole data sets on a Dask cluster.

convert_files() converts many files, each in a task of its own, byte for
byte as the lumtrax command converts them (a whole file, --lines or
--record N), and returns a FileResult for each with its gaiji summary.
convert_bag() converts a dask.bag of records, a partition at a time through
convert_many(). read_dataset() reads host data sets into a
dask.dataframe, one partition a file, or for a large fixed-length file one
a range of whole records. With client=None they use the Dask client that is active, if
any, else Dask's default scheduler; with a distributed.Client they run on its
cluster, e.g. Client("scheduler:8786"). The workers read and write the files
by the paths given (made absolute here), so on several machines they must lie
on a file system that every worker sees under the same path, and lumtrax must
be installed on every worker. A worker's gaiji server reads the gaiji table
of that worker (LUMTRAX_GAIJI_TABLE in its environment, or gaiji.tsv beside
libquobel.so.1 in the package).
"""

import os
import re
import secrets
from dataclasses import dataclass
from typing import Any, Iterable, List, Optional, Union

try:
    import dask
    import dask.bag
except ImportError as error:  # pragma: no cover - depends on the machine
    raise ImportError(
        "lumtrax.dask needs Dask (Debian: apt-get install python3-dask python3-distributed)"
    ) from error

from ._lumtrax import _FileConverter, convert_many
from ._main_guard import check_main_script
from ._types import ArgumentError, Conversion, GaijiStatus, _conversion

# A script that starts local worker processes at its top level would hang:
# say so at once (see _main_guard).
check_main_script()

_READ_SIZE = 1 << 20


@dataclass(frozen=True)
class FileResult:
    """What converting one file did, and what its calls met of gaiji."""

    path: str  #: the file read
    output: str  #: the file written
    size: int  #: bytes read
    output_size: int  #: bytes written
    calls: int  #: lines or records converted (1 for a whole file)
    gaiji: GaijiStatus  #: the status of the whole file, merged over its calls
    converted: int  #: calls whose gaiji the gaiji server all converted
    replaced: int  #: calls with a unit replaced by the substitute (a black square)
    first_replaced: Optional[int]  #: byte offset in the file of the first such unit
    ends_inside: int  #: calls whose text ends inside a unit (the byte after taken as 00)


def _file_converter(conversion, lines, record, line_end, lrss, shift, mapping="cp932", errors="strict"):
    if record is not None and (isinstance(record, bool) or not isinstance(record, int) or record <= 0):
        raise ArgumentError(f"record must be a positive number of bytes, not {record!r}")
    return _FileConverter(conversion, line_end=line_end, lrss=lrss, shift=shift, mapping=mapping, errors=errors,
                          lines=lines, record=record or 0)


def _temporary_name(output):
    """The hidden file beside output that convert_file writes first."""
    directory, name = os.path.split(output)
    return os.path.join(directory, f".{name}.lumtrax-{secrets.token_hex(6)}")


def _remove_leftovers(output):
    """Removes what a task of output killed before its end (a worker killed
    by SIGKILL, or lost with its machine) left: its hidden temporary files."""
    directory, name = os.path.split(output)
    pattern = re.compile(re.escape(f".{name}.lumtrax-") + "[0-9a-f]{12}")
    try:
        names = os.listdir(directory)
    except OSError:
        return
    for entry in names:
        if pattern.fullmatch(entry):
            try:
                os.unlink(os.path.join(directory, entry))
            except OSError:
                pass


def convert_file(path: Union[str, "os.PathLike[str]"], conversion: Union[Conversion, str, int],
                 output: Union[str, "os.PathLike[str]"], *, lines: bool = False,
                 record: Optional[int] = None, line_end: str = "keep", lrss: bool = False,
                 shift: bool = True, mapping: str = "cp932", errors: str = "strict") -> FileResult:
    """Converts one file into output, as `lumtrax -o OUTPUT` converts it.

    The whole file is one call unless lines (each line, with its line end,
    its own call) or record (each record of that many bytes its own call) is
    given; it is read and converted a megabyte at a time. output is written
    to a hidden temporary file beside it (.NAME.lumtrax-XXXXXXXXXXXX) and
    renamed over it once complete, so a failure leaves no partial file. This
    is the task convert_files() runs. mapping and errors are those of
    lumtrax.convert() for the conversions to and from Unicode (such as
    "ebcdic_to_utf8"): in strict mode the first unit without a Unicode form,
    or character without a code, raises lumtrax.TextError, which names the
    line or record (.record) and the bytes in the file (.start, .end).
    """
    path, output = os.fspath(path), os.fspath(output)
    converter = _file_converter(conversion, lines, record, line_end, lrss, shift, mapping, errors)
    output = os.path.abspath(output)
    os.makedirs(os.path.dirname(output), exist_ok=True)
    temporary = _temporary_name(output)
    size = output_size = 0
    try:
        descriptor = os.open(temporary, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o666)
        with open(path, "rb") as source, open(descriptor, "wb") as target:
            while True:
                data = source.read(_READ_SIZE)
                converted = converter.feed(data) if data else converter.finish()
                target.write(converted)
                size += len(data)
                output_size += len(converted)
                if not data:
                    break
        os.replace(temporary, output)
    except BaseException:
        if os.path.exists(temporary):
            os.unlink(temporary)
        raise
    return FileResult(path=path, output=output, size=size, output_size=output_size,
                      **converter.tally())


def _same_file(a, b):
    try:
        return os.path.samefile(a, b)
    except OSError:
        return False


def convert_files(paths: Union[Iterable[Union[str, "os.PathLike[str]"]], str, "os.PathLike[str]"],
                  conversion: Union[Conversion, str, int], out_dir: Union[str, "os.PathLike[str]"], *,
                  lines: bool = False, record: Optional[int] = None, client: Any = None,
                  line_end: str = "keep", lrss: bool = False, shift: bool = True, mapping: str = "cp932",
                  errors: str = "strict") -> List[FileResult]:
    """Converts each file into out_dir under its own name, one task a file.

    The output is byte for byte what the lumtrax command writes for the same
    file and options: the whole file as one call, or with lines=True each
    line, or with record=N each N bytes, as a call of its own. Returns a
    FileResult for each path, in order; paths may also be one path. Two
    paths with the same file name are refused, and so is an output that
    would be its own input, however the paths reach it (the real paths and
    the files' device and inode are compared, so a symbolic link to an input
    folder is seen through). An error in any task (a missing file, a text too
    long for one call) is raised here. Temporary files that a killed task
    left in out_dir are removed once the tasks have ended.

    client: a distributed.Client to run on; None uses the active client, if
    any, else Dask's default scheduler.
    """
    if isinstance(paths, (str, bytes, os.PathLike)):
        paths = [paths]
    paths = [os.path.abspath(os.fspath(p)) for p in paths]
    out_dir = os.path.abspath(os.fspath(out_dir))
    _conversion(conversion)
    _file_converter(conversion, lines, record, line_end, lrss, shift, mapping, errors)  # the options, checked here
    names = [os.path.basename(p) for p in paths]
    if len(set(names)) != len(names):
        twice = sorted({n for n in names if names.count(n) > 1})
        raise ArgumentError(f"two of the paths have the same file name ({twice[0]!r}); "
                            "out_dir would get one file for both")
    real_out_dir = os.path.realpath(out_dir)
    outputs = [os.path.join(out_dir, name) for name in names]
    real_paths = {os.path.realpath(p) for p in paths}
    for path, name in zip(paths, names):
        if os.path.join(real_out_dir, name) in real_paths or any(
                _same_file(os.path.join(out_dir, name), p) for p in paths):
            raise ArgumentError(f"the output of {path} would be one of the files to convert "
                                f"(out_dir {out_dir} holds it); it would overwrite its input")
    options = dict(lines=lines, record=record, line_end=line_end, lrss=lrss, shift=shift, mapping=mapping,
                   errors=errors)
    tasks = [dask.delayed(convert_file, pure=False)(path, conversion, output, **options)
             for path, output in zip(paths, outputs)]
    try:
        if client is not None:
            return list(client.gather(client.compute(tasks)))
        return list(dask.compute(*tasks))
    finally:
        for output in outputs:
            _remove_leftovers(output)


def _convert_partition(records, conversion, line_end, lrss, shift, mapping, errors):
    return convert_many(records, conversion, line_end=line_end, lrss=lrss, shift=shift, mapping=mapping,
                        errors=errors)


def convert_bag(bag: "dask.bag.Bag", conversion: Union[Conversion, str, int], *,
                line_end: str = "keep", lrss: bool = False, shift: bool = True, mapping: str = "cp932",
                errors: str = "strict") -> "dask.bag.Bag":
    """A bag of the Results of converting each record of bag (bytes-like
    objects), each partition through one call of convert_many()."""
    _conversion(conversion)
    return bag.map_partitions(_convert_partition, conversion, line_end, lrss, shift, mapping, errors)


# ---- host data sets --------------------------------------------------------------------

_PARTITION_SIZE = 64 << 20


def _read_partition(part, layout, format, options):
    from .dataset import Reader

    path, start, length = part
    return Reader(layout, format, **options).dataframe(path, start=start, length=length)


def _dataset_parts(paths, layout, format, record_length, partition_size):
    parts = []
    for path in paths:
        size = os.path.getsize(path)
        length = record_length or layout.record_length
        if format not in ("f", "fb") or size <= partition_size or size < 2 * length:
            parts.append((path, 0, None))
            continue
        step = max(1, partition_size // length) * length
        starts = list(range(0, size - size % length, step))
        # The last partition reads to the end, with a truncated last record if there is one.
        parts += [(path, start, step) for start in starts[:-1]] + [(path, starts[-1], None)]
    return parts


def read_dataset(paths: Union[Iterable[Union[str, "os.PathLike[str]"]], str, "os.PathLike[str]"],
                 layout: "Any", format: str, *, partition_size: int = _PARTITION_SIZE,
                 **options) -> "Any":
    """A dask.dataframe of the flat columns of host data sets, as
    lumtrax.dataset.read_dataframe() reads each in one process.

    layout is a lumtrax.dataset.Layout (it travels to the workers as its
    copybook and is parsed there); options are those of
    lumtrax.dataset.Reader. Each file is one partition, except a
    fixed-length (f, fb) file larger than partition_size bytes, which is
    split into ranges of whole records, each a partition; the records of a
    range are numbered in reports as in the whole file. Every worker reads
    the files by these paths (made absolute here). The partitions' dtypes
    are Layout.dtypes(); their index counts from 0 in each partition.
    """
    import dask.dataframe

    from .dataset import Layout, Reader, _check_format

    if isinstance(paths, (str, bytes, os.PathLike)):
        paths = [paths]
    paths = [os.path.abspath(os.fspath(p)) for p in paths]
    if not isinstance(layout, Layout):
        raise ArgumentError(f"layout must be a lumtrax.dataset.Layout, not {type(layout).__name__}")
    if isinstance(partition_size, bool) or not isinstance(partition_size, int) or partition_size <= 0:
        raise ArgumentError(f"partition_size must be a positive number of bytes, not {partition_size!r}")
    format = _check_format(format)
    meta = Reader(layout, format, **options).dataframe(b"")
    parts = _dataset_parts(paths, layout, format, options.get("record_length"), partition_size)
    return dask.dataframe.from_map(_read_partition, parts, layout=layout, format=format, options=options,
                                   meta=meta, enforce_metadata=False)
