#!/usr/bin/env bash
# Draws the menu icon from one of the show's own pictures, the shiny ball over the chequered
# floor: its middle 150 x 100 pixels (square on screen, where a pixel is 1.5 times as tall as wide),
# in the sizes of the hicolor theme, into packaging/icons/.
# Needs ImageMagick. Usage: packaging/make-icons.sh (from the repository root)
set -euo pipefail
out=packaging/icons
mkdir -p "$out"
for size in 16 32 48 64 128 256; do
  # -strip and a fixed date keep the files the same from run to run.
  convert -size 160x100 -depth 8 rgb:data/trelbo_160x100.raw -gravity center -crop 150x100+0+0 +repage \
    -filter Lanczos -resize "${size}x${size}!" -strip -define png:exclude-chunks=date,time \
    "PNG24:$out/${size}x${size}.png"
done
ls -l "$out"
