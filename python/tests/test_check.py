"""colc.check and colc.compare from Python: a camera checked with its own
result is still calibrated and left as found, the same camera in dimmer
light has drifted, another camera's result and another reference are
refused; two cameras' images of a chart compare as colc compare has them."""

import pytest

import colc
from conftest import SMALL_CAMERA


def test_a_camera_is_checked_against_its_calibration(calibrated, chart):
    camera, calibration, _, _ = calibrated
    found = camera.settings
    same = colc.check(camera, calibration.result, chart)
    assert same.verdict == "still calibrated" and same.acquisitions == 1 and not same.other_camera
    assert same.calibrated["mean"] == pytest.approx(calibration.color_error["corrected"][0])
    assert camera.settings == found

    with colc.open_camera(SMALL_CAMERA + ",sensitivity=0.8", scene=chart) as dimmer:
        dim = colc.check(dimmer, calibration.result, chart)
    assert dim.verdict in ("drifted", "recalibrate") and dim.drift >= 1.0
    assert dim.now["mean"] == pytest.approx(dim.calibrated["mean"] + dim.drift)

    with colc.open_camera(SMALL_CAMERA + ",seed=7", scene=chart) as other:
        with pytest.raises(colc.Error, match="belongs to"):
            colc.check(other, calibration.result, chart)
        assert colc.check(other, calibration.result, chart, force=True).other_camera
    with pytest.raises(colc.Error, match="not the reference"):
        colc.check(camera, calibration.result, colc.target(width=256))


def test_two_images_of_a_chart_compare_region_by_region(chart):
    with colc.open_camera(SMALL_CAMERA, scene=chart) as camera:
        image = camera.acquire()
    same = colc.compare(image, image, chart)
    assert same["regions"] > 10 and same["between"] == {"mean": 0.0, "max": 0.0}
    assert same["first"] == same["second"]
    darker = (image * 0.8).astype(image.dtype)
    assert colc.compare(image, darker, chart)["between"]["mean"] > 1.0
    with pytest.raises(colc.Error, match="in one of the images"):
        colc.compare(image, colc.target(width=600)[:40, :40].copy(), chart)
