#!/usr/bin/env bash
# The Windows module's editor in a real window under Wine, as Wine-based plug-in bridges show it:
# a click on the footswitch and a drag on the Space knob must show in the window as grabbed from
# the X server afterwards, not only reach the parameters.
#
#   editor-under-wine-check.sh WORK RAW_HOST MODULE
#
# RAW_HOST is the Windows build of PelorvaneRawHost, whose editor-window command shows the editor
# (tests/vst3/EditorWindow.h); MODULE is the module as Wine names it. Needs an X display (scripts/test.sh runs ctest under
# xvfb-run), ImageMagick's import, convert and compare, and xdotool. Wine and its prefix come from
# PELORVANE_WINE and WINEPREFIX. The grabs are left in WORK: before.png, after-click.png,
# after-drag.png.
set -euo pipefail

if [ $# -ne 3 ]; then
  sed -n '2,/^set -euo/p' "$0" | sed '$d' >&2
  exit 2
fi

work=$1 raw_host=$2 module=$3
wine=${PELORVANE_WINE:-wine}
export WINEDEBUG=-all

# Where the editor draws what (PluginEditor.h), in the window's own pixels.
footswitch=(180 180 225 441)   # width height x y
lamp=(50 50 375 504)
space_knob=(90 90 196 139)

source "$(dirname "${BASH_SOURCE[0]}")/../scripts/checks.sh"

for tool in import convert compare xdotool; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
done
[ -n "${DISPLAY:-}" ] || { echo "no X display: run under xvfb-run" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work/control"

"$wine" "$raw_host" editor-window "$module" "Z:$work/control" >"$work/editor-window.log" 2>&1 &
host=$!
finish() {
  touch "$work/control/quit"
  wait "$host" 2>/dev/null || true
}
trap finish EXIT

for _ in $(seq 600); do
  [ -e "$work/control/ready" ] || ! kill -0 "$host" 2>/dev/null && break
  sleep 0.1
done
if [ ! -e "$work/control/ready" ]; then
  echo "the editor window never came up:" >&2
  cat "$work/editor-window.log" >&2
  exit 1
fi

window=""
for _ in $(seq 100); do
  window=$(xdotool search --name '^Pelorvane editor under Wine$' 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  sleep 0.1
done
check "the editor's window is on the X display" test -n "$window"
[ -n "$window" ] || exit 1

grab() { import -window "$window" "$work/$1.png"; }
# Pixels that differ between two grabs inside one area.
changed_pixels() {
  local w=$1 h=$2 x=$3 y=$4 a=$5 b=$6 count
  convert "$work/$a.png" -crop "${w}x${h}+${x}+${y}" +repage "$work/crop-a.png"
  convert "$work/$b.png" -crop "${w}x${h}+${x}+${y}" +repage "$work/crop-b.png"
  count=$(compare -metric AE "$work/crop-a.png" "$work/crop-b.png" null: 2>&1 || true)
  echo "${count%% *}"
}
shows_change() {
  local count
  count=$(changed_pixels "$@")
  echo "    $count pixels changed" >&2
  [ "${count%.*}" -gt 100 ]
}
drawn() {
  local deviation
  deviation=$(convert "$work/$1.png" -format '%[fx:standard_deviation]' info:)
  awk -v d="$deviation" 'BEGIN { exit !(d > 0.02) }'
}

sleep 0.5
grab before
check "the window shows the pedal" drawn before

# A click on the middle of the footswitch: the effect is bypassed, the lamp goes out.
xdotool mousemove --window "$window" $((footswitch[2] + footswitch[0] / 2)) $((footswitch[3] + footswitch[1] / 2)) click 1
sleep 1
grab after-click
check "the footswitch shows the click" shows_change "${footswitch[@]}" before after-click
check "the lamp shows the click" shows_change "${lamp[@]}" before after-click

# An upward drag on the Space knob.
knob_x=$((space_knob[2] + space_knob[0] / 2)) knob_y=$((space_knob[3] + space_knob[1] / 2))
xdotool mousemove --window "$window" "$knob_x" "$knob_y" mousedown 1 sleep 0.2 \
  mousemove --window "$window" "$knob_x" $((knob_y - 30)) sleep 0.2 \
  mousemove --window "$window" "$knob_x" $((knob_y - 60)) sleep 0.2 \
  mousemove --window "$window" "$knob_x" $((knob_y - 80)) sleep 0.2 mouseup 1
sleep 1
grab after-drag
check "the Space knob shows the drag" shows_change "${space_knob[@]}" after-click after-drag

finish
trap - EXIT
cat "$work/editor-window.log"
bypass=$(sed -n 's/^ *Bypass \([0-9.]*\).*/\1/p' "$work/editor-window.log" | tr -d '\r')
space=$(sed -n 's/^ *Space \([0-9.]*\).*/\1/p' "$work/editor-window.log" | tr -d '\r')
check "the click reached the plug-in (Bypass $bypass)" awk -v v="${bypass:-0}" 'BEGIN { exit !(v > 0.5) }'
check "the drag reached the plug-in (Space $space, 0.5 before)" awk -v v="${space:-0}" 'BEGIN { exit !(v > 0.55) }'
check "the editor host closed cleanly" grep -q ' 0 failed' "$work/editor-window.log"

checks_done
