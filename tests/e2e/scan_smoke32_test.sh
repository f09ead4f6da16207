#!/usr/bin/env bash
# The 32-bit product's scan path in one start (32-bit starts may be emulated): Wine's
# 32-bit twain_32.dll loads the 32-bit virtual scanner from C:\windows\twain_32, and a
# three-page feeder scan, negotiated in the same order and with the same values as at 64
# bits, becomes a PDF that qpdf accepts.
. "$(dirname "$0")/scan_lib.sh"
script_scanner "Pages=3" "Product=Dsm Scanner" "[sane]" "Product=Sane Scanner"
dsm_sources 1
zancli scan --device "Zan Group|Virtual|Sane Scanner" --dpi 200 --source feeder out.pdf
check "32-bit scan exits 0" test "$code" = 0
check "32-bit result sentence" has_line out.txt "Scan finished — pages: 3"
check "32-bit process" has_line log "=== TWAIN enumeration (process 32-bit) ==="
check "twain_32.dll loaded from the Windows folder" grep -q '^twain_32.dll: OPENDSM ok (C:\\windows\\twain_32.dll)$' log
check "TWAINDSM.dll listed its source too" grep -q "^  TWAINDSM.dll source: Id=1 'Zan Group' | 'Virtual' | 'Dsm Scanner'" log
printf '%s\n' "CALLBACK REGISTER" "CAP SET 0x0103 type=4 item=0" "CAP SET 0x0001 type=1 item=65535" \
    "CAP GET 0x100f" "CAP SET 0x0102 type=4 item=0" "CAP SET 0x0101 type=4 item=2" "CAP SET 0x1118 type=7 item=200" \
    "CAP SET 0x1119 type=7 item=200" "CAP SET 0x1122 type=4 item=1" "CAP SET 0x1002 type=6 item=1" \
    "CAP SET 0x1007 type=6 item=1" "CAP GET 0x1003" "CAP SET 0x1013 type=6 item=0" > expected
negotiation > got
check "32-bit negotiation order and values" diff expected got
check "32-bit session disabled and closed the source" bash -c "grep -qx 'DISABLEDS rc=0' log && grep -qx 'CLOSEDS rc=0' log"
check "3-page PDF" test "$(pdf_pages out.pdf)" = 3
check "PDF passes qpdf --check" qpdf --check out.pdf
report_on_failure
finish
