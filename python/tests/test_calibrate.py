"""A calibration of the simulated camera from Python: what it hands back,
the camera put back as found on every exit (also after Ctrl-C and a failing
progress callback), and its failures as colc's exceptions."""

import os
import signal
import threading

import numpy as np
import pytest

import colc
from conftest import SMALL_CAMERA


def test_calibration_helps_and_leaves_the_camera_as_found(calibrated):
    camera, calibration, folder, calls = calibrated
    assert calibration.helped and calibration.reasons == []
    assert all(calibration.after[p] < calibration.before[p] / 2 for p in ("red", "green", "blue"))
    assert camera.settings == calibration.start_settings
    assert colc.Result.load(str(folder / "result.colc")) == calibration.result
    assert "Color image" in (folder / "report" / "colc-report.html").read_text()
    # With a report, the calibration's last acquisition is its record's, not the search's.
    assert [n for n, _ in calls] == list(range(1, calibration.acquisitions + 2))
    assert all(isinstance(settings, colc.CameraSettings) for _, settings in calls)
    assert calibration.start_view.shape == (480, 640, 3)
    assert "The calibration helped" in str(calibration)
    start, corrected = calibration.color_error["start"], calibration.color_error["corrected"]
    assert corrected[0] < start[0] and corrected[0] <= corrected[1]
    # The result names the camera it belongs to and the error it reached.
    context = calibration.result.context
    assert context["camera"]["model"] == "simulated camera" and context["search"] == "quick"
    assert context["colourError"]["mean"] == pytest.approx(corrected[0])
    assert set(calibration.clipped_regions) == {"dark", "bright", "total"}
    held_out = calibration.held_out_error
    assert held_out["chosen"] == ("color_correction" if calibration.result.correction is not None else "pel_maps")
    if held_out["chosen"] == "color_correction":
        assert held_out["color_correction"][0] < held_out["pel_maps"][0]
        assert held_out["domain"] == calibration.result.correction.domain
    # The result configures the camera, and corrects the images it then takes.
    result = calibration.result
    camera.configure(result)
    assert camera.settings == colc.CameraSettings(result.exposure, result.contrast, result.brightness)
    assert result.apply(camera.acquire()).shape == (480, 640, 3)


def test_ctrl_c_stops_with_the_camera_as_found(chart):
    camera = colc.open_camera(SMALL_CAMERA, scene=chart)
    found = camera.settings
    calls = []

    def progress(n, settings):
        # Ctrl-C in the middle of the search, as a terminal sends it.
        calls.append(n)
        if n == 20:
            os.kill(os.getpid(), signal.SIGINT)

    with pytest.raises(KeyboardInterrupt):
        colc.calibrate(camera, chart, progress=progress)
    # A whole calibration makes more than a thousand acquisitions.
    assert 20 <= len(calls) < 500
    assert camera.settings == found


def test_failing_progress_callback_stops_the_calibration(chart):
    camera = colc.open_camera(SMALL_CAMERA, scene=chart)
    found = camera.settings

    def progress(n, settings):
        if n == 5:
            raise RuntimeError("enough")

    with pytest.raises(RuntimeError, match="enough"):
        colc.calibrate(camera, chart, progress=progress)
    assert camera.settings == found


def test_calibration_that_did_not_help_while_other_threads_ran(chart, tmp_path):
    camera = colc.open_camera(SMALL_CAMERA, scene=chart)
    ticks = []
    stop = threading.Event()

    def tick():
        while not stop.wait(0.001):
            ticks.append(None)

    ticker = threading.Thread(target=tick)
    ticker.start()
    try:
        before = len(ticks)
        with pytest.raises(colc.DidNotHelpError, match="not clearly closer") as caught:
            colc.calibrate(camera, chart, exposure=False, contrast=False, brightness=False, pel_mapping=False,
                           out=str(tmp_path / "result.colc"))
        during = len(ticks) - before
    finally:
        stop.set()
        ticker.join()
    # The interpreter's lock was free while the calibration ran.
    assert during > 20
    assert not caught.value.calibration.helped
    assert caught.value.calibration.reasons
    assert not (tmp_path / "result.colc").exists()


@pytest.mark.parametrize("camera_name, reference, options, error", [
    (SMALL_CAMERA + ",fail-at=3", None, {}, colc.CameraError),
    (SMALL_CAMERA + ",timeout-at=3", None, {}, colc.CameraError),
    (SMALL_CAMERA, "noise", {}, colc.TargetNotFoundError),
    (SMALL_CAMERA, None, {"exposure_range": (0.2, 0.1)}, colc.ArgumentError),
    (SMALL_CAMERA, None, {"min_exposure_step": -1.0}, colc.ArgumentError),
    (SMALL_CAMERA, None, {"min_exposure_step": float("nan")}, colc.ArgumentError),
    (SMALL_CAMERA, None, {"out": "/no/such/folder/result.colc"}, colc.FileError),
])
def test_calibration_failures(chart, camera_name, reference, options, error):
    if reference == "noise":
        reference = np.random.default_rng(3).integers(0, 256, chart.shape, dtype=np.uint8)
    else:
        reference = chart
    camera = colc.open_camera(camera_name, scene=chart)
    found = camera.settings
    with pytest.raises(error):
        colc.calibrate(camera, reference, contrast=False, brightness=False, **options)
    assert camera.settings == found


def test_cameras_that_cannot_be_opened_fail_or_are_closed():
    with pytest.raises(colc.ArgumentError, match="unknown camera 'usb'"):
        colc.open_camera("usb")
    with pytest.raises(colc.ArgumentError, match="width"):
        colc.open_camera("sim:width=3")
    with pytest.raises(colc.TimeoutError) as caught:
        colc.open_camera("sim:width=64,height=48,timeout-at=1").acquire()
    assert isinstance(caught.value, TimeoutError) and isinstance(caught.value, colc.CameraError)
    with pytest.raises(colc.CameraError, match="injected failure"):
        colc.open_camera("sim:width=64,height=48,fail-at=1").acquire()
    with colc.open_camera("sim:width=64,height=48") as camera:
        assert camera.acquire(channel_order="rgb").shape == (48, 64, 3)
    assert camera.closed and "closed" in repr(camera)
    with pytest.raises(colc.CameraError, match="closed"):
        colc.calibrate(camera)
