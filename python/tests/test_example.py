"""The example script runs and writes what it says it writes."""

import os
import subprocess
import sys

import pytest

import colc


def test_example_calibrates_and_corrects(tmp_path):
    cv2 = pytest.importorskip("cv2")
    source = os.environ.get("COLC_SOURCE_DIR")
    if not source:
        pytest.skip("COLC_SOURCE_DIR names no source folder")
    script = os.path.join(source, "examples", "python", "calibrate_simulated_camera.py")
    done = subprocess.run([sys.executable, script, "--exposure-only", "--folder", str(tmp_path)],
                          capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    assert "The calibration helped" in done.stdout
    result = colc.Result.load(str(tmp_path / "result.colc"))
    camera = cv2.imread(str(tmp_path / "camera.png"))
    assert (cv2.imread(str(tmp_path / "corrected.png")) == result.apply(camera)).all()
