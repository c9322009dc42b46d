#!/usr/bin/env bash
# Runs the same raw host on the Linux module and, under Wine, on the Windows module.
#
#   cross-platform-check.sh audio|state WORK_DIR LINUX_HOST LINUX_MODULE WINDOWS_HOST WINDOWS_MODULE
#
# audio: both render the fixed input at 44.1 and 48 kHz; the outputs must agree to within
#        float rounding.
# state: a state saved by either module restores in the other.
# Wine's prefix and command come from WINEPREFIX and PELORVANE_WINE.
set -euo pipefail

mode=$1 work=$2 linux_host=$3 linux_module=$4 windows_host=$5 windows_module=$6
# The two builds' maths libraries may round a coefficient differently in the last bit; the
# network carries that along but must not grow it beyond float rounding.
allowed_difference=${PELORVANE_ALLOWED_DIFFERENCE:-1e-5}

for f in "$linux_host" "${linux_module}"; do
  if [ ! -e "$f" ]; then
    echo "missing $f: build the Linux side first (scripts/build.sh)" >&2
    exit 1
  fi
done

mkdir -p "$work"
export WINEDEBUG=-all

linux() { "$linux_host" "$@"; }
windows() { "${PELORVANE_WINE:-wine}" "$windows_host" "$@" 2> >(grep -v -e wine32 -e multiarch -e 'apt-get install' >&2); }

case "$mode" in
  audio)
    for rate in 44100 48000; do
      linux render "$linux_module" "$rate" "$work/linux-$rate.f32"
      windows render "$windows_module" "$rate" "Z:$work/windows-$rate.f32"
      linux compare "$work/linux-$rate.f32" "$work/windows-$rate.f32" "$allowed_difference"
    done
    ;;
  state)
    linux save-state "$linux_module" "$work/linux.state"
    windows save-state "$windows_module" "Z:$work/windows.state"
    echo "Windows state restored in the Linux module:"
    linux restore "$linux_module" "$work/windows.state"
    echo "Linux state restored in the Windows module:"
    windows restore "$windows_module" "Z:$work/linux.state"
    ;;
  *)
    echo "unknown mode $mode" >&2
    exit 2
    ;;
esac
