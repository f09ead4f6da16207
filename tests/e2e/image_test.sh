#!/usr/bin/env bash
# zancli analyze and process under Wine on pictures made by ImageMagick: a text page
# turned 2 degrees clockwise, a white page, and the arrival steps written as PNG.
. "$(dirname "$0")/lib.sh"
cd "$WORK"
ZANCLI="$ZAN_BUILD/app/zancli.exe"

# Lines of black "words" on white paper, 1240 x 1754 (A4 at 150 dpi).
draw=""
for y in $(seq 160 26 1560); do
    x=130
    while [ $x -lt 1000 ]; do
        w=$(( 40 + (x * 7 + y * 3) % 90 ))
        draw="$draw rectangle $x,$y $((x + w)),$((y + 14))"
        x=$((x + w + 18))
    done
done
convert -size 1240x1754 xc:white -fill black -draw "$draw" -units PixelsPerInch -density 150 straight.png
convert straight.png -background white -rotate 2 -gravity center -extent 1240x1754 skewed.png
convert -size 1240x1754 xc:white white.png

# Console lines end in CR LF; the checks compare without the CR.
out=$(run_wine "$ZANCLI" analyze skewed.png white.png straight.png 2>err.txt)
code=$?
out=$(echo "$out" | tr -d '\r')
echo "$out"
check "analyze exits 0" test "$code" = 0
check "one line per image" test "$(echo "$out" | wc -l)" = 3
skewed_line=$(echo "$out" | grep '^skewed.png ')
check "line format" bash -c "echo '$skewed_line' | grep -qE '^skewed.png blank=[01] skew=-?[0-9]+\.[0-9]{2} content=([0-9]+,[0-9]+,[0-9]+,[0-9]+|none)$'"
skew=$(echo "$skewed_line" | sed -E 's/.* skew=(-?[0-9.]+).*/\1/')
check "skew of a page turned 2 degrees clockwise is 2 within 0.1 (got $skew)" \
    awk -v s="$skew" 'BEGIN { d = s - 2.0; exit !(d <= 0.1 && d >= -0.1) }'
check "text page is not blank" bash -c "echo '$skewed_line' | grep -q ' blank=0 '"
check "white page is blank" bash -c "echo '$out' | grep -q '^white.png blank=1 skew=0.00 content=none'"
check "straight page has no skew" bash -c "echo '$out' | grep -q '^straight.png blank=0 skew=0.00 content=[0-9]'"

out=$(run_wine "$ZANCLI" process --deskew --crop skewed.png fixed.png 2>>err.txt)
code=$?
out=$(echo "$out" | tr -d '\r')
echo "$out"
check "process exits 0" test "$code" = 0
check "process reports the deskew" bash -c "echo '$out' | grep -qE '^fixed.png width=[0-9]+ height=[0-9]+ deskew=(1\.9|2\.0|2\.1)'"
check "output is a PNG" bash -c "[ \"\$(head -c 4 fixed.png | tail -c 3)\" = PNG ]"
size=$(identify -format '%w %h' fixed.png)
check "cropped page is smaller ($size)" bash -c "set -- $size; [ \$1 -lt 1240 ] && [ \$2 -lt 1754 ]"
again=$(run_wine "$ZANCLI" analyze fixed.png 2>>err.txt | tr -d '\r')
check "processed page is straight ($again)" bash -c "echo '$again' | grep -qE ' skew=-?0\.[01]0 '"

run_wine "$ZANCLI" process --rotate90 1 white.png turned.png >/dev/null 2>>err.txt
check "a quarter turn swaps the sides" test "$(identify -format '%w %h' turned.png)" = "1754 1240"

run_wine "$ZANCLI" process --rotate90 4 white.png x.png >/dev/null 2>&1
check "bad turn count is a usage error" test $? = 2
run_wine "$ZANCLI" analyze >/dev/null 2>&1
check "analyze without images is a usage error" test $? = 2
run_wine "$ZANCLI" analyze missing.png >/dev/null 2>missing.txt
check "unreadable image exits 1" test $? = 1
check "unreadable image is named on stderr" grep -q 'missing.png: cannot read image' missing.txt
check "help lists analyze and process" bash -c "run() { \"$WINE_EXEC\" \"$ZANCLI\" help; }; run | grep -q '^zancli analyze' && run | grep -q '^zancli process'"
finish
