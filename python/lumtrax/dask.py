"""Converting whole data sets on a Dask cluster.

convert_files() converts many files, each in a task of its own, byte for
byte as the lumtrax command converts them (a whole file, --lines or
--record N), and returns a FileResult for each with its gaiji summary.
convert_bag() converts a dask.bag of records, a partition at a time through
convert_many(). With client=None they use the Dask client that is active, if
any, else Dask's default scheduler; with a distributed.Client they run on its
cluster, e.g. Client("scheduler:8786"). The workers read and write the files
by the paths given (made absolute here), so on several machines they must lie
on a file system that every worker sees under the same path, and lumtrax must
be installed on every worker. A worker's gaiji server reads the gaiji table
of that worker (LUMTRAX_GAIJI_TABLE in its environment, or gaiji.tsv beside
libquobel.so.1 in the package).
"""

import os
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
from ._types import ArgumentError, Conversion, GaijiStatus, _conversion

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


def _file_converter(conversion, lines, record, line_end, lrss, shift):
    if record is not None and (isinstance(record, bool) or not isinstance(record, int) or record <= 0):
        raise ArgumentError(f"record must be a positive number of bytes, not {record!r}")
    return _FileConverter(conversion, line_end=line_end, lrss=lrss, shift=shift, lines=lines,
                          record=record or 0)


def convert_file(path: Union[str, "os.PathLike[str]"], conversion: Union[Conversion, str, int],
                 output: Union[str, "os.PathLike[str]"], *, lines: bool = False,
                 record: Optional[int] = None, line_end: str = "keep", lrss: bool = False,
                 shift: bool = True) -> FileResult:
    """Converts one file into output, as `lumtrax -o OUTPUT` converts it.

    The whole file is one call unless lines (each line, with its line end,
    its own call) or record (each record of that many bytes its own call) is
    given; it is read and converted a megabyte at a time. output is written
    to a temporary file beside it and renamed over it once complete, so a
    failure leaves no partial file. This is the task convert_files() runs.
    """
    path, output = os.fspath(path), os.fspath(output)
    converter = _file_converter(conversion, lines, record, line_end, lrss, shift)
    directory = os.path.dirname(os.path.abspath(output))
    os.makedirs(directory, exist_ok=True)
    temporary = os.path.join(directory, f".{os.path.basename(output)}.{secrets.token_hex(6)}.tmp")
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


def convert_files(paths: Iterable[Union[str, "os.PathLike[str]"]],
                  conversion: Union[Conversion, str, int], out_dir: Union[str, "os.PathLike[str]"], *,
                  lines: bool = False, record: Optional[int] = None, client: Any = None,
                  line_end: str = "keep", lrss: bool = False, shift: bool = True) -> List[FileResult]:
    """Converts each file into out_dir under its own name, one task a file.

    The output is byte for byte what the lumtrax command writes for the same
    file and options: the whole file as one call, or with lines=True each
    line, or with record=N each N bytes, as a call of its own. Returns a
    FileResult for each path, in order. Two paths with the same file name
    are refused, and so is an output that would be its own input. An error in
    any task (a missing file, a text too long for one call) is raised here.

    client: a distributed.Client to run on; None uses the active client, if
    any, else Dask's default scheduler.
    """
    paths = [os.path.abspath(os.fspath(p)) for p in paths]
    out_dir = os.path.abspath(os.fspath(out_dir))
    _conversion(conversion)
    _file_converter(conversion, lines, record, line_end, lrss, shift)  # the options, checked here
    outputs = [os.path.join(out_dir, os.path.basename(p)) for p in paths]
    if len(set(outputs)) != len(outputs):
        raise ArgumentError("two of the paths have the same file name; out_dir would get one file for both")
    if set(outputs) & set(paths):
        raise ArgumentError("out_dir holds a file to convert; the output would overwrite its input")
    options = dict(lines=lines, record=record, line_end=line_end, lrss=lrss, shift=shift)
    tasks = [dask.delayed(convert_file, pure=False)(path, conversion, output, **options)
             for path, output in zip(paths, outputs)]
    if client is not None:
        return list(client.gather(client.compute(tasks)))
    return list(dask.compute(*tasks))


def _convert_partition(records, conversion, line_end, lrss, shift):
    return convert_many(records, conversion, line_end=line_end, lrss=lrss, shift=shift)


def convert_bag(bag: "dask.bag.Bag", conversion: Union[Conversion, str, int], *,
                line_end: str = "keep", lrss: bool = False, shift: bool = True) -> "dask.bag.Bag":
    """A bag of the Results of converting each record of bag (bytes-like
    objects), each partition through one call of convert_many()."""
    _conversion(conversion)
    return bag.map_partitions(_convert_partition, conversion, line_end, lrss, shift)
