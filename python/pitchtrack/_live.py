"""pitchtrack.live: the frames of a recording while it is made."""

from __future__ import annotations

import struct
from typing import IO, Iterable, Iterator, Optional, Tuple, Union

from ._pitchtrack import Frame, Tracker

_PCM = 1
_EXTENSIBLE = 0xFFFE


def _read_exactly(stream: IO[bytes], count: int) -> bytes:
    data = b""
    while len(data) < count:
        more = stream.read(count - len(data))
        if not more:
            raise ValueError("the WAV stream ends inside its header")
        data += more
    return data


def _wav_format(stream: IO[bytes]) -> Tuple[int, int, int]:
    """Reads a WAV header up to its sample data: (rate, bits, channels) of 8- or 16-bit PCM."""
    riff = _read_exactly(stream, 12)
    if riff[:4] != b"RIFF" or riff[8:] != b"WAVE":
        raise ValueError("not a RIFF WAVE stream")
    found = None
    while True:
        chunk, size = struct.unpack("<4sI", _read_exactly(stream, 8))
        if chunk == b"data":
            break
        payload = _read_exactly(stream, size + size % 2)
        if chunk == b"fmt ":
            tag, channels, rate, _, _, bits = struct.unpack("<HHIIHH", payload[:16])
            if tag == _EXTENSIBLE and len(payload) >= 26:
                tag = struct.unpack("<H", payload[24:26])[0]
            found = (tag, rate, bits, channels)
    if found is None or found[0] != _PCM or found[2] not in (8, 16) or found[3] < 1:
        raise ValueError("live() takes 8- or 16-bit PCM WAV streams")
    return found[1], found[2], found[3]


def _stream_blocks(stream: IO[bytes], frame_bytes: int, block_bytes: int) -> Iterator[bytes]:
    """What the stream holds at each read, in whole sample frames."""
    read = getattr(stream, "read1", None) or stream.read
    carry = b""
    while True:
        data = read(block_bytes)
        if not data:
            return
        data = carry + data
        whole = len(data) - len(data) % frame_bytes
        carry = data[whole:]
        if whole:
            yield data[:whole]


def live(
    source: Union[IO[bytes], Iterable[object]],
    sample_rate: Optional[int] = None,
    bits: int = 16,
    channels: int = 1,
    *,
    block_bytes: int = 4096,
) -> Iterator[Frame]:
    """The frames of a recording while it is made, each as soon as it is final.

    source is a binary stream (the stdout of arecord, sys.stdin.buffer, a
    socket's makefile("rb")) holding a WAV stream of 8- or 16-bit PCM; with
    sample_rate given it holds raw little-endian PCM of `bits` bits and
    `channels` channels instead. It may also be an iterable of blocks (numpy
    arrays as Tracker.push takes them, or bytes of such PCM), with sample_rate.

    Each read takes what the stream holds (read1), so a frame comes about
    0.1 s after its audio, with the value track(..., precise=True) gives it,
    whatever the blocks. Every frame comes, from index 0, also the unpitched
    ones at the ends that a contour trims. The end of the source ends the
    frames; nothing is kept, so an endless source runs in flat memory.

        >>> for frame in pitchtrack.live(arecord.stdout):
        ...     print(frame.seconds, frame.value, frame.hz)
    """
    import numpy as np

    streamed = hasattr(source, "read")
    if sample_rate is None:
        if not streamed:
            raise ValueError("live() needs sample_rate for blocks")
        sample_rate, bits, channels = _wav_format(source)  # type: ignore[arg-type]
    dtype = np.dtype("<i2") if bits == 16 else np.dtype(np.uint8)
    frame_bytes = dtype.itemsize * channels
    tracker = Tracker(sample_rate, bits, live=True)
    blocks = (
        _stream_blocks(source, frame_bytes, block_bytes)  # type: ignore[arg-type]
        if streamed
        else source
    )
    for block in blocks:
        if isinstance(block, (bytes, bytearray, memoryview)):
            usable = len(block) - len(block) % frame_bytes
            block = np.frombuffer(block[:usable], dtype=dtype)
            if bits == 8:
                block = block.astype(np.int16)
            if channels > 1:
                block = block.reshape(-1, channels)
        tracker.push(block)
        yield from tracker.pull()
    tracker.finish()
    yield from tracker.pull()
