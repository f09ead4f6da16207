#!/usr/bin/env bash
# The main window driven from outside (tools/main_driver) through the virtual scanner:
#  - the enable table with no pages, while scanning and with pages;
#  - drag to reorder and keyboard moves with synthesized input, the saved PDF's page
#    order read back from its page sizes (the pages carry no text to read);
#  - the language switch keeps the pages and the settings;
#  - a figure for responsiveness: the longest answer to a message sent every 50 ms during
#    a 100-page scan and its save (printed, not judged).
. "$(dirname "$0")/scan_lib.sh"
cp "$ZAN_BUILD/app/ZanGroupScanner.exe" "$ZAN_BUILD/tools/main_driver.exe" "$WORK/"
export ZAN_VSCAN_INI
ZAN_VSCAN_INI=$(win_path "$WORK/scanner.ini")
mkdir -p "$WORK/out"

settings() {  # settings <key=value...>: a fresh settings file beside the program
    {
        printf '[Settings]\r\nLanguage=1\r\nLastDevice=Zan Group|Virtual|Zan Virtual Scanner\r\n'
        printf 'NamingMode=2\r\nNamePrefix=doc\r\nFixedFolder=1\r\nAfterSave=0\r\nFormat=0\r\n'
        printf 'SaveDir=%s\r\n' "$(win_path "$WORK/out")"
        local line
        for line in "$@"; do printf '%s\r\n' "$line"; done
    } > "$WORK/ZanGroupScanner.ini"
}
start_program() {
    rm -f "$WORK/ZanGroupScanner.log"
    "$WINE_EXEC" ./ZanGroupScanner.exe "$@" > /dev/null 2>&1 &
    app=$!
}
driver() {
    timeout 200 "$WINE_EXEC" ./main_driver.exe "$@" > /dev/null 2>&1
}
wait_log() {  # wait_log <pattern>: until the program's log has a matching line (60 s)
    local i
    for i in $(seq 600); do
        [ -e "$WORK/ZanGroupScanner.log" ] && tr -d '\r' < "$WORK/ZanGroupScanner.log" | grep -q -- "$1" && return 0
        sleep 0.1
    done
    return 1
}
stop_program() {
    driver close 20000 || kill "$app" 2>/dev/null
    wait "$app" 2>/dev/null
    sed 's/^[^]]*\] //' "$WORK/ZanGroupScanner.log" | tr -d '\r' > "$WORK/log"
}
state_of() {  # state_of <file> <id>: 1 enabled, 0 disabled
    awk -v id="$2" '$1 == id { print $2 }' "$1"
}
expect_states() {  # expect_states <file> <id=0|1...>
    local file=$1 pair bad=0
    shift
    for pair in "$@"; do
        if [ "$(state_of "$file" "${pair%=*}")" != "${pair#*=}" ]; then
            echo "  control ${pair%=*}: $(state_of "$file" "${pair%=*}"), expected ${pair#*=}"
            bad=1
        fi
    done
    return $bad
}
# Page widths of a PDF in points, in page order.
widths() {
    pdfinfo -f 1 -l 99 "$1" | awk '/^Page.*size:/ { printf "%d ", $4 }'
}
newest_pdf() {
    ls -t "$WORK"/out/*.pdf 2>/dev/null | head -1
}

# Four pages told apart by their widths: 600, 700, 800 and 900 pixels at 100 DPI
# (432, 504, 576 and 648 points).
for w in 600 700 800 900; do
    convert -size "${w}x800" xc:white -fill black -draw "rectangle 50,50 $((w - 50)),90" -density 100 -units PixelsPerInch \
        -type TrueColor BMP3:"$WORK/w$w.bmp"
done
script_scanner Pages=4 DelayMs=400 "ImageFile1=$(win_path "$WORK/w600.bmp")" "ImageFile2=$(win_path "$WORK/w700.bmp")" \
    "ImageFile3=$(win_path "$WORK/w800.bmp")" "ImageFile4=$(win_path "$WORK/w900.bmp")"
settings Dpi=100 ColorMode=0 AutoCrop=0 AutoDeskew=0 RemoveBlank=0 AppendBatch=0 Brightness=17

start_program --lang=en
check "window up, devices listed" wait_log '\] UI: Found'
check "idle" driver wait-idle 60000
driver states "$WORK/none.txt"
check "no pages: page tools, clear, save off; devices, refresh, scan, tools on" expect_states "$WORK/none.txt" \
    301=0 302=0 303=0 304=0 305=0 306=0 313=0 201=1 202=1 203=1 204=1 219=1 220=1 222=1 224=1
driver click 219
check "scan started" driver wait-busy 20000
driver states "$WORK/busy.txt"
check "scanning: only cancel and diagnostics on" expect_states "$WORK/busy.txt" \
    301=0 303=0 313=0 201=0 202=0 203=0 204=1 219=1 220=0 221=0 223=0 225=0
check "scan finished" driver wait-idle 60000
driver states "$WORK/pages.txt"
check "pages, last selected: every page command on" expect_states "$WORK/pages.txt" \
    301=1 302=1 303=1 304=1 305=1 306=1 313=1 202=1 219=1

# Page 1 dragged behind page 4, then Left and Delete remove the page before it.
check "drag page 1 behind page 4" driver drag 0 4
sleep 1
check "Left then Delete in the strip" driver key 37 46
sleep 1
driver click 313
sleep 1
check "saved" driver wait-idle 60000
first=$(newest_pdf)
order=$(widths "$first")
echo "  page widths after drag and delete: $order"
check "saved order: 2, 3, 1 (page 4 deleted)" test "$order" = "504 576 432 "

# The language switch keeps pages and settings.
driver click 101
sleep 2
check "idle after the switch" driver wait-idle 20000
driver states "$WORK/arabic.txt"
check "Arabic: pages kept (save and clear on)" expect_states "$WORK/arabic.txt" 313=1 303=1
driver click 313
sleep 1
check "saved again" driver wait-idle 60000
second=$(newest_pdf)
check "a second file" test "$second" != "$first"
check "same pages after the switch" test "$(widths "$second")" = "$order"
stop_program
check "language switch logged" has_line "$WORK/log" "UI: language ar"
iconv -f UTF-16LE -t UTF-8 "$WORK/ZanGroupScanner.ini" | tr -d '\r\357\273\277' > "$WORK/ini.txt"
check "settings kept: Language=0, Dpi=100, Brightness=17" \
    bash -c "grep -qx 'Language=0' '$WORK/ini.txt' && grep -qx 'Dpi=100' '$WORK/ini.txt' && grep -qx 'Brightness=17' '$WORK/ini.txt'"
check "window placement stored" grep -q '^WinW=1' "$WORK/ini.txt"

# Responsiveness during a 100-page scan and its save.
script_scanner Pages=100 DelayMs=20
settings Dpi=150 ColorMode=0 AutoCrop=0 AutoDeskew=1 RemoveBlank=1 AppendBatch=0
start_program --lang=en
check "devices listed before the long scan" wait_log '\] UI: Found'
check "idle before the long scan" driver wait-idle 60000
driver click 219
driver ping 600000 "$WORK/ping_scan.txt" &
pinger=$!
check "100-page scan finished" driver wait-idle 600000
wait "$pinger"
driver click 313
driver ping 600000 "$WORK/ping_save.txt" &
pinger=$!
check "100-page save finished" driver wait-idle 600000
wait "$pinger"
stop_program
echo "  responsiveness during the scan: $(cat "$WORK/ping_scan.txt" 2>/dev/null)"
echo "  responsiveness during the save: $(cat "$WORK/ping_save.txt" 2>/dev/null)"
check "100 pages scanned" grep -q '^scan finished: pages=100 ' "$WORK/log"
check "100 pages saved" test "$(pdf_pages "$(newest_pdf)")" = 100
report_on_failure
finish
