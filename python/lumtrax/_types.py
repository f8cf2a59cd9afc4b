"""The enumerations and exceptions of lumtrax, shared with the compiled part."""

import enum

from . import _lumtrax

Conversion = enum.IntEnum(
    "Conversion", [(name.upper(), number) for name, number in _lumtrax._conversions()], module=__name__)
Conversion.__doc__ = """The conversions, numbered as the C interface numbers its types.

The members come from the library's table of conversions: SJIS_TO_EBCDIC
(the EBCDIC host code, lower-case table set), SJIS_TO_EBCDIC_KANA (kana table
set), SJIS_TO_EIGHTBIT (the 8-bit host code, runs opened by 93 F0),
SJIS_TO_EUC, EBCDIC_TO_SJIS, EBCDIC_KANA_TO_SJIS, EIGHTBIT_TO_SJIS (reads runs
opened by 93 F0 and by 93 70), EUC_TO_SJIS, SJIS_TO_EIGHTBIT_70 (runs opened
by 93 70) and RAW_BYTE_ESCAPE (5C 01 X from the text's first byte X); and the
conversions between each of those codes and UTF-8, UTF-16LE and UTF-16BE,
such as EBCDIC_TO_UTF8, UTF8_TO_EIGHTBIT_70 and SJIS_TO_UTF16LE.

A function that takes a conversion also takes its name, in any case, with
'8bit' for 'eightbit' ('sjis_to_ebcdic', 'sjis_to_8bit'), or its number.
"""


class GaijiStatus(enum.IntEnum):
    """What a conversion met of user-defined characters (gaiji)."""

    NONE = 0  #: no gaiji
    CONVERTED = 1  #: every gaiji was converted by the gaiji server
    REPLACED = 2  #: at least one unit was replaced by the substitute (a black square)


class Error(Exception):
    """The base of the errors lumtrax raises."""


class UnassignedTypeError(Error, ValueError):
    """A conversion that is not assigned: an unknown name or type number."""


class TextTooLongError(Error, ValueError):
    """A text longer than one call of its conversion takes (see max_text_size)."""


class ArgumentError(Error, TypeError, ValueError):
    """An argument of the wrong type or value, such as str where bytes belong."""


class TextError(Error, ValueError):
    """A conversion to or from Unicode stopped: errors='strict' met a unit that
    no Unicode character stands for, or a character that the code has no code
    for; or the text is not UTF-8 or UTF-16 (in every mode).

    start, end: the bytes where it stopped, as a slice of the text (of the
    whole text, for a Stream); partial: the result of the text before them
    (what the call converted, for a Stream); record: the index of the record
    for convert_many, the line or record number (from 1) for a file, else
    None.
    """

    def __init__(self, message, start, end, partial=b"", record=None):
        super().__init__(message)
        self.start = start
        self.end = end
        self.partial = partial
        self.record = record

    def __reduce__(self):  # survives pickling, as Dask workers send it back
        return (type(self), (self.args[0], self.start, self.end, self.partial, self.record))


def _conversion_names():
    names = {}
    for member in Conversion:
        name = member.name.lower()
        names[name] = member
        names[name.replace("eightbit", "8bit")] = member
    return names


_NAMES = _conversion_names()


def _conversion(value):
    """The Conversion that value names, or the error it deserves."""
    if isinstance(value, str):
        member = _NAMES.get(value.strip().lower().replace("-", "_"))
        if member is None:
            raise UnassignedTypeError(
                f"no conversion is named {value!r}; the names are "
                + ", ".join(m.name.lower() for m in Conversion))
        return member
    if isinstance(value, int) and not isinstance(value, bool):
        try:
            return Conversion(value)
        except ValueError:
            raise UnassignedTypeError(
                f"conversion type {value} is not assigned; the types are "
                + ", ".join(str(int(m)) for m in Conversion)) from None
    raise ArgumentError(
        "conversion must be a lumtrax.Conversion, its name or its number, not "
        + type(value).__name__)


class Batch:
    """The results of convert_many(..., batch=True), with no object for each
    record: data holds every result, one after the other; ends the end
    offset of each in data (a memoryview of unsigned 64-bit integers, which
    numpy.frombuffer reads as uint64); gaiji the GaijiStatus value of each (a
    memoryview of bytes). len(batch) is the number of records, batch[i] the
    Result of record i, made when asked for, and iterating gives them all.
    """

    __slots__ = ("data", "ends", "gaiji")

    def __init__(self, data, ends, gaiji):
        self.data = data
        self.ends = memoryview(ends).cast("Q")
        self.gaiji = memoryview(gaiji).cast("B")

    def __len__(self):
        return len(self.ends)

    def __getitem__(self, index):
        ends = self.ends
        index = range(len(ends))[index]  # negative indices, and IndexError
        start = ends[index - 1] if index > 0 else 0
        return _lumtrax.Result(self.data[start:ends[index]], self.gaiji[index])

    def __iter__(self):
        return (self[i] for i in range(len(self)))

    def replaced(self):
        """The indices of the records where a unit was replaced by the substitute."""
        return [i for i, status in enumerate(self.gaiji) if status == GaijiStatus.REPLACED]

    def __repr__(self):
        return f"lumtrax.Batch({len(self)} records, {len(self.data)} bytes)"


_lumtrax._bind(_conversion, GaijiStatus, Error, UnassignedTypeError, TextTooLongError, ArgumentError, TextError,
               Batch)
