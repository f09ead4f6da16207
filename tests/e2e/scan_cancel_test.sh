#!/usr/bin/env bash
# Cancelling a scan: by the user before any page and while pages arrive, by the source
# (TWRC_CANCEL) before and after pages, and from the driver screen.
. "$(dirname "$0")/scan_lib.sh"
SANE="Zan Group|Virtual|Sane Scanner"
DSM="Zan Group|Virtual|Dsm Scanner"
dsm_sources 1

# The user cancels right after the start: the flag set before the thread ran is kept.
script_scanner "Pages=3" "Product=Dsm Scanner" "[sane]" "Product=Sane Scanner"
zancli scan --device "$DSM" --cancel-after 0 early.pdf
check "cancel at once exits 1" test "$code" = 1
check "cancel at once sentence" has_line err.txt "Scan cancelled."
check "cancel at once: no page transferred" bash -c "! grep -q '^NATIVEXFER' trace"
check "cancel at once: logged" has_line log "cancel requested by user"
check "cancel at once: source closed" bash -c "tail -1 trace | grep -qx CLOSEDS"

# The user cancels while a slow feeder delivers: the loop stops after the current page.
script_scanner "Pages=8" "DelayMs=400" "Product=Dsm Scanner"
zancli scan --device "$DSM" --source feeder --cancel-after 2 late.pdf
pages=$(sed -n 's/^Scan finished — pages: \([0-9]*\)$/\1/p' out.txt)
check "cancel after pages exits 0" test "$code" = 0
check "cancel after pages keeps some pages (got '$pages')" test "${pages:-0}" -ge 2 -a "${pages:-0}" -lt 8
check "cancel after pages: pending transfers reset" has_line trace "RESET"
check "cancel after pages: PDF holds the pages" test "$(pdf_pages late.pdf)" = "$pages"

# The source cancels the first transfer: nothing scanned.
script_scanner "Pages=3" "CancelAtPage=1" "[sane]" "Product=Sane Scanner"
zancli scan --device "$SANE" none.pdf
check "source cancel before pages exits 1" test "$code" = 1
check "source cancel before pages sentence" has_line err.txt "Scan cancelled."

# The source cancels the third transfer: two pages are kept.
script_scanner "Pages=5" "CancelAtPage=3" "[sane]" "Product=Sane Scanner"
zancli scan --device "$SANE" two.pdf
check "source cancel after two pages exits 0" test "$code" = 0
check "source cancel after two pages sentence" has_line out.txt "Scan finished — pages: 2"
check "two-page PDF" test "$(pdf_pages two.pdf)" = 2

# The driver screen is cancelled.
# twain_32.dll passes the request on through MSG_PROCESSEVENT, TWAINDSM.dll through the
# program's callback.
for signal in event callback; do
    script_scanner "DriverUi=cancel" "Signal=$signal" "Product=Dsm Scanner" "[sane]" "Product=Sane Scanner"
    device=$SANE
    [ "$signal" = callback ] && device=$DSM
    zancli scan --device "$device" --driver-ui ui.pdf
    check "driver screen cancelled ($signal) exits 1" test "$code" = 1
    check "driver screen cancelled ($signal) sentence" has_line err.txt "Scan cancelled from the driver screen."
    check "driver screen cancelled ($signal) logged" has_line log "DS requested close (0x102)"
done
report_on_failure
finish
