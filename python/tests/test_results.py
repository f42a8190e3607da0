"""Results: archives that the colc program and the module read from each
other, equality and the failures of loading and saving."""

import json
import os
import stat

import numpy as np
import pytest

import colc
from conftest import CHART_WIDTH, SMALL_CAMERA, run_colc

PLANES = ("red", "green", "blue")


def planted_result():
    return colc.Result(exposure=0.0125, contrast=0.25, brightness=0.625, positive_lut=True,
                       red=colc.Channel(1.1, -3.5, 0.75), green=colc.Channel(0.9, 2.0, 0.5),
                       blue=colc.Channel(1.0, 0.0))


def assert_matches_json(result, shown):
    for key in ("exposure", "contrast", "brightness"):
        assert getattr(result, key) == shown[key]
    assert result.positive_lut == shown["positive8BitLut"]
    for name, channel in zip(PLANES, shown["channels"]):
        plane = getattr(result, name)
        assert (plane.gain, plane.offset, plane.rms_error) == (channel["gain"], channel["offset"], channel["rmsError"])
        if channel.get("pelmap"):
            assert list(plane.pel_map) == channel["pelmap"]


def test_python_archive_reads_in_colc(tmp_path):
    result = planted_result()
    result.save(str(tmp_path / "python.colc"))
    assert_matches_json(result, json.loads(run_colc("show", tmp_path / "python.colc", "--json")))
    # colc apply corrects a chart file as the module corrects the array.
    cv2 = pytest.importorskip("cv2")
    run_colc("target", tmp_path / "chart.png", "--width", CHART_WIDTH)
    run_colc("apply", tmp_path / "python.colc", tmp_path / "chart.png", tmp_path / "applied.png")
    assert np.array_equal(cv2.imread(str(tmp_path / "applied.png")), result.apply(colc.target(width=CHART_WIDTH)))


def test_colc_archive_reads_in_python(tmp_path):
    run_colc("target", tmp_path / "chart.png", "--width", CHART_WIDTH)
    summary = json.loads(run_colc("calibrate", "--camera", SMALL_CAMERA, "--reference", tmp_path / "chart.png",
                                  "--no-contrast", "--no-brightness", "--out", tmp_path / "colc.colc", "--json"))
    result = colc.Result.load(str(tmp_path / "colc.colc"))
    assert_matches_json(result, summary)
    shown = json.loads(run_colc("show", tmp_path / "colc.colc", "--json"))
    assert_matches_json(result, shown)
    assert result.pel_maps(channel_order="rgb").tolist() == [c["pelmap"] or list(range(256))
                                                             for c in shown["channels"]]
    # Saved again from Python, the archive holds the same bytes.
    result.save(str(tmp_path / "again.colc"))
    assert (tmp_path / "again.colc").read_bytes() == (tmp_path / "colc.colc").read_bytes()


def planted_correction():
    # Blue leaks into red, and a small lift on green, in linear light.
    return colc.ColorCorrection(domain="linear", coefficients=[[1.05, 0.0, -0.08, 0.0], [0.0, 1.0, 0.0, 0.01],
                                                               [0.0, 0.02, 0.97, 0.0]])


def test_result_with_colour_correction_reads_and_applies_as_in_colc(tmp_path):
    result = colc.Result(exposure=0.0125, red=colc.Channel(1.1, -3.5, 0.75), correction=planted_correction())
    result.save(str(tmp_path / "python.colc"))
    shown = json.loads(run_colc("show", tmp_path / "python.colc", "--json"))
    assert shown["colorCorrection"] == {"domain": "linear",
                                        "coefficients": planted_correction().coefficients.tolist()}
    assert colc.Result.load(str(tmp_path / "python.colc")) == result
    # The correction replaces the pel maps, as colc apply does it.
    cv2 = pytest.importorskip("cv2")
    run_colc("target", tmp_path / "chart.png", "--width", CHART_WIDTH)
    run_colc("apply", tmp_path / "python.colc", tmp_path / "chart.png", tmp_path / "applied.png")
    chart = colc.target(width=CHART_WIDTH)
    applied = result.apply(chart)
    assert np.array_equal(cv2.imread(str(tmp_path / "applied.png")), applied)
    assert np.array_equal(applied, planted_correction().apply(chart))
    assert not np.array_equal(applied, colc.Result(exposure=0.0125, red=colc.Channel(1.1, -3.5, 0.75)).apply(chart))


def test_colour_correction_values_and_refusals():
    identity = colc.ColorCorrection()
    assert identity.domain == "encoded" and identity.coefficients.tolist() == np.eye(3, 4).tolist()
    chart = colc.target(width=CHART_WIDTH)
    assert np.array_equal(identity.apply(chart), chart)
    assert eval(repr(planted_correction()), {"colc": colc}) == planted_correction()
    assert planted_correction() != colc.ColorCorrection(domain="encoded",
                                                        coefficients=planted_correction().coefficients)
    with pytest.raises(ValueError, match="3 x 4"):
        colc.ColorCorrection(coefficients=np.eye(3))
    with pytest.raises(ValueError, match="domain"):
        colc.ColorCorrection(domain="lab")
    with pytest.raises(colc.ArgumentError):
        colc.ColorCorrection(coefficients=[[float("nan")] * 4] * 3)


def test_equality_and_repr():
    result = planted_result()
    assert result == planted_result()
    assert result != colc.Result(exposure=0.0125, contrast=0.25, brightness=0.625, positive_lut=True,
                                 red=colc.Channel(1.1, -3.5, 0.75), green=colc.Channel(0.9, 2.0, 0.25))
    assert result != colc.Result(exposure=0.0125, contrast=0.25, brightness=0.625,
                                 red=colc.Channel(1.1, -3.5, 0.75), green=colc.Channel(0.9, 2.0, 0.5))
    # An identity channel stores no pel map; one built from a tiny offset does.
    assert colc.Channel() == colc.Channel(1.0, 0.0, None) != colc.Channel(1.0, 1e-9)
    assert colc.Channel().rms_error is None
    assert list(colc.Channel().pel_map) == list(range(256))
    assert eval(repr(result), {"colc": colc}) == result
    corrected = colc.Result(exposure=0.0125, correction=planted_correction())
    assert corrected != colc.Result(exposure=0.0125) and corrected.correction == planted_correction()
    assert eval(repr(corrected), {"colc": colc}) == corrected


def test_loading_and_saving_failures(tmp_path):
    with pytest.raises(colc.FileError) as caught:
        colc.Result.load(str(tmp_path / "missing.colc"))
    assert isinstance(caught.value, OSError) and "missing.colc" in str(caught.value)
    (tmp_path / "text.colc").write_text("not an archive")
    with pytest.raises(colc.ArchiveError, match="text.colc"):
        colc.Result.load(str(tmp_path / "text.colc"))
    with pytest.raises(colc.FileError):
        planted_result().save(str(tmp_path / "no-folder" / "result.colc"))
    os.mkfifo(tmp_path / "pipe")
    with pytest.raises(colc.FileError, match="not a regular file but a named pipe"):
        planted_result().save(str(tmp_path / "pipe"))
    assert stat.S_ISFIFO(os.stat(tmp_path / "pipe").st_mode)
