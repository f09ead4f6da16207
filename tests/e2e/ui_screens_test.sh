#!/usr/bin/env bash
# Photographs every dialog and the page views in English and Arabic at 96 and 144 DPI
# with ui_shot and
#  - compares each picture with its reference under tests/ui/reference (same size, at most
#    0.5% of the pixels differing by more than 10%);
#  - checks from the control rectangles that each Arabic dialog is the mirror of the
#    English one: every control's left edge is the English right edge measured from the
#    other side of its parent, with the same width.
# ZAN_UPDATE_REFERENCES=1 writes the pictures as new references instead (look at them).
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/screens_lib.sh"
refs="$ZAN_SOURCE/tests/ui/reference"
shot="$ZAN_BUILD/tools/ui_shot.exe"
names="message warning confirm input help diag settings merge split pages connection firewall share-entry share-wizard share-done"

for name in $names; do
    for dpi in 96 144; do
        for lang in en ar; do
            base="${name}_${lang}_${dpi}"
            check "$base photographed" run_wine "$shot" --show="$name" --lang="$lang" --dpi="$dpi" \
                --out="$WORK/$base.png" --rects="$WORK/$base.txt"
            if [ "${ZAN_UPDATE_REFERENCES:-0}" = 1 ]; then
                mkdir -p "$refs" && cp "$WORK/$base.png" "$refs/$base.png"
                continue
            fi
            check "$base has the reference size" same_size "$WORK/$base.png" "$refs/$base.png"
            check "$base matches the reference" close_enough "$WORK/$base.png" "$refs/$base.png"
        done
        [ "${ZAN_UPDATE_REFERENCES:-0}" = 1 ] ||
            check "${name} at $dpi DPI: Arabic mirrors English" mirrored "$WORK/${name}_en_$dpi.txt" "$WORK/${name}_ar_$dpi.txt"
    done
done
finish
