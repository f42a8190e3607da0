#!/usr/bin/env bash
# Installs the build tree into a temporary prefix, then builds and runs the
# example consumer against it: through the CMake package (as C++17 and as
# C++20) and through pkg-config. Both programs must run and print the same
# line, and the README's example must correct as colc apply does.
set -euo pipefail
source_dir=$1
binary_dir=$2

work=$(mktemp -d "${TMPDIR:-/tmp}/colc-consumer.XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$binary_dir" --prefix "$prefix" >"$work/install.log"
# Only the public headers are installed: no internal ones, no literal forms.
if find "$prefix" -path '*/internal/*' -o -path '*/literal/*' | grep .; then
  echo "internal headers were installed" >&2
  exit 1
fi

# The package asks its consumers for no more than C++17.
if grep -rq cxx_std_20 "$prefix"/lib*/cmake/colc; then
  echo "the CMake package asks for C++20" >&2
  exit 1
fi

# The consumer, as C++17 and as C++20; the README's example calibrates the
# simulated camera and corrects an image to exactly the pels of colc apply.
for standard in 17 20; do
  build=$work/cmake-$standard
  cmake -S "$source_dir/examples/consumer" -B "$build" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_CXX_STANDARD=$standard -DCMAKE_CXX_STANDARD_REQUIRED=ON -DCMAKE_CXX_EXTENSIONS=OFF >"$work/cmake.log"
  cmake --build "$build" >>"$work/cmake.log"
  (cd "$build" && ./colc_calibrate_camera)
  "$binary_dir/apps/colc/colc" apply "$build/result.colc" "$build/camera.png" "$build/by-colc-apply.png"
  cmp "$build/corrected.png" "$build/by-colc-apply.png"
done
# The README shows the example whole.
python3 - "$source_dir/README.md" "$source_dir/examples/consumer/calibrate_camera.cpp" <<'PY'
import sys
if open(sys.argv[2]).read() not in open(sys.argv[1]).read():
    sys.exit("README.md does not show examples/consumer/calibrate_camera.cpp as it is")
PY
from_cmake=$("$work/cmake-17/colc_consumer")

pc_dir=$(dirname "$(find "$prefix" -name colc.pc)")
PKG_CONFIG_PATH=$pc_dir make -s -C "$source_dir/examples/consumer" BUILD="$work/pkg-config"
from_pkg_config=$("$work/pkg-config/colc_consumer")

echo "cmake package: $from_cmake"
echo "pkg-config:    $from_pkg_config"
[[ "$from_cmake" == "$from_pkg_config" && "$from_cmake" == *", equal" ]]
