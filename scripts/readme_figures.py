#!/usr/bin/env python3
"""The figures of README.md, from real runs of the program.

README.md marks each block this script owns with <!-- figures:NAME begin -->
and <!-- figures:NAME end -->:

  example   the session of `colc calibrate --out result.colc --report report`
            on the default simulated camera, as the program prints it
  failure   the line of a calibration that did not help (a fixed exposure that clips)
  searches  the quick and the full search on the default simulated camera
  cameras   two simulated cameras calibrated to one reference, compared on a chart
            neither was calibrated on, as found and through their results

  scripts/readme_figures.py            run both searches, rewrite the blocks and docs/report.png
  scripts/readme_figures.py --check    run the quick search only and fail when the example or
                                       the quick search's row no longer matches the program

Processor times vary from run to run: they are the marked figures, compared
as placeholders (`N.N s computing`, `N.N s simulating the camera`, and the
table's computing columns). Everything else must match to the digit.
"""

import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
README = os.path.join(ROOT, "README.md")
EXAMPLE_COMMAND = ["calibrate", "--out", "result.colc", "--report", "report"]
FAILURE_COMMAND = ["calibrate", "--exposure-range", "0.3:0.3", "--no-contrast", "--no-brightness",
                   "--no-pel-mapping", "--out", "result.colc", "--quiet"]
# The figures that vary from run to run, in the example's text.
VARYING = [(re.compile(r"[0-9.]+ s computing"), "N.N s computing"),
           (re.compile(r"[0-9.]+ s simulating the camera"), "N.N s simulating the camera")]
CAMERA_A = "sim:seed=1,sensitivity=0.7,crosstalk=0.08,exposure=0.03"
CAMERA_B = "sim:seed=2,sensitivity=1.3,crosstalk=0.02,contrast=0.6"
SCENE = ["--scene", "chart:24-patch"]
CAMERAS_COMMANDS = [
    ["calibrate", "--camera", CAMERA_A, "--out", "a.colc", "--quiet"],
    ["calibrate", "--camera", CAMERA_B, "--out", "b.colc", "--quiet"],
    ["grab", "a-found.png", "--camera", CAMERA_A] + SCENE,
    ["grab", "b-found.png", "--camera", CAMERA_B] + SCENE,
    ["compare", "a-found.png", "b-found.png", "--reference", "chart:24-patch"],
    ["grab", "a.png", "--camera", CAMERA_A, "--result", "a.colc"] + SCENE,
    ["grab", "b.png", "--camera", CAMERA_B, "--result", "b.colc"] + SCENE,
    ["compare", "a.png", "b.png", "--reference", "chart:24-patch"],
]
SEARCH_HEADER = ("| search | acquisitions | camera time | computing | simulating the camera "
                 "| CIEDE2000 mean: pel maps, correction | regions clipped |")


def run_colc(colc, args, folder, status=0):
    """What colc prints on standard output, or on standard error when it is to end with a failure."""
    done = subprocess.run([colc] + args, cwd=folder, capture_output=True, text=True)
    if done.returncode != status:
        sys.exit(f"colc {' '.join(args)} ended with status {done.returncode}, not {status}: {done.stderr.strip()}")
    return done.stdout if status == 0 else done.stderr


def session_block(colc, folder, args, status=0):
    text = run_colc(colc, args, folder, status)
    return "```text\n$ colc " + " ".join(args) + "\n" + text + "```"


def cameras_block(colc, folder):
    os.mkdir(folder)
    session = "".join("$ colc " + " ".join(args) + "\n" + run_colc(colc, args, folder) for args in CAMERAS_COMMANDS)
    return "```text\n" + session + "```"


def search_row(name, summary):
    error = summary["colourError"]
    return (f"| {name} | {summary['acquisitions']} | {summary['cameraSeconds']:.1f} s "
            f"| {summary['computingSeconds']:.1f} s | {summary['simulationSeconds']:.1f} s "
            f"| {error['pelMaps']['mean']:.2f}, {error['corrected']['mean']:.2f} "
            f"| {error['clippedRegions']['total']} of {error['regions']} |")


def search_rows(colc, folder, full):
    rows = [search_row("quick (the default)", json.loads(run_colc(colc, ["calibrate", "--json"], folder)))]
    if full:
        rows.append(search_row("`--full-search`",
                               json.loads(run_colc(colc, ["calibrate", "--full-search", "--json"], folder))))
    return rows


def masked(text):
    for pattern, placeholder in VARYING:
        text = pattern.sub(placeholder, text)
    # The table's computing columns (the fourth and fifth cells of a row).
    return re.sub(r"^(\|[^|]*\|[^|]*\|[^|]*\|)[^|]*\|[^|]*\|", r"\1 N.N s | N.N s |", text, flags=re.M)


def blocks_of(text):
    found = {}
    for m in re.finditer(r"<!-- figures:(\w+) begin -->\n(.*?)<!-- figures:\1 end -->", text, re.S):
        found[m.group(1)] = m.group(2).rstrip("\n")
    return found


def replaced(text, name, block):
    pattern = re.compile(r"(<!-- figures:" + name + r" begin -->\n).*?(<!-- figures:" + name + r" end -->)", re.S)
    if not pattern.search(text):
        sys.exit(f"README.md has no figures:{name} block")
    return pattern.sub(lambda m: m.group(1) + block + "\n" + m.group(2), text)


def screenshot(folder):
    """docs/report.png: the example's report as a browser shows it."""
    browser = shutil.which("chromium")
    if browser is None:
        print("chromium is not installed: docs/report.png is left as it is")
        return
    page = "file://" + os.path.join(folder, "report", "colc-report.html")
    subprocess.run([browser, "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                    "--user-data-dir=" + os.path.join(folder, "profile"), "--window-size=1100,3300",
                    "--screenshot=" + os.path.join(ROOT, "docs", "report.png"), page],
                   check=True, capture_output=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--check", action="store_true", help="compare instead of rewriting; the quick search only")
    parser.add_argument("--build", default=os.environ.get("COLC_BUILD_DIR", os.path.join(ROOT, "build")))
    parser.add_argument("--readme", default=README)
    args = parser.parse_args()
    colc = os.path.join(os.path.abspath(args.build), "apps", "colc", "colc")
    readme = open(args.readme).read()
    with tempfile.TemporaryDirectory() as folder:
        example = session_block(colc, folder, EXAMPLE_COMMAND)
        # In a folder of its own, where no result.colc is left from the example.
        os.mkdir(os.path.join(folder, "failure"))
        failure = session_block(colc, os.path.join(folder, "failure"), FAILURE_COMMAND, status=9)
        cameras = cameras_block(colc, os.path.join(folder, "cameras"))
        rows = search_rows(colc, folder, full=not args.check)
        if args.check:
            have = blocks_of(readme)
            problems = []
            if masked(have.get("example", "")) != masked(example):
                problems.append("the example differs from the program's output:\n" + example)
            if have.get("failure", "") != failure:
                problems.append("the failure differs from the program's output:\n" + failure)
            if have.get("cameras", "") != cameras:
                problems.append("the two cameras differ from the program's output:\n" + cameras)
            have_rows = have.get("searches", "").splitlines()
            if len(have_rows) < 3 or masked(have_rows[2]) != masked(rows[0]):
                problems.append("the quick search's row differs from the program's:\n" + rows[0])
            if problems:
                sys.exit("README.md is out of date (scripts/readme_figures.py rewrites it):\n" + "\n".join(problems))
            return
        readme = replaced(readme, "example", example)
        readme = replaced(readme, "failure", failure)
        readme = replaced(readme, "cameras", cameras)
        readme = replaced(readme, "searches", "\n".join([SEARCH_HEADER, "|---|---|---|---|---|---|---|"] + rows))
        open(args.readme, "w").write(readme)
        screenshot(folder)


if __name__ == "__main__":
    main()
