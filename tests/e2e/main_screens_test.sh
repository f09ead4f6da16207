#!/usr/bin/env bash
# Photographs the main window (tools/ui_shot --show=main, four demo pages, no device
# enumeration) in English and Arabic at 96 and 144 DPI, at the default and the minimum
# size, and
#  - compares each picture with its reference under tests/ui/reference (same size, at most
#    0.5% of the pixels differing by more than 10%);
#  - checks from the control rectangles that the Arabic window is the mirror of the
#    English one, the side panel's controls included.
# ZAN_UPDATE_REFERENCES=1 writes the pictures as new references instead (look at them).
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/screens_lib.sh"
refs="$ZAN_SOURCE/tests/ui/reference"
shot="$ZAN_BUILD/tools/ui_shot.exe"
cd "$WORK"
convert -size 850x1100 xc:white -fill black \
    -draw "rectangle 100,120 700,150 rectangle 100,200 650,215 rectangle 100,240 680,255 rectangle 100,280 600,295" \
    demo_page.png

for dpi in 96 144; do
    for size in default min; do
        for lang in en ar; do
            base="main_${lang}_${dpi}_${size}"
            check "$base photographed" run_wine "$shot" --show=main --lang="$lang" --dpi="$dpi" --size="$size" \
                --demo=demo_page.png --out="$WORK/$base.png" --rects="$WORK/$base.txt"
            if [ "${ZAN_UPDATE_REFERENCES:-0}" = 1 ]; then
                mkdir -p "$refs" && cp "$WORK/$base.png" "$refs/$base.png"
                continue
            fi
            check "$base has the reference size" same_size "$WORK/$base.png" "$refs/$base.png"
            check "$base matches the reference" close_enough "$WORK/$base.png" "$refs/$base.png"
        done
        [ "${ZAN_UPDATE_REFERENCES:-0}" = 1 ] ||
            check "main window at $dpi DPI, $size size: Arabic mirrors English" \
                mirrored "$WORK/main_en_${dpi}_$size.txt" "$WORK/main_ar_${dpi}_$size.txt" 60
    done
done
finish
