"""pitchtrack.live and Tracker(live=True): frames come while the source is still being read,
with the values of the precise contour, whatever the blocks; a WAV stream read through a pipe
gives the same frames."""

from __future__ import annotations

import os
import threading

import numpy as np
import pytest

import pitchtrack
from wavfiles import chunk, fmt_payload

RATE = 16000


def hummed(seconds: float = 1.5) -> np.ndarray:
    t = np.arange(int(seconds * RATE)) / RATE
    tone = sum(np.sin(2 * np.pi * k * 220 * t) / k for k in range(1, 8))
    tone[(t % 0.5) > 0.4] = 0
    return (tone * 5000).astype(np.int16)


def streaming_wav(samples: np.ndarray, channels: int) -> bytes:
    data = np.repeat(samples, channels).astype("<i2").tobytes()
    body = chunk(b"fmt ", fmt_payload(channels=channels, rate=RATE)) + b"data" + b"\xff" * 4
    return b"RIFF" + b"\xff" * 4 + b"WAVE" + body + data


def expected_frames(samples: np.ndarray) -> dict:
    contour = pitchtrack.track(samples, RATE, precise=True)
    return {contour.first_frame + i: (v, h) for i, (v, h) in
            enumerate(zip(contour.values, np.nan_to_num(contour.hz)))}


@pytest.mark.parametrize("piece", [1, 333, 4096])
def test_blocks_give_the_contour_values_while_they_come(piece: int) -> None:
    samples = hummed()
    consumed = []

    def blocks():
        for at in range(0, len(samples), piece):
            consumed.append(at)
            yield samples[at:at + piece].tobytes()

    frames = []
    for frame in pitchtrack.live(blocks(), RATE):
        frames.append((frame, len(consumed)))
    assert [f.index for f, _ in frames] == list(range(len(samples) // 512))
    assert frames[len(frames) // 2][1] < len(consumed)  # before the source ended
    for index, (value, hz) in expected_frames(samples).items():
        assert (frames[index][0].value, frames[index][0].hz) == (value, hz)


@pytest.mark.parametrize("channels", [1, 2])
def test_a_wav_stream_through_a_pipe(channels: int) -> None:
    samples = hummed()
    read_end, write_end = os.pipe()
    image = streaming_wav(samples, channels)

    def writer():
        with os.fdopen(write_end, "wb") as out:
            for at in range(0, len(image), 777):
                out.write(image[at:at + 777])

    thread = threading.Thread(target=writer)
    thread.start()
    with os.fdopen(read_end, "rb") as stream:
        values = [frame.value for frame in pitchtrack.live(stream)]
    thread.join()
    for index, (value, _) in expected_frames(samples).items():
        assert values[index] == value


def test_a_live_tracker_keeps_nothing_for_finish_and_hands_out_the_notes() -> None:
    samples = hummed(3.0)
    tracker = pitchtrack.Tracker(RATE, live=True)
    pulled = []
    for at in range(0, len(samples), 1000):
        tracker.push(samples[at:at + 1000])
        pulled.append(tracker.pull_notes())
    assert len(tracker.pull()) > 0
    assert len(tracker.finish()) == 0
    pulled.append(tracker.pull_notes())
    assert sum(len(notes) for notes in pulled[:-1]) > 0  # some before the end
    whole = pitchtrack.track(samples, RATE, precise=True).notes()
    assert len(whole) == 6
    assert np.concatenate(pulled).tolist() == whole.tolist()
    assert pitchtrack.Tracker(RATE).pull() == []
    assert len(pitchtrack.Tracker(RATE).pull_notes()) == 0
