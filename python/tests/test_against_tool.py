"""The module against the command-line tool, and against itself (file, array, stream), on the
golden cases and on 100 generated recordings of every encoding."""

from __future__ import annotations

from pathlib import Path

import numpy as np
import pytest

import pitchtrack
from conftest import GOLDEN_DIR, run_tool
from wavfiles import ENCODINGS, read_wav, voice

GOLDEN_CASES = sorted(p.name for p in GOLDEN_DIR.iterdir() if (p / "in.wav").exists())

RATES = [8000, 11025, 16000, 22050, 32000, 44100, 48000, 96000]
CHANNELS = [1, 1, 2, 1, 3, 2]


def recording(index: int):
    """(name, encoding, rate, channels, level) of generated recording `index`."""
    encoding = ENCODINGS[index % len(ENCODINGS)]
    rate = RATES[(index * 3 + index // len(ENCODINGS)) % len(RATES)]
    channels = CHANNELS[index % len(CHANNELS)]
    # Some float recordings go past full scale, to cover the clamping; others are quiet and on
    # the steps the analysis keeps, so that a conversion one unit off changes the contour.
    level = {0: 0.9, 1: -0.03}.get(index % 3, 0.5) if encoding.tag == 3 else 0.5
    return f"{index:03d}-{encoding.name}-{rate}Hz-{channels}ch", encoding, rate, channels, level


RECORDINGS = [recording(i) for i in range(100)]


def stream(samples: np.ndarray, rate: int, bits: int, seed: int) -> pitchtrack.Contour:
    """The contour of `samples` pushed through a Tracker in blocks of random sizes."""
    rng = np.random.RandomState(seed)
    tracker = pitchtrack.Tracker(rate, bits, channel_axis=1 if samples.ndim == 2 else None)
    start = 0
    while start < len(samples):
        size = int(rng.choice([1, 7, 255, 4096, 30000]))
        tracker.push(samples[start:start + size])
        start += size
    return tracker.finish()


@pytest.mark.parametrize("case", GOLDEN_CASES)
def test_golden_case(case: str) -> None:
    folder = GOLDEN_DIR / case
    contour = pitchtrack.track_file(folder / "in.wav")
    assert contour.line().encode() == (folder / "expected.pitch").read_bytes()
    samples, rate = read_wav(folder / "in.wav")
    assert pitchtrack.track(samples, rate) == contour
    bits = 8 if samples.dtype == np.uint8 else 16
    assert stream(samples, rate, bits, seed=len(case)) == contour


@pytest.fixture(scope="module")
def corpus(tmp_path_factory: pytest.TempPathFactory, tool: Path) -> dict:
    """Every generated recording written out and tracked by the tool once."""
    folder = tmp_path_factory.mktemp("recordings")
    made = {}
    for index, (name, encoding, rate, channels, level) in enumerate(RECORDINGS):
        seconds = 1.0 + (index % 5) * 0.6
        image, samples = encoding.file(voice(rate, seconds, index, channels, level), rate)
        path = folder / f"{name}.wav"
        path.write_bytes(image)
        status, line, reason = run_tool(tool, path)
        assert status == 0, f"the tool refused {name}: {reason}"
        made[name] = (path, samples, rate, line)
    return made


@pytest.mark.parametrize("name", [r[0] for r in RECORDINGS])
def test_generated_recording(corpus: dict, name: str) -> None:
    path, samples, rate, tool_line = corpus[name]
    contour = pitchtrack.track_file(path)
    assert contour.line() == tool_line
    assert pitchtrack.track(samples, rate) == contour
    bits = 8 if samples.dtype == np.uint8 else 16
    assert stream(samples, rate, bits, seed=len(samples)) == contour


def test_generated_recordings_are_mostly_pitched(corpus: dict) -> None:
    # Guards the comparison above against a generator that makes only silence.
    pitched = sum(1 for _, _, _, line in corpus.values() if line.strip())
    assert pitched >= 95
