"""precise=True: the precise analysis through track(), track_file() and Tracker, with the
measured frequency and a confidence per value, and contours that survive pickling."""

from __future__ import annotations

import pickle
from pathlib import Path

import numpy as np

import pitchtrack
from wavfiles import wave

RATE = 16000


def sawtooth(midi: int, seconds: float = 0.8) -> np.ndarray:
    f0 = 440 * 2 ** ((midi - 69) / 12)
    t = np.arange(int(seconds * RATE)) / RATE
    tone = sum(np.sin(2 * np.pi * k * f0 * t) / k for k in range(1, 40) if k * f0 < RATE / 2)
    return (tone * 6000).astype(np.int16)


def test_every_entry_gives_the_measured_pitch(tmp_path: Path) -> None:
    samples = np.concatenate([sawtooth(73), sawtooth(80)])  # C#5, G#5
    path = tmp_path / "saw.wav"
    path.write_bytes(wave(samples.tobytes(), rate=RATE))

    contour = pitchtrack.track(samples, RATE, precise=True)
    assert pitchtrack.track_file(path, precise=True) == contour
    tracker = pitchtrack.Tracker(RATE, precise=True)
    for block in np.array_split(samples, 7):
        tracker.push(block)
    assert tracker.finish() == contour

    steady = contour.values[2:20]
    assert set(steady.tolist()) == {730}
    assert np.allclose(contour.hz[2:20], 554.37, rtol=0.003)
    assert np.all((contour.confidence[2:20] > 0.9) & (contour.confidence[2:20] <= 1))
    assert pitchtrack.track(samples, RATE).confidence is None


def test_pickled_contours_keep_their_measurements() -> None:
    contour = pitchtrack.track(sawtooth(69), RATE, precise=True)
    again = pickle.loads(pickle.dumps(contour))
    assert again == contour
    assert np.array_equal(again.hz, contour.hz, equal_nan=True)
    assert np.array_equal(again.confidence, contour.confidence, equal_nan=True)
