#!/usr/bin/env bash
# Installs the build tree into a temporary prefix, then builds and runs the
# example consumer against it twice: through the CMake package and through
# pkg-config. Both programs must run and print the same line.
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

cmake -S "$source_dir/examples/consumer" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$prefix" >"$work/cmake.log"
cmake --build "$work/cmake" >>"$work/cmake.log"
from_cmake=$("$work/cmake/colc_consumer")

pc_dir=$(dirname "$(find "$prefix" -name colc.pc)")
PKG_CONFIG_PATH=$pc_dir make -s -C "$source_dir/examples/consumer" BUILD="$work/pkg-config"
from_pkg_config=$("$work/pkg-config/colc_consumer")

echo "cmake package: $from_cmake"
echo "pkg-config:    $from_pkg_config"
[[ "$from_cmake" == "$from_pkg_config" && "$from_cmake" == *", equal" ]]
