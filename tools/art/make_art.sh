#!/usr/bin/env bash
# Draws the program's two resource pictures with ImageMagick and writes them into res/:
# app.ico (32-bit images of 16, 20, 24, 32, 40, 48, 64, 128 and 256 pixels) and logo.png
# (200 x 100 RGBA). Run it again after changing the artwork; the results are committed.
set -euo pipefail
res=$(cd "$(dirname "$0")/../../res" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf

# The icon: an accent-blue rounded square holding a white scanner (lid, body, light bar).
convert -size 256x256 xc:none -fill '#0078D4' -draw 'roundrectangle 8,8 247,247 48,48' \
    -stroke white -strokewidth 14 -fill none -draw 'polygon 72,112 184,112 204,144 52,144' \
    -draw 'roundrectangle 52,144 204,192 12,12' -draw 'line 64,84 192,84' -draw 'line 88,58 168,58' \
    -stroke none -fill white -draw 'circle 180,168 188,168' "$work/icon256.png"
sizes=(16 20 24 32 40 48 64 128 256)
files=()
for s in "${sizes[@]}"; do
    convert "$work/icon256.png" -resize "${s}x${s}" -depth 8 -define png:color-type=6 "$work/icon$s.png"
    files+=("$work/icon$s.png")
done
convert "${files[@]}" -depth 8 "$res/app.ico"

# The logo: the icon's square at the left, the name in two lines at the right.
convert -size 200x100 xc:none -fill '#0078D4' -draw 'roundrectangle 4,10 83,89 16,16' \
    \( "$work/icon256.png" -resize 80x80 \) -geometry +4+10 -composite \
    -font "$font" -fill '#233042' -pointsize 30 -annotate +92+50 'Zan' \
    -fill '#0078D4' -pointsize 19 -annotate +92+78 'Group' \
    -depth 8 -define png:color-type=6 "$res/logo.png"
