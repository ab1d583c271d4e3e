#!/bin/sh
# Regenerates the program's PNG artwork from resources/art/icon.svg.
# Needs rsvg-convert (librsvg2-bin) and ImageMagick.
set -eu

art="$(cd "$(dirname "$0")/../resources/art" && pwd)"
svg="$art/icon.svg"

for size in 32 48 128 256; do
  rsvg-convert -w "$size" -h "$size" -o "$art/icon-$size.png" "$svg"
done

# The window background is the 32 px icon flattened onto white, stored as
# 24-bit RGB: the window is white, and the picture has no transparency.
if command -v magick >/dev/null 2>&1; then im=magick; else im=convert; fi
"$im" "$art/icon-32.png" -background white -alpha remove -alpha off \
  -strip -define png:color-type=2 -define png:bit-depth=8 "PNG24:$art/background.png"

echo "art regenerated in $art"
