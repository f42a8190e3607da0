"""colc.deploy from Python, against a fake GigE Vision camera served by
another process on loopback (run in a network namespace of its own): a dry
run changes nothing, another camera's result is refused, a colour
correction goes into the camera's colour transformation and a user set,
and every feature written reads back as written."""

import os
import re
import subprocess

import numpy as np
import pytest

import colc
from conftest import run_colc

ADDRESS = "127.0.0.1"
CAMERA = "aravis:" + ADDRESS


def tool(name):
    folder = os.environ.get("COLC_BINARY_DIR")
    path = os.path.join(folder or "", "tests", "host", "acq", "aravis", name)
    if not folder or not os.path.exists(path):
        pytest.skip("no " + name + " built beside the module")
    return path


def features():
    """Every feature of the camera, read by another process."""
    done = subprocess.run([tool("colc_camera_features"), ADDRESS], capture_output=True, text=True, check=True)
    return dict(line.split("=", 1) for line in done.stdout.splitlines())


@pytest.fixture
def camera():
    server = subprocess.Popen([tool("colc_fake_gv_camera"), ADDRESS, "--tables"], stdout=subprocess.PIPE, text=True)
    assert server.stdout.readline().strip() == "serving"
    yield CAMERA
    server.kill()
    server.wait()


@pytest.fixture
def result():
    """A result with an encoded-value colour correction the camera's
    transformation can hold, from no camera (as if from a photograph)."""
    mixing = np.array([[1.1, -0.05, 0.02, -0.01], [0.03, 0.95, 0.04, 0.02], [-0.02, 0.06, 1.2, -0.03]])
    return colc.Result(exposure=0.02, contrast=0.3, brightness=0.4, positive_lut=True,
                       correction=colc.ColorCorrection(domain="encoded", coefficients=mixing))


def test_a_correction_is_deployed_into_the_transformation_and_a_user_set(camera, result):
    found = features()
    with pytest.raises(colc.Error, match="belongs to"):
        colc.deploy(result, camera)
    planned = colc.deploy(result, camera, user_set=1, default=True, force=True, dry_run=True)
    assert planned.dry_run and planned.colour == "color_transformation" and planned.equals_apply
    assert features() == found

    done = colc.deploy(result, camera, user_set=1, default=True, force=True)
    assert not done.dry_run and done.user_set == "UserSet1" and done.default
    assert [w["feature"] for w in done.written] == [w["feature"] for w in planned.written]
    now = features()
    for w in done.written:
        if w["feature"] in now:
            assert now[w["feature"]] == {"on": "true", "off": "false"}.get(w["written"], w["written"]), w
    gains = {w["feature"]: float(w["written"]) for w in done.written if "ColorTransformationValue" in w["feature"]}
    assert gains["ColorTransformationValue Gain01"] == pytest.approx(-0.05, abs=1e-6)
    assert now["ColorTransformationEnable"] == "true" and now["UserSetDefault"] == "UserSet1"
    # The selectors colc moved are back where they were.
    for selector in ("ColorTransformationValueSelector", "LUTSelector", "LUTIndex", "TriggerSelector"):
        assert now[selector] == found[selector]


def test_bad_requests_are_refused_before_the_camera_is_opened(result):
    with pytest.raises(ValueError, match="1 to 99"):
        colc.deploy(result, CAMERA, user_set=0)
    with pytest.raises(ValueError, match="needs a user_set"):
        colc.deploy(result, CAMERA, default=True)
    with pytest.raises(colc.Error, match="GenICam"):
        colc.deploy(result, "sim")


def test_the_command_line_says_how_it_writes_the_offsets(camera, result, tmp_path):
    path = str(tmp_path / "mixing.colc")
    result.save(path)
    found = features()
    text = run_colc("deploy", path, "--camera", camera, "--force", "--dry-run")
    assert "fractions of full scale (for a camera that takes levels: --offset-full-scale 255 or 4095)" in text
    text = run_colc("deploy", path, "--camera", camera, "--force", "--dry-run", "--offset-full-scale", "100")
    assert "fractions of full scale times 100 (--offset-full-scale)" in text
    assert re.search(r"ColorTransformationValue Offset2 +- +-3\n", text), text
    assert features() == found
