#!/usr/bin/env bash
# zancli scan against a virtual scanner and test manager that behave like real ones: a
# driver that pumps the scan thread's messages inside its calls, a helper DLL found only
# through the folder the manager makes current, an OLE driver screen, the manager's own
# memory and callback, capability answers in other containers, values rounded by the
# source, a failing first manager, a failing MSG_ENDXFER and the status lines.
. "$(dirname "$0")/scan_lib.sh"
DSM="Zan Group|Virtual|Dsm Scanner"
SANE="Zan Group|Virtual|Sane Scanner"
dsm_sources 1
cp "$ZAN_BUILD/tools/zan_vscan_helper.dll" "$WORK/dsm/"

# A script for the copy behind TWAINDSM.dll; the one behind twain_32.dll keeps another name.
dsm_script() {
    script_scanner "Product=Dsm Scanner" "$@" "[sane]" "Product=Sane Scanner"
}

# Every finish leaves the source disabled and closed, and the manager closed, with no
# request refused for arriving inside another.
closed_cleanly() {
    has_line log "DISABLEDS rc=0" && has_line log "CLOSEDS rc=0" && has_line log "TWAINDSM.dll: CLOSEDSM rc=0" &&
        ! grep -q '^REENTRANT' trace
}

# ---- the driver's helper DLL beside its .ds loads while the manager opens it
dsm_script "Helper=zan_vscan_helper.dll" "Pages=2"
zancli scan --device "$DSM" helper.pdf
check "helper DLL found through the manager's folder" has_line out.txt "Scan finished — pages: 2"
check "helper DLL: no load failure" bash -c "! grep -q '^HELPER missing' trace"

# ---- status lines: opening, scanning, each page
dsm_script "Pages=2"
zancli scan --device "$DSM" status.pdf
check "status: opening" has_line out.txt "status: Opening the device..."
check "status: scanning" has_line out.txt "status: Scanning..."
check "status: page 1" has_line out.txt "status: Scanning... page 1..."
check "status: page 2" has_line out.txt "status: Scanning... page 2..."
check "status lines in order" bash -c "grep '^status:' out.txt | head -2 | tr '\n' '|' | grep -qx 'status: Opening the device...|status: Scanning...|'"

# ---- the manager's own memory for capability containers (DAT_ENTRYPOINT)
dsm_script "FeederLoaded=0"
zancli scan --device "$DSM" --source feeder --dpi 300 mem.pdf
check "containers in the manager's memory are readable by the source" has_line trace "CAP SET 0x1118 type=7 item=300"
check "no container refused" bash -c "! grep -q 'bad container' trace"
check "the source's answer in the manager's memory is read (empty feeder)" has_line err.txt "No paper in the ADF, or the device is not ready."

# ---- an OLE driver screen needs a single-threaded apartment
dsm_script "NeedsSta=1"
zancli scan --device "$DSM" --driver-ui ole.pdf
check "OLE screen: apartment accepted" has_line trace "OLE ok"
check "OLE screen: scanned" has_line out.txt "Scan finished — pages: 1"

# ---- "transfer ready" while MSG_ENABLEDS still runs (a driver's modal screen pumps messages)
dsm_script "Signal=callback" "ReadyInEnable=1" "EnablePumpMs=300" "Pages=2"
zancli scan --device "$DSM" nested.pdf
check "ready inside ENABLEDS: both pages" has_line out.txt "Scan finished — pages: 2"
check "ready inside ENABLEDS: transfer after ENABLEDS returned" closed_cleanly

# The same through twain_32.dll, which hands the signal over only through MSG_PROCESSEVENT.
script_scanner "Product=Dsm Scanner" "[sane]" "Product=Sane Scanner" "ReadyInEnable=1" "EnablePumpMs=300" "Pages=2"
zancli scan --device "$SANE" nested32.pdf
check "ready inside ENABLEDS (twain_32.dll): both pages" has_line out.txt "Scan finished — pages: 2"

# ---- cancel right after "transfer ready" (source in state 6)
dsm_script "Signal=callback" "ReadyInEnable=1" "EnablePumpMs=1500" "Pages=3"
zancli scan --device "$DSM" --cancel-at-status 2 ready.pdf
check "cancel after ready exits 1" test "$code" = 1
check "cancel after ready sentence" has_line err.txt "Scan cancelled."
check "cancel after ready: no page" bash -c "! grep -q '^NATIVEXFER' trace"
check "cancel after ready: transfers ended before disabling" bash -c "grep -E '^(ENDXFER|RESET|DISABLEDS|CLOSEDS)' trace | tail -2 | tr '\n' ' ' | grep -qx 'DISABLEDS CLOSEDS '"
check "cancel after ready: closed cleanly" closed_cleanly

# ---- cancel during a page while the driver pumps messages (its progress window)
dsm_script "Signal=callback" "Pump=1" "DelayMs=500" "Pages=6"
zancli scan --device "$DSM" --source feeder --cancel-after 1 pump.pdf
pages=$(sed -n 's/^Scan finished — pages: \([0-9]*\)$/\1/p' out.txt)
check "cancel while pumping exits 0" test "$code" = 0
check "cancel while pumping keeps the pages (got '$pages')" test "${pages:-0}" -ge 1 -a "${pages:-0}" -lt 6
check "cancel while pumping: pending transfers reset" has_line trace "RESET"
check "cancel while pumping: closed cleanly" closed_cleanly
check "cancel while pumping: PDF holds the pages" test "$(pdf_pages pump.pdf)" = "$pages"

# ---- the source asks to close during a transfer
dsm_script "Signal=callback" "Pump=1" "DelayMs=200" "CloseAtPage=2" "Pages=4"
zancli scan --device "$DSM" --source feeder closereq.pdf
check "close request during a transfer exits 0" test "$code" = 0
check "close request during a transfer keeps that page" has_line out.txt "Scan finished — pages: 2"
check "close request during a transfer: closed cleanly" closed_cleanly

# ---- MSG_ENDXFER fails after page 2
dsm_script "EndXferFailAtPage=2" "Pages=4"
zancli scan --device "$DSM" --source feeder endxfer.pdf
check "ENDXFER failure exits 0 with the pages" test "$code" = 0
check "ENDXFER failure sentence" has_line out.txt "Scan finished — pages: 2 - The device refused to start. Try enabling \"Show scanner driver screen\". (TWCC 5 / OPERATIONERROR)"
check "ENDXFER failure: closed cleanly" closed_cleanly

# ---- capability answers as an enumeration and as a range
dsm_script "FeederLoaded=0" "Container=enumeration"
zancli scan --device "$DSM" --source feeder enum.pdf
check "enumeration answer read: empty feeder" has_line err.txt "No paper in the ADF, or the device is not ready."
dsm_script "FeederLoaded=0" "Container=range" "Pages=1"
zancli scan --device "$DSM" --source feeder range.pdf
check "range answer is not a boolean: scan goes on" has_line out.txt "Scan finished — pages: 1"

# ---- values the source does not support are rounded (TWRC_CHECKSTATUS)
dsm_script "Resolutions=100,300" "Papers=1,3"
zancli scan --device "$DSM" --dpi 250 --paper a3 round.pdf
check "rounded resolution logged" has_line log "  SET ICAP_XRESOLUTION = 250 -> rc=2 cc=0(SUCCESS)"
check "rounded paper logged" has_line log "  SET ICAP_SUPPORTEDSIZES = 11 -> rc=2 cc=0(SUCCESS)"
check "page at the source's resolution and paper" grep -q '^  IMAGEINFO 2481x3507 bpp=24 pixeltype=2 dpi=300$' log

# ---- the first manager cannot open the source: the second one scans
script_scanner "Product=Same Scanner" "[sane]" "OpenFail=16"
zancli scan --device "Zan Group|Virtual|Same Scanner" second.pdf
check "second manager scans" has_line out.txt "Scan finished — pages: 1"
check "first manager's refusal logged" grep -q '^twain_32.dll: OPENDS rc=1 ' log
check "opened through the second manager" has_line log "TWAINDSM.dll: OPENDS ok id=1"
report_on_failure
finish
