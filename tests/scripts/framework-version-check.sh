#!/usr/bin/env bash
# Configures the project against a framework package of another version: CMake must stop, naming
# the version the project is written against.
#
#   framework-version-check.sh SOURCE_DIR WORK_DIR
set -euo pipefail

source_dir=$1
work=$2
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"

rm -rf "$work" && mkdir -p "$work/juce"
touch "$work/juce/JUCEConfig.cmake"
cat >"$work/juce/JUCEConfigVersion.cmake" <<'VERSION'
set(PACKAGE_VERSION "7.0.8")
set(PACKAGE_VERSION_COMPATIBLE TRUE)
VERSION

status=0
cmake -S "$source_dir" -B "$work/build" -DJUCE_DIR="$work/juce" \
  -DPELORVANE_BUILD_TESTS=OFF -DPELORVANE_BUILD_BENCHMARKS=OFF >"$work/log" 2>&1 || status=$?

# CMake wraps its messages.
says() { tr -s ' \n' '  ' <"$work/log" | grep -q "$1"; }

check "configuring against JUCE 7.0.8 fails" test "$status" -ne 0
check "the message names the JUCE version required" says "written against JUCE 7.0.5"
check "and the version found" says "found JUCE 7.0.8"
checks_done
