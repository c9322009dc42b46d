#!/usr/bin/env bash
# The LV2 bundle in hosts no one here wrote. lilv's lv2ls and lv2info read it and sord_validate
# checks its data against the LV2 ontologies the system has; the binary exports lv2_descriptor
# alone and needs nothing but the C library and libm.
#
# Debian's lv2apply runs a stereo file through it with the controls given by symbol, and its
# output must equal pelorvane-render's for the same input and settings, sample for sample: set
# off the knobs' steps (the plug-in stores a value as the VST3 parameter does), and switched off
# through its enabled port (the left input on both sides, as --bypass renders).
#
# jalv (Debian's LV2 host) runs it in a JACK server of its own (the dummy backend, so no sound
# device is needed) while PelorvaneLV2CheckTool plays a signal into it and records what comes
# back. jalv starts it switched off (-c enabled=0) with Space 7.5, Lumens 8, Tone 3.5 and Mix 40
# by symbol; the console switches it on while the signal plays, and from the first sample that
# differs from the input the effect ran from its prepared state, as a render from the start of a
# file does. Renders with Lumens or Space at their defaults must differ from the recording.
#
# The factory presets: lv2info lists every one the renderer lists, and a second jalv, started
# switched off at the default settings, loads one from its console ("preset URI") and then plays:
# its output must equal pelorvane-render --preset's, sample for sample.
#
# With --ui, only the pedal as jalv.gtk3 embeds it (on the display the tests run on), in place of
# all of the above: it opens inside jalv's window at the Space jalv was given (-c space=7: the
# knob looks otherwise than at the default), a drag on the Space knob and a click on the
# footswitch while the signal plays reach jalv's control ports (its output equals
# pelorvane-render's at the Space the drag set), and jalv closes it without a fault, twice.
#
#   lv2-host-check.sh [--ui] BUNDLE CHECK_TOOL RENDERER WORK_DIR
set -euo pipefail

ui=
[ "$1" != --ui ] || { ui=1; shift; }
bundle=$1 tool=$2 renderer=$3 work=$4
uri=https://www.example.com/plugins/pelorvane/lv2
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/checks.sh"
source "$(dirname "${BASH_SOURCE[0]}")/lv2-binary-checks.sh"

for program in jackd jalv jalv.gtk3 xdotool xwininfo import lv2ls lv2info lv2apply sord_validate readelf nm; do
  command -v "$program" >/dev/null || { echo "FAILED: $program is missing (scripts/install-deps.sh installs it)"; exit 1; }
done

rm -rf "$work" && mkdir -p "$work/lv2"
ln -s "$bundle" "$work/lv2/Pelorvane.lv2"
export LV2_PATH="$work/lv2"
has() { grep -qE "$1" "$2"; }
lacks() { ! grep -qE "$1" "$2"; }
# shows LOG CONTROL...: jalv printed each of the controls ("space = 7.5") with that value.
shows() {
  local log=$1 control
  shift
  for control in "$@"; do grep -qE "^(> )*$control""0*$" "$log" || return 1; done
}

# A JACK server of its own; everything started here is stopped on the way out.
pids=()
cleanup() {
  exec 3>&- 2>/dev/null || true
  for ((i = ${#pids[@]} - 1; i >= 0; --i)); do
    kill "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
}
trap cleanup EXIT

# -S: the server waits for every client in each cycle, so a busy machine delays the run but
# cannot drop audio.
start_jack() {
  export JACK_DEFAULT_SERVER="pelorvane-lv2-check-$$"
  jackd -r -S -t 10000 -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 1024 >"$work/jackd.log" 2>&1 &
  pids+=($!)
  "$tool" wait-server 30
}

render() {
  local input=$1 name=$2
  shift 2
  "$renderer" "$input" -o "$work/$name.wav" --float --tail 0.1 "$@" >"$work/$name.log" 2>&1
}

# play_switching_on TAG SWITCH_ON: plays the signal into JACK client pelorvane-TAG and records
# what comes back in $work/TAG-recording.wav; runs SWITCH_ON once the signal plays.
play_switching_on() {
  "$tool" play "$work/signal.wav" "$work/$1-recording.wav" "pelorvane-$1" >"$work/$1-play.log" 2>&1 &
  play_pid=$!
  for _ in $(seq 300); do
    grep -q '^playing' "$work/$1-play.log" && break
    sleep 0.1
  done
  sleep 1
  "$2"
  wait "$play_pid" || { cat "$work/$1-play.log"; echo "FAILED: the signal was not played through jalv"; exit 1; }
  cat "$work/$1-play.log"
}

# open_ui TAG JALV_OPTIONS...: jalv.gtk3 as JACK client pelorvane-TAG with the pedal in its window;
# $ui_window is the pedal's own X window (630 x 801, the deepest of that size).
open_ui() {
  local tag=$1
  shift
  jalv.gtk3 --jack-name "pelorvane-$tag" -x "$@" "$uri" >"$work/$tag-jalv.log" 2>&1 &
  pids+=($!)
  jalv_pid=$!
  ui_window=
  for _ in $(seq 150); do
    ui_window=$(xwininfo -root -tree | awk '/ 630x801\+0\+0 / { id = $1 } END { print id }')
    [ -n "$ui_window" ] && break
    sleep 0.1
  done
  sleep 1
}
# snapshot_knob NAME: the Space knob's square on the screen, as raw pixels.
snapshot_knob() {
  local x y
  x=$(xwininfo -id "$ui_window" | awk '/Absolute upper-left X/ { print $NF }')
  y=$(xwininfo -id "$ui_window" | awk '/Absolute upper-left Y/ { print $NF }')
  import -window root -crop "90x90+$((x + 196))+$((y + 139))" +repage "rgb:$work/$1.rgb"
}
# close_ui TAG: as a desktop closes it; jalv must end without a fault.
close_ui() {
  kill -TERM "$jalv_pid"
  wait "$jalv_pid"
}
differ() { ! cmp -s "$work/$1.rgb" "$work/$2.rgb"; }
click_footswitch() { xdotool mousemove --window "$ui_window" 314 530 click 1; }

if [ -n "$ui" ]; then
  "$tool" signal "$work/signal.wav" 48000 6 2
  start_jack
  open_ui ui -c enabled=0 -c space=7
  check "jalv.gtk3 embeds the pedal in its window" test -n "$ui_window"
  check "jalv.gtk3 takes the pedal UI" has "^UI: +$uri#ui\$" "$work/ui-jalv.log"
  snapshot_knob space-7
  # 25 px up, a tenth of the 250 px that cover the range: Space 7 to 8.
  xdotool mousemove --window "$ui_window" 241 200 mousedown 1 mousemove --window "$ui_window" 241 190 \
    mousemove --window "$ui_window" 241 180 mousemove --window "$ui_window" 241 175 mouseup 1
  sleep 1
  play_switching_on ui click_footswitch
  check "jalv.gtk3 closes the pedal without a fault" close_ui
  check "the footswitch switched jalv's plug-in on (its output leaves the input)" \
    "$tool" split "$work/ui-recording.wav" "$work/ui-render-input.wav"
  render "$work/ui-render-input.wav" ui-rendered --space 8
  check "the drag set jalv's Space port to 8: its output equals pelorvane-render --space 8's" \
    "$tool" compare "$work/ui-recording.wav" "$work/ui-rendered.wav"

  open_ui ui-again
  check "jalv.gtk3 embeds the pedal a second time" test -n "$ui_window"
  snapshot_knob space-default
  check "the host's value shows on the knob (Space 7 looks otherwise than Space 5)" differ space-7 space-default
  check "jalv.gtk3 closes the pedal again without a fault" close_ui
  checks_done
  exit
fi

check_lv2_binaries "$bundle" "$work"

# The bundle's data against the ontologies of Debian's lv2-dev.
ontologies=$(dpkg -L lv2-dev | grep -E '^/usr/lib/lv2/.*\.ttl$')
sord_validate $ontologies "$bundle"/*.ttl >"$work/sord_validate.txt" 2>&1 || true
cat "$work/sord_validate.txt"
check "sord_validate finds no error in the bundle" has '^Found 0 errors' "$work/sord_validate.txt"

# What lilv reads from the bundle (the plug-in classes come from the system's lv2core).
lv2ls >"$work/lv2ls.txt"
check "lv2ls lists the plug-in's URI alone" test "$(cat "$work/lv2ls.txt")" = "$uri"
export LV2_PATH="$work/lv2:/usr/lib/lv2"
lv2info "$uri" >"$work/lv2info.txt"
check "lv2info: name Pelorvane" has $'^\tName: +Pelorvane$' "$work/lv2info.txt"
check "lv2info: a reverb" has $'^\tClass: +Reverb Plugin$' "$work/lv2info.txt"
check "lv2info: author Ombrix Audio" has $'^\tAuthor: +Ombrix Audio$' "$work/lv2info.txt"
check "lv2info: binary Pelorvane.so in the bundle" has 'Binary: +file://.*/Pelorvane\.lv2/Pelorvane\.so$' "$work/lv2info.txt"
check "lv2info: no feature required" lacks 'Required Features' "$work/lv2info.txt"

# The ports as hosts list them: symbol, name, minimum, maximum, default.
awk '/^\tPort [0-9]+:/ { if (sym) print sym, name, lo, hi, d; sym = name = lo = hi = d = "" }
     /Symbol:/ { sym = $2 } /Name:/ { name = $2 " " $3; sub(/ $/, "", name) }
     /Minimum:/ { lo = $2 + 0 } /Maximum:/ { hi = $2 + 0 } /Default:/ { d = $2 + 0 }
     END { if (sym) print sym, name, lo, hi, d }' "$work/lv2info.txt" | sed 's/ *$//' >"$work/ports.txt"
cat "$work/ports.txt"
check "the ports: stereo audio, the four knobs and enabled with their names, ranges and defaults" \
  test "$(cat "$work/ports.txt")" = "$(printf '%s\n' 'in_l Left In' 'in_r Right In' 'out_l Left Out' 'out_r Right Out' \
    'space Space 0 10 5' 'lumens Lumens 0 10 5' 'tone Tone 0 10 5' 'mix Mix 0 100 50' 'enabled Enabled 0 1 1')"

"$tool" signal "$work/signal.wav" 48000 6 2

# lv2apply against the renderer, by symbol.
through_lv2apply() {
  local name=$1
  shift
  lv2apply -i "$work/signal.wav" -o "$work/$name.wav" "$@" "$uri" >"$work/$name.log" 2>&1
}
through_lv2apply lv2apply -c space 7 -c lumens 8 -c tone 3 -c mix 40
render "$work/signal.wav" lv2apply-rendered --space 7 --lumens 8 --tone 3 --mix 40
check "lv2apply's output equals pelorvane-render's, sample for sample" \
  "$tool" compare "$work/lv2apply.wav" "$work/lv2apply-rendered.wav"
render "$work/signal.wav" lv2apply-lumens-default --space 7 --tone 3 --mix 40
check "Lumens by symbol took effect (a render at Lumens 5 differs)" \
  "$tool" compare "$work/lv2apply.wav" "$work/lv2apply-lumens-default.wav" --expect-different
through_lv2apply lv2apply-off-steps -c space 6.96 -c lumens 12 -c mix 33.4
render "$work/signal.wav" lv2apply-on-steps --space 7 --lumens 10 --mix 33
check "values off the steps and out of range are stored as the VST3 parameters store them" \
  "$tool" compare "$work/lv2apply-off-steps.wav" "$work/lv2apply-on-steps.wav"
through_lv2apply lv2apply-off -c space 7 -c enabled 0
render "$work/signal.wav" lv2apply-bypassed --space 7 --bypass
check "lv2apply with enabled 0 equals pelorvane-render --bypass, sample for sample" \
  "$tool" compare "$work/lv2apply-off.wav" "$work/lv2apply-bypassed.wav"


start_jack

# play_through_jalv TAG COMMANDS JALV_OPTIONS...: starts jalv as JACK client pelorvane-TAG (its
# console on fd 3, its log in $work/TAG-jalv.log), sends it the console COMMANDS (one a line),
# plays the signal into it and switches the plug-in on meanwhile (play_switching_on). jalv keeps
# running until fd 3 is closed.
play_through_jalv() {
  local tag=$1 commands=$2
  shift 2
  rm -f "$work/$tag-console"
  mkfifo "$work/$tag-console"
  jalv -n "pelorvane-$tag" -x "$@" "$uri" <"$work/$tag-console" >"$work/$tag-jalv.log" 2>&1 &
  pids+=($!)
  jalv_pid=$!
  exec 3>"$work/$tag-console"
  [ -z "$commands" ] || echo "$commands" >&3

  play_switching_on "$tag" switch_on_from_console
}
switch_on_from_console() { echo "set enabled 1" >&3; }

# Stops the jalv of play_through_jalv: it prints its controls, then ends at the end of its input.
stop_jalv() {
  echo controls >&3
  sleep 1
  exec 3>&-
  for _ in $(seq 100); do
    kill -0 "$jalv_pid" 2>/dev/null || break
    sleep 0.1
  done
  cat "$work/$1-jalv.log"
  echo
}

play_through_jalv lv2 "" -c enabled=0 -c space=7.5 -c lumens=8 -c tone=3.5 -c mix=40
stop_jalv lv2
mv "$work/lv2-recording.wav" "$work/recording.wav"
mv "$work/lv2-jalv.log" "$work/jalv.log"
mv "$work/lv2-play.log" "$work/play.log"

check "jalv ran the plug-in" has "^Plugin: +$uri\$" "$work/jalv.log"
check "jalv shows the controls it was given, by symbol" \
  shows "$work/jalv.log" 'space = 7\.5' 'lumens = 8\.0' 'tone = 3\.5' 'mix = 40\.0' 'enabled = 1\.0'
check "no jalv console command failed" lacks '^(> )*error' "$work/jalv.log"
check "jalv declares the plug-in's latency as 0" \
  test "$(grep -c '^pelorvane-lv2:out_[lr] latency 0 to 0 frames$' "$work/play.log")" -eq 2

# The effect's output against the renderer's.
"$tool" split "$work/recording.wav" "$work/render-input.wav"
render "$work/render-input.wav" rendered --space 7.5 --lumens 8 --tone 3.5 --mix 40
render "$work/render-input.wav" lumens-default --space 7.5 --tone 3.5 --mix 40
render "$work/render-input.wav" space-default --lumens 8 --tone 3.5 --mix 40
check "jalv's output equals pelorvane-render's, sample for sample" \
  "$tool" compare "$work/recording.wav" "$work/rendered.wav"
check "Lumens set by symbol took effect (a render at Lumens 5 differs)" \
  "$tool" compare "$work/recording.wav" "$work/lumens-default.wav" --expect-different
check "Space set by symbol took effect (a render at Space 5 differs)" \
  "$tool" compare "$work/recording.wav" "$work/space-default.wav" --expect-different

# The factory presets, as lilv reads them from the bundle and as jalv loads one.
"$renderer" --list-presets | sed -nE 's/^  (.*[^ ]) +Space [ 0-9.]+ +Lumens .*/\1/p' >"$work/preset-names.txt"
check "the renderer lists the factory presets" test -s "$work/preset-names.txt"
while IFS= read -r name; do
  check "lv2info lists the preset \"$name\"" grep -qF "$name" "$work/lv2info.txt"
done <"$work/preset-names.txt"

preset="Glass Halo"
preset_uri="$uri/presets/glass-halo"
play_through_jalv preset "preset $preset_uri" -c enabled=0
stop_jalv preset
check "jalv loaded the preset without complaint" lacks '^(> )*error|Failed to find preset' "$work/preset-jalv.log"
check "the preset set the table's values" \
  shows "$work/preset-jalv.log" 'space = 6\.5' 'lumens = 8\.0' 'tone = 8\.5' 'mix = 45\.0'
# Had the preset switched the plug-in on, the recording would not start bypassed (split fails).
check "no preset touches the enabled port" lacks 'lv2:symbol "enabled"' "$bundle/manifest.ttl"
"$tool" split "$work/preset-recording.wav" "$work/preset-render-input.wav"
"$renderer" "$work/preset-render-input.wav" -o "$work/preset-rendered.wav" --float --tail 0.1 --preset "$preset" >"$work/preset-rendered.log" 2>&1
"$renderer" "$work/preset-render-input.wav" -o "$work/preset-defaults.wav" --float --tail 0.1 >"$work/preset-defaults.log" 2>&1
check "jalv's output with the preset \"$preset\" equals pelorvane-render --preset's, sample for sample" \
  "$tool" compare "$work/preset-recording.wav" "$work/preset-rendered.wav"
check "the preset took effect (a render at the defaults differs)" \
  "$tool" compare "$work/preset-recording.wav" "$work/preset-defaults.wav" --expect-different

checks_done
