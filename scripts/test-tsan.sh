#!/usr/bin/env bash
# Builds the VST3 module, the framework included, and the concurrent host of tests/vst3 with
# ThreadSanitizer in a tree of its own, and runs the host with and without lending the plug-in a
# run loop. A report with a frame in this project's code fails the run, and so does a report in
# the framework that tests/sanitizers/tsan.supp does not list (with its reason).
# Usage: scripts/test-tsan.sh [build-dir]        (default: build-tsan)
#   PELORVANE_TSAN_SECONDS  how long each of the two runs lasts, in seconds (default 10)
# Logs: <build-dir>/tsan-logs/<run>.out (the host's output) and <run>.log (ThreadSanitizer's).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(realpath -m "${1:-$root/build-tsan}")"
seconds="${PELORVANE_TSAN_SECONDS:-10}"
suppressions="$root/tests/sanitizers/tsan.supp"

export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
jobs="$(nproc)"

# Only the module and the host it runs in: ThreadSanitizer needs the framework rebuilt, and
# nothing else here would be run. RelWithDebInfo: see PELORVANE_TSAN in CMakeLists.txt.
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPELORVANE_TSAN=ON -DPELORVANE_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j"$jobs" --target Pelorvane_VST3 PelorvaneConcurrentHost

# module= and host=, the built files (written by tests/CMakeLists.txt).
# shellcheck source=/dev/null
source "$build/tsan-targets.sh"

logs="$build/tsan-logs"
rm -rf "$logs"
mkdir -p "$logs"

# history_size: more of each thread's past kept, so that both sides of a race keep their stacks.
export TSAN_OPTIONS="halt_on_error=0 exitcode=66 history_size=4 second_deadlock_stack=1"

# ThreadSanitizer wants its fixed address layout; kernels that randomise mappings more than it
# expects make it stop at once ("FATAL: ThreadSanitizer: unexpected memory mapping"). Then the
# runs go without address randomisation.
launcher=()
"$host" >/dev/null 2>"$logs/probe.log" || true
if grep -q "FATAL: ThreadSanitizer" "$logs/probe.log"; then
  echo "ThreadSanitizer cannot map its memory here; running without address randomisation (setarch -R)"
  launcher=(setarch "$(uname -m)" -R)
fi

# run_host OUTPUT LOG OPTIONS...: the host under a private virtual display (the window needs one,
# and it keeps off the user's screen), its output in OUTPUT and ThreadSanitizer's in LOG; sets
# status.
run_host() {
  local output=$1 log=$2
  shift 2
  status=0
  xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" \
    "${launcher[@]}" "$host" "$module" "$@" >"$output" 2>"$log" || status=$?
}

failed=0
for run in no-run-loop run-loop; do
  options=(--seconds "$seconds")
  [ "$run" = run-loop ] && options+=(--run-loop)
  output="$logs/$run.out"
  log="$logs/$run.log"

  echo "== ThreadSanitizer: the concurrent host $run, $seconds s"
  run_host "$output" "$log" "${options[@]}"

  if grep -q "FATAL: ThreadSanitizer" "$log"; then
    grep "FATAL: ThreadSanitizer" "$log"
    failed=1
    continue
  fi

  # The host's own summary and checks.
  grep -e "^  [a-z]" -e "^  FAILED" -e "passed, .* failed$" "$output" || true

  # 66: ThreadSanitizer reported something, which the check below judges; anything else but 0
  # is the host's own failure (or a crash).
  if [ "$status" -ne 0 ] && [ "$status" -ne 66 ]; then
    echo "the concurrent host failed ($run, exit status $status); see $output and $log"
    failed=1
  fi

  bash "$root/tests/sanitizers/check-tsan-reports.sh" "$log" "$suppressions" "$run" || failed=1
done

exit "$failed"
