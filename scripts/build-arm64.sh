#!/usr/bin/env bash
# Cross-builds Pelorvane for 64-bit ARM Linux (aarch64) into build-arm64/: the VST3 bundle
# (Contents/aarch64-linux/), the LV2 bundle, the Standalone app, the renderer, their archives and
# packages, and the programs that check them under qemu (run those with ctest in the build tree).
# Usage: scripts/build-arm64.sh [build-dir]        (default: build-arm64)
# It takes from the x86-64 build in build/ (or PELORVANE_LINUX_BUILD_DIR) the files that are the
# same on every platform (the VST3 presets, the LV2 bundle's data, written by that build's
# programs) and the outputs the qemu checks compare with.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(realpath -m "${1:-$root/build-arm64}")"

export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
jobs="$(nproc)"

# What is built, one target a line: only what ships and what the checks run, so that the
# cross-build stays lean (no benchmarks).
targets=(
  Pelorvane_VST3
  Pelorvane_LV2
  Pelorvane_LV2UI
  Pelorvane_Standalone
  pelorvane-render
  PelorvaneArm64Checks
  PelorvanePackage
  PelorvaneDebPackage
)

linux_build="$(realpath -m "${PELORVANE_LINUX_BUILD_DIR:-$root/build}")"
cmake -S "$root" -B "$build" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/aarch64-linux-gnu.cmake" \
  -DPELORVANE_LINUX_BUILD_DIR="$linux_build" \
  -DPELORVANE_LV2_DATA_WRITER="$linux_build/pelorvane-write-lv2-bundle" \
  -DPELORVANE_BUILD_TESTS=OFF -DPELORVANE_BUILD_BENCHMARKS=OFF \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
# One target at a time: make, given several, builds their shared dependencies in parallel with
# themselves, and two links of one module overwrite each other.
for target in "${targets[@]}"; do
  cmake --build "$build" -j"$jobs" --target "$target"
done
