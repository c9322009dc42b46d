#!/usr/bin/env bash
# Builds the Linux side with AddressSanitizer and UndefinedBehaviorSanitizer in a tree of its
# own and runs its tests there; any sanitizer report fails the run.
# Usage: scripts/test-sanitize.sh [build-dir]        (default: build-sanitize)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(realpath -m "${1:-$root/build-sanitize}")"

export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
jobs="$(nproc)"

# The build runs the test programs too (to list their tests), so the options hold from here.
# check_initialization_order: static constructors that read other files' globals too early.
# Leaks are checked at every exit; none is suppressed. UBSan's checks are built recoverable
# (see CMakeLists.txt), so halt_on_error is what makes its reports fatal.
export ASAN_OPTIONS="check_initialization_order=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$root/tests/sanitizers/ubsan.supp"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
  -DPELORVANE_SANITIZE=ON -DPELORVANE_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j"$jobs"

# Editor tests need a display; a private virtual one keeps them off the user's screen.
# -noreset: a server that resets whenever its last client leaves refuses the next one for a
# moment and forgets its atoms, which parallel test processes would otherwise race on.
cd "$build"
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" ctest --output-on-failure --timeout 600 -j"$jobs"
