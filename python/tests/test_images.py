"""NumPy images in and out: channel order, views of crops, and arrays the
module cannot read in place, which must fail with a clear message."""

import numpy as np
import pytest

import colc


def test_channel_order_swaps_red_and_blue(chart):
    rgb = colc.target(width=chart.shape[1], channel_order="rgb")
    assert chart.shape == (256, 384, 3) and chart.dtype == np.uint8
    assert np.array_equal(rgb, chart[..., ::-1])
    # The chart's corner is white, its first patch a near-black grey; a
    # patch further on tells red from blue.
    result = colc.Result(red=colc.Channel(gain=0.5), blue=colc.Channel(offset=40))
    applied_bgr = result.apply(chart)
    applied_rgb = result.apply(rgb, channel_order="rgb")
    assert np.array_equal(applied_bgr, applied_rgb[..., ::-1])
    assert np.array_equal(applied_bgr[..., 1], chart[..., 1])
    assert np.array_equal(result.pel_maps(), result.pel_maps(channel_order="rgb")[::-1])
    assert list(result.pel_maps()[0, :3]) == [40, 41, 42]  # blue first


def test_crops_and_grey_images_read_in_place(chart):
    # A crop keeps its parent's row stride; a grey image stands for three equal planes.
    padded = np.zeros((300, 500, 3), np.uint8)
    padded[10:266, 20:404] = chart
    crop = padded[10:266, 20:404]
    assert not crop.flags["C_CONTIGUOUS"]
    result = colc.Result(red=colc.Channel(gain=1.5, offset=-10))
    assert np.array_equal(result.apply(crop), result.apply(chart))
    grey = np.ascontiguousarray(chart[..., 0])
    applied = result.apply(grey)
    assert np.array_equal(applied[..., 0], grey)
    assert np.array_equal(applied[..., 2], result.red.pel_map[grey])


@pytest.mark.parametrize("make, error, words", [
    (lambda c: c.astype(np.float32), TypeError, "dtype uint8"),
    (lambda c: c.astype(np.int8), TypeError, "dtype uint8"),
    (lambda c: c.tolist(), TypeError, "numpy.ndarray"),
    (lambda c: np.zeros((4, 5, 4), np.uint8), ValueError, "(4, 5, 4)"),
    (lambda c: np.zeros((4, 5, 3, 1), np.uint8), ValueError, "shape"),
    (lambda c: np.zeros(7, np.uint8), ValueError, "shape"),
    (lambda c: np.zeros((0, 5, 3), np.uint8), ValueError, "empty"),
    (lambda c: c[::-1], ValueError, "strides"),
    (lambda c: c[:, ::-1], ValueError, "strides"),
    (lambda c: c[..., ::-1], ValueError, "channel_order='rgb'"),
    (lambda c: c[:, ::2], ValueError, "ascontiguousarray"),
    (lambda c: np.asfortranarray(c[..., 0]), ValueError, "strides"),
    (lambda c: np.broadcast_to(c[:1], c.shape), ValueError, "strides"),
])
def test_unusable_arrays_are_refused_by_name(chart, make, error, words):
    with pytest.raises(error, match="camera_image") as caught:
        colc.fit(make(chart), chart)
    assert words in str(caught.value)
    with pytest.raises(error):
        colc.Result().apply(make(chart))


def test_unusable_masks_and_channel_orders(chart):
    with pytest.raises(ValueError, match="mask must be a grey image"):
        colc.fit(chart, chart, chart)
    with pytest.raises(ValueError, match="channel_order must be 'bgr' or 'rgb'"):
        colc.target(width=96, channel_order="BGR")
    for width in (95, 16385, 10**12):  # the command line's bounds, before any memory is taken
        with pytest.raises(colc.ArgumentError, match="96 to 16384"):
            colc.target(width=width)
