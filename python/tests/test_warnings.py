"""The analysis' warnings: issued through Python's warnings module as pitchtrack.AnalysisWarning,
attributed to the caller's line, and kept on the contour whatever the filters do."""

from __future__ import annotations

import pickle
import warnings
from pathlib import Path
from typing import Callable

import numpy as np
import pytest

import pitchtrack
from wavfiles import voice, wave

RATE = 16000
# A voice at -50 dBFS: the reduction to 8 bits loses it, and the contour is empty.
QUIET = np.round(voice(RATE, 2.0, seed=5)[:, 0] * 0.003 * 32767).astype(np.int16)
QUIET_KINDS = ["quiet_recording", "empty_contour"]


def tracked_stream(samples: np.ndarray) -> pitchtrack.Contour:
    tracker = pitchtrack.Tracker(RATE)
    tracker.push(samples)
    return tracker.finish()


def tracked_file(samples: np.ndarray, folder: Path) -> pitchtrack.Contour:
    path = folder / "quiet.wav"
    path.write_bytes(wave(samples.astype("<i2").tobytes(), rate=RATE))
    return pitchtrack.track_file(path)


ENTRIES: dict[str, Callable[[np.ndarray, Path], pitchtrack.Contour]] = {
    "track": lambda samples, _: pitchtrack.track(samples, RATE),
    "track_file": tracked_file,
    "Tracker": lambda samples, _: tracked_stream(samples),
}


@pytest.mark.parametrize("entry", sorted(ENTRIES))
def test_warnings_reach_python_and_stay_on_the_contour(entry: str, tmp_path: Path) -> None:
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        contour = ENTRIES[entry](QUIET, tmp_path)
    assert [w.kind for w in contour.warnings] == QUIET_KINDS
    assert [str(w.message) for w in caught] == [str(w) for w in contour.warnings]
    assert all(w.category is pitchtrack.AnalysisWarning for w in caught)
    # Attributed to the line that called pitchtrack, not to the package's own files.
    assert {w.filename for w in caught} == {__file__}
    first = contour.warnings[0]
    assert "--normalize" in str(first) and 0 <= first.start < first.end <= 2.0


def test_filters_apply_and_the_contour_keeps_its_warnings() -> None:
    with warnings.catch_warnings():
        warnings.simplefilter("error", pitchtrack.AnalysisWarning)
        with pytest.raises(pitchtrack.AnalysisWarning, match="peak level"):
            pitchtrack.track(QUIET, RATE)
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("ignore", pitchtrack.AnalysisWarning)
        contour = pitchtrack.track(QUIET, RATE)
    assert caught == [] and len(contour.warnings) == 2


def test_a_clean_recording_warns_of_nothing() -> None:
    loud = np.round(voice(RATE, 2.0, seed=5)[:, 0] * 32767).astype(np.int16)
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        contour = pitchtrack.track(loud, RATE)
    assert len(contour) > 20 and contour.warnings == () and caught == []


def test_warnings_pickle_with_their_contour() -> None:
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        contour = pitchtrack.track(QUIET, RATE)
    again = pickle.loads(pickle.dumps(contour))
    assert [(w.kind, w.start, w.end, str(w)) for w in again.warnings] == \
        [(w.kind, w.start, w.end, str(w)) for w in contour.warnings]
    alone = pickle.loads(pickle.dumps(contour.warnings[0]))
    assert (alone.kind, str(alone)) == (QUIET_KINDS[0], str(contour.warnings[0]))
