#!/usr/bin/env bash
# Regenerates the editor bitmaps in this folder from the SVG sources in svg/.
#
#   bash resources/render.sh          (from anywhere)
#
# Needs python3, rsvg-convert (librsvg2-bin) and ImageMagick's /usr/bin/convert
# (only used to turn an opaque RGB render into RGBA).  The result is
# deterministic: running it twice gives byte-identical PNGs.
set -euo pipefail

cd "$(dirname "$0")"
CONVERT=/usr/bin/convert
RSVG=rsvg-convert

python3 make_svgs.py

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# 8-bit RGBA, not interlaced, no time stamps.
to_rgba() {
  local src=$1 dst=$2
  if [ "$(python3 pngstack.py colortype "$src")" = 6 ]; then
    cp "$src" "$dst"
  else
    "$CONVERT" "$src" -define png:color-type=6 -define png:bit-depth=8 \
      -define png:exclude-chunks=date,time -interlace none PNG32:"$dst"
  fi
}

single() {
  local name=$1
  nice "$RSVG" "svg/$name.svg" -o "$tmp/$name.png"
  to_rgba "$tmp/$name.png" "$name.png"
  echo "  $name.png"
}

# Film strips are too tall for one cairo surface: render slices, then join.
strip() {
  local name=$1 width=$2 frame=$3 frames=$4 per_slice=$5
  local slice_h=$((frame * per_slice)) parts=() i=0
  for ((first = 0; first < frames; first += per_slice)); do
    local top=$((first * frame))
    nice "$RSVG" --page-width "$width" --page-height "$slice_h" --top="-$top" \
      "svg/$name.svg" -o "$tmp/$name.$i.png"
    parts+=("$tmp/$name.$i.png")
    i=$((i + 1))
  done
  python3 pngstack.py stack "$name.png" "${parts[@]}"
  echo "  $name.png"
}

echo "rendering:"
single Background
single stompSwitchUp
single stompSwitchDown
single LED_on
single LED_off
single button1
single button2
strip knob_strip 421 421 100 25
strip basicKnob_strip 328 328 100 25
