#!/usr/bin/env python3
"""Calibrates the simulated camera against the built-in target, stores the
result and corrects an image read with OpenCV through its pel maps.

    python3 calibrate_simulated_camera.py [IMAGE] [--folder DIR]

Without IMAGE it corrects an image that the camera takes at the calibrated
settings, written to DIR/camera.png and read back as any image would be.
It writes DIR/result.colc (for colc show and colc apply) and
DIR/corrected.png.
"""

import argparse
import os
import sys

import cv2

import colc


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("image", nargs="?", help="the image to correct (default: one the camera takes)")
    parser.add_argument("--folder", default=".", help="where to write the result and the images")
    parser.add_argument("--camera", default="sim:width=640,height=480", help="the camera, as colc calibrate takes it")
    parser.add_argument("--exposure-only", action="store_true",
                        help="search the exposure alone: seconds instead of about half a minute")
    args = parser.parse_args()

    # colc's images are NumPy arrays in cv2's channel order (BGR) unless
    # told channel_order="rgb". The camera sees the chart at its own size.
    chart = colc.target(width=384)
    with colc.open_camera(args.camera, scene=chart) as camera:
        return calibrate_and_correct(camera, chart, args)


def calibrate_and_correct(camera, chart, args):
    def progress(acquisitions, settings):
        print(f"\rcalibrating: {acquisitions} acquisitions, exposure {settings.exposure:.6f} s",
              end="", file=sys.stderr)

    try:
        calibration = colc.calibrate(camera, chart, contrast=not args.exposure_only,
                                     brightness=not args.exposure_only, progress=progress)
    except colc.DidNotHelpError as failure:
        print(file=sys.stderr)
        print(failure.calibration)
        return 1
    print(file=sys.stderr)
    print(calibration)
    result = calibration.result
    result.save(os.path.join(args.folder, "result.colc"))

    # The camera is back as it was found; the result's settings go with its pel maps.
    path = args.image
    if path is None:
        path = os.path.join(args.folder, "camera.png")
        camera.configure(result)
        cv2.imwrite(path, camera.acquire())
    image = cv2.imread(path)
    if image is None:
        print(f"cannot read the image {path}", file=sys.stderr)
        return 1
    cv2.imwrite(os.path.join(args.folder, "corrected.png"), result.apply(image))
    print(f"The corrected image is {os.path.join(args.folder, 'corrected.png')}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
