"""What track() and Tracker take: every dtype, shape, rate and sample size, good and bad."""

from __future__ import annotations

from typing import Any, Callable, NamedTuple

import numpy as np
import pytest

import pitchtrack
from wavfiles import voice

RATE = 16000
SIGNAL = voice(RATE, 1.5, seed=7, channels=2)  # full scale -1..1, frames x 2
LEFT = SIGNAL[:, 0]
PCM16 = np.round(LEFT * 32767).astype(np.int16)
PCM8 = np.round(128 + 127 * LEFT).astype(np.uint8)
FLOATS = LEFT.astype(np.float32)
# Quiet floats on the steps the analysis keeps (multiples of 256 in 16 bits): converting them
# one unit off, as truncating instead of rounding would, changes every 8-bit value.
STEPS = np.round(LEFT / np.abs(LEFT).max() * 4) / 128


# Two channels as soundfile gives them (samples, channels) and as librosa does (channels, samples).
STEREO = np.stack([PCM16, PCM16 // 3], axis=1)
STEREO_FIRST = np.ascontiguousarray(STEREO.T)


def pushed(tracker: pitchtrack.Tracker, *blocks: np.ndarray) -> pitchtrack.Tracker:
    for block in blocks:
        tracker.push(block)
    return tracker


class Refused(NamedTuple):
    name: str
    call: Callable[[], Any]
    message: str  # part of the ValueError's message


REFUSED = [
    Refused("int32 samples", lambda: pitchtrack.track(PCM16.astype(np.int32), RATE),
            "dtype int32"),
    Refused("int64 list", lambda: pitchtrack.track([1, 2, 3], RATE), "dtype int64"),
    Refused("uint16 samples", lambda: pitchtrack.track(PCM16.view(np.uint16), RATE), "dtype uint16"),
    Refused("int8 samples", lambda: pitchtrack.track(PCM8.view(np.int8), RATE), "dtype int8"),
    Refused("bool samples", lambda: pitchtrack.track(PCM16 > 0, RATE), "dtype bool"),
    Refused("float16 samples", lambda: pitchtrack.track(FLOATS.astype(np.float16), RATE),
            "dtype float16"),
    Refused("complex samples", lambda: pitchtrack.track(FLOATS.astype(np.complex64), RATE),
            "dtype complex64"),
    Refused("strings", lambda: pitchtrack.track(["a", "b"], RATE), "dtype <U1"),
    Refused("None", lambda: pitchtrack.track(None, RATE), "dtype object"),
    Refused("a scalar", lambda: pitchtrack.track(np.int16(3), RATE), "not 0-D"),
    Refused("3-D samples", lambda: pitchtrack.track(PCM16.reshape(-1, 2, 2)[:100], RATE),
            "not 3-D"),
    Refused("no channels", lambda: pitchtrack.track(np.zeros((100, 0), np.int16), RATE,
                                                    channel_axis=1), "no channels"),
    Refused("no axis of 1 to 32 channels", lambda: pitchtrack.track(np.zeros((100, 0), np.int16),
                                                                    RATE), "pass channel_axis=0"),
    Refused("64 channels", lambda: pitchtrack.track(np.zeros((4000, 64), np.int16), RATE),
            "(4000, 64): neither axis is a channel count of 1 to 32; pass channel_axis"),
    Refused("either axis could be channels", lambda: pitchtrack.track(np.zeros((2, 20)), RATE),
            "(2, 20): either axis could hold the channels; pass channel_axis=0"),
    Refused("channel_axis 2", lambda: pitchtrack.track(np.zeros((9, 2)), RATE, channel_axis=2),
            "channel_axis must be 0 or 1"),
    Refused("channel_axis of 1-D samples", lambda: pitchtrack.track(PCM16, RATE, channel_axis=0),
            "channel_axis is for 2-D samples"),
    Refused("an ambiguous first block", lambda: pitchtrack.Tracker(RATE).push(np.zeros((1, 3))),
            "either axis could hold the channels"),
    Refused("a block of other channels",
            lambda: pushed(pitchtrack.Tracker(RATE, channel_axis=0), np.zeros((2, 9)),
                           np.zeros((3, 9))), "a block of 3 channels after blocks of 2"),
    Refused("stereo after mono", lambda: pushed(pitchtrack.Tracker(RATE), PCM16, STEREO[:100]),
            "a block of 2 channels after blocks of 1"),
    Refused("rate 999", lambda: pitchtrack.track(PCM16, 999), "999 Hz is outside 1000-768000"),
    Refused("rate 768001", lambda: pitchtrack.track(PCM16, 768001), "768001 Hz is outside"),
    Refused("rate 0", lambda: pitchtrack.track(PCM16, 0), "0 Hz is outside"),
    Refused("negative rate", lambda: pitchtrack.track(PCM16, -8000), "-8000 Hz is outside"),
    Refused("rate past 32 bits", lambda: pitchtrack.track(PCM16, 2**32 + 8000), "is outside"),
    Refused("bits 12", lambda: pitchtrack.track(PCM16, RATE, bits=12), "bits must be 8 or 16"),
    Refused("uint8 as 16-bit", lambda: pitchtrack.track(PCM8, RATE, bits=16), "uint8 samples"),
    Refused("floats as 8-bit", lambda: pitchtrack.track(FLOATS, RATE, bits=8), "float samples"),
    Refused("int16 past 255 as 8-bit",
            lambda: pitchtrack.track(PCM8.astype(np.int16) + 100, RATE, bits=8), "0..255, not 2"),
    Refused("negative int16 as 8-bit", lambda: pitchtrack.track(np.full(10, -1, np.int16), RATE,
                                                                bits=8), "not -1"),
    Refused("tracker at rate 999", lambda: pitchtrack.Tracker(999), "999 Hz is outside"),
    Refused("tracker of 12 bits", lambda: pitchtrack.Tracker(RATE, 12), "bits must be 8 or 16"),
    Refused("uint8 block into a 16-bit tracker", lambda: pitchtrack.Tracker(RATE).push(PCM8),
            "uint8 samples are 8-bit"),
    Refused("float block into an 8-bit tracker", lambda: pitchtrack.Tracker(RATE, 8).push(FLOATS),
            "float samples"),
    Refused("int32 block", lambda: pitchtrack.Tracker(RATE).push(np.zeros(4, np.int32)),
            "dtype int32"),
]


@pytest.mark.parametrize("case", REFUSED, ids=[c.name for c in REFUSED])
def test_refused_argument(case: Refused) -> None:
    with pytest.raises(ValueError) as raised:
        case.call()
    assert case.message in str(raised.value)


def with_values(array: np.ndarray, value: float, every: int = 97) -> np.ndarray:
    out = array.copy()
    out[::every] = value
    return out


class Same(NamedTuple):
    name: str
    left: Callable[[], pitchtrack.Contour]
    right: Callable[[], pitchtrack.Contour]


def big_endian(array: np.ndarray) -> np.ndarray:
    return array.astype(array.dtype.newbyteorder(">"))


SAME = [
    Same("NaN is silence", lambda: pitchtrack.track(with_values(FLOATS, np.nan), RATE),
         lambda: pitchtrack.track(with_values(FLOATS, 0.0), RATE)),
    Same("+inf is full scale", lambda: pitchtrack.track(with_values(LEFT, np.inf), RATE),
         lambda: pitchtrack.track(with_values(LEFT, 1.0), RATE)),
    Same("-inf is full scale", lambda: pitchtrack.track(with_values(LEFT, -np.inf), RATE),
         lambda: pitchtrack.track(with_values(LEFT, -1.0000001), RATE)),
    Same("floats become x * 32768 rounded, clamped",
         lambda: pitchtrack.track(LEFT, RATE),
         lambda: pitchtrack.track(np.clip(np.round(LEFT * 32768), -32768, 32767).astype(np.int16),
                                  RATE)),
    Same("float32 on 8-bit steps", lambda: pitchtrack.track(STEPS.astype(np.float32), RATE),
         lambda: pitchtrack.track((STEPS * 32768).astype(np.int16), RATE)),
    Same("float64 on 8-bit steps", lambda: pitchtrack.track(STEPS, RATE),
         lambda: pitchtrack.track((STEPS * 32768).astype(np.int16), RATE)),
    Same("float32 and float64 of the same values", lambda: pitchtrack.track(FLOATS, RATE),
         lambda: pitchtrack.track(FLOATS.astype(np.float64), RATE)),
    Same("a list of floats", lambda: pitchtrack.track(FLOATS.tolist(), RATE),
         lambda: pitchtrack.track(FLOATS, RATE)),
    Same("byte values in int16 with bits=8", lambda: pitchtrack.track(PCM8.astype(np.int16), RATE,
                                                                      bits=8),
         lambda: pitchtrack.track(PCM8, RATE)),
    Same("bits given as the dtype implies", lambda: pitchtrack.track(PCM16, RATE, bits=16),
         lambda: pitchtrack.track(PCM16, RATE)),
    Same("a strided view", lambda: pitchtrack.track(np.repeat(PCM16, 2)[::2], RATE),
         lambda: pitchtrack.track(PCM16, RATE)),
    Same("big-endian int16", lambda: pitchtrack.track(big_endian(PCM16), RATE),
         lambda: pitchtrack.track(PCM16, RATE)),
    Same("big-endian float64", lambda: pitchtrack.track(big_endian(LEFT), RATE),
         lambda: pitchtrack.track(LEFT, RATE)),
    Same("a column of one channel", lambda: pitchtrack.track(PCM16[:, None], RATE),
         lambda: pitchtrack.track(PCM16, RATE)),
    Same("librosa's channels x samples", lambda: pitchtrack.track(STEREO_FIRST, RATE),
         lambda: pitchtrack.track(STEREO, RATE)),
    Same("channel_axis given either way",
         lambda: pitchtrack.track(STEREO_FIRST, RATE, channel_axis=-2),
         lambda: pitchtrack.track(STEREO, RATE, channel_axis=1)),
    Same("channels x samples blocks, tiny ones after the first",
         lambda: pushed(pitchtrack.Tracker(RATE), STEREO_FIRST[:, :4000], STEREO_FIRST[:, 4000:4001],
                        STEREO_FIRST[:, 4001:4008], STEREO_FIRST[:, 4008:]).finish(),
         lambda: pitchtrack.track(STEREO, RATE)),
    Same("a Fortran-ordered stereo array",
         lambda: pitchtrack.track(np.asfortranarray(np.stack([PCM16, PCM16 // 3], axis=1)), RATE),
         lambda: pitchtrack.track(np.stack([PCM16, PCM16 // 3], axis=1), RATE)),
    # The mean of each frame truncated toward zero, as the reader mixes a file's channels.
    Same("int16 stereo is its mean truncated",
         lambda: pitchtrack.track(np.stack([PCM16, -PCM16 // 3 + 1], axis=1), RATE),
         lambda: pitchtrack.track(np.trunc((PCM16.astype(np.int64) + (-PCM16 // 3 + 1)) / 2)
                                  .astype(np.int16), RATE)),
    Same("uint8 stereo is its mean truncated",
         lambda: pitchtrack.track(np.stack([PCM8, 255 - PCM8 // 2], axis=1), RATE),
         lambda: pitchtrack.track(((PCM8.astype(np.int64) + 255 - PCM8 // 2) // 2).astype(np.uint8),
                                  RATE)),
    Same("float stereo is converted, then mixed",
         lambda: pitchtrack.track(SIGNAL, RATE),
         lambda: pitchtrack.track(np.stack([np.round(SIGNAL[:, c] * 32768).astype(np.int16)
                                            for c in (0, 1)], axis=1), RATE)),
]


@pytest.mark.parametrize("case", SAME, ids=[c.name for c in SAME])
def test_same_contour(case: Same) -> None:
    left = case.left()
    assert len(left) > 20  # a real contour, not two empty ones
    assert left == case.right()


EMPTY = [
    ("no int16 samples", lambda: pitchtrack.track(np.zeros(0, np.int16), RATE)),
    ("no uint8 samples", lambda: pitchtrack.track(np.zeros(0, np.uint8), 8000)),
    ("no stereo float frames", lambda: pitchtrack.track(np.zeros((0, 2), np.float32), RATE)),
    ("an empty list", lambda: pitchtrack.track([], RATE)),
    ("one sample", lambda: pitchtrack.track(PCM16[:1], RATE)),
    ("a finished tracker with no pushes", lambda: pitchtrack.Tracker(RATE).finish()),
    ("all NaN", lambda: pitchtrack.track(np.full(RATE, np.nan), RATE)),
]


@pytest.mark.parametrize("call", [c for _, c in EMPTY], ids=[n for n, _ in EMPTY])
def test_empty_contour(call: Callable[[], pitchtrack.Contour]) -> None:
    contour = call()
    assert (len(contour), contour.line(), contour.first_frame) == (0, "\n", 0)
    assert contour.values.dtype == np.int32 and contour.hz.shape == (0,)


@pytest.mark.parametrize("rate", [1000, 768000])
def test_rates_at_the_limits_are_taken(rate: int) -> None:
    samples = np.round(voice(rate, 1.0, seed=3)[:, 0] * 32767).astype(np.int16)
    assert pitchtrack.track(samples, rate) == pitchtrack.track(samples, np.int64(rate))


def test_finished_tracker_refuses_more() -> None:
    tracker = pitchtrack.Tracker(RATE)
    tracker.push(PCM16)
    assert tracker.finish() == pitchtrack.track(PCM16, RATE)
    assert tracker.finished
    for late in (lambda: tracker.push(PCM16), tracker.finish):
        with pytest.raises(RuntimeError, match="finished"):
            late()


def test_tracker_properties() -> None:
    tracker = pitchtrack.Tracker(22050, 8)
    assert (tracker.sample_rate, tracker.bits, tracker.finished) == (22050, 8, False)


def test_samples_changed_after_the_call_do_not_change_the_contour() -> None:
    samples = PCM16.copy()
    contour = pitchtrack.track(samples, RATE)
    line = contour.line()
    samples[:] = 0
    assert contour.line() == line and len(contour) > 0
