#!/usr/bin/python3
"""Colour error on the real photographs of the 24-patch chart, photo by photo.

For each photograph described in tests/data/photos/ (the images kept there, and
the others in COLC_PHOTO_DIR, or in shared/photos beside the repository), prints the mean
CIEDE2000 over the 24 patches between the photo's patch colours and the
chart's reference colours: as the photo is, and after OpenCV's 4 x 3 colour
correction model (cv2.ccm, CCM_4x3, sRGB) scored leave-one-patch-out, each
patch corrected by a model fitted to the other 23; and beside them colc's
own figure: `colc fit PHOTO --reference chart:24-patch --find-target --json`,
the held-out error of what colc chose (pel maps or colour correction), each
flat region measured through a fit made without it. colc's flat regions are
the 24 patches when its JSON counts 24 regions (the column "regions" says so).

The reference colours are read from the chart colc draws
(colc target --chart 24-patch), so they are those colc calibrates against.

Usage: scripts/photo_check.py [--colc PATH] [--photos DIR] [--json]
Run it with /usr/bin/python3, which has OpenCV with cv2.ccm.
"""
import argparse
import json
import os
import subprocess
import sys
import tempfile
from pathlib import Path

import cv2
import numpy as np

REPO = Path(__file__).resolve().parent.parent
TRUTH = REPO / "tests" / "data" / "photos"


def photo_dir(given):
    """The folder of the photographs not kept in the repository, or None."""
    candidates = [given, os.environ.get("COLC_PHOTO_DIR"), REPO.parent / "shared" / "photos",
                  REPO.parent.parent / "shared" / "photos"]
    for c in candidates:
        if c and Path(c).is_dir():
            return Path(c)
    return None


def reference_colours(colc):
    """The 24 patch colours of the chart colc draws, row by row, sRGB 0..1."""
    with tempfile.TemporaryDirectory() as tmp:
        path = Path(tmp) / "chart.png"
        subprocess.run([colc, "target", str(path), "--chart", "24-patch", "--width", "1276"], check=True)
        rgb = cv2.cvtColor(cv2.imread(str(path)), cv2.COLOR_BGR2RGB)
    card = rgb[0, 0].astype(int)  # the card, around the patches
    mask = (np.abs(rgb.astype(int) - card).max(axis=2) > 4).astype(np.uint8)
    n, labels, stats, centres = cv2.connectedComponentsWithStats(mask, connectivity=4)
    patches = sorted(range(1, n), key=lambda k: -stats[k, cv2.CC_STAT_AREA])[:24]
    if len(patches) != 24:
        sys.exit("photo_check: the drawn chart does not show 24 patches")
    pitch = np.sqrt(np.median(stats[patches, cv2.CC_STAT_AREA]))
    ordered = sorted(patches, key=lambda k: (round(centres[k][1] / pitch), centres[k][0]))
    out = []
    for k in ordered:
        x, y, w, h = stats[k, :4]
        core = rgb[y + h // 4:y + 3 * h // 4, x + w // 4:x + 3 * w // 4]
        out.append(core.reshape(-1, 3).mean(axis=0) / 255.0)
    return np.array(out)


def colc_held_out(colc, photo):
    """colc's held-out error of its choice on the photo, or why it has none."""
    run = subprocess.run([colc, "fit", str(photo), "--reference", "chart:24-patch", "--find-target", "--json"],
                         capture_output=True, text=True)
    if run.returncode != 0:
        return {"colc": run.stderr.strip().splitlines()[-1] if run.stderr.strip() else f"exit {run.returncode}"}
    error = json.loads(run.stdout)["colourError"]
    held_out = error["heldOut"]
    chosen = held_out.get("chosen")
    figure = held_out.get(chosen) if chosen else None
    if figure is None:  # no choice made: the pel maps, measured on the regions they were fitted to
        figure, chosen = error["corrected"], "pelMaps (not held out)"
    return {"colc": chosen, "colc_regions": error["regions"], "colc_held_out_mean": round(figure["mean"], 2),
            "colc_held_out_max": round(figure["max"], 2)}


def photo_colours(image, truth):
    """The mean colour of the middle half of each patch, sRGB 0..1."""
    rgb = cv2.cvtColor(image, cv2.COLOR_BGR2RGB).astype(np.float64)
    h = np.array(truth["homography"], np.float64)
    out = []
    for i, (cx, cy) in enumerate(truth["centres"]):
        col, row = i % 6, i // 6
        # sample points over the patch's middle half, placed through the
        # homography and moved onto the measured centre
        u, v = np.meshgrid(np.linspace(col - 0.22, col + 0.22, 12), np.linspace(row - 0.22, row + 0.22, 12))
        pts = cv2.perspectiveTransform(np.stack([u.ravel(), v.ravel()], 1).reshape(-1, 1, 2), h).reshape(-1, 2)
        centre = cv2.perspectiveTransform(np.array([[[col, row]]], np.float64), h)[0, 0]
        pts += np.array([cx, cy]) - centre
        xs = np.clip(np.floor(pts[:, 0]).astype(int), 0, rgb.shape[1] - 1)
        ys = np.clip(np.floor(pts[:, 1]).astype(int), 0, rgb.shape[0] - 1)
        out.append(rgb[ys, xs].mean(axis=0) / 255.0)
    return np.array(out)


def srgb_to_lab(rgb):
    rgb = np.clip(rgb, 0, 1)
    lin = np.where(rgb <= 0.04045, rgb / 12.92, ((rgb + 0.055) / 1.055) ** 2.4)
    m = np.array([[0.4124564, 0.3575761, 0.1804375], [0.2126729, 0.7151522, 0.0721750],
                  [0.0193339, 0.1191920, 0.9503041]])
    xyz = lin @ m.T / np.array([0.95047, 1.0, 1.08883])
    f = np.where(xyz > (6 / 29) ** 3, np.cbrt(xyz), xyz / (3 * (6 / 29) ** 2) + 4 / 29)
    return np.stack([116 * f[:, 1] - 16, 500 * (f[:, 0] - f[:, 1]), 200 * (f[:, 1] - f[:, 2])], 1)


def ciede2000(lab1, lab2):
    l1, a1, b1 = lab1.T
    l2, a2, b2 = lab2.T
    c1, c2 = np.hypot(a1, b1), np.hypot(a2, b2)
    cm = (c1 + c2) / 2
    g = 0.5 * (1 - np.sqrt(cm ** 7 / (cm ** 7 + 25.0 ** 7)))
    a1p, a2p = (1 + g) * a1, (1 + g) * a2
    c1p, c2p = np.hypot(a1p, b1), np.hypot(a2p, b2)
    h1p = np.degrees(np.arctan2(b1, a1p)) % 360
    h2p = np.degrees(np.arctan2(b2, a2p)) % 360
    dlp, dcp = l2 - l1, c2p - c1p
    dhp = h2p - h1p
    dhp = np.where(dhp > 180, dhp - 360, np.where(dhp < -180, dhp + 360, dhp))
    dhp = np.where(c1p * c2p == 0, 0, dhp)
    dHp = 2 * np.sqrt(c1p * c2p) * np.sin(np.radians(dhp / 2))
    lpm, cpm = (l1 + l2) / 2, (c1p + c2p) / 2
    hsum = h1p + h2p
    hpm = np.where(c1p * c2p == 0, hsum,
                   np.where(np.abs(h1p - h2p) <= 180, hsum / 2, np.where(hsum < 360, (hsum + 360) / 2, (hsum - 360) / 2)))
    t = (1 - 0.17 * np.cos(np.radians(hpm - 30)) + 0.24 * np.cos(np.radians(2 * hpm)) +
         0.32 * np.cos(np.radians(3 * hpm + 6)) - 0.20 * np.cos(np.radians(4 * hpm - 63)))
    sl = 1 + 0.015 * (lpm - 50) ** 2 / np.sqrt(20 + (lpm - 50) ** 2)
    sc, sh = 1 + 0.045 * cpm, 1 + 0.015 * cpm * t
    rt = (-2 * np.sqrt(cpm ** 7 / (cpm ** 7 + 25.0 ** 7)) *
          np.sin(np.radians(60 * np.exp(-(((hpm - 275) / 25) ** 2)))))
    return np.sqrt((dlp / sl) ** 2 + (dcp / sc) ** 2 + (dHp / sh) ** 2 + rt * (dcp / sc) * (dHp / sh))


def ccm_leave_one_out(src, dst):
    """Each patch corrected by OpenCV's 4 x 3 model fitted to the other 23."""
    out = np.zeros_like(src)
    for i in range(len(src)):
        keep = np.arange(len(src)) != i
        model = cv2.ccm_ColorCorrectionModel(src[keep].reshape(-1, 1, 3), dst[keep].reshape(-1, 1, 3),
                                             cv2.ccm.COLOR_SPACE_sRGB)
        model.setCCM_TYPE(cv2.ccm.CCM_4x3)
        model.setLinear(cv2.ccm.LINEARIZATION_GAMMA)
        model.setLinearGamma(2.2)
        model.run()
        out[i] = model.infer(src[i].reshape(1, 1, 3)).reshape(3)
    return out


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--colc", default=str(REPO / "build" / "apps" / "colc" / "colc"), help="the colc program")
    parser.add_argument("--photos", help="the folder of photographs")
    parser.add_argument("--json", action="store_true", help="print one JSON object per photo instead of a table")
    args = parser.parse_args()

    folder = photo_dir(args.photos)
    reference = reference_colours(args.colc)
    ref_lab = srgb_to_lab(reference)
    rows = []
    for path in sorted(TRUTH.glob("*.json")):
        truth = json.loads(path.read_text())
        kept = TRUTH / truth["image"]
        file = kept if kept.exists() else (folder / truth["image"] if folder else None)
        image = cv2.imread(str(file)) if file else None
        if image is None:
            print(f"photo_check: {truth['image']} is not at hand (give --photos DIR)", file=sys.stderr)
            continue
        src = photo_colours(image, truth)
        as_is = ciede2000(srgb_to_lab(src), ref_lab)
        ccm = ciede2000(srgb_to_lab(ccm_leave_one_out(src, reference)), ref_lab)
        rows.append({"photo": truth["image"], "camera": truth["camera"], "as_is_mean": round(float(as_is.mean()), 2),
                     "as_is_max": round(float(as_is.max()), 2), "ccm4x3_loo_mean": round(float(ccm.mean()), 2),
                     "ccm4x3_loo_max": round(float(ccm.max()), 2),
                     **colc_held_out(args.colc, file)})
    if args.json:
        for row in rows:
            print(json.dumps(row))
        return
    print(f"{'photo':24} {'as is':>13} {'cv2.ccm 4x3 LOO':>17} {'colc held out':>17}")
    print(f"{'':24} {'mean':>6} {'max':>6} {'mean':>8} {'max':>8} {'mean':>8} {'max':>8}  regions  chosen")
    for row in rows:
        line = (f"{row['photo']:24} {row['as_is_mean']:6.2f} {row['as_is_max']:6.2f} "
                f"{row['ccm4x3_loo_mean']:8.2f} {row['ccm4x3_loo_max']:8.2f} ")
        if "colc_held_out_mean" in row:
            line += (f"{row['colc_held_out_mean']:8.2f} {row['colc_held_out_max']:8.2f}  "
                     f"{row['colc_regions']:7d}  {row['colc']}")
        else:
            line += f"{'-':>8} {'-':>8}  {'':7}  {row['colc']}"
        print(line)


if __name__ == "__main__":
    main()
