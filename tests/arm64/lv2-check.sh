#!/usr/bin/env bash
# The arm64 LV2 bundle as a pedalboard's system meets it: the binaries export their descriptors
# alone, the DSP binary needs nothing beyond the C library and libm, and asks for no C-library symbol version
# newer than 2.27; Debian's arm64 lv2apply runs it under qemu and its output equals the x86-64
# renderer's, sample for sample, with the knobs set by symbol and switched off (enabled 0).
#
#   lv2-check.sh WORK_DIR BUNDLE "QEMU COMMAND" ARM64_LV2APPLY X86_RENDERER X86_LV2_CHECK_TOOL
set -euo pipefail
work=$1 bundle=$2 lv2apply=$4 renderer=$5 tool=$6
read -r -a qemu <<< "$3"
uri=https://www.example.com/plugins/pelorvane/lv2
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/checks.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../lv2/lv2-binary-checks.sh"

[ -x "$lv2apply" ] || { echo "FAILED: $lv2apply is missing (scripts/install-deps.sh unpacks it)"; exit 1; }
rm -rf "$work" && mkdir -p "$work/lv2"
ln -s "$bundle" "$work/lv2/Pelorvane.lv2"

check_lv2_binaries "$bundle" "$work" aarch64-linux-gnu-
aarch64-linux-gnu-objdump -T "$bundle/Pelorvane.so" | grep -oE 'GLIBC_[0-9.]+' | sort -uV >"$work/versions.txt"
echo "C-library versions asked for: $(tr '\n' ' ' <"$work/versions.txt")"
check "no C-library symbol version newer than 2.27" \
  test "$(printf '%s\n' GLIBC_2.27 $(cat "$work/versions.txt") | sort -V | tail -1)" = GLIBC_2.27

"$tool" signal "$work/signal.wav" 48000 6 2
export LV2_PATH="$work/lv2"
# compare NAME LV2APPLY_CONTROLS -- RENDER_OPTIONS
compare() {
  local name=$1 controls=() options=()
  shift
  while [ "$1" != -- ]; do controls+=("$1"); shift; done
  shift
  options=("$@")
  "${qemu[@]}" "$lv2apply" -i "$work/signal.wav" -o "$work/$name-arm64.wav" "${controls[@]}" "$uri" >"$work/$name.log" 2>&1
  "$renderer" "$work/signal.wav" -o "$work/$name-x86.wav" --float --tail 0.1 "${options[@]}" >>"$work/$name.log" 2>&1
  check "arm64 lv2apply ($name) equals the x86-64 renderer, sample for sample" \
    "$tool" compare "$work/$name-arm64.wav" "$work/$name-x86.wav"
}
compare knobs -c space 7 -c lumens 8 -c tone 6 -c mix 40 -- --space 7 --lumens 8 --tone 6 --mix 40
compare bypassed -c space 7 -c enabled 0 -- --space 7 --bypass
checks_done
