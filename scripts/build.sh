#!/usr/bin/env bash
# Configures and builds the plug-in (VST3 + Standalone), the renderer, their archives, and by
# default the tests and the benchmarks.
# Usage: scripts/build.sh [build-dir] [--product]
#   --product  leave out the tests and the benchmarks (what the main job needs)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
checks=ON
[ "${2:-}" = "--product" ] && checks=OFF

export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
jobs="$(nproc)"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
  -DPELORVANE_BUILD_TESTS="$checks" -DPELORVANE_BUILD_BENCHMARKS="$checks" >/dev/null
cmake --build "$build" -j"$jobs"
