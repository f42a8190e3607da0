"""The fit on planted transforms: a reference made from a camera image
through a known gain and offset per plane gives them back."""

import numpy as np
import pytest

import colc

# Per plane, in the order red, green, blue: gain and offset, chosen to
# keep every value of the camera image below inside 0..255.
PLANTED = {"red": (1.2, 10.0), "green": (0.8, -5.0), "blue": (1.05, 30.0)}


def planted_pair(rng, channel_order):
    camera = rng.integers(20, 180, size=(120, 160, 3), dtype=np.uint8)
    reference = np.empty_like(camera)
    names = ["blue", "green", "red"] if channel_order == "bgr" else ["red", "green", "blue"]
    for c, name in enumerate(names):
        gain, offset = PLANTED[name]
        reference[..., c] = np.clip(np.rint(gain * camera[..., c] + offset), 0, 255)
    return camera, reference


@pytest.mark.parametrize("channel_order", ["bgr", "rgb"])
def test_fit_recovers_planted_transforms(channel_order):
    camera, reference = planted_pair(np.random.default_rng(7), channel_order)
    fit = colc.fit(camera, reference, channel_order=channel_order)
    for name, (gain, offset) in PLANTED.items():
        plane = getattr(fit, name)
        assert plane.gain == pytest.approx(gain, abs=0.01), name
        assert plane.offset == pytest.approx(offset, abs=1.0), name
        assert plane.rms_error < 0.5
        assert plane.proportion_active == pytest.approx(1.0)
        assert plane.pel_map.shape == (256,) and plane.pel_map.dtype == np.uint8


def test_mask_leaves_out_spoiled_pels():
    camera, reference = planted_pair(np.random.default_rng(8), "bgr")
    reference[:60] = 255 - reference[:60]
    mask = np.zeros(camera.shape[:2], bool)
    mask[60:] = True
    spoiled = colc.fit(camera, reference)
    masked = colc.fit(camera, reference, mask=mask)
    as_bytes = colc.fit(camera, reference, mask=mask.astype(np.uint8) * 255)
    assert spoiled.red.rms_error > 10
    assert masked.red.gain == pytest.approx(1.2, abs=0.01)
    assert masked.blue.offset == pytest.approx(30.0, abs=1.0)
    assert repr(as_bytes) == repr(masked)


def test_grey_pair_fits_once_for_all_planes():
    camera = np.random.default_rng(9).integers(20, 180, size=(50, 70), dtype=np.uint8)
    reference = (camera * 1.25 + 3).astype(np.uint8)
    fit = colc.fit(camera, reference)
    assert repr(fit.red) == repr(fit.green) == repr(fit.blue)
    assert fit.red.gain == pytest.approx(1.25, abs=0.01)


def test_images_the_fit_cannot_use():
    camera, reference = planted_pair(np.random.default_rng(10), "bgr")
    with pytest.raises(colc.ImageError) as caught:
        colc.fit(camera, reference, mask=np.full(camera.shape[:2], 7, np.uint8))
    assert isinstance(caught.value, ValueError)
    with pytest.raises(colc.ImageError):
        colc.fit(np.full_like(camera, 255), reference)
