"""Host data sets: records of text and numbers, laid out by a COBOL copybook.

    >>> import lumtrax.dataset as ds
    >>> layout = ds.Layout.from_file("cust.cpy", host="ebcdic")
    >>> for row in ds.read_rows("host.dat", layout, "vb"):
    ...     print(row["CUST-ID"], row["NAME"], row["BALANCE"])
    >>> frame = ds.read_dataframe("host.dat", layout, "vb")
    >>> ds.write_rows(rows, layout, "vb", "copy.dat")

A Layout is parsed once and shared. Rows are dicts: nested as the copybook
nests (groups as dicts, OCCURS as lists, an OCCURS DEPENDING ON list as long
as its counter says), or flat, keyed by the CSV column names. Numbers are
exact: int for a scale of 0 (or a picture ending in P), decimal.Decimal
otherwise; a field that does not hold what its picture says is None, and
the Reader's report names it. read_dataframe() gives the flat columns as a
pandas DataFrame (pandas is imported only there): Int64 for integers that
always fit 64 bits, object columns of int, Decimal and str otherwise.
docs/datasets.md is the guide.
"""

import decimal
import io
import json
import os
import secrets
from dataclasses import dataclass, field
from typing import Any, Dict, Iterable, Iterator, List, NamedTuple, Optional, Sequence, Union

from . import _lumtrax
from ._types import ArgumentError, Error

_READ_SIZE = 1 << 20
_WRITE_BATCH = 1 << 20  # bytes of rows encoded in one call

Source = Union[str, "os.PathLike[str]", bytes, bytearray, memoryview, "io.RawIOBase", "io.BufferedIOBase"]


class DatasetError(Error):
    """A data set, its copybook or a row that cannot be converted. The
    numbers that apply are set, the others are 0 (field: empty)."""

    def __init__(self, message, line=0, column=0, record=0, offset=0, row=0, field=""):
        super().__init__(message)
        self.line = line  #: copybook: the line, from 1
        self.column = column  #: copybook: the column, from 1
        self.record = record  #: bad frame: the record number, from 1
        self.offset = offset  #: bad frame: the byte offset in the data set
        self.row = row  #: a row to write: its number, from 1
        self.field = field  #: a row to write: the field (CSV name)


class CopybookError(DatasetError, ValueError):
    """A copybook that cannot be read as it stands (line and column)."""


class FrameError(DatasetError, ValueError):
    """A bad record or block descriptor, or a truncated record (record, offset)."""


class RowError(DatasetError, ValueError):
    """A row that is not well-formed, or a value that does not fit its field (row, field)."""


def _error(kind, message, line, column, record, offset, row, field_name):
    cls = {"copybook": CopybookError, "frame": FrameError, "row": RowError}.get(kind, ArgumentError)
    if cls is ArgumentError:
        return ArgumentError(message)
    return cls(message, line, column, record, offset, row, field_name)


_lumtrax._bind_dataset(_error, decimal.Decimal)

_HOSTS = {"ebcdic": "ebcdic", "ebcdic_kana": "ebcdic_kana", "8bit": "8bit", "eightbit": "8bit",
          "8bit_70": "8bit_70", "eightbit_70": "8bit_70", "euc": "euc"}


def _name(value, what):
    if not isinstance(value, str):
        raise ArgumentError(f"{what} must be a str, not {type(value).__name__}")
    return value.strip().lower().replace("-", "_")


class Field(NamedTuple):
    """One item of the copybook, FILLER and groups included, in source order."""

    name: str
    level: int
    offset: int  #: of the first element, from the record's start
    size: int  #: of one element, in bytes
    kind: str  #: group, text, double_byte, zoned, packed, binary, native_binary
    digits: int
    scale: int
    signed: bool
    occurs_min: int
    occurs_max: int
    depending_on: Optional[str]
    redefines: Optional[str]
    parent: Optional[str]
    active: bool  #: in the rows (not an unchosen REDEFINES alternative)
    filler: bool


class Layout:
    """A copybook parsed once: the layout of a data set's records.

    host is the code of the records' text and zoned numbers: 'ebcdic'
    (lower-case table set), 'ebcdic_kana', '8bit' (runs written with 93 F0),
    '8bit_70' or 'euc'. record names the 01 record to use when there are
    several; redefines names the REDEFINES alternatives to read in place of
    the first definitions. source_format is 'auto', 'fixed' or 'free'. A
    copybook that cannot be read raises CopybookError with its line and
    column.
    """

    def __init__(self, copybook: str, host: str = "ebcdic", *, record: Optional[str] = None,
                 redefines: Sequence[str] = (), source_format: str = "auto"):
        if not isinstance(copybook, str):
            raise ArgumentError("copybook must be its text, a str (Layout.from_file reads a file)")
        code = _HOSTS.get(_name(host, "host"))
        if code is None:
            raise ArgumentError(f"host must be 'ebcdic', 'ebcdic_kana', '8bit', '8bit_70' or 'euc', not {host!r}")
        if isinstance(redefines, str):
            redefines = [redefines]
        self.host = code
        self._arguments = (copybook, code, record or "", list(redefines), _name(source_format, "source_format"))
        self._layout = _lumtrax._Layout(*self._arguments)

    def __reduce__(self):
        # A layout travels as its copybook and options (to Dask's workers),
        # and is parsed again where it lands.
        copybook, host, record, redefines, source_format = self._arguments
        return (_layout, (copybook, host, record, redefines, source_format))

    @classmethod
    def from_file(cls, path: Union[str, "os.PathLike[str]"], host: str = "ebcdic", **options) -> "Layout":
        """The layout of the copybook in the file at path (UTF-8 or ASCII)."""
        with open(path, encoding="utf-8") as source:
            return cls(source.read(), host, **options)

    @property
    def record_length(self) -> int:
        """The length of a record with every table at its largest."""
        return self._layout.record_length

    @property
    def fixed_length(self) -> int:
        """The length of a record whose OCCURS DEPENDING ON table is empty."""
        return self._layout.fixed_length

    @property
    def columns(self) -> List[str]:
        """The flat (CSV) column names, in order."""
        return list(self._layout.columns)

    @property
    def fields(self) -> List[Field]:
        return [Field(*f) for f in self._layout.fields()]

    def dtypes(self) -> Dict[str, str]:
        """The pandas dtype of each column of read_dataframe()."""
        return {name: ("Int64" if kind == "int64" else "object")
                for name, kind in zip(self._layout.columns, self._layout.column_types())}


def _layout(copybook, host, record, redefines, source_format):
    return Layout(copybook, host, record=record or None, redefines=redefines, source_format=source_format)


@dataclass
class Issue:
    """A field that did not hold what its picture says (it is None)."""

    record: int
    field: str  #: the column name
    offset: int  #: of the field in the record
    bytes: str  #: the field's bytes in hex, "F1 C2"
    kind: str  #: bad_digit, bad_sign, bad_nibble, bad_text, short_record, bad_counter


@dataclass
class Report:
    """What reading met: counts, and the first issues in full."""

    records: int = 0
    invalid_fields: int = 0  #: None for bad values (issues)
    blank_numbers: int = 0  #: zoned numbers of spaces only (None, no issue)
    replaced_text: int = 0  #: text fields with U+FFFD (text_errors="replace")
    short_records: int = 0
    long_records: int = 0
    skipped: int = 0  #: bad frames skipped (skip_bad)
    skipped_bytes: int = 0
    issues: List[Issue] = field(default_factory=list)


def _check_format(format):
    name = _name(format, "format")
    if name not in ("f", "fb", "v", "vb"):
        raise ArgumentError(f"format must be 'f', 'fb', 'v' or 'vb', not {format!r}")
    return name


def _pieces(source: Any, start: int = 0, length: Optional[int] = None) -> Iterator[Any]:
    """The bytes of a path, a binary file or a bytes-like object, in pieces."""
    if isinstance(source, (bytes, bytearray, memoryview)):
        view = memoryview(source)[start:None if length is None else start + length]
        yield view
        return
    if isinstance(source, (str, os.PathLike)):
        with open(source, "rb") as file:
            yield from _pieces(file, start, length)
        return
    if not hasattr(source, "read"):
        raise ArgumentError("source must be a path, a binary file or a bytes-like object, not "
                            + type(source).__name__)
    if start:
        source.seek(start)
    left = length
    while left is None or left > 0:
        data = source.read(_READ_SIZE if left is None else min(_READ_SIZE, left))
        if isinstance(data, str):
            raise ArgumentError("source must be opened in binary mode ('rb')")
        if not data:
            break
        if left is not None:
            left -= len(data)
        yield data


class Reader:
    """Reads data sets of one layout and format into rows.

    format is 'f', 'fb' (records of record_length bytes, by default the
    layout's), 'v' or 'vb' (records behind descriptor words: little_endian
    for descriptor lengths in little-endian order, length_excludes_descriptor
    for lengths that leave out the descriptor's 4 bytes). skip_bad skips bad
    frames where the format can resynchronise and counts them; else a bad
    frame raises FrameError once the rows before it are given. trim drops
    trailing spaces of text. text_errors: 'strict' makes text without a
    Unicode form None (reported), 'replace' puts U+FFFD in its place.
    report tells what the last read met.
    """

    def __init__(self, layout: Layout, format: str, *, record_length: Optional[int] = None,
                 little_endian: bool = False, length_excludes_descriptor: bool = False,
                 skip_bad: bool = False, trim: bool = False, text_errors: str = "strict"):
        if not isinstance(layout, Layout):
            raise ArgumentError(f"layout must be a lumtrax.dataset.Layout, not {type(layout).__name__}")
        if record_length is not None and (isinstance(record_length, bool) or not isinstance(record_length, int)
                                          or record_length <= 0):
            raise ArgumentError(f"record_length must be a positive number of bytes, not {record_length!r}")
        self.layout = layout
        self.format = _check_format(format)
        self._options = (record_length or 0, bool(little_endian), bool(length_excludes_descriptor),
                         bool(skip_bad), bool(trim), _name(text_errors, "text_errors"))
        self.report = Report()

    def _core(self, flat, columns, record_base=0):
        return _lumtrax._DatasetReader(self.layout._layout, self.format, *self._options, flat, columns,
                                       record_base)

    def _finish(self, core):
        raw = core.report()
        issues = [Issue(*issue) for issue in raw.pop("issues")]
        self.report = Report(**raw, issues=issues)

    def rows(self, source: Source, *, flat: bool = False) -> Iterator[Dict[str, Any]]:
        """The rows of a data set (a path, a binary file or bytes), as dicts."""
        core = self._core(bool(flat), False)
        self.report = Report()
        try:
            for piece in _pieces(source):
                yield from core.feed(piece)
            yield from core.feed(b"", True)
        finally:
            self._finish(core)

    def dataframe(self, source: Source, *, start: int = 0, length: Optional[int] = None) -> "Any":
        """The flat columns of a data set as a pandas DataFrame (see
        Layout.dtypes). start and length read a range of a fixed-length data
        set, which must hold whole records; record numbers in the report
        then count from the start of the data set."""
        import pandas
        import numpy

        record_length = self._options[0] or self.layout.record_length
        if (start or length is not None) and (self.format not in ("f", "fb") or start % record_length
                                              or (length is not None and length % record_length)):
            raise ArgumentError("a range of a data set is whole records of a fixed-length (f, fb) data set")
        core = self._core(True, True, start // record_length if start else 0)
        self.report = Report()
        try:
            for piece in _pieces(source, start, length):
                core.feed(piece)
            core.feed(b"", True)
        finally:
            self._finish(core)
        data = {}
        for column in core.take_columns():
            if column[1] == "int64":
                values = numpy.frombuffer(column[2], dtype=numpy.int64)
                mask = numpy.frombuffer(column[3], dtype=numpy.bool_)
                data[column[0]] = pandas.arrays.IntegerArray(values.copy(), mask.copy())
            else:
                data[column[0]] = pandas.array(column[2], dtype=object)
        frame = pandas.DataFrame(data, columns=self.layout.columns)
        return frame


def read_rows(source: Source, layout: Layout, format: str, *, flat: bool = False,
              **options) -> Iterator[Dict[str, Any]]:
    """The rows of a data set as dicts; options as Reader takes them."""
    return Reader(layout, format, **options).rows(source, flat=flat)


def read_dataframe(source: Source, layout: Layout, format: str, **options) -> "Any":
    """The flat columns of a data set as a pandas DataFrame; options as
    Reader takes them."""
    return Reader(layout, format, **options).dataframe(source)


def _json_value(value):
    if isinstance(value, decimal.Decimal):
        return format(value, "f")
    if type(value).__name__ == "NAType":  # pandas.NA, without importing pandas
        return None
    raise TypeError(f"a value of type {type(value).__name__} has no place in a row")


def _csv_value(value):
    if value is None or type(value).__name__ == "NAType" or (isinstance(value, float) and value != value):
        return ""
    if isinstance(value, decimal.Decimal):
        return format(value, "f")
    return str(value)


def _csv_field(text):
    if any(c in text for c in ',"\r\n'):
        return '"' + text.replace('"', '""') + '"'
    return text


class Writer:
    """Writes rows into records of one layout and format: 'f' and 'fb'
    (every record at the layout's length), 'v' or 'vb' (block_size: the
    largest block; little_endian and length_excludes_descriptor as Reader
    takes them). text_errors: 'strict' raises RowError for text without a
    host form, 'replace' writes a substitute and counts it in replaced.
    A value that does not fit its field raises RowError with the row and
    field; nothing is ever cut short.
    """

    def __init__(self, layout: Layout, format: str, *, block_size: int = 32760, little_endian: bool = False,
                 length_excludes_descriptor: bool = False, text_errors: str = "strict"):
        if not isinstance(layout, Layout):
            raise ArgumentError(f"layout must be a lumtrax.dataset.Layout, not {type(layout).__name__}")
        self.layout = layout
        self.format = _check_format(format)
        self._options = (block_size, bool(little_endian), bool(length_excludes_descriptor),
                         _name(text_errors, "text_errors"))
        self.replaced = 0
        self.records = 0

    def chunks(self, rows: Iterable[Dict[str, Any]], *, flat: bool = False) -> Iterator[bytes]:
        """The framed bytes of rows (dicts, nested or flat), in chunks."""
        core = _lumtrax._DatasetWriter(self.layout._layout, self.format, *self._options, bool(flat))
        columns = self.layout.columns
        if flat:
            core.set_header(",".join(_csv_field(c) for c in columns))
        batch: List[str] = []
        size = 0
        try:
            for row in rows:
                if not isinstance(row, dict):
                    raise ArgumentError(f"a row must be a dict, not {type(row).__name__}")
                if flat:
                    line = ",".join(_csv_field(_csv_value(row.get(c))) for c in columns)
                else:
                    line = json.dumps(row, ensure_ascii=False, default=_json_value, separators=(",", ":"))
                batch.append(line)
                size += len(line)
                if size >= _WRITE_BATCH:
                    yield core.write(("\n".join(batch) + "\n").encode("utf-8"))
                    batch, size = [], 0
            yield core.write(("\n".join(batch) + "\n" if batch else "").encode("utf-8"), True)
        finally:
            self.replaced = core.replaced
            self.records = core.records

    def write(self, rows: Iterable[Dict[str, Any]], target: Union[None, str, "os.PathLike[str]", Any] = None,
              *, flat: bool = False) -> Union[bytes, int]:
        """Writes rows: the data set's bytes when target is None; else into
        target (a path, written whole or not at all, or a binary file) and
        the number of records."""
        if target is None:
            return b"".join(self.chunks(rows, flat=flat))
        if isinstance(target, (str, os.PathLike)):
            target = os.fspath(target)
            temporary = os.path.join(os.path.dirname(os.path.abspath(target)),
                                     f".{os.path.basename(target)}.lumtrax-{secrets.token_hex(6)}")
            try:
                with open(temporary, "wb") as file:
                    for chunk in self.chunks(rows, flat=flat):
                        file.write(chunk)
                os.replace(temporary, target)
            except BaseException:
                if os.path.exists(temporary):
                    os.unlink(temporary)
                raise
            return self.records
        for chunk in self.chunks(rows, flat=flat):
            target.write(chunk)
        return self.records


def write_rows(rows: Iterable[Dict[str, Any]], layout: Layout, format: str,
               target: Union[None, str, "os.PathLike[str]", Any] = None, *, flat: bool = False,
               **options) -> Union[bytes, int]:
    """Writes rows into a data set; options as Writer takes them."""
    return Writer(layout, format, **options).write(rows, target, flat=flat)


__all__ = ["CopybookError", "DatasetError", "Field", "FrameError", "Issue", "Layout", "Reader", "Report",
           "RowError", "Writer", "read_dataframe", "read_rows", "write_rows"]
