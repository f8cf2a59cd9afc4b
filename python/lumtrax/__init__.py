"""lumtrax: Japanese text between Shift-JIS and the codes of a mainframe host.

    >>> import lumtrax
    >>> host = lumtrax.convert("日本語".encode("cp932"), "sjis_to_ebcdic").data
    >>> "日本語".encode("lumtrax-ebcdic") == host
    True
    >>> host.decode("lumtrax-ebcdic")
    '日本語'

convert() converts one text, convert_many() a sequence of records in one
call, Stream a text that comes in pieces. Importing lumtrax registers the
codecs lumtrax-ebcdic, lumtrax-ebcdic-kana, lumtrax-8bit, lumtrax-8bit-70 and
lumtrax-euc. lumtrax.dataset reads host data sets (records laid out by a
COBOL copybook) into rows and DataFrames and writes them back; lumtrax.dask
converts files and bags, and reads data sets, on a Dask cluster (when Dask
is installed). The full reference is docs/python.md.
"""

from ._types import (
    ArgumentError,
    Batch,
    Conversion,
    Error,
    GaijiStatus,
    TextError,
    TextTooLongError,
    UnassignedTypeError,
)
from ._lumtrax import (
    Result,
    Stream,
    convert,
    convert_many,
    gaiji_server_version,
    max_text_size,
    simd_level,
    version,
)
from . import _codecs

__version__ = version()

__all__ = [
    "ArgumentError",
    "Batch",
    "Conversion",
    "Error",
    "GaijiStatus",
    "Result",
    "Stream",
    "TextError",
    "TextTooLongError",
    "UnassignedTypeError",
    "convert",
    "convert_many",
    "gaiji_server_version",
    "max_text_size",
    "simd_level",
    "version",
]


def __getattr__(name):
    if name == "dataset":  # host data sets: imported when first used
        import importlib

        return importlib.import_module(".dataset", __name__)
    # lumtrax.dask is imported when it is first used: Dask takes a while to
    # import, and may not be installed.
    if name == "dask":
        import importlib

        try:
            return importlib.import_module(".dask", __name__)
        except ImportError as error:  # hasattr(lumtrax, "dask") is then False
            raise AttributeError(f"lumtrax.dask is not available: {error}") from error
    raise AttributeError(f"module {__name__!r} has no attribute {name!r}")
