#!/usr/bin/env bash
# Installs what is missing, builds the plug-in and the renderer, renders the built-in
# demo phrase through the effect, and says where everything is. The tests are the test
# command's (scripts/test.sh); this builds only what is needed here.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build"
logs="$build/logs"
mkdir -p "$logs"

stage() { printf '==> %s\n' "$*"; }

# Runs a stage's command with its output in a log; shows the end of it if the stage fails.
quietly() {
  local log="$logs/$1.log"
  shift
  if ! "$@" >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "Failed; the whole output is in $log" >&2
    exit 1
  fi
}

stage "Installing the Debian packages that are missing"
bash "$root/scripts/install-deps.sh" --product

stage "Building the plug-in (VST3, Standalone) and the renderer (log: $logs/build.log)"
started=$SECONDS
quietly build bash "$root/scripts/build.sh" "$build" --product
stage "Built in $((SECONDS - started)) s"

artefacts="$build/Pelorvane_artefacts/Release"
renderer="$build/tools/render/pelorvane-render"
demo="$build/demo"
mkdir -p "$demo"

stage "Rendering the built-in demo phrase"
"$renderer" -o "$demo/pelorvane-demo.wav" --spectrogram "$demo/pelorvane-demo-spectrogram.png"

echo
echo "Demo (built-in phrase through Pelorvane at its default settings):"
echo "  audio:        $demo/pelorvane-demo.wav"
echo "  spectrogram:  $demo/pelorvane-demo-spectrogram.png"
echo
echo "VST3 bundle:     $artefacts/VST3/Pelorvane.vst3"
echo "LV2 bundle:      $artefacts/LV2/Pelorvane.lv2"
echo "Debian package:  $(ls "$build"/pelorvane_*.deb)   (see README.md: Installing)"
echo "Standalone app:  $artefacts/Standalone/Pelorvane"
echo "Renderer:        $renderer   (--help for its options)"
echo
echo "Install the plug-in for your user with:"
echo "  mkdir -p ~/.vst3 && cp -r \"$artefacts/VST3/Pelorvane.vst3\" ~/.vst3/"
echo
echo "Render your own recording with, for example:"
echo "  \"$renderer\" my-take.wav -o my-take-shimmer.wav --space 7 --lumens 8 --spectrogram my-take.png"
