#!/usr/bin/env bash
# Runs the same raw host on the Linux x86-64 module and on another build's module: the Windows
# one under Wine, or the 64-bit ARM one under qemu.
#
#   cross-platform-check.sh audio|state WORK_DIR LINUX_HOST LINUX_MODULE OTHER_HOST OTHER_MODULE
#
# audio: both render the fixed input with its parameter moves at 44.1 and 48 kHz, every Tone
#        position at 48 kHz and a spread of them at 44.1 kHz; the outputs must be the same bytes.
# state: a state saved by either module restores in the other.
# The other side runs as PELORVANE_OTHER_RUNNER PROGRAM ... (default: Wine, whose prefix and
# command come from WINEPREFIX and PELORVANE_WINE), and sees the work folder under the prefix
# PELORVANE_OTHER_PATH_PREFIX (default Z:, Wine's drive for /).
set -euo pipefail

mode=$1 work=$2 linux_host=$3 linux_module=$4 other_host=$5 other_module=$6
read -r -a runner <<< "${PELORVANE_OTHER_RUNNER:-${PELORVANE_WINE:-wine}}"
prefix=${PELORVANE_OTHER_PATH_PREFIX-Z:}

for f in "$linux_host" "${linux_module}"; do
  if [ ! -e "$f" ]; then
    echo "missing $f: build the Linux side first (scripts/build.sh)" >&2
    exit 1
  fi
done

mkdir -p "$work"
export WINEDEBUG=-all

linux() { "$linux_host" "$@"; }
other() { "${runner[@]}" "$other_host" "$@" 2> >(grep -v -e wine32 -e multiarch -e 'apt-get install' >&2); }

# Both outputs must be the same bytes; compare reports where they part if they do not.
same() {
  linux compare "$work/linux-$1.f32" "$work/other-$1.f32" 0
  cmp "$work/linux-$1.f32" "$work/other-$1.f32"
  echo "$1: identical"
}

case "$mode" in
  audio)
    for rate in 44100 48000; do
      linux render "$linux_module" "$rate" "$work/linux-$rate.f32"
      other render "$other_module" "$rate" "$prefix$work/other-$rate.f32"
      same "$rate"
    done
    every=$(seq 0 100)
    spread="$(seq 0 7 100) 46 69 78 97 100"
    linux tones "$linux_module" 48000 "$work/linux-tones-48000.f32" $every
    other tones "$other_module" 48000 "$prefix$work/other-tones-48000.f32" $every
    same tones-48000
    linux tones "$linux_module" 44100 "$work/linux-tones-44100.f32" $spread
    other tones "$other_module" 44100 "$prefix$work/other-tones-44100.f32" $spread
    same tones-44100
    ;;
  state)
    linux save-state "$linux_module" "$work/linux.state"
    other save-state "$other_module" "$prefix$work/other.state"
    echo "The other build's state restored in the Linux module:"
    linux restore "$linux_module" "$work/other.state"
    echo "Linux state restored in the other build's module:"
    other restore "$other_module" "$prefix$work/linux.state"
    ;;
  *)
    echo "unknown mode $mode" >&2
    exit 2
    ;;
esac
