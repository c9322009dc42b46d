#!/usr/bin/env bash
# The arm64 renderer under qemu against the x86-64 one: the same files, byte for byte.
#
#   renderer-check.sh WORK_DIR X86_RENDERER "QEMU COMMAND" ARM64_RENDERER
set -euo pipefail
work=$1 x86=$2 arm64=$4
read -r -a qemu <<< "$3"
mkdir -p "$work"

# The demo phrase with the defaults as 24-bit WAV, a bright long tail as floats, and that tail
# taken from the x86 rendering at 44.1 kHz through a dark shimmer, so that a second rate and an
# input file are covered.
settings=("" "--space 7 --lumens 8 --tone 6 --mix 40 --float" "--space 9 --lumens 10 --tone 2.3 --mix 70")
for i in 0 1 2; do
  read -r -a options <<< "${settings[$i]}"
  input=()
  if [ "$i" = 2 ]; then
    "$x86" -o "$work/input-48k.wav" --space 3 --tone 9.6 --tail 2 >/dev/null
    # 44.1 kHz by relabelling the header: the samples stay, the rate changes.
    python3 -c 'import struct,sys; p=sys.argv[1]; b=bytearray(open(p,"rb").read()); i=b.find(b"fmt "); b[i+12:i+16]=struct.pack("<I",44100); b[i+16:i+20]=struct.pack("<I",44100*struct.unpack("<H",b[i+20:i+22])[0]); open(sys.argv[2],"wb").write(b)' "$work/input-48k.wav" "$work/input-44k.wav"
    input=("$work/input-44k.wav")
  fi
  "$x86" "${input[@]}" -o "$work/x86-$i.wav" "${options[@]}" --tail 8 >/dev/null
  "${qemu[@]}" "$arm64" "${input[@]}" -o "$work/arm64-$i.wav" "${options[@]}" --tail 8 >/dev/null
  cmp "$work/x86-$i.wav" "$work/arm64-$i.wav"
  echo "rendering $i (${settings[$i]:-defaults}): identical, $(stat -c %s "$work/x86-$i.wav") bytes"
done
