#!/usr/bin/env bash
# Cross-builds the 64-bit Windows VST3 module with MinGW-w64, its archive, and the programs
# that check it under Wine (run them with ctest in the build tree).
# Usage: scripts/build-windows.sh [build-dir]        (default: build-win)
# The Wine checks that compare with the Linux module use the Linux build in build/ unless
# PELORVANE_LINUX_BUILD_DIR names another.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(realpath -m "${1:-$root/build-win}")"

export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
jobs="$(nproc)"

# Static libpng and libjpeg-turbo for MinGW, built once and kept in the build tree.
bash "$root/scripts/prepare-mingw-libs.sh" "$build/deps"

cmake -S "$root" -B "$build" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DPELORVANE_MINGW_DEPS="$build/deps" \
  -DPELORVANE_LINUX_BUILD_DIR="$(realpath -m "${PELORVANE_LINUX_BUILD_DIR:-$root/build}")" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$jobs"
