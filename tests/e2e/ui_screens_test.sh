#!/usr/bin/env bash
# Photographs every dialog in English and Arabic at 96 and 144 DPI with ui_shot and
#  - compares each picture with its reference under tests/ui/reference (same size, at most
#    0.5% of the pixels differing by more than 10%);
#  - checks from the control rectangles that each Arabic dialog is the mirror of the
#    English one: every control's left edge is the English right edge measured from the
#    other side of its parent, with the same width.
# ZAN_UPDATE_REFERENCES=1 writes the pictures as new references instead (look at them).
. "$(dirname "$0")/lib.sh"
refs="$ZAN_SOURCE/tests/ui/reference"
shot="$ZAN_BUILD/tools/ui_shot.exe"
names="message warning confirm input help diag settings connection firewall share-entry share-wizard share-done"

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
            same_size() { [ "$(identify -format '%wx%h' "$1")" = "$(identify -format '%wx%h' "$2")" ]; }
            close_enough() {
                local total diff
                total=$(identify -format '%[fx:w*h]' "$1")
                diff=$(compare -metric AE -fuzz 10% "$1" "$2" null: 2>&1 >/dev/null | cut -d' ' -f1)
                echo "  $base: $diff of $total pixels differ"
                awk -v d="$diff" -v t="$total" 'BEGIN { exit !(d + 0 <= t * 0.005) }'
            }
            check "$base has the reference size" same_size "$WORK/$base.png" "$refs/$base.png"
            check "$base matches the reference" close_enough "$WORK/$base.png" "$refs/$base.png"
        done
        # "id class parent-id parent-width left top right bottom" per control.
        mirrored() {
            awk 'NR == FNR { key = $1 " " $2 " " $3; pw[key] = $4; l[key] = $5; r[key] = $7; next }
                 { key = $1 " " $2 " " $3
                   if (!(key in l)) { print "  no English twin: " $0; bad++; next }
                   if ($4 != pw[key] || $5 != pw[key] - r[key] || $7 != pw[key] - l[key]) {
                       print "  not mirrored: " $0 " (English " l[key] ".." r[key] ")"; bad++ }
                   n++ }
                 END { if (n == 0) print "  no controls"; exit (bad > 0 || n == 0) }' "$1" "$2"
        }
        [ "${ZAN_UPDATE_REFERENCES:-0}" = 1 ] ||
            check "${name} at $dpi DPI: Arabic mirrors English" mirrored "$WORK/${name}_en_$dpi.txt" "$WORK/${name}_ar_$dpi.txt"
    done
done
finish
