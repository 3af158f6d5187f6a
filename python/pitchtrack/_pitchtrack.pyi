"""Type information of the compiled half of pitchtrack."""

import os
from typing import Dict, Iterator, List, Optional, Sequence, Tuple, Union

import numpy as np
import numpy.typing as npt

from ._errors import AnalysisWarning

FRAME_SECONDS: float
MIN_SAMPLE_RATE: int
MAX_SAMPLE_RATE: int
__version__: str

_Samples = Union[
    npt.NDArray[np.int16],
    npt.NDArray[np.uint8],
    npt.NDArray[np.float32],
    npt.NDArray[np.float64],
    Sequence[float],
    Sequence[Sequence[float]],
]

class Contour:
    """The pitch contour of a recording, placed in time."""

    def __init__(
        self, values: Sequence[int] = ..., first_frame: int = 0, frame_seconds: float = 0.032
    ) -> None: ...
    @property
    def values(self) -> npt.NDArray[np.int32]:
        """Tenths of a semitone, 0 where the frame has no pitch (read-only)."""
    @property
    def first_frame(self) -> int:
        """Index in the recording of the frame of values[0]."""
    @property
    def frame_seconds(self) -> float:
        """Duration and hop of one frame in seconds (0.032)."""
    @property
    def recording_seconds(self) -> float:
        """Length of the whole recording in seconds."""
    @property
    def recording_frames(self) -> int:
        """The whole 32 ms frames of the recording."""
    @property
    def warnings(self) -> Tuple[AnalysisWarning, ...]:
        """What the analysis warned about, in order."""
    def to_arrays(self, *, full: bool = True, centre: bool = True) -> Dict[str, np.ndarray]:
        """time, value, hz, midi and confidence per frame, over the whole recording."""
    def notes(self) -> npt.NDArray[np.void]:
        """The precise analysis' notes, one record per note (structured array)."""
    @property
    def times(self) -> npt.NDArray[np.float64]:
        """Start of each value's frame in seconds."""
    @property
    def hz(self) -> npt.NDArray[np.float64]:
        """Each value in Hz (measured, from the precise analysis), NaN where no pitch."""
    @property
    def confidence(self) -> Optional[npt.NDArray[np.float64]]:
        """The precise analysis' confidence per value, 0..1; None for the default."""
    @property
    def midi(self) -> npt.NDArray[np.float64]:
        """Each value as a MIDI note number, NaN where the frame has no pitch."""
    def line(self) -> str:
        """The pitch file's line: the values joined by "+" and a newline."""
    def __len__(self) -> int: ...
    def __iter__(self) -> Iterator[int]: ...
    def __eq__(self, other: object) -> bool: ...

class Frame:
    """One frame of a live tracker, final."""

    @property
    def index(self) -> int: ...
    @property
    def value(self) -> int: ...
    @property
    def hz(self) -> float: ...
    @property
    def confidence(self) -> float: ...
    @property
    def seconds(self) -> float: ...

class Tracker:
    """Tracks a recording that arrives block by block."""

    def __init__(
        self,
        sample_rate: int,
        bits: int = 16,
        *,
        precise: bool = False,
        normalize: bool = False,
        keep_final: bool = False,
        voicing: str = "relative",
        live: bool = False,
        channel_axis: Optional[int] = None,
    ) -> None: ...
    def push(self, block: _Samples) -> None:
        """Adds the next block of samples."""
    def pull(self) -> List[Frame]:
        """A live tracker's frames that became final since the last pull."""
    def pull_notes(self) -> npt.NDArray[np.void]:
        """A live tracker's notes that ended since the last pull_notes."""
    def finish(self) -> Contour:
        """The contour of every sample pushed; the tracker is then finished."""
    @property
    def sample_rate(self) -> int: ...
    @property
    def bits(self) -> int: ...
    @property
    def finished(self) -> bool: ...

def track(
    samples: _Samples,
    sample_rate: int,
    bits: Optional[int] = None,
    *,
    precise: bool = False,
    normalize: bool = False,
    keep_final: bool = False,
    voicing: str = "relative",
    channel_axis: Optional[int] = None,
) -> Contour: ...
def track_file(
    path: Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"],
    *,
    precise: bool = False,
    normalize: bool = False,
    keep_final: bool = False,
    voicing: str = "relative",
) -> Contour: ...

def track_notes(
    path: Union[str, bytes, os.PathLike], *, min_note: float = 0.1, onset_db: float = 6.0
) -> npt.NDArray[np.void]: ...
