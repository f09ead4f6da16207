#!/usr/bin/env bash
# The 32-bit product's scan paths in two starts (32-bit starts may be emulated): Wine's
# 32-bit twain_32.dll loads the 32-bit virtual scanner from C:\windows\twain_32, and a
# three-page feeder scan, negotiated in the same order and with the same values as at 64
# bits, becomes a PDF that qpdf accepts; then a WIA feeder scan through the 32-bit stand-in
# device manager.
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

# WIA in 32 bits: the program's COM declarations against the stand-in's C-style vtables
# (a wrong slot, calling convention or structure layout shows only here), with the pages
# streamed from the stand-in's own thread.
script_scanner
script_wia "Devices=1" "[Device1]" "Id=wia-32" "Name=Feeder 32" "Type=0x10000" "Items=feeder" \
    "FeedWidth=8500" "FeedHeight=11690" "BrightnessRange=0,1000" "Pages=bmp,bmp-gap,garbage" "Thread=1"
zancli_wia scan --device "WIA:wia-32" --dpi 300 --paper legal --source feeder --brightness 50 wia.pdf
check "32-bit WIA scan exits 0" test "$code" = 0
check "32-bit WIA: 2 pages" test "$(pdf_pages wia.pdf)" = 2
check "32-bit WIA: extents" bash -c "grep -qx 'write feeder 6151=2550 hr=0x00000000' wia_trace && grep -qx 'write feeder 6152=3507 hr=0x00000000' wia_trace"
check "32-bit WIA: brightness 750" grep -qx 'write feeder 6154=750 hr=0x00000000' wia_trace
check "32-bit WIA: one undecodable page" test "$(grep -c '^WIA: could not decode a page stream (300 bytes)$' log)" = 1
check "32-bit WIA: each stream released" test "$(grep -c '^page [0-9] released, 0 left$' wia_trace)" = 3
report_on_failure
finish
