#!/usr/bin/env bash
# The 32-bit product's scan path in one start (32-bit starts may be emulated): Wine's
# 32-bit twain_32.dll loads the 32-bit virtual scanner from C:\windows\twain_32, and a
# three-page feeder scan becomes a PDF that qpdf accepts.
. "$(dirname "$0")/scan_lib.sh"
script_scanner "Pages=3" "Product=Dsm Scanner" "[sane]" "Product=Sane Scanner"
dsm_sources 1
zancli scan --device "Zan Group|Virtual|Sane Scanner" --dpi 200 --source feeder out.pdf
check "32-bit scan exits 0" test "$code" = 0
check "32-bit result sentence" has_line out.txt "Scan finished — pages: 3"
check "32-bit process" has_line log "=== TWAIN enumeration (process 32-bit) ==="
check "twain_32.dll loaded from the Windows folder" grep -q '^twain_32.dll: OPENDSM ok (C:\\windows\\twain_32.dll)$' log
check "TWAINDSM.dll listed its source too" grep -q "^  TWAINDSM.dll source: Id=1 'Zan Group' | 'Virtual' | 'Dsm Scanner'" log
check "3-page PDF" test "$(pdf_pages out.pdf)" = 3
check "PDF passes qpdf --check" qpdf --check out.pdf
report_on_failure
finish
