#!/usr/bin/env bash
# Checks a build's shipped module against its symbol archive, and symbolizes crash logs made up
# from those symbols: a frame given as an offset into the module and one given relative to an
# exported symbol must resolve to a function and a source line, the log's own lines must come
# through unchanged, and a log of another build or without a build line must resolve nothing.
# Then a host faults inside the module for real: its log must hold frames of the module, and
# one of them must resolve to a function with a source line.
#
#   symbolize-crash-log-check.sh SYMBOLS_ARCHIVE MODULE WORK_DIR LOG_ROOT [HOST_COMMAND...]
#
# HOST_COMMAND makes the module fault (the raw host's fault-in-module, under Wine for the
# Windows module); it runs with APPDATA set to WORK_DIR/appdata, and its log is looked for
# under LOG_ROOT (Wine keeps its own APPDATA inside its prefix). Without it only the made-up
# logs are checked.
set -euo pipefail

archive=$1 module=$2 work=$3 log_root=$4
shift 4
symbolize="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/scripts/symbolize-crash-log.sh"
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"

lacks() { ! grep -qE "$1" "$2"; }

rm -rf "$work" && mkdir -p "$work/unpacked"
case "$archive" in
  *.zip) unzip -q "$archive" -d "$work/unpacked" ;;
  *) tar -xzf "$archive" -C "$work/unpacked" ;;
esac
info=$(find "$work/unpacked" -name build-info.txt)
value() { sed -n "s/^$1=//p" "$info"; }
id=$(value build-id) version=$(value version)
debug="$(dirname "$info")/$(value debug-file)"

tools=
[ "$(value platform)" = win64 ] && tools=x86_64-w64-mingw32-
[ "$(value platform)" = linux-aarch64 ] && tools=aarch64-linux-gnu-

# objdump shows the CodeView signature as a GUID; its first three fields are stored swapped.
if [ "$(value platform)" = win64 ]; then
  guid=$("${tools}objdump" -p "$module" | sed -n 's/.*format RSDS signature \([0-9a-f]*\) .*/\1/p')
  carried=${guid:6:2}${guid:4:2}${guid:2:2}${guid:0:2}${guid:10:2}${guid:8:2}${guid:14:2}${guid:12:2}${guid:16}
  check "the record names the module's 16-byte identifier" test "${#id}" -eq 32
else
  carried=$(readelf -n "$module" | sed -n 's/^ *Build ID: //p')
  check "the record names the module's sha1 identifier" test "${#id}" -eq 40
fi
check "the module carries the identifier its symbols record ($id)" test "$carried" = "$id"
"${tools}objdump" -h "$module" >"$work/sections"
check "the module ships without debug information" lacks '\.debug_info' "$work/sections"
check "the module links to its symbol file" grep -q '\.gnu_debuglink' "$work/sections"

# The module's entry point, which a made-up frame names.
case "$module" in
  *) entry=GetPluginFactory entry_source='PelorvanePluginFactory\.cpp' linux_path=/home/u/.vst3/Pelorvane.vst3/Contents/x86_64-linux/Pelorvane.so ;;
esac

address_of() { "${tools}nm" -C "$debug" | awk -v name="$1" '{ n = $0; sub(/^[^ ]+ [^ ]+ /, "", n); if (n == name) print $1 }'; }
function=$((16#$(address_of "PelorvaneAudioProcessor::processBlock(juce::AudioBuffer<float>&, juce::MidiBuffer&)")))

if [ "$(value platform)" = win64 ]; then
  image_base=$((16#$("${tools}objdump" -p "$debug" | awk '$1 == "ImageBase" { print $2 }')))
  printf '%s\r\n' "Exception 0xc0000005" "------" "3: kernel32.dll + 0x1d3f0" \
    "$(printf '11: Pelorvane.vst3 + 0x%x' $((function - image_base)))" \
    "12: Pelorvane: GetPluginFactory + 0x0" "13: ntdll: RtlUserThreadStart + 0x21" >"$work/crash.log"
else
  printf '%s\r\n' "Signal 11 (SIGSEGV)" "------" "/lib/x86_64-linux-gnu/libc.so.6(+0x3c050) [0x7f3a2a83c050]" \
    "$(printf '%s(+0x%x)[0x7f3a2b10ccad]' "$linux_path" "$function")" \
    "$linux_path($entry+0x0) [0x7f3a2b0efa2a]" >"$work/crash.log"
fi
printf 'Pelorvane %s build %s\r\n' "$version" "$id" >>"$work/crash.log"

symbolize() { bash "$symbolize" "$work/$1.log" "$archive" >"$work/$1.out"; }
refused() { ! symbolize "$1"; }

check "the log is symbolized" symbolize crash
cat "$work/crash.out"
check "the frame at an offset names the function and its line" \
  grep -qE '^    PelorvaneAudioProcessor::processBlock\(.*\) at .*PluginProcessor\.cpp:[0-9]+' "$work/crash.out"
check "the frame at a symbol names the function and its line" \
  grep -qE "^    $entry at .*$entry_source:[0-9]+" "$work/crash.out"
check "the log's lines come through unchanged, CR LF and all" \
  cmp -s "$work/crash.log" <(grep -v '^    ' "$work/crash.out")
check "added lines end with CR LF as the log's do" lacks $'[^\r]$|^$' "$work/crash.out"

# The last hex digit changed: another build's log.
sed '$ s/.\r$/'"$([ "${id: -1}" = 0 ] && echo 1 || echo 0)"'\r/' "$work/crash.log" >"$work/other-build.log"
head -n -1 "$work/crash.log" >"$work/no-build-line.log"
for log in other-build no-build-line; do
  check "$log: refused" refused "$log"
  check "$log: nothing resolved" lacks ' at ' "$work/$log.out"
done

if [ $# -eq 0 ]; then
  checks_done
  exit
fi

# A real fault inside the module.
new_log() { find "$log_root" -path '*/Crash Logs/*.txt' -newer "$work/before-fault" 2>/dev/null | head -n 1; }
touch "$work/before-fault"
sleep 1
(APPDATA="$work/appdata" "$@" >"$work/host.out" 2>&1) || true
real_log=$(new_log)
check "the faulting host left a crash log" test -n "$real_log"
if [ -n "$real_log" ]; then
  cp "$real_log" "$work/real.log"
  cat "$work/real.log"
  check "the log holds frames of the module" grep -qE 'Pelorvane\.so\(|Pelorvane\.vst3 \+ 0x|: Pelorvane: ' "$work/real.log"
  check "the real log is symbolized" symbolize real
  cat "$work/real.out"
  check "a frame of the module resolves to a function and a source line" \
    grep -qE '^    [^ ].* at .*\.(cpp|h):[0-9]+' "$work/real.out"
fi

checks_done
