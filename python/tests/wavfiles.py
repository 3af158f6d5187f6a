"""WAV files for the tests: images of every encoding the reader takes, a reader of them that
does not use the library, and deterministic voice-like recordings."""

from __future__ import annotations

import struct
from dataclasses import dataclass
from pathlib import Path
from typing import Optional

import numpy as np

TAG_PCM = 1
TAG_FLOAT = 3
TAG_MULAW = 7
TAG_EXTENSIBLE = 0xFFFE
# The tail of the KSDATAFORMAT_SUBTYPE GUIDs, after the two bytes of the tag.
_GUID_TAIL = bytes.fromhex("000000001000800000aa00389b71")


def chunk(cid: bytes, payload: bytes, size: Optional[int] = None) -> bytes:
    """A RIFF chunk; `size` overrides the declared size. Odd payloads get their pad byte."""
    declared = len(payload) if size is None else size
    return cid + struct.pack("<I", declared) + payload + (b"\0" if len(payload) % 2 else b"")


def fmt_payload(tag: int = TAG_PCM, channels: int = 1, rate: int = 8000, bits: int = 16,
                sub_tag: Optional[int] = None) -> bytes:
    block = channels * bits // 8
    body = struct.pack("<HHIIHH", tag, channels, rate, rate * block, block, bits)
    if sub_tag is not None:
        body += struct.pack("<HHI", 22, bits, 0) + struct.pack("<H", sub_tag) + _GUID_TAIL
    return body


def riff(body: bytes, form: bytes = b"WAVE") -> bytes:
    return chunk(b"RIFF", form + body)


def wave(data: bytes, tag: int = TAG_PCM, channels: int = 1, rate: int = 8000, bits: int = 16,
         sub_tag: Optional[int] = None) -> bytes:
    """A complete file: fmt then data."""
    return riff(chunk(b"fmt ", fmt_payload(tag, channels, rate, bits, sub_tag)) +
                chunk(b"data", data))


@dataclass(frozen=True)
class Encoding:
    """How a signal of full scale -1..1 is stored, and the array track() takes for it."""

    name: str
    tag: int
    bits: int
    extensible: bool = False

    def encode(self, signal: np.ndarray) -> tuple[bytes, np.ndarray]:
        """(data chunk bytes, samples for track()) of a frames x channels signal."""
        if self.tag == TAG_FLOAT:
            stored = signal.astype(np.float32 if self.bits == 32 else np.float64)
            return stored.astype(stored.dtype.newbyteorder("<")).tobytes(), stored
        scale = float(2 ** (self.bits - 1) - 1)
        if self.bits == 8:
            stored = np.round(128 + 127 * np.clip(signal, -1, 1)).astype(np.uint8)
            return stored.tobytes(), stored
        values = np.round(np.clip(signal, -1, 1) * scale).astype(np.int64)
        little = values.astype("<i4").view(np.uint8).reshape(values.shape + (4,))
        data = little[..., : self.bits // 8].tobytes()
        # The reader keeps the top 16 bits of wider samples.
        return data, (values >> (self.bits - 16)).astype(np.int16)

    def file(self, signal: np.ndarray, rate: int) -> tuple[bytes, np.ndarray]:
        """(WAV image, samples for track()): 1-D samples for one channel, else 2-D."""
        data, samples = self.encode(signal)
        channels = signal.shape[1]
        tag, sub = (TAG_EXTENSIBLE, self.tag) if self.extensible else (self.tag, None)
        image = wave(data, tag, channels, rate, self.bits, sub)
        return image, samples[:, 0] if channels == 1 else samples


ENCODINGS = [
    Encoding("u8", TAG_PCM, 8),
    Encoding("s16", TAG_PCM, 16),
    Encoding("s24", TAG_PCM, 24),
    Encoding("s32", TAG_PCM, 32),
    Encoding("f32", TAG_FLOAT, 32),
    Encoding("f64", TAG_FLOAT, 64),
    Encoding("s24-ext", TAG_PCM, 24, extensible=True),
    Encoding("f32-ext", TAG_FLOAT, 32, extensible=True),
]


def voice(rate: int, seconds: float, seed: int, channels: int = 1,
          level: float = 0.5) -> np.ndarray:
    """A sung phrase, frames x channels of full scale -1..1 (louder than 1 when level is; a
    negative level -L gives a voice of peak L rounded to multiples of 1/128).

    Notes of 0.15 to 0.5 s between semitones 43 and 74 with a slight vibrato and six
    harmonics, pauses of silence between them, a little noise; each channel is the voice at
    its own level. The same arguments give the same samples on every machine.
    """
    rng = np.random.RandomState(seed)
    pieces = [np.zeros(int(rng.uniform(0.05, 0.3) * rate))]
    total = len(pieces[0])
    while total < seconds * rate:
        n = int(rng.uniform(0.15, 0.5) * rate)
        t = np.arange(n) / rate
        f0 = 440.0 * 2 ** ((rng.randint(43, 75) - 69) / 12)
        phase = 2 * np.pi * np.cumsum(f0 * (1 + 0.006 * np.sin(2 * np.pi * 5.5 * t))) / rate
        note = sum(np.sin(k * phase) / k for k in range(1, 7) if k * f0 < rate / 2)
        ramp = np.minimum(1.0, np.minimum(t, t[-1] - t) / 0.02)
        pause = np.zeros(int(rng.uniform(0.0, 0.2) * rate))
        pieces += [abs(level) * ramp * note / 1.6, pause]
        total += n + len(pause)
    mono = np.concatenate(pieces)[: int(seconds * rate)]
    mono = mono + rng.normal(0, 0.003, len(mono))
    gains = [1.0, 0.6, -0.3, 0.8][:channels] if channels <= 4 else rng.uniform(-1, 1, channels)
    signal = np.stack([g * mono for g in gains], axis=1)
    if level < 0:
        signal = np.round(signal / np.abs(signal).max() * -level * 128) / 128
    return signal


def mulaw_to_linear(codes: np.ndarray) -> np.ndarray:
    """ITU-T G.711 mu-law expansion to 16 bits."""
    u = (~codes.astype(np.int32)) & 0xFF
    t = (((u & 0x0F) << 3) + 0x84) << ((u & 0x70) >> 4)
    return np.where(u & 0x80, 0x84 - t, t - 0x84).astype(np.int16)


def read_wav(path: Path) -> tuple[np.ndarray, int]:
    """(samples for track(), rate) of a well-formed WAV file, decoded without the library."""
    image = Path(path).read_bytes()
    assert image[:4] == b"RIFF" and image[8:12] == b"WAVE"
    chunks, offset = {}, 12
    while offset + 8 <= len(image):
        cid, size = image[offset:offset + 4], struct.unpack_from("<I", image, offset + 4)[0]
        chunks.setdefault(cid, image[offset + 8:offset + 8 + size])
        offset += 8 + size + size % 2
    tag, channels, rate, _, _, bits = struct.unpack_from("<HHIIHH", chunks[b"fmt "])
    if tag == TAG_EXTENSIBLE:
        tag = struct.unpack_from("<H", chunks[b"fmt "], 24)[0]
    data = chunks[b"data"]
    if tag == TAG_MULAW:
        samples = mulaw_to_linear(np.frombuffer(data, np.uint8))
    elif tag == TAG_FLOAT:
        samples = np.frombuffer(data, "<f4" if bits == 32 else "<f8")
    elif bits == 8:
        samples = np.frombuffer(data, np.uint8)
    else:
        width = bits // 8
        raw = np.frombuffer(data[: len(data) // width * width], np.uint8).reshape(-1, width)
        samples = raw[:, -2:].copy().view("<i2")[:, 0]
    frames = len(samples) // channels
    samples = samples[: frames * channels]
    return (samples if channels == 1 else samples.reshape(frames, channels)), rate
