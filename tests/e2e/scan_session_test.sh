#!/usr/bin/env bash
# zancli scan through the virtual scanner over both source managers: the negotiation order
# and values seen by the source, the session's log lines, the feeder check before
# MSG_ENABLEDS, a paper jam after three pages, a doubled "transfer ready", the PDF and PNG
# output.
. "$(dirname "$0")/scan_lib.sh"
SANE="Zan Group|Virtual|Sane Scanner"
DSM="Zan Group|Virtual|Dsm Scanner"

# ---- twain_32.dll: three pages from the feeder at 200 dpi, brightness 25
script_scanner "Pages=3" "Product=Dsm Scanner" "[sane]" "Product=Sane Scanner"
dsm_sources 1
zancli scan --device "$SANE" --dpi 200 --source feeder --brightness 25 out.pdf
check "feeder scan exits 0" test "$code" = 0
check "result sentence" has_line out.txt "Scan finished — pages: 3"
check "3-page PDF" test "$(pdf_pages out.pdf)" = 3
check "PDF passes qpdf --check" qpdf --check out.pdf
cat > expected <<'X'
CALLBACK REGISTER
CAP SET 0x0103 type=4 item=0
CAP SET 0x0001 type=1 item=65535
CAP GET 0x100f
CAP SET 0x0102 type=4 item=0
CAP SET 0x0101 type=4 item=2
CAP SET 0x1118 type=7 item=200
CAP SET 0x1119 type=7 item=200
CAP SET 0x1122 type=4 item=1
CAP SET 0x1002 type=6 item=1
CAP SET 0x1007 type=6 item=1
CAP GET 0x1003
CAP SET 0x1013 type=6 item=0
CAP SET 0x1101 type=7 item=250
X
negotiation > got
check "negotiation order and values (brightness 25 sent as 250)" diff expected got
check "source enabled without its screen" has_line trace "ENABLEDS show=0 modal=0"
check "pages at the negotiated resolution" test "$(grep -c '^NATIVEXFER page=[123] dpi=200 pixeltype=2$' trace)" = 3
check "source disabled, then closed" bash -c "tail -2 trace | tr '\n' ' ' | grep -qx 'DISABLEDS CLOSEDS '"
check "log: opened through twain_32.dll" grep -q '^twain_32.dll: OPENDS ok id=[0-9]*$' log
check "log: TWAINDSM.dll never loaded for a twain_32-only device" bash -c "! grep -q 'TWAINDSM.dll: OPENDSM' <(sed -n '/^TWAIN scan/,\$p' log)"
check "log: brightness line" has_line log "  SET ICAP_BRIGHTNESS = 250 -> rc=0"
check "log: enable line" has_line log "ENABLEDS rc=0 showUi=0"
check "log: transfer loop once" test "$(grep -c '^XFERREADY -> transfer loop$' log)" = 1
check "log: image info" grep -q '^  IMAGEINFO 1654x2338 bpp=24 pixeltype=2 dpi=200$' log
check "log: last transfer ends the batch" has_line log "  ENDXFER rc=0 pending=0"
check "log: finish lines" bash -c "sed -n '/^TWAIN scan/,\$p' log | grep -E '^(DISABLEDS|CLOSEDS|twain_32.dll: CLOSEDSM) rc=0$' | wc -l | grep -qx 3"
report_on_failure

# ---- TWAINDSM.dll: grey, glass, brightness 0 (not sent), contrast -10, A5
zancli scan --device "$DSM" --mode gray --dpi 150 --paper a5 --contrast -10 gray.pdf
check "TWAINDSM scan exits 0" test "$code" = 0
check "log: opened through TWAINDSM.dll" grep -q '^TWAINDSM.dll: OPENDS ok id=1$' log
check "log: twain_32.dll not loaded for a TWAINDSM-only device" bash -c "! grep -q 'twain_32.dll: OPENDSM' <(sed -n '/^TWAIN scan/,\$p' log)"
check "nothing sent for brightness 0" bash -c "! grep -q '^CAP SET 0x1101' trace"
check "contrast -10 sent as -100" has_line trace "CAP SET 0x1103 type=7 item=65436"
check "grey pixel type" has_line trace "CAP SET 0x0101 type=4 item=1"
check "A5 paper" has_line trace "CAP SET 0x1122 type=4 item=5"
check "no feeder: no AUTOFEED, no FEEDERLOADED" bash -c "! grep -qE '^CAP (SET 0x1007|GET 0x1003)' trace"
check "grey page of 150 dpi" grep -q '^  IMAGEINFO [0-9]*x[0-9]* bpp=8 pixeltype=1 dpi=150$' log
pages=$(pdf_pages gray.pdf)
check "3-page grey PDF (got '$pages')" test "$pages" = 3

# ---- black and white: the threshold is sent; duplex
zancli scan --device "$DSM" --mode bw --threshold 100 --source duplex bw.png
check "bw duplex scan exits 0" test "$code" = 0
check "threshold sent" has_line trace "CAP SET 0x1123 type=7 item=100"
check "duplex enabled" has_line trace "CAP SET 0x1013 type=6 item=1"
check "bw pixel type" has_line trace "CAP SET 0x0101 type=4 item=0"
check "PNG per page" test -s bw_001.png
check "PNG is a PNG" bash -c "head -c 8 bw_001.png | od -An -tx1 | grep -q '89 50 4e 47'"

# ---- the driver screen: only three requests before enabling
zancli scan --device "$SANE" --driver-ui ui.pdf
check "driver screen scan exits 0" test "$code" = 0
printf 'CALLBACK REGISTER\nCAP SET 0x0103 type=4 item=0\nCAP SET 0x0001 type=1 item=65535\n' > expected
negotiation > got
check "driver screen on: only callback, XFERMECH, XFERCOUNT" diff expected got
check "source enabled with its screen" has_line trace "ENABLEDS show=1 modal=1"

# ---- feeder empty: the session ends before MSG_ENABLEDS
script_scanner "FeederLoaded=0" "Pages=3" "[sane]" "Product=Sane Scanner"
zancli scan --device "$SANE" --source feeder empty.pdf
check "empty feeder exits 1" test "$code" = 1
check "empty feeder sentence" has_line err.txt "No paper in the ADF, or the device is not ready."
check "log: FEEDERLOADED false" has_line log "CAP_FEEDERLOADED = false"
check "never enabled" bash -c "! grep -q '^ENABLEDS' trace"
check "closed after the check" bash -c "tail -1 trace | grep -qx CLOSEDS"
check "no file written" test ! -e empty.pdf

# ---- a source that cannot tell whether paper is loaded scans normally
script_scanner "FeederLoaded=-1" "Pages=2" "[sane]" "Product=Sane Scanner"
zancli scan --device "$SANE" --source feeder unknown.pdf
check "unknown feeder state scans" has_line out.txt "Scan finished — pages: 2"

# ---- device offline
script_scanner "Online=0" "[sane]" "Product=Sane Scanner"
zancli scan --device "$SANE" offline.pdf
check "offline exits 1" test "$code" = 1
check "offline sentence" has_line err.txt "The device is offline or switched off. Check the cable and power."
check "log: DEVICEONLINE false" has_line log "CAP_DEVICEONLINE = false"

# ---- paper jam after three pages (TWAINDSM.dll)
script_scanner "Pages=5" "FailAtPage=4" "FailCode=20" "Product=Dsm Scanner"
zancli scan --device "$DSM" --source feeder jam.pdf
check "jam after pages exits 0" test "$code" = 0
check "jam sentence with the count" has_line out.txt "Scan finished — pages: 3 - Paper jam. Clear the jam and try again."
check "log: transfer failed line" has_line log "  transfer failed cc=20(PAPERJAM)"
check "pending pages reset before disabling" bash -c "grep -A1 '^RESET$' trace | tail -1 | grep -qx DISABLEDS"
check "3-page PDF after the jam" test "$(pdf_pages jam.pdf)" = 3

# ---- a failure before any page
script_scanner "Pages=2" "FailAtPage=1" "FailCode=2" "Product=Dsm Scanner"
zancli scan --device "$DSM" lowmem.pdf
check "failure on page 1 exits 1" test "$code" = 1
check "low-memory sentence" has_line err.txt "Out of memory while scanning. Save the current pages and scan a smaller batch, or lower the DPI."

# ---- "transfer ready" through the callback and the event path: one transfer loop
for dsm in "$SANE" "$DSM"; do
    script_scanner "Signal=both" "Pages=2" "EnableReturn=2" "Product=Dsm Scanner" "[sane]" "Product=Sane Scanner"
    zancli scan --device "$dsm" twice.pdf
    check "double signal ($dsm): both sent" test "$(grep -c '^SIGNAL' trace)" = 2
    check "double signal ($dsm): ENABLEDS CHECKSTATUS accepted" has_line log "ENABLEDS rc=2 showUi=0"
    check "double signal ($dsm): one transfer loop" test "$(grep -c '^XFERREADY -> transfer loop$' log)" = 1
    check "double signal ($dsm): two pages" has_line out.txt "Scan finished — pages: 2"
done
# The test manager calls the program's callback itself (twain_32.dll knows only DAT_NULL).
check "double signal: callback through TWAINDSM.dll logged" has_line log "callback msg=0x101"

# ---- ENABLEDS refused
script_scanner "EnableFail=24" "[sane]" "Product=Sane Scanner"
zancli scan --device "$SANE" refused.pdf
check "refused enable exits 1" test "$code" = 1
check "cover-open sentence" has_line err.txt "The scanner cover is open. Close it and try again."
check "log: enable failure" has_line log "ENABLEDS failed cc=24(INTERLOCK)"

# ---- an unknown device
zancli scan --device "Nobody|Nothing|None" none.pdf
check "unknown device exits 1" test "$code" = 1
check "unknown device sentence" has_line err.txt "The device was not found. Press Refresh."
report_on_failure
finish
