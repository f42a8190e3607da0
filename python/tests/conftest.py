"""Shared pieces of the Python module's tests: the colc program beside the
module, the built-in chart at a small size and one small calibration of the
simulated camera, made once."""

import os
import subprocess

import pytest

import colc

# The simulated camera's smallest comfortable size: it must see the whole
# chart at about its own pel size.
SMALL_CAMERA = "sim:width=640,height=480"
CHART_WIDTH = 384


def run_colc(*args):
    """Runs the colc program; its standard output."""
    program = os.environ.get("COLC_PROGRAM")
    if not program:
        pytest.skip("COLC_PROGRAM names no colc program")
    done = subprocess.run([program, *map(str, args)], capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    return done.stdout


@pytest.fixture(scope="session")
def chart():
    return colc.target(width=CHART_WIDTH)


@pytest.fixture(scope="session")
def calibrated(chart, tmp_path_factory):
    """A calibration of exposure alone (seconds, not minutes), with its
    result and report written into a folder, and the progress calls it made."""
    folder = tmp_path_factory.mktemp("calibrated")
    camera = colc.open_camera(SMALL_CAMERA, scene=chart)
    calls = []
    calibration = colc.calibrate(camera, chart, contrast=False, brightness=False, out=str(folder / "result.colc"),
                                 report=str(folder / "report"),
                                 progress=lambda n, settings: calls.append((n, settings)))
    return camera, calibration, folder, calls
