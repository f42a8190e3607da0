#!/usr/bin/env bash
# Installs what colc needs to build and test, from Debian's packages.
# Safe to run again: it installs only what is missing.
# With --fuzz it also installs the compiler and runtime that only the fuzz
# build (scripts/fuzz.sh) needs: clang and libFuzzer.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libopencv-core-dev libopencv-imgproc-dev libopencv-imgcodecs-dev libopencv-video-dev
  libcli11-dev nlohmann-json3-dev
  zlib1g-dev  # the checksum of archive files
  liblcms2-dev  # colour differences (CIELAB, CIEDE2000) of colc calibrate and colc_sweep
  chromium  # the report test opens colc's HTML report in it
  ffmpeg  # the export test reads colc export --cube tables with its lut3d filter
  # GenICam cameras; pkg-config's aravis-0.8 needs libusb's development files.
  # The camera tests bring loopback up in a network namespace with ip.
  libaravis-dev libusb-1.0-0-dev iproute2
  # The Python module (import colc), its tests and its example, which reads images with cv2.
  pybind11-dev python3-dev python3-numpy python3-pytest python3-opencv
)
if [[ "${1:-}" == "--fuzz" ]]; then
  packages+=(clang-14 libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
