"""The codecs lumtrax-ebcdic, lumtrax-ebcdic-kana, lumtrax-8bit, lumtrax-8bit-70
and lumtrax-euc, registered when lumtrax is imported.

Text goes through its CP932 form (Python's cp932 codec), which maps the
user-defined area F040-F9FC to U+E000-U+E757, so that gaiji reach the gaiji
server. With errors="strict", a character that CP932 cannot hold, or that the
conversion would replace by the substitute (a black square), raises
UnicodeEncodeError or UnicodeDecodeError at that character; any other error
handler keeps the substitute and applies to the CP932 form.
"""

import codecs

from ._lumtrax import Stream, _first_bad, convert, max_text_size
from ._types import Conversion, GaijiStatus

# name: (into the host code, out of it)
_CODECS = {
    "lumtrax_ebcdic": (Conversion.SJIS_TO_EBCDIC, Conversion.EBCDIC_TO_SJIS),
    "lumtrax_ebcdic_kana": (Conversion.SJIS_TO_EBCDIC_KANA, Conversion.EBCDIC_KANA_TO_SJIS),
    "lumtrax_8bit": (Conversion.SJIS_TO_EIGHTBIT, Conversion.EIGHTBIT_TO_SJIS),
    "lumtrax_8bit_70": (Conversion.SJIS_TO_EIGHTBIT_70, Conversion.EIGHTBIT_TO_SJIS),
    "lumtrax_euc": (Conversion.SJIS_TO_EUC, Conversion.EUC_TO_SJIS),
}

# The decoder converts once this much is held: a text file read through a
# codec gives its first lines without waiting for a megabyte.
_PIECE_SIZE = 16 * 1024

_REPLACED = "the gaiji server could not convert this character (it would be replaced by the substitute, a black square)"
_UNDECODABLE = "this code converts to a Shift-JIS code that CP932 does not define"


_REPLACED_STATUS = GaijiStatus.REPLACED  # looked up once: enum attributes are slow


def _encode(name, conversion, limit, text, errors):
    """text in the host code, converted as one text."""
    try:
        sjis = text.encode("cp932", errors)
    except UnicodeEncodeError as error:
        raise UnicodeEncodeError(name, error.object, error.start, error.end,
                                 "not a CP932 character") from None
    if len(sjis) <= limit:
        host, gaiji = convert(sjis, conversion)
        if gaiji is not _REPLACED_STATUS or errors != "strict":
            return host
        at = _first_bad(sjis, conversion)[0]
    else:  # longer than one call takes: in pieces, as one call would convert it
        stream = Stream(conversion)
        host = stream.feed(sjis) + stream.finish()
        if stream.gaiji is not _REPLACED_STATUS or errors != "strict":
            return host
        at = stream.first_replaced
    index = len(sjis[:at].decode("cp932"))
    raise UnicodeEncodeError(name, text, index, index + 1, _REPLACED)


def _decode_step(name, conversion, stream, sjis, errors, whole=None):
    """The text of sjis, what one step of stream gave; with errors="strict",
    raises at the first unit of that step that was replaced or that cp932
    cannot decode. The error names a place in whole, else in what the step
    converted."""
    if errors != "strict":
        return sjis.decode("cp932", errors)
    try:
        text = sjis.decode("cp932")
        if stream.first_replaced is None or stream.first_replaced < stream._region()[0]:
            return text
    except UnicodeDecodeError:
        pass
    offset, region = stream._region()
    at, replaced = _first_bad(region, conversion, True)
    reason = _REPLACED if replaced else _UNDECODABLE
    if whole is None:
        raise UnicodeDecodeError(name, region, at, min(at + 2, len(region)), reason)
    whole = bytes(whole)
    raise UnicodeDecodeError(name, whole, offset + at, min(offset + at + 2, len(whole)), reason)


def _codec_info(name, into_host, out_of_host):
    display_name = name.replace("_", "-")
    into_limit, out_of_limit = max_text_size(into_host), max_text_size(out_of_host)

    def encode(text, errors="strict"):
        return _encode(display_name, into_host, into_limit, text, errors), len(text)

    def decode(data, errors="strict"):
        size = len(data) if type(data) is bytes else memoryview(data).nbytes
        if size > out_of_limit:  # in pieces, as one call would convert it
            stream = Stream(out_of_host)
            text = _decode_step(display_name, out_of_host, stream, stream.feed(data), errors, data)
            text += _decode_step(display_name, out_of_host, stream, stream.finish(), errors, data)
            return text, size
        sjis, gaiji = convert(data, out_of_host)
        if errors != "strict":
            return sjis.decode("cp932", errors), size
        try:
            if gaiji is not _REPLACED_STATUS:
                return sjis.decode("cp932"), size
        except UnicodeDecodeError:
            pass
        at, replaced = _first_bad(data, out_of_host, True)
        data = bytes(data)
        raise UnicodeDecodeError(display_name, data, at, min(at + 2, len(data)),
                                 _REPLACED if replaced else _UNDECODABLE)

    class IncrementalEncoder(codecs.IncrementalEncoder):
        """Converts each call's text completely, as a text of its own.

        Python's text files never tell an encoder that the text has ended, so
        it holds nothing back: the output is that of one call over the whole
        text wherever the pieces end at a safe cut (after a line end or a
        single-byte character); a run of double-byte characters that goes on
        into the next piece is closed and opened again, and reads back as the
        same text.
        """

        def encode(self, input, final=False):
            return _encode(display_name, into_host, into_limit, input, self.errors)

    class IncrementalDecoder(codecs.IncrementalDecoder):
        """Converts with lumtrax.Stream: exactly what one call over the whole
        text gives, however the bytes are cut."""

        def __init__(self, errors="strict"):
            super().__init__(errors)
            self._stream = Stream(out_of_host, piece_size=_PIECE_SIZE)

        def decode(self, input, final=False):
            stream = self._stream
            text = _decode_step(display_name, out_of_host, stream, stream.feed(input), self.errors)
            if final:
                text += _decode_step(display_name, out_of_host, stream, stream.finish(), self.errors)
            return text

        def reset(self):
            self._stream.reset()

        def getstate(self):
            return self._stream._held(), 0

        def setstate(self, state):
            self._stream.reset()
            self._stream.feed(state[0])

    return codecs.CodecInfo(
        name=display_name,
        encode=encode,
        decode=decode,
        incrementalencoder=IncrementalEncoder,
        incrementaldecoder=IncrementalDecoder,
    )


_INFOS = {name: _codec_info(name, *pair) for name, pair in _CODECS.items()}


def _search(name):
    return _INFOS.get(name.lower().replace("-", "_"))


codecs.register(_search)
