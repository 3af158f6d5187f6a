"""The exceptions of pitchtrack (also raised by its compiled half)."""

from __future__ import annotations


class WaveError(Exception):
    """A WAV file that cannot be tracked.

    It is missing or unreadable, is not a RIFF WAVE file, uses an encoding or
    layout the reader does not take, or ends before its sample data does.

    Attributes:
        path: the file as it was named.
        code: the reader's numbered code: 1 = wave format mismatch, 4 = file
            open error, 6 = file chunk read error, 7 = file data read error.
        reason: what a person needs to know: "no such file", "no data chunk",
            "unsupported encoding IMA ADPCM (0x0011)", ...
        code_text: the text of the code ("File open error.").

    str() of the error is "path: reason", as the tool reports it.
    """

    def __init__(self, path: str, code: int, reason: str, code_text: str = "") -> None:
        super().__init__(path, code, reason, code_text)
        self.path = path
        self.code = code
        self.reason = reason
        self.code_text = code_text

    def __str__(self) -> str:
        return f"{self.path}: {self.reason}"


class InternalError(RuntimeError):
    """An internal fault of the analysis, which valid input never reaches.

    Its message is the fault's fixed text, such as "Unknown pfType=3 (line
    1200 of file lib/audio)". The library is in a good state afterwards.
    """
