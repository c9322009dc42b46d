#!/usr/bin/env bash
# Configures and builds the plug-in (VST3 + Standalone), the tests and the benchmarks.
# Usage: scripts/build.sh [build-dir]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"

export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
jobs="$(nproc)"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$jobs"
