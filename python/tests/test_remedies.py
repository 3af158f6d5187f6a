"""The remedies as keywords: normalize, keep_final and voicing give the contour of the tool's
options of the same names, through track(), track_file() and Tracker."""

from __future__ import annotations

import subprocess
from pathlib import Path
from typing import Any

import numpy as np
import pytest

import pitchtrack
from wavfiles import wave

RATE = 8000


def notes(semitones: list[int], gap: float = 0.2) -> np.ndarray:
    """Hummed notes of 0.4 s, 0.2 s apart, the last one after `gap` seconds."""
    t = np.arange(int(0.4 * RATE)) / RATE
    parts = [np.zeros(int(0.3 * RATE))]
    for index, semitone in enumerate(semitones):
        if index:
            parts.append(np.zeros(int((gap if index == len(semitones) - 1 else 0.2) * RATE)))
        f0 = 440 * 2 ** ((semitone - 69) / 12)
        parts.append(sum(np.sin(2 * np.pi * k * f0 * t) / k for k in range(1, 9) if k * f0 < RATE / 2))
    parts.append(np.zeros(int(0.3 * RATE)))
    return np.concatenate(parts) * 0.25


LATE = np.round(notes([57, 59, 60, 62, 64], gap=1.2) * 32767).astype(np.int16)
QUIET = np.round(notes([48, 52, 55, 57]) * 600).astype(np.int16)
NOISE = np.random.default_rng(3).integers(-12000, 12000, 2 * RATE).astype(np.int16)

CASES = [
    ("late", LATE, {"keep_final": True}, ["--keep-final"]),
    ("quiet", QUIET, {"normalize": True}, ["--normalize"]),
    ("noise", NOISE, {"voicing": "strict", "normalize": True}, ["--voicing=strict", "--normalize"]),
    ("noise", NOISE, {"voicing": "relative"}, []),
]


def tool_line(tool: Path, folder: Path, samples: np.ndarray, options: list[str]) -> str:
    path = folder / "in.wav"
    path.write_bytes(wave(samples.astype("<i2").tobytes()))
    result = subprocess.run([str(tool), "-q", *options, str(path), "-"], capture_output=True,
                            text=True, check=True)
    return result.stdout


@pytest.mark.parametrize("name,samples,keywords,options", CASES)
def test_keywords_match_the_tools_options(tool: Path, tmp_path: Path, name: str,
                                          samples: np.ndarray, keywords: dict[str, Any],
                                          options: list[str]) -> None:
    expected = tool_line(tool, tmp_path, samples, options)
    assert pitchtrack.track(samples, RATE, **keywords).line() == expected, name
    assert pitchtrack.track_file(tmp_path / "in.wav", **keywords).line() == expected, name
    tracker = pitchtrack.Tracker(RATE, **keywords)
    for block in np.array_split(samples, 7):
        tracker.push(block)
    assert tracker.finish().line() == expected, name
    if keywords.get("voicing") != "relative":
        assert pitchtrack.track(samples, RATE).line() != expected, "the remedy changes nothing"


def test_unknown_voicing_is_refused() -> None:
    for call in (lambda: pitchtrack.track(LATE, RATE, voicing="loose"),
                 lambda: pitchtrack.Tracker(RATE, voicing="Strict")):
        with pytest.raises(ValueError, match="voicing must be 'relative' or 'strict'"):
            call()


def test_remedies_are_keywords_only() -> None:
    with pytest.raises(TypeError):
        pitchtrack.track(LATE, RATE, 16, True)  # type: ignore[misc]
