"""Pitch contours of singing, humming and speech.

The pitchtrack library for Python: the contour of a WAV file, of samples in
memory or of a stream, value for value the one the pitchtrack tool writes.

    >>> import pitchtrack
    >>> contour = pitchtrack.track_file("song.wav")
    >>> contour.line()                  # the tool's pitch file
    '480+480+0+550\\n'
    >>> contour.times, contour.hz       # numpy arrays, NaN where unpitched
    >>> arrays = contour.to_arrays()    # every frame of the recording, timed at its centre

A contour has one value per 32 ms frame, in tenths of a semitone (690 is A4 =
440 Hz), 0 where the frame has no pitch. The analysis runs without the GIL, so
a thread pool tracks several recordings at once; nothing prints, and every
failure is an exception: WaveError for a file that cannot be read (also
FileNotFoundError, PermissionError or IsADirectoryError where open() would
raise those), ValueError for bad arguments, InternalError for an internal
fault. What the analysis did to a recording that its user may not expect
comes as an AnalysisWarning through Python's warnings module, and stays in
Contour.warnings.
"""

import typing as _typing

try:
    from . import _pitchtrack
except ImportError as missing:
    raise ImportError(
        f"pitchtrack's compiled module is missing beside {__file__}: install the package "
        "(pip install --no-build-isolation ./python) or put the CMake build's python folder "
        "first on PYTHONPATH (PYTHONPATH=build/python)") from missing
from ._errors import AnalysisWarning, InternalError, WaveError
from ._live import live
from ._pitchtrack import (
    FRAME_SECONDS,
    MAX_SAMPLE_RATE,
    MIN_SAMPLE_RATE,
    Contour,
    Frame,
    Tracker,
    __version__,
)

if _typing.TYPE_CHECKING:
    import os
    from typing import Optional, Sequence, Union

    import numpy as np
    import numpy.typing as npt

    Samples = Union[
        npt.NDArray[np.int16],
        npt.NDArray[np.uint8],
        npt.NDArray[np.float32],
        npt.NDArray[np.float64],
        Sequence[float],
        Sequence[Sequence[float]],
    ]

__all__ = [
    "AnalysisWarning",
    "FRAME_SECONDS",
    "MAX_SAMPLE_RATE",
    "MIN_SAMPLE_RATE",
    "Contour",
    "Frame",
    "InternalError",
    "Tracker",
    "WaveError",
    "__version__",
    "live",
    "track",
    "track_file",
    "track_notes",
]

_track = _pitchtrack.track
_track_file = _pitchtrack.track_file
_track_notes = _pitchtrack.track_notes


def track(
    samples: "Samples",
    sample_rate: int,
    bits: "Optional[int]" = None,
    *,
    precise: bool = False,
    normalize: bool = False,
    keep_final: bool = False,
    voicing: str = "relative",
    channel_axis: "Optional[int]" = None,
) -> "Contour":
    """The pitch contour of samples in memory, at sample_rate Hz (1000 to 768000).

    samples is a numpy array (or a sequence numpy turns into one) of
      - int16: 16-bit PCM;
      - uint8: 8-bit PCM, the unsigned byte values 0..255 (silence is 128);
      - float32 or float64 of full scale -1..1, converted as the reader
        converts float WAV data: x * 32768 rounded half away from zero,
        clamped to 16 bits, NaN becoming 0.
    A 1-D array is one channel. A 2-D array holds one axis of channels and one
    of samples, mixed down as the reader mixes a file's channels (the mean of
    each sample frame, truncated toward zero): channel_axis=0 for (channels,
    samples), as librosa gives, channel_axis=1 for (samples, channels), as
    soundfile and scipy give. Left out, the channel axis is the one axis of 1
    to 32 entries; an array with no such axis (say (40000, 64)) or with two
    (say (2, 20), shorter than one frame) is refused with a ValueError that
    says to pass channel_axis, never read the wrong way round. bits follows
    from the dtype when left out; only int16 arrays take bits=8, for the byte
    values 0..255 held in int16.

    The same samples give the same contour as track_file() of a WAV file
    holding them, and as the pitchtrack tool. An empty array, or one shorter
    than two frames, gives an empty contour. The analysis runs without the
    GIL.

    precise=True takes the precise analysis (the tool's --precise): values
    rounded to a tenth of a semitone, the measured frequency in hz and a
    confidence per frame, voicing from periodicity and an absolute level, the
    input's own resolution; a value depends only on the audio up to 80 ms past
    its frame, so a Tracker gives the same values while the audio arrives.

    Remedies of the default analysis, all off by default (the pitchtrack tool's options of the same
    names): normalize=True scales 16-bit samples to full range before the
    reduction to 8 bits, so that a quiet recording keeps its pitch;
    keep_final=True keeps the last stretch of sound however long the silence
    before it; voicing="strict" also asks every voiced frame to be periodic
    and not faint, so that noise gets no pitch.

    Warnings of the analysis (a dropped last note, a quiet or clipped
    recording) are issued as AnalysisWarning and kept in contour.warnings.

    Raises ValueError for an array of another dtype or shape, a rate outside
    1000-768000 Hz, bits other than 8 or 16, a voicing other than "relative"
    or "strict", or a recording longer than the analysis can index (about 74
    hours); MemoryError; InternalError.

        >>> samples = numpy.frombuffer(raw, dtype=numpy.int16)  # 44.1 kHz mono
        >>> pitchtrack.track(samples, 44100).line()
        '480+480+0+550\\n'
    """
    return _track(
        samples,
        sample_rate,
        bits,
        precise=precise,
        normalize=normalize,
        keep_final=keep_final,
        voicing=voicing,
        channel_axis=channel_axis,
    )


def track_file(
    path: "Union[str, bytes, os.PathLike]",
    *,
    precise: bool = False,
    normalize: bool = False,
    keep_final: bool = False,
    voicing: str = "relative",
) -> "Contour":
    """The pitch contour of a recording file, its container told by its content.

    WAV goes through the library's reader: 8-, 16-, 24- and 32-bit PCM, 32-
    and 64-bit float, mu-law, A-law and the extensible layout, any channel
    count (mixed down), at 1000 to 768000 Hz. FLAC, Ogg Vorbis, Opus, MP3,
    AIFF, CAF, AU, RF64 and Wave64 go through libsndfile when the module is
    built with it, their samples converted as the WAV reader converts the
    same samples. The file is read block by block, never held whole.
    The contour's line() is the pitch file the pitchtrack tool writes for the
    same file, byte for byte. The analysis runs without the GIL.

    precise takes the precise analysis; normalize, keep_final and voicing are
    the remedies of the default analysis, as in track().

    Warnings of the analysis are issued as AnalysisWarning and kept in
    contour.warnings.

    Raises WaveError for a file that cannot be read or is in no supported
    format (its code and reason say why, naming the format; for a missing
    file it is also a FileNotFoundError, for one the process may not read a
    PermissionError, for a folder an IsADirectoryError), ValueError for a
    recording longer than the analysis can index or a voicing other than
    "relative" or "strict", MemoryError, InternalError.

        >>> pitchtrack.track_file("song.wav").line()
        '480+480+0+550\\n'
    """
    return _track_file(
        path, precise=precise, normalize=normalize, keep_final=keep_final, voicing=voicing
    )


def track_notes(
    path: "Union[str, bytes, os.PathLike]",
    *,
    min_note: float = 0.1,
    onset_db: float = 6.0,
) -> "np.ndarray":
    """The notes of a RIFF WAVE file, from the precise analysis (the tool's --notes).

    Returns a numpy structured array, one record per note in order: onset and
    offset (seconds from the start of the recording), note (the MIDI note
    number nearest the median pitch), cents (the median's deviation from it),
    hz (the median frequency), frames (32 ms frames), confidence (mean, 0..1),
    level_db (the loudest frame's RMS in dB relative to full scale) and
    velocity (1..127 from level_db). pandas.DataFrame(notes) makes a table.

    A note ends where the pitch moves to another note and stays, at a frame
    without pitch, and where the level dips by onset_db dB and rises again
    (repeated notes); stretches shorter than min_note seconds join their
    neighbour or are dropped. For samples in memory, track(samples, rate,
    precise=True).notes() gives the notes with the default settings.

    Raises what track_file() raises, and ValueError for a min_note or onset_db
    that is not positive.

        >>> pitchtrack.track_notes("song.wav")["note"]
        array([62, 64, 65], dtype=int32)
    """
    return _track_notes(path, min_note=min_note, onset_db=onset_db)
