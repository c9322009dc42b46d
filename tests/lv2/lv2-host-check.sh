#!/usr/bin/env bash
# The LV2 bundle in hosts no one here wrote: lilv's lv2ls and lv2info read it, and jalv (Debian's
# LV2 host) runs it in a JACK server of its own (the dummy backend, so no sound device is needed)
# while PelorvaneLV2CheckTool plays a signal into it and records what comes back. The recording must
# equal pelorvane-render's output for the same input and settings, sample for sample.
#
# jalv loads a saved LV2 state that switches the plug-in off (its lv2:enabled port, which the
# framework's client turns into "Bypass") and holds Space 7.5, Tone 3.5 and Mix 40 in the
# plug-in's own state block. Lumens goes to 8 by a patch:Set message that jalv sends for its
# -c option. While switched off the effect passes the left input and its engine stays as it was
# prepared; the console then switches it on while the signal plays, and from the first sample
# that differs from the input the effect ran from its prepared state, as a render from the start
# of a file does. Renders with Lumens or Space at their defaults must differ from the recording.
#
# The factory presets: lv2info lists every one the renderer lists, and a second jalv, started
# switched off at the default settings, loads one from its console ("preset URI") and then plays:
# its output must equal pelorvane-render --preset's, sample for sample.
#
# The editor: jalv.gtk3 opens the plug-in's own window (630 x 801, made by the plug-in's own X
# connection) inside its window on the test display; the window is grabbed to
# lv2-host-check/editor.png (xwininfo, ImageMagick's import).
#
#   lv2-host-check.sh BUNDLE CHECK_TOOL RENDERER WORK_DIR
set -euo pipefail

bundle=$1 tool=$2 renderer=$3 work=$4
uri=https://www.example.com/plugins/pelorvane
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/checks.sh"

for program in jackd jalv jalv.gtk3 lv2ls lv2info xdotool xwininfo import; do
  command -v "$program" >/dev/null || { echo "FAILED: $program is missing (scripts/install-deps.sh installs it)"; exit 1; }
done

rm -rf "$work" && mkdir -p "$work/lv2"
ln -s "$bundle" "$work/lv2/Pelorvane.lv2"
export LV2_PATH="$work/lv2"

# What lilv reads from the bundle.
lv2ls >"$work/lv2ls.txt"
check "lv2ls lists the plug-in's URI alone" test "$(cat "$work/lv2ls.txt")" = "$uri"
lv2info "$uri" >"$work/lv2info.txt"
has() { grep -qE "$1" "$2"; }
lacks() { ! grep -qE "$1" "$2"; }
check "lv2info: name Pelorvane" has $'^\tName: +Pelorvane$' "$work/lv2info.txt"
check "lv2info: author Ombrix Audio" has $'^\tAuthor: +Ombrix Audio$' "$work/lv2info.txt"
check "lv2info: latency reported by a port" has 'Has latency: +yes, reported by port' "$work/lv2info.txt"
check "lv2info: binary Pelorvane.so in the bundle" has 'Binary: +file://.*/Pelorvane\.lv2/Pelorvane\.so$' "$work/lv2info.txt"
check "lv2info: the state interface" has 'http://lv2plug.in/ns/ext/state#interface' "$work/lv2info.txt"

# The five parameters as the bundle declares them: label, default, minimum, maximum.
awk '/^plug:[A-Za-z]+$/ { id = substr($1, 6) }
     id && label == "" && /rdfs:label/ { match($0, /"[^"]*"/); label = substr($0, RSTART + 1, RLENGTH - 2) }
     id && /lv2:default/ { d = $2 } id && /lv2:minimum/ { lo = $2 } id && /lv2:maximum/ { hi = $2 }
     id && / \.$/ { if (label != "") print id, label, d, lo, hi; id = ""; label = "" }' \
  "$bundle/dsp.ttl" >"$work/parameters.txt"
cat "$work/parameters.txt"
check "dsp.ttl: the five parameters with their names, defaults and ranges" \
  test "$(cat "$work/parameters.txt")" = "$(printf '%s\n' 'Bypass Bypass 0 0 1' 'Space Space 5 0 10' \
    'Lumens Lumens 5 0 10' 'Tone Tone 5 0 10' 'Mix Mix 50 0 100')"

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

export JACK_DEFAULT_SERVER="pelorvane-lv2-check-$$"
# -S: the server waits for every client in each cycle, so a busy machine delays the run but
# cannot drop audio.
jackd -r -S -t 10000 -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 1024 >"$work/jackd.log" 2>&1 &
pids+=($!)
"$tool" wait-server 30

"$tool" signal "$work/signal.wav" 48000 6 2
"$tool" state "$work/state" 0.0 Space=7.5 Tone=3.5 Mix=40
cat "$work/state/state.ttl"
"$tool" state "$work/state-defaults" 0.0

# play_through_jalv TAG COMMANDS JALV_OPTIONS...: starts jalv as JACK client pelorvane-TAG (its
# console on fd 3, its log in $work/TAG-jalv.log), sends it the console COMMANDS (one a line),
# plays the signal into it and switches the plug-in on meanwhile; the recording is
# $work/TAG-recording.wav. jalv keeps running until fd 3 is closed.
play_through_jalv() {
  local tag=$1 commands=$2
  shift 2
  rm -f "$work/$tag-console"
  mkfifo "$work/$tag-console"
  # jalv hands the plug-in the controls it sends as messages (patch:Set) only when asked to show
  # a user interface (-s); its console has none to show, and nothing else changes.
  jalv -s -n "pelorvane-$tag" -x "$@" <"$work/$tag-console" >"$work/$tag-jalv.log" 2>&1 &
  pids+=($!)
  jalv_pid=$!
  exec 3>"$work/$tag-console"
  [ -z "$commands" ] || echo "$commands" >&3

  "$tool" play "$work/signal.wav" "$work/$tag-recording.wav" "pelorvane-$tag" >"$work/$tag-play.log" 2>&1 &
  play_pid=$!
  for _ in $(seq 300); do
    grep -q '^playing' "$work/$tag-play.log" && break
    sleep 0.1
  done
  sleep 1
  echo "set enabled 1" >&3
  wait "$play_pid" || { cat "$work/$tag-play.log"; echo "FAILED: the signal was not played through jalv"; exit 1; }
  cat "$work/$tag-play.log"
}

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

play_through_jalv lv2 "" -l "$work/state" -c pelorvane_Lumens=8
stop_jalv lv2
mv "$work/lv2-recording.wav" "$work/recording.wav"
mv "$work/lv2-jalv.log" "$work/jalv.log"
mv "$work/lv2-play.log" "$work/play.log"

check "jalv ran the plug-in" has '^Plugin: +https://www.example.com/plugins/pelorvane$' "$work/jalv.log"
check "jalv lists the five parameters" test "$(grep -cE '^(> )*pelorvane_(Bypass|Space|Lumens|Tone|Mix) = ' "$work/jalv.log")" -ge 5
check "no jalv console command failed" lacks '^(> )*error' "$work/jalv.log"
# jalv adds the latency the plug-in reports on its latency port to the JACK ports' latency.
check "jalv declares the plug-in's latency as 0" \
  test "$(grep -c '^pelorvane-lv2:audio_out_[12] latency 0 to 0 frames$' "$work/play.log")" -eq 2

# The effect's output against the renderer's.
"$tool" split "$work/recording.wav" "$work/render-input.wav"
render() {
  local name=$1
  shift
  "$renderer" "$work/render-input.wav" -o "$work/$name.wav" --float --tail 0.1 "$@" >"$work/$name.log" 2>&1
}
render rendered --space 7.5 --lumens 8 --tone 3.5 --mix 40
render lumens-default --space 7.5 --tone 3.5 --mix 40
render space-default --lumens 8 --tone 3.5 --mix 40
check "jalv's output equals pelorvane-render's, sample for sample" \
  "$tool" compare "$work/recording.wav" "$work/rendered.wav"
check "Lumens set by patch:Set took effect (a render at Lumens 5 differs)" \
  "$tool" compare "$work/recording.wav" "$work/lumens-default.wav" --expect-different
check "Space restored from the saved state took effect (a render at Space 5 differs)" \
  "$tool" compare "$work/recording.wav" "$work/space-default.wav" --expect-different

# The factory presets, as lilv reads them from the bundle and as jalv loads one.
"$renderer" --list-presets | sed -nE 's/^  (.*[^ ]) +Space [ 0-9.]+ +Lumens .*/\1/p' >"$work/preset-names.txt"
check "the renderer lists the factory presets" test -s "$work/preset-names.txt"
while IFS= read -r name; do
  check "lv2info lists the preset \"$name\"" grep -qF "$name" "$work/lv2info.txt"
done <"$work/preset-names.txt"

preset="Glass Halo"
preset_uri="$uri/presets/glass-halo"
play_through_jalv preset "preset $preset_uri" -l "$work/state-defaults"
stop_jalv preset
check "jalv loaded the preset without complaint" lacks '^(> )*error|Failed to find preset' "$work/preset-jalv.log"
"$tool" split "$work/preset-recording.wav" "$work/preset-render-input.wav"
"$renderer" "$work/preset-render-input.wav" -o "$work/preset-rendered.wav" --float --tail 0.1 --preset "$preset" >"$work/preset-rendered.log" 2>&1
"$renderer" "$work/preset-render-input.wav" -o "$work/preset-defaults.wav" --float --tail 0.1 >"$work/preset-defaults.log" 2>&1
check "jalv's output with the preset \"$preset\" equals pelorvane-render --preset's, sample for sample" \
  "$tool" compare "$work/preset-recording.wav" "$work/preset-rendered.wav"
check "the preset took effect (a render at the defaults differs)" \
  "$tool" compare "$work/preset-recording.wav" "$work/preset-defaults.wav" --expect-different

# The editor in jalv.gtk3 on the test display (scripts/test.sh runs the tests under xvfb-run).
if [ -z "${DISPLAY:-}" ]; then
  check "a display for jalv.gtk3 (DISPLAY is set)" false
else
  jalv.gtk3 -n pelorvane-editor -x "$uri" >"$work/jalv-gtk3.log" 2>&1 &
  pids+=($!)
  window=$(timeout 30 xdotool search --sync --name '^Pelorvane$' | head -n 1 || true)
  check "jalv.gtk3 opens a window named Pelorvane" test -n "$window"
  check "jalv.gtk3 chose the plug-in's own editor" has '^UI: +https://www.example.com/plugins/pelorvane:UI$' "$work/jalv-gtk3.log"
  # The plug-in's window comes from the plug-in's own X connection: another client's ids.
  editor_inside() {
    local tree
    for _ in $(seq 100); do
      tree=$(xwininfo -tree -id "$window" 2>/dev/null || true)
      for id in $(grep -oE '0x[0-9a-f]+ \(has no name\): \(\) +630x801' <<<"$tree" | cut -d' ' -f1); do
        # X clients get id ranges of 2^21.
        [ $((id >> 21)) -ne $((window >> 21)) ] && return 0
      done
      sleep 0.1
    done
    echo "$tree" >&2
    return 1
  }
  check "the plug-in's 630 x 801 editor is inside it" editor_inside
  sleep 1
  import -window "$window" "$work/editor.png"
  deviation=$(convert "$work/editor.png" -format '%[fx:standard_deviation]' info: 2>/dev/null || echo 0)
  echo "editor grabbed to $work/editor.png (standard deviation of its pixels $deviation)"
  check "the editor is drawn (not a blank window)" awk -v d="$deviation" 'BEGIN { exit !(d > 0.05) }'
fi

checks_done
