"""The exceptions and the warning category of pitchtrack (also raised by its compiled half)."""

import errno
import os


class WaveError(Exception):
    """A WAV file that cannot be tracked.

    It is missing or unreadable, is not a RIFF WAVE file, uses an encoding or
    layout the reader does not take, or ends before its sample data does. A
    file that is missing, that the process may not read, or that is a folder
    raises a WaveError that is also FileNotFoundError, PermissionError or
    IsADirectoryError, as open() would.

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
        super().__init__(*self._base_arguments(path, code, reason, code_text))
        self.path = path
        self.code = code
        self.reason = reason
        self.code_text = code_text

    def _base_arguments(self, path: str, code: int, reason: str, code_text: str) -> tuple:
        return (path, code, reason, code_text)

    def __str__(self) -> str:
        return f"{self.path}: {self.reason}"

    def __reduce__(self):
        return type(self), (self.path, self.code, self.reason, self.code_text)


class _OpenFailure(WaveError):
    """A WaveError that is also the OSError of its errno, with errno, strerror and filename."""

    _errno = 0

    def _base_arguments(self, path: str, code: int, reason: str, code_text: str) -> tuple:
        return (self._errno, os.strerror(self._errno), path)


class WaveFileNotFoundError(_OpenFailure, FileNotFoundError):
    """A recording file that does not exist: a WaveError and a FileNotFoundError."""

    _errno = errno.ENOENT


class WavePermissionError(_OpenFailure, PermissionError):
    """A recording file the process may not read: a WaveError and a PermissionError."""

    _errno = errno.EACCES


class WaveIsADirectoryError(_OpenFailure, IsADirectoryError):
    """A folder named as a recording: a WaveError and an IsADirectoryError."""

    _errno = errno.EISDIR


class InternalError(RuntimeError):
    """An internal fault of the analysis, which valid input never reaches.

    Its message is the fault's fixed text, such as "Unknown pfType=3 (line
    1200 of file lib/audio)". The library is in a good state afterwards.
    """


class AnalysisWarning(UserWarning):
    """Something the analysis did to the recording that its user may not expect.

    Issued through Python's warnings module when a contour is made (so the
    usual filters apply: warnings.simplefilter("ignore",
    pitchtrack.AnalysisWarning) silences them, "error" raises them) and kept
    in Contour.warnings. The contour is the same whether or not anyone looks.

    Attributes:
        kind: "clipping", "quiet_recording", "final_stretch_dropped",
            "outside_final_range", "empty_contour" or "stream_ended_early".
        start, end: where in the recording, in seconds from its start.

    str() of the warning is its message, which names the option that would
    change the result.
    """

    def __init__(self, message: str, kind: str = "", start: float = 0.0,
                 end: float = 0.0) -> None:
        super().__init__(message)
        self.kind = kind
        self.start = start
        self.end = end

    def __reduce__(self):
        return type(self), (str(self), self.kind, self.start, self.end)
