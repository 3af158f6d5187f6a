"""The Contour object: its arrays, its line, and how it behaves as a Python object."""

from __future__ import annotations

import copy
import gc
import pickle

import numpy as np
import pytest

import pitchtrack
from conftest import GOLDEN_DIR

MELODY = GOLDEN_DIR / "05_melody_44100_stereo" / "in.wav"


@pytest.fixture(scope="module")
def contour() -> pitchtrack.Contour:
    c = pitchtrack.track_file(MELODY)
    # The tests below need both pitched and unpitched frames and some frames cut at both ends.
    assert c.first_frame > 0 and 0 in c.values and len(c) > 50
    assert c.recording_frames > c.first_frame + len(c)
    return c


def test_arrays_follow_the_values(contour: pitchtrack.Contour) -> None:
    values = contour.values
    assert values.dtype == np.int32 and values.shape == (len(contour),)
    frames = contour.first_frame + np.arange(len(contour))
    np.testing.assert_allclose(contour.times, frames * 0.032, rtol=0, atol=1e-12)
    pitched = values != 0
    np.testing.assert_array_equal(np.isnan(contour.hz), ~pitched)
    np.testing.assert_array_equal(np.isnan(contour.midi), ~pitched)
    np.testing.assert_allclose(contour.midi[pitched], values[pitched] / 10)
    np.testing.assert_allclose(contour.hz[pitched], 440 * 2 ** ((values[pitched] / 10 - 69) / 12))
    assert contour.frame_seconds == pitchtrack.FRAME_SECONDS == 0.032


@pytest.mark.parametrize("full, centre", [(True, True), (True, False), (False, True),
                                          (False, False)])
def test_to_arrays(contour: pitchtrack.Contour, full: bool, centre: bool) -> None:
    arrays = contour.to_arrays(full=full, centre=centre)
    first = 0 if full else contour.first_frame
    count = contour.recording_frames if full else len(contour)
    assert sorted(arrays) == ["confidence", "hz", "midi", "time", "value"]
    assert all(array.shape == (count,) for array in arrays.values())
    np.testing.assert_allclose(arrays["time"], (first + np.arange(count) + 0.5 * centre) * 0.032,
                               rtol=0, atol=1e-12)
    inside = slice(contour.first_frame - first, contour.first_frame - first + len(contour))
    np.testing.assert_array_equal(arrays["value"][inside], contour.values)
    np.testing.assert_array_equal(arrays["hz"][inside], contour.hz)
    np.testing.assert_array_equal(arrays["midi"][inside], contour.midi)
    outside = np.ones(count, bool)
    outside[inside] = False
    assert not arrays["value"][outside].any() and np.isnan(arrays["hz"][outside]).all()
    assert np.isnan(arrays["confidence"]).all()  # the default analysis measures none


def test_to_arrays_of_a_contour_without_pitch() -> None:
    arrays = pitchtrack.track(np.zeros(16000, np.int16), 16000).to_arrays()
    assert arrays["time"][[0, -1]].tolist() == pytest.approx([0.016, 30.5 * 0.032])
    assert np.isnan(arrays["hz"]).all() and len(arrays["hz"]) == 31


def test_line_len_and_iteration(contour: pitchtrack.Contour) -> None:
    assert contour.line() == "+".join(str(v) for v in contour.values) + "\n"
    assert list(contour) == contour.values.tolist() and len(list(contour)) == len(contour)
    assert all(type(v) is int for v in contour)


def test_values_are_read_only_and_outlive_the_contour() -> None:
    values = pitchtrack.track_file(MELODY).values
    gc.collect()
    assert values.sum() > 0
    with pytest.raises(ValueError):
        values[0] = 1


def CONSTRUCTOR(c: pitchtrack.Contour) -> pitchtrack.Contour:
    return pitchtrack.Contour(c.values, c.first_frame, c.frame_seconds)


@pytest.mark.parametrize("clone", [lambda c: pickle.loads(pickle.dumps(c)), copy.deepcopy,
                                   CONSTRUCTOR],
                         ids=["pickle", "deepcopy", "constructor"])
def test_copies_are_equal(contour: pitchtrack.Contour, clone) -> None:
    copied = clone(contour)
    assert copied == contour and copied is not contour
    if clone is not CONSTRUCTOR:
        assert (copied.recording_frames, copied.recording_seconds) == \
            (contour.recording_frames, contour.recording_seconds)
    assert copied.line() == contour.line()


def test_equality_looks_at_every_part(contour: pitchtrack.Contour) -> None:
    values = contour.values.tolist()
    assert pitchtrack.Contour(values, contour.first_frame + 1) != contour
    assert pitchtrack.Contour(values[:-1], contour.first_frame) != contour
    assert pitchtrack.Contour(values, contour.first_frame, 0.064) != contour
    assert contour != values and contour != "contour"
    with pytest.raises(TypeError):
        hash(contour)


def test_constructed_contour_and_repr() -> None:
    made = pitchtrack.Contour([600, 0, 610], first_frame=5)
    assert made.line() == "600+0+610\n" and made.times[0] == pytest.approx(0.16)
    assert repr(made) == "<pitchtrack.Contour: 3 frames from frame 5 (0.160 s), 2 pitched>"
    assert pitchtrack.Contour().line() == "\n"
