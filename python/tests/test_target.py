"""Finding the target in a view and calibrating from a photograph of it: a
view of the simulated camera at a quarter turn stands in for the photo."""

import numpy as np
import pytest

import colc
from conftest import SMALL_CAMERA


@pytest.fixture(scope="module")
def photo(chart):
    with colc.open_camera(SMALL_CAMERA + ",rotation=-89,scale=0.8", scene=chart) as camera:
        return camera.acquire()


def test_find_target_gives_the_pose_and_its_corners(photo, chart):
    match = colc.find_target(photo, chart)
    assert match.found and match.finding == "found"
    assert match.scale == pytest.approx(0.8, rel=0.02)
    assert abs(abs(match.rotation_degrees) - 89) < 1
    assert match.score > 0.7
    corners = match.corners
    assert corners.shape == (4, 2)
    # The chart's centre, where the simulated camera put it.
    assert corners.mean(axis=0) == pytest.approx([320.37, 239.71], abs=1.0)


def test_find_target_says_why_not(chart):
    blank = np.full((480, 640, 3), 90, dtype=np.uint8)
    match = colc.find_target(blank, chart)
    assert not match.found
    assert match.finding == "not found"
    assert match.text


def test_fit_photo_lowers_the_colour_error_and_applies_as_stored(photo, chart, tmp_path):
    fitted = colc.fit_photo(photo, chart)
    assert fitted.helped
    start, corrected = fitted.color_error["start"], fitted.color_error["corrected"]
    assert corrected[0] < start[0]
    fitted.result.save(str(tmp_path / "photo.colc"))
    again = colc.Result.load(str(tmp_path / "photo.colc"))
    assert again == fitted.result
    assert np.array_equal(again.apply(photo), fitted.result.apply(photo))
    with pytest.raises(colc.TargetNotFoundError):
        colc.fit_photo(np.full((480, 640, 3), 90, dtype=np.uint8), chart)


def test_fit_refuses_images_of_different_sizes(photo, chart):
    with pytest.raises(colc.ImageError, match="fit_photo"):
        colc.fit(photo, chart)
