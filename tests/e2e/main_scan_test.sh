#!/usr/bin/env bash
# The main window's unattended runs through the virtual scanner:
#  - --test-scan with deskew and blank removal on: the blank page is dropped and the skewed
#    page is straight in the saved PDF (measured on the PDF's own image);
#  - --test-scan exits non-zero when the scan fails, finds no page or no device, and never
#    waits on a box;
#  - --demo adds four pages with the second and fourth turned;
#  - closing while the save runs waits for the save (the file is complete); closing while
#    scanning cancels the scan and ends within a bounded time;
#  - a 300-page feeder scan keeps every page within the page store's budget.
. "$(dirname "$0")/scan_lib.sh"
cp "$ZAN_BUILD/app/ZanGroupScanner.exe" "$ZAN_BUILD/tools/main_driver.exe" "$WORK/"
export ZAN_VSCAN_INI
ZAN_VSCAN_INI=$(win_path "$WORK/scanner.ini")

# A white page, and ten bars like lines of text turned by 4 degrees.
convert -size 1000x1300 xc:white -type TrueColor BMP3:"$WORK/blank.bmp"
bars=""
for k in 0 1 2 3 4 5 6 7 8 9; do bars="$bars rectangle 200,$((300 + 40 * k)) 800,$((312 + 40 * k))"; done
convert -size 1000x1300 xc:white -fill black -draw "$bars" -background white -rotate 4 -gravity center \
    -extent 1000x1300 -type TrueColor BMP3:"$WORK/skewed.bmp"
# Height of the dark content of an image.
content_height() {
    convert "$1" -colorspace Gray -threshold 50% -trim -format '%h' info:
}

settings() {  # settings <key=value...>: a fresh settings file beside the program
    {
        printf '[Settings]\r\nLanguage=1\r\nLastDevice=Zan Group|Virtual|Zan Virtual Scanner\r\n'
        local line
        for line in "$@"; do printf '%s\r\n' "$line"; done
    } > "$WORK/ZanGroupScanner.ini"
}

program() {  # program <args...>: exit code in $code, log in $WORK/log
    rm -f "$WORK/ZanGroupScanner.log"
    timeout 120 "$WINE_EXEC" ./ZanGroupScanner.exe "$@" > /dev/null 2>&1
    code=$?
    touch "$WORK/ZanGroupScanner.log"
    sed 's/^[^]]*\] //' "$WORK/ZanGroupScanner.log" | tr -d '\r' > "$WORK/log"
}

# ---- automatic processing on arrival
script_scanner Pages=3 "ImageFile2=$(win_path "$WORK/blank.bmp")" "ImageFile3=$(win_path "$WORK/skewed.bmp")"
settings AutoDeskew=1 RemoveBlank=1 AutoCrop=0 Format=0 Dpi=200
program --lang=en --test-scan out.pdf
check "test-scan exits 0" test "$code" = 0
check "test-scan: two pages saved (the blank one dropped)" test "$(pdf_pages out.pdf)" = 2
check "test-scan: PDF is sound" qpdf --check out.pdf
check "test-scan: the blank page is logged as dropped" has_line log "page 2 dropped as blank"
check "test-scan: the skewed page is logged as straightened" grep -q '^page 3 straightened by' log
check "test-scan: the save result is logged" grep -q '^save result ok=1 .*out.pdf' log
mkdir -p "$WORK/images"
pdfimages -f 2 -l 2 -png out.pdf "$WORK/images/p" 2>/dev/null
skewed_h=$(content_height "$WORK/skewed.bmp")
saved_h=$(content_height "$WORK/images/p-000.png" 2>/dev/null || echo 0)
echo "  content height: skewed $skewed_h px, saved $saved_h px (straight: 372)"
check "test-scan: the saved second page is straight" test "$saved_h" -ge 365 -a "$saved_h" -le 385

# ---- failures end with a non-zero code and without a box
script_scanner Pages=2 FailAtPage=1
settings
program --lang=en --test-scan fail.pdf
check "failed scan: exit code non-zero" test "$code" != 0
check "failed scan: no file" test ! -e fail.pdf
check "failed scan: logged" grep -q '^scan failed: ' log
check "failed scan: window closed" has_line log "=== exit ==="

settings RemoveBlank=1
script_scanner Pages=2 "ImageFile=$(win_path "$WORK/blank.bmp")"
program --lang=en --test-scan none.pdf
check "only blank pages: exit code non-zero" test "$code" != 0
check "only blank pages: 'test-scan: no pages' logged" has_line log "test-scan: no pages"

# ---- --demo: four pages, the second and fourth a quarter turn; a scan appends a fifth
convert -size 400x600 xc:white -fill black -draw "rectangle 50,50 350,100" "$WORK/demo.png"
script_scanner Pages=1
settings Format=0 AppendBatch=1 Dpi=100
program --lang=en --demo demo.png --test-scan demo.pdf
check "demo: four pages" has_line log "demo: pages=4"
check "demo and one scanned page saved" test "$(pdf_pages demo.pdf)" = 5
# "portrait" or "landscape" per page of the PDF.
orientations=$(pdfinfo -f 1 -l 4 demo.pdf | awk '/^Page.*size:/ { print ($4 > $6) ? "landscape" : "portrait" }' | tr '\n' ' ')
echo "  demo pages: $orientations"
check "demo: pages 2 and 4 turned" test "$orientations" = "portrait landscape portrait landscape "
# ---- closing while a save or a scan runs (an unattended run answers the question with yes)
start_program() {
    rm -f "$WORK/ZanGroupScanner.log"
    "$WINE_EXEC" ./ZanGroupScanner.exe "$@" > /dev/null 2>&1 &
    app=$!
}
wait_log() {  # wait_log <pattern>: until the program's log has a matching line (120 s)
    local i
    for i in $(seq 1200); do
        [ -e "$WORK/ZanGroupScanner.log" ] && tr -d '\r' < "$WORK/ZanGroupScanner.log" | grep -q -- "$1" && return 0
        sleep 0.1
    done
    return 1
}
finish_program() {
    code=0
    wait "$app" || code=$?
    sed 's/^[^]]*\] //' "$WORK/ZanGroupScanner.log" | tr -d '\r' > "$WORK/log"
}
line_of() {  # line_of <pattern>: the number of the first matching log line
    grep -n -m1 -- "$1" "$WORK/log" | cut -d: -f1
}

script_scanner Pages=100
settings Format=0 Dpi=150 ColorMode=0
start_program --lang=en --test-scan closing.pdf
check "close during save: the scan ended" wait_log 'scan finished: pages=100'
"$WINE_EXEC" ./main_driver.exe close 120000 > /dev/null 2>&1
finish_program
check "close during save: waited for the save" has_line log "close: waiting for the save to end"
check "close during save: the save finished before the exit" \
    test "$(line_of '^save result ok=1')" -gt "$(line_of '^close: waiting')" -a "$(line_of '^=== exit')" -gt "$(line_of '^save result')"
check "close during save: all 100 pages in a sound file" test "$(pdf_pages closing.pdf)" = 100
qpdf --check closing.pdf > /dev/null 2>&1
check "close during save: qpdf finds no fault" test $? -eq 0

script_scanner Pages=40 DelayMs=250
settings Format=0 Dpi=100
start_program --lang=en --test-scan cancelled.pdf
wait_log 'NATIVEXFER\|UI: Found' > /dev/null
"$WINE_EXEC" ./main_driver.exe wait-busy 60000 > /dev/null 2>&1
sleep 2
started=$(date +%s)
"$WINE_EXEC" ./main_driver.exe close 30000 > /dev/null 2>&1
finish_program
echo "  closed $(( $(date +%s) - started )) s after the request"
check "close during scan: the scan was cancelled" has_line log "close: waiting for the scan to end"
check "close during scan: ended within 15 s" test $(( $(date +%s) - started )) -le 15
check "close during scan: fewer than 40 pages arrived" bash -c "! grep -q 'pages=40' '$WORK/log'"
check "close during scan: nothing saved" test ! -e cancelled.pdf
check "close during scan: clean exit" has_line log "=== exit ==="

# ---- a 300-page feeder scan: every page reaches the page list, the pixels kept in memory
# stay within the page store's budget (the rest is parked in its temporary file)
script_scanner Pages=300
settings Format=0 Dpi=150 ColorMode=0 Source=1 AutoDeskew=0 RemoveBlank=0 AutoCrop=0
started=$(date +%s)
program --lang=en --test-scan feeder.pdf
echo "  300 pages scanned and saved in $(( $(date +%s) - started )) s: $(grep '^scan finished' log)"
check "300 pages: exit code 0" test "$code" = 0
check "300 pages: all in the page list" grep -q '^scan finished: pages=300 arrived=300 ' log
check "300 pages: memory within the store's budget" \
    awk '/^scan finished/ { for (i = 1; i <= NF; i++) { split($i, kv, "="); v[kv[1]] = kv[2] } } END { exit !(v["resident_mb"] + 0 <= v["budget_mb"] + 0 && v["budget_mb"] + 0 > 0) }' log
check "300 pages: all saved" test "$(pdf_pages feeder.pdf)" = 300
report_on_failure
finish
