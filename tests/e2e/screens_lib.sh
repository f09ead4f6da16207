# tests/e2e/screens_lib.sh: the picture and rectangle checks of the screenshot tests.
# Sourced after lib.sh.

# Two pictures of the same size.
same_size() {
    [ "$(identify -format '%wx%h' "$1")" = "$(identify -format '%wx%h' "$2")" ]
}

# At most 0.5% of the pixels differ by more than 10%.
close_enough() {
    local total diff
    total=$(identify -format '%[fx:w*h]' "$1")
    diff=$(compare -metric AE -fuzz 10% "$1" "$2" null: 2>&1 >/dev/null | cut -d' ' -f1)
    echo "  $(basename "$1" .png): $diff of $total pixels differ"
    awk -v d="$diff" -v t="$total" 'BEGIN { exit !(d + 0 <= t * 0.005) }'
}

# mirrored <english rects> <arabic rects> [fewest controls]: every Arabic control's left
# edge is the English right edge measured from the other side of its parent, with the
# same width. Rectangle files hold "id class parent-id parent-width left top right bottom".
mirrored() {
    awk -v least="${3:-1}" '
         NR == FNR { key = $1 " " $2 " " $3; pw[key] = $4; l[key] = $5; r[key] = $7; next }
         { key = $1 " " $2 " " $3
           if (!(key in l)) { print "  no English twin: " $0; bad++; next }
           if ($4 != pw[key] || $5 != pw[key] - r[key] || $7 != pw[key] - l[key]) {
               print "  not mirrored: " $0 " (English " l[key] ".." r[key] ")"; bad++ }
           n++ }
         END { if (n < least) print "  only " n + 0 " controls"; exit (bad > 0 || n < least) }' "$1" "$2"
}
