#!/usr/bin/env bash
# Draws the program's icon (a note page under a magnifying glass) and writes
# norvane.ico beside this script, 16 to 256 pixels.  Needs ImageMagick.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
convert -size 256x256 xc:none \
  -fill '#1f5fa8' -draw 'roundrectangle 8,8 247,247 40,40' \
  -fill white -draw 'polygon 60,44 170,44 200,74 200,212 60,212' \
  -fill '#c9d8ec' -draw 'polygon 170,44 170,74 200,74' \
  -stroke '#1f5fa8' -strokewidth 10 \
  -draw 'line 82,100 178,100' -draw 'line 82,128 178,128' -draw 'line 82,156 140,156' \
  -stroke '#f2a81d' -strokewidth 14 -fill none -draw 'circle 168,170 168,200' \
  -stroke '#f2a81d' -strokewidth 18 -draw 'line 190,194 226,230' \
  -depth 8 "PNG32:$work/256.png"
sizes=(16 24 32 48 64)
for s in "${sizes[@]}"; do convert "$work/256.png" -resize "${s}x${s}" -depth 8 "PNG32:$work/$s.png"; done
frames=()
for s in "${sizes[@]}"; do frames+=("$work/$s.png"); done
convert "${frames[@]}" "$work/256.png" "$here/norvane.ico"
