#!/usr/bin/env bash
# The save worker in the 32-bit build, in one start (it may run under CPU emulation): a
# watermarked multi-page TIFF through the page store, the GDI text callbacks and the
# worker's calls crossing the 32-bit calling conventions.
. "$(dirname "$0")/lib.sh"
cd "$WORK"
cp "$ZAN_BUILD/app/zancli.exe" .
convert -size 400x300 xc:white -fill black -draw "rectangle 50,50 150,100" -units PixelsPerInch -density 100 page.png
run_wine ./zancli.exe save --format tiff --watermark "TRUE COPY" --opacity 50 Out.tif page.png page.png >out.txt 2>&1
check "32-bit save succeeded" grep -q "^done=1" out.txt
check "two LZW frames" bash -c '[ "$(tiffinfo Out.tif 2>/dev/null | grep -c "Compression Scheme: LZW")" = 2 ]'
check "stamp drawn" bash -c '[ "$(convert "Out.tif[1]" -crop 100x100+150+100 -format "%[fx:minima.r<1]" info:)" = 1 ]'
finish
