#!/usr/bin/env bash
# eSCL copiers through zancli against the mock copier (tools/escl_mock/escl_mock.py), which
# serves on 127.0.0.1 only; the DNS-SD stand-in (ZAN_ESCL_DISCOVERY) replaces network
# discovery, so nothing here talks to any other address. Covered: a saved address and a
# discovered copier in the device list, a 3-page feeder scan to PDF with the settings
# checked on the copier's side, platen and duplex requests, an empty feeder, a jam after
# page 2, cancel (the job deleted on the copier), a page that is not a JPEG, a copier that
# stalls, refused requests, a job Location naming another host, HTTPS with a self-signed
# certificate, an unreachable address.
. "$(dirname "$0")/scan_lib.sh"
MOCK="$ZAN_SOURCE/tools/escl_mock/escl_mock.py"
UUID=4509a320-00a0-008f-00b6-00000000ab01
convert -size 255x330 xc:white -fill black -draw 'rectangle 20,20 200,60' -quality 90 "$WORK/page.jpg"
script_scanner "Product=Twain One"
dsm_sources 0

mock_pid=""
stop_mock() {
    if [ -n "$mock_pid" ]; then
        kill "$mock_pid" 2>/dev/null
        wait "$mock_pid" 2>/dev/null
        mock_pid=""
    fi
}
trap 'stop_mock; rm -rf "$WORK"' EXIT

# start_mock [options]: a fresh copier; its port in $port, its request lines in
# requests, the scan requests it received in jobs.xml.
start_mock() {
    stop_mock
    rm -f "$WORK/port" "$WORK/requests" "$WORK/jobs.xml"
    touch "$WORK/requests" "$WORK/jobs.xml"
    python3 "$MOCK" --port-file "$WORK/port" --log "$WORK/requests" --jobs "$WORK/jobs.xml" \
        --page "$WORK/page.jpg" "$@" &
    mock_pid=$!
    local i
    for i in $(seq 1 100); do
        [ -s "$WORK/port" ] && break
        sleep 0.1
    done
    port=$(cat "$WORK/port")
    device="eSCL:127.0.0.1:$port"
}

# zancli with the DNS-SD stand-in (found.txt) and the copier time-out (TIMEOUT_MS); the
# copier's records start empty.
: > "$WORK/found.txt"
zancli_escl() {
    : > "$WORK/requests"
    : > "$WORK/jobs.xml"
    ZAN_ESCL_DISCOVERY=$(win_path "$WORK/found.txt") ZAN_ESCL_TIMEOUT_MS=${TIMEOUT_MS:-20000} zancli "$@"
}

in_job() {  # in_job <exact XML element text>: the copier received it in a scan request
    grep -qF -- "$1" "$WORK/jobs.xml"
}

# ---- the device list: a saved address (asked for its capabilities) and DNS-SD
start_mock --pages 3 --inputs platen,feeder
zancli_escl escl-add "not an address"
check "a bad address is refused with its sentence" grep -q "^The address is not valid" err.txt
zancli_escl escl-add "127.0.0.1:$port"
check "escl-add exits 0" test "$code" = 0
check "escl-add prints the saved address" has_line out.txt "127.0.0.1:$port"
printf 'Mock again|http://127.0.0.1:%s/eSCL|urn:uuid:%s\r\nHall Copier|http://127.0.0.1:1/eSCL|HALL-7\r\n' \
    "$port" "${UUID^^}" > "$WORK/found.txt"
zancli_escl devices
check "devices exits 0" test "$code" = 0
check "saved copier listed by its UUID with its lines" has_line out.txt \
    "eSCL:$UUID	escl	0	Zan Mock Copier 5000	Zan Mock Copier 5000  (eSCL)	Network scanning (eSCL) · 127.0.0.1:$port · Zan Test Works"
check "discovered copier listed" grep -qP '^eSCL:hall-7\tescl\t0\tHall Copier\tHall Copier  \(eSCL\)\t' out.txt
check "the same copier found twice is listed once" test "$(grep -c '(eSCL)' out.txt)" = 2
check "capabilities asked once" test "$(grep -c '^GET /eSCL/ScannerCapabilities 200$' requests)" = 1
: > "$WORK/found.txt"

# ---- 3 pages from the feeder into a PDF, the remembered copier by its UUID key
zancli_escl scan --device "eSCL:$UUID" --source feeder --dpi 300 --mode gray --paper letter --brightness 50 out.pdf
check "feeder scan exits 0" test "$code" = 0
check "3 pages in the PDF" test "$(pdf_pages out.pdf)" = 3
check "PDF passes qpdf --check" qpdf --check out.pdf
check "result line" has_line out.txt "Scan finished — pages: 3"
check "sent: feeder" in_job "<pwg:InputSource>Feeder</pwg:InputSource>"
check "sent: simplex" in_job "<scan:Duplex>false</scan:Duplex>"
check "sent: 300 dpi" in_job "<scan:XResolution>300</scan:XResolution>"
check "sent: grey" in_job "<scan:ColorMode>Grayscale8</scan:ColorMode>"
check "sent: letter width in 1/300 in" in_job "<pwg:Width>2550</pwg:Width>"
check "sent: letter height in 1/300 in" in_job "<pwg:Height>3300</pwg:Height>"
check "sent: region units" in_job "<pwg:ContentRegionUnits>escl:ThreeHundredthsOfInches</pwg:ContentRegionUnits>"
check "sent: brightness 50 on the copier's 0..1000" in_job "<scan:Brightness>750</scan:Brightness>"
check "not sent: contrast (not advertised)" bash -c "! grep -q Contrast '$WORK/jobs.xml'"
check "sent: JPEG" in_job "<pwg:DocumentFormat>image/jpeg</pwg:DocumentFormat>"
check "three pages fetched, then the end" test "$(grep -c '^GET /eSCL/ScanJobs/1/NextDocument 200$' requests)" = 3
check "the end is a 404" has_line requests "GET /eSCL/ScanJobs/1/NextDocument 404"
check "log: the request line" has_line log \
    "eSCL job request: input=Feeder duplex=0 mode=Grayscale8 dpi=300 region=2550x3300 brightness=750 contrast=-1"
zancli_escl escl-remove "127.0.0.1:$port"
check "escl-remove exits 0" test "$code" = 0

# ---- the glass: one page, the nearest resolution, A3 cut to the glass
zancli_escl scan --device "$device" --source glass --dpi 250 --paper a3 glass.pdf
check "glass scan exits 0" test "$code" = 0
check "glass: one page" test "$(pdf_pages glass.pdf)" = 1
check "sent: platen" in_job "<pwg:InputSource>Platen</pwg:InputSource>"
check "sent: no duplex element on the glass" bash -c "! grep -q Duplex '$WORK/jobs.xml'"
check "sent: 250 dpi became 200 (nearest listed, ties to the lower)" in_job "<scan:XResolution>200</scan:XResolution>"
check "sent: A3 height cut to the glass" in_job "<pwg:Height>3508</pwg:Height>"
check "sent: colour" in_job "<scan:ColorMode>RGB24</scan:ColorMode>"

# ---- two-sided: duplex only where the copier offers it
zancli_escl scan --device "$device" --source duplex simplex.pdf
check "no duplex offered: simplex asked" in_job "<scan:Duplex>false</scan:Duplex>"
start_mock --pages 2 --inputs platen,feeder,duplex
zancli_escl scan --device "$device" --source duplex --mode bw duplex.pdf
check "duplex scan exits 0" test "$code" = 0
check "sent: duplex" in_job "<scan:Duplex>true</scan:Duplex>"
check "sent: black and white" in_job "<scan:ColorMode>BlackAndWhite1</scan:ColorMode>"

# ---- an empty feeder
start_mock --empty-feeder
zancli_escl scan --device "$device" --source feeder empty.pdf
check "empty feeder fails" test "$code" = 1
check "empty feeder sentence" has_line err.txt "No paper in the feeder, or the device is not ready."
check "the copier's status was asked" has_line requests "GET /eSCL/ScannerStatus 200"
check "no file for an empty feeder" test ! -e empty.pdf

# ---- a jam after page 2: both pages kept, the jam sentence
start_mock --pages 5 --jam-after 2
zancli_escl scan --device "$device" --source feeder jam.pdf
check "jam: pages kept (exit 0)" test "$code" = 0
check "jam: 2 pages in the PDF" test "$(pdf_pages jam.pdf)" = 2
check "jam sentence" has_line out.txt "Scan finished — pages: 2 - Paper jam. Clear the jam and try again."

# ---- cancel while slow pages arrive: the job is deleted on the copier
start_mock --pages 6 --slow-ms 800
zancli_escl scan --device "$device" --source feeder --cancel-after 1 cancel.pdf
check "cancel exits 0 (pages kept)" test "$code" = 0
check "cancel: fewer pages than in the feeder" test "$(pdf_pages cancel.pdf)" -lt 6
check "cancel: the job deleted on the copier" has_line requests "DELETE /eSCL/ScanJobs/1 200"
check "cancel: no page asked after the delete" bash -c "! sed -n '/^DELETE/,\$p' '$WORK/requests' | grep -q NextDocument"
check "log: cancel" has_line log "cancel requested by user"

# ---- a page that is not a JPEG: the pages before it are kept
start_mock --pages 3 --bad-page 2
zancli_escl scan --device "$device" --source feeder badpage.pdf
check "bad page: exit 0 with page 1" test "$code" = 0
check "bad page: 1 page kept" test "$(pdf_pages badpage.pdf)" = 1
check "bad page sentence" has_line out.txt \
    "Scan finished — pages: 1 - Page 2 from the copier is not a picture this program can read. The pages received before it were kept."
check "bad page: the job deleted" has_line requests "DELETE /eSCL/ScanJobs/1 200"
start_mock --pages 3 --bad-page 1
zancli_escl scan --device "$device" --source feeder badfirst.pdf
check "bad first page fails" test "$code" = 1
check "bad first page sentence" grep -q "^Page 1 from the copier is not a picture" err.txt

# ---- a copier that stalls after page 1 times out
start_mock --pages 3 --stall-after 1
TIMEOUT_MS=3000 zancli_escl scan --device "$device" --source feeder stall.pdf
check "stall: exit 0 with page 1" test "$code" = 0
check "stall: 1 page kept" test "$(pdf_pages stall.pdf)" = 1
check "stall sentence" has_line out.txt \
    "Scan finished — pages: 1 - The copier stopped answering. Check that it is switched on and connected, then scan again."
check "stall: the job deleted" has_line requests "DELETE /eSCL/ScanJobs/1 200"

# ---- refused requests
start_mock --post-status 401
zancli_escl scan --device "$device" refused.pdf
check "401 fails" test "$code" = 1
check "sign-in sentence" grep -q "^The copier asks for a sign-in before it scans (HTTP 401)" err.txt
start_mock --post-status 503
zancli_escl scan --device "$device" busy.pdf
check "busy sentence" has_line err.txt "The device denied the request (busy or locked)."
start_mock --caps-status 500
zancli_escl scan --device "$device" broken.pdf
check "HTTP error sentence" has_line err.txt "The copier refused the request (HTTP 500). Check the copier's screen and try again."

# ---- a job Location naming another host: the program stays with the copier it asked
start_mock --pages 1 --location-host 192.0.2.1:9
zancli_escl scan --device "$device" --source feeder other.pdf
check "foreign Location: the scan works" test "$(pdf_pages other.pdf)" = 1
check "foreign Location: pages fetched from the copier" has_line requests "GET /eSCL/ScanJobs/1/NextDocument 200"

# ---- HTTPS with the copier's own certificate: accepted for that copier, the user told once
openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=copier.invalid -days 2 \
    -keyout "$WORK/key.pem" -out "$WORK/cert.pem" 2>/dev/null
start_mock --pages 2 --tls-cert "$WORK/cert.pem" --tls-key "$WORK/key.pem"
zancli_escl scan --device "eSCL:https://127.0.0.1:$port" --source feeder tls.pdf
check "https scan exits 0" test "$code" = 0
check "https: 2 pages" test "$(pdf_pages tls.pdf)" = 2
check "https: the user told once" test "$(grep -c "^status: The copier at 127.0.0.1:$port uses its own security certificate. It was accepted for this copier only.$" out.txt)" = 1
check "https: the log names the host" grep -q "^eSCL: certificate of 127.0.0.1 not trusted by the system; accepted for this host$" log

# ---- the main window's unattended scan through a remembered copier: the copier is
# listed from the saved address, chosen by LastDevice, scanned and saved like any scanner
cp "$ZAN_BUILD/app/ZanGroupScanner.exe" "$WORK/"
start_mock --pages 2 --inputs platen,feeder
printf '[Settings]\r\nLanguage=1\r\nSource=1\r\nDpi=150\r\nFormat=0\r\nLastDevice=eSCL:%s\r\n[EsclDevices]\r\nCount=1\r\nA0=127.0.0.1:%s\r\n' \
    "$UUID" "$port" > "$WORK/ZanGroupScanner.ini"
rm -f "$WORK/ZanGroupScanner.log"
: > "$WORK/requests"
(cd "$WORK" && ZAN_ESCL_DISCOVERY=$(win_path "$WORK/found.txt") timeout 180 "$WINE_EXEC" ./ZanGroupScanner.exe \
    --lang=en --test-scan window.pdf >/dev/null 2>&1)
code=$?
check "main window test-scan exits 0" test "$code" = 0
check "main window: 2 pages from the copier's feeder" test "$(pdf_pages window.pdf)" = 2
check "main window: the PDF is sound" qpdf --check window.pdf
check "main window: the feeder was asked for" in_job "<pwg:InputSource>Feeder</pwg:InputSource>"
check "main window: the save is logged" grep -q 'save result ok=1 .*window.pdf' "$WORK/ZanGroupScanner.log"

# ---- a copier added by its address in the main window: the entry beside the device list
# saves the address and the enumeration that follows lists and chooses the copier
cp "$ZAN_BUILD/tools/main_driver.exe" "$WORK/"
start_mock --pages 1 --inputs platen
printf '[Settings]\r\nLanguage=1\r\nLastDevice=eSCL:%s\r\n' "$UUID" > "$WORK/ZanGroupScanner.ini"
(cd "$WORK" && ZAN_ESCL_DISCOVERY=$(win_path "$WORK/found.txt") timeout 180 "$WINE_EXEC" ./ZanGroupScanner.exe \
    --lang=en >/dev/null 2>&1) &
window=$!
driver() { (cd "$WORK" && timeout 60 "$WINE_EXEC" ./main_driver.exe "$@" >/dev/null 2>&1); }
# The first enumeration starts just after the window is up: wait for its end.
driver wait-idle 60000
sleep 3
check "main window: idle after start-up" driver wait-idle 60000
check "main window: the add-scanner entry opens its dialog" driver click 226
check "main window: the address is typed and confirmed" driver answer "127.0.0.1:$port"
sleep 1
check "main window: idle after the refresh" driver wait-idle 60000
driver text 201 "$(win_path "$WORK/device.txt")"
check "main window: the added copier is listed and chosen" grep -qF "Zan Mock Copier 5000  (eSCL)" "$WORK/device.txt"
check "main window: the address is saved" bash -c "tr -d '\\000' < '$WORK/ZanGroupScanner.ini' | grep -q 'A0=127.0.0.1:$port'"
check "main window: the copier's capabilities were asked" grep -q '^GET /eSCL/ScannerCapabilities 200$' "$WORK/requests"
driver close 30000
wait "$window" 2>/dev/null

# ---- nothing listens
stop_mock
zancli_escl scan --device "eSCL:127.0.0.1:1" nothing.pdf
check "unreachable fails" test "$code" = 1
check "unreachable sentence" grep -q "^The copier at 127.0.0.1:1 could not be reached" err.txt

report_on_failure
finish
