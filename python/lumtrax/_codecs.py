"""The codecs lumtrax-ebcdic, lumtrax-ebcdic-kana, lumtrax-8bit, lumtrax-8bit-70
and lumtrax-euc, registered when lumtrax is imported.

They convert between str and the host code directly, by the cp932 mapping
(docs/unicode.md): each unit of the host code maps to the character of its
Shift-JIS image in Windows code page 932, gaiji through the gaiji server to
the private-use characters U+E000-U+E757.

errors="strict" raises UnicodeDecodeError or UnicodeEncodeError at the first
unit without a Unicode form, the first character without a code, or a gaiji
that the server cannot convert; "replace" writes U+FFFD, or the code's
substitute (the black square); "surrogateescape" carries the bytes of each
unit without a Unicode form as U+DC00 + byte (a pair inside a run of
double-byte characters with its shift codes) and writes them back when
encoding, so that such bytes survive a round trip; any other error handler
(ignore, backslashreplace, one registered with codecs.register_error) is
called for each unit or character.
"""

import codecs

from ._lumtrax import _codec_decode, _codec_encode, _cut, _first_replaced, convert, max_text_size
from ._types import Conversion, GaijiStatus, TextError

_REPLACED_STATUS = GaijiStatus.REPLACED  # looked up once: enum attributes are slow
_REPLACED = "the gaiji server could not convert this character (it would be replaced by the substitute, a black square)"
# A window of text copied to resume inside a run of double-byte characters.
_WINDOW = 64 * 1024


class _Codec:
    """A host code: its two conversions, and the shift codes that open and
    close a run of double-byte characters (none for EUC)."""

    def __init__(self, name, encoder, decoder, shift_out=b"", shift_in=b""):
        self.name = name
        self.encoder = encoder
        self.decoder = decoder
        self.shift_out = shift_out
        self.shift_in = shift_in
        self.encode_limit = max_text_size(encoder)
        self.decode_limit = max_text_size(decoder)
        self.encoder_number = int(encoder)  # read faster than the enum
        self.decoder_number = int(decoder)


# str goes through UTF-16LE, which Python reads and writes several times faster
# than UTF-8.
_FORM = "utf-16-le"
_CODECS = [
    _Codec("lumtrax-ebcdic", Conversion.UTF16LE_TO_EBCDIC, Conversion.EBCDIC_TO_UTF16LE, b"\x2b", b"\x2c"),
    _Codec("lumtrax-ebcdic-kana", Conversion.UTF16LE_TO_EBCDIC_KANA, Conversion.EBCDIC_KANA_TO_UTF16LE, b"\x2b",
           b"\x2c"),
    _Codec("lumtrax-8bit", Conversion.UTF16LE_TO_EIGHTBIT, Conversion.EIGHTBIT_TO_UTF16LE, b"\x93\xf0", b"\x93\xf1"),
    _Codec("lumtrax-8bit-70", Conversion.UTF16LE_TO_EIGHTBIT_70, Conversion.EIGHTBIT_TO_UTF16LE, b"\x93\x70",
           b"\x93\xf1"),
    _Codec("lumtrax-euc", Conversion.UTF16LE_TO_EUC, Conversion.EUC_TO_UTF16LE),
]


def _reason(error):
    return str(error).rsplit(": ", 1)[-1]


def _first_problem(data, conversion, error):
    """(start, end, reason): where a strict codec stops, given the TextError
    of the conversion of data: a gaiji replaced before it comes first."""
    replaced = _first_replaced(memoryview(data)[:error.start], conversion) if error.start > 0 else None
    if replaced is not None:
        return replaced[0], replaced[1], _REPLACED
    return error.start, error.end, _reason(error)


def _pieces(view, conversion, limit, lead=b""):
    """The first piece of view to convert in one call, after lead (the shift
    code that reopens a run): all of it when it fits, else up to a safe cut.
    Returns (piece, how many bytes of view it holds)."""
    if not lead and len(view) <= limit:
        return view, len(view)
    window = min(limit, _WINDOW if lead else limit) - len(lead)
    while True:
        piece = lead + bytes(view[:window]) if lead else view[:window]
        if window >= len(view):
            return piece, len(view)
        cut = _cut(piece, conversion, window // 2)
        if 0 < cut < len(piece):
            return piece[:cut], cut - len(lead)
        if window >= limit - len(lead):
            raise TextError(f"{len(view)} bytes without a place to cut them, more than one call takes",
                            0, len(view))
        window = min(2 * window, limit - len(lead))


def _decode(codec, data, errors):
    """data as text: the whole of it converted as one text."""
    if errors == "strict" or errors == "replace":
        # The common case in one call; None where there is more to look at.
        text = _codec_decode(data, codec.decoder_number, errors == "replace")
        if text is not None:
            return text
    mode = "replace" if errors == "replace" else "strict"
    if len(data) <= codec.decode_limit:
        try:
            wide, gaiji = convert(data, codec.decoder, errors=mode)
        except TextError as error:
            if errors == "strict":
                raise UnicodeDecodeError(codec.name, bytes(data), *_first_problem(data, codec.decoder, error)) from None
        else:
            if gaiji is _REPLACED_STATUS and errors == "strict":
                start, end = _first_replaced(data, codec.decoder)
                raise UnicodeDecodeError(codec.name, bytes(data), start, end, _REPLACED)
            return wide.decode(_FORM)
    return _decode_each_error(codec, data, errors, mode)


def _decode_each_error(codec, data, errors, mode):
    """Decodes data, resuming after each unit without a Unicode form as the
    error handler says: a run of double-byte characters open at the unit is
    reopened by its shift code."""
    view = memoryview(data).cast("B")
    handler = None if errors in ("strict", "surrogateescape") else codecs.lookup_error(errors)
    parts = []
    position = 0
    lead = b""
    while position < len(view):
        piece, taken = _pieces(view[position:], codec.decoder, codec.decode_limit, lead)
        base = position - len(lead)  # of piece[0] in data
        try:
            wide, gaiji = convert(piece, codec.decoder, errors=mode)
        except TextError as error:
            parts.append(error.partial.decode(_FORM))
            start, end = base + error.start, base + error.end
            unit = bytes(view[start:end])
            if errors == "strict":
                raise UnicodeDecodeError(codec.name, bytes(data), start, end, _reason(error)) from None
            # A pair, or a byte that is a character by itself, fails only
            # inside a run.
            in_run = bool(codec.shift_out) and (
                len(unit) == 2 or convert(unit, codec.decoder, errors="replace").gaiji is not _REPLACED_STATUS)
            if handler is None:  # surrogateescape
                # (A lone byte in a run ends the text: any byte after it is its trail.)
                raw = codec.shift_out + unit + (codec.shift_in if len(unit) == 2 else b"") if in_run else unit
                parts.append("".join(chr(0xDC00 + byte) for byte in raw))
                position = end
            else:
                replacement, position = handler(UnicodeDecodeError(codec.name, bytes(data), start, end, _reason(error)))
                parts.append(replacement)
                if position < 0:
                    position += len(view)
            lead = codec.shift_out if in_run else b""
            continue
        if gaiji is _REPLACED_STATUS and errors == "strict":
            start, end = _first_replaced(piece, codec.decoder)
            raise UnicodeDecodeError(codec.name, bytes(data), base + start, base + end, _REPLACED)
        parts.append(wide.decode(_FORM))
        position += taken
        lead = b""
    return "".join(parts)


def _char_index(data, byte_offset, known_bytes, known_chars):
    """The index in the text of the character at byte_offset of its UTF-16
    form data, counting on from a known pair of offsets before it."""
    return known_chars + len(bytes(data[known_bytes:byte_offset]).decode(_FORM, "surrogatepass"))


def _encode(codec, text, errors):
    """text in the host code, converted as one text."""
    if errors == "strict" or errors == "replace":
        host = _codec_encode(text, codec.encoder_number, errors == "replace")
        if host is not None:
            return host
    data = text.encode(_FORM, "surrogatepass")  # a lone surrogate becomes bytes the conversion refuses
    mode = "replace" if errors == "replace" else "strict"
    if len(data) <= codec.encode_limit:
        try:
            host, gaiji = convert(data, codec.encoder, errors=mode)
        except TextError as error:
            if errors == "strict":
                first, last, reason = _first_problem(data, codec.encoder, error)
                start = _char_index(data, first, 0, 0)
                end = _char_index(data, last, first, start)
                raise UnicodeEncodeError(codec.name, text, start, end, reason) from None
        else:
            if gaiji is _REPLACED_STATUS and errors == "strict":
                start = _char_index(data, _first_replaced(data, codec.encoder)[0], 0, 0)
                raise UnicodeEncodeError(codec.name, text, start, start + 1, _REPLACED)
            return host
    return _encode_each_error(codec, text, data, errors, mode)


def _encode_each_error(codec, text, data, errors, mode):
    """Encodes text, resuming after each character without a code as the
    error handler says."""
    view = memoryview(data)
    handler = None if errors in ("strict", "surrogateescape") else codecs.lookup_error(errors)
    parts = []
    position, index = 0, 0  # in data, and in text
    while position < len(view):
        piece, taken = _pieces(view[position:], codec.encoder, codec.encode_limit)
        try:
            host, gaiji = convert(piece, codec.encoder, errors=mode)
        except TextError as error:
            parts.append(error.partial)
            start = _char_index(data, position + error.start, position, index)
            end = _char_index(data, position + error.end, position + error.start, start)
            if errors == "strict":
                raise UnicodeEncodeError(codec.name, text, start, end, _reason(error)) from None
            if handler is None:  # surrogateescape: the bytes of U+DC00-U+DCFF
                index = start
                while index < len(text) and 0xDC00 <= ord(text[index]) <= 0xDCFF:
                    parts.append(bytes([ord(text[index]) - 0xDC00]))
                    index += 1
                if index == start:
                    raise UnicodeEncodeError(codec.name, text, start, end, _reason(error)) from None
            else:
                replacement, index = handler(UnicodeEncodeError(codec.name, text, start, end, _reason(error)))
                if index < 0:
                    index += len(text)
                parts.append(replacement if isinstance(replacement, bytes) else _encode(codec, replacement, "strict"))
            position = len(text[:index].encode(_FORM, "surrogatepass")) if index < start else (
                position + error.start + len(text[start:index].encode(_FORM, "surrogatepass")))
            continue
        if gaiji is _REPLACED_STATUS and errors == "strict":
            start = _char_index(data, position + _first_replaced(piece, codec.encoder)[0], position, index)
            raise UnicodeEncodeError(codec.name, text, start, start + 1, _REPLACED)
        parts.append(host)
        index = _char_index(data, position + taken, position, index) if taken < len(view) - position else len(text)
        position += taken
    return b"".join(parts)


def _codec_info(codec):
    def encode(text, errors="strict"):
        return _encode(codec, text, errors), len(text)

    def decode(data, errors="strict"):
        size = len(data) if type(data) is bytes else memoryview(data).nbytes
        return _decode(codec, data, errors), size

    class IncrementalEncoder(codecs.IncrementalEncoder):
        """Converts each call's text completely, as a text of its own.

        Python's text files never tell an encoder that the text has ended, so
        it holds nothing back: the output is that of one call over the whole
        text wherever the pieces end outside a run of double-byte characters;
        a run that goes on into the next piece is closed and opened again,
        and reads back as the same text.
        """

        def encode(self, input, final=False):
            return _encode(codec, input, self.errors)

    class IncrementalDecoder(codecs.IncrementalDecoder):
        """Holds the bytes after the last safe cut: exactly what one call over
        the whole text gives, however the bytes are cut."""

        def __init__(self, errors="strict"):
            super().__init__(errors)
            self._held = b""

        def decode(self, input, final=False):
            held = self._held + bytes(input)
            cut = len(held) if final else _cut(held, codec.decoder, len(held))
            if cut == 0 or cut > len(held):
                self._held = held
                return ""
            self._held = held[cut:]
            return _decode(codec, held[:cut], self.errors)

        def reset(self):
            self._held = b""

        def getstate(self):
            return self._held, 0

        def setstate(self, state):
            self._held = state[0]

    return codecs.CodecInfo(
        name=codec.name,
        encode=encode,
        decode=decode,
        incrementalencoder=IncrementalEncoder,
        incrementaldecoder=IncrementalDecoder,
    )


_INFOS = {codec.name.replace("-", "_"): _codec_info(codec) for codec in _CODECS}


def _search(name):
    return _INFOS.get(name.lower().replace("-", "_"))


codecs.register(_search)
