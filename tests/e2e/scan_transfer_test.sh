#!/usr/bin/env bash
# Native transfers: a block smaller than its bitmap header is refused (never read past),
# a BMP file as page content, and the round limit of one transfer loop.
. "$(dirname "$0")/scan_lib.sh"
DSM="Zan Group|Virtual|Dsm Scanner"
dsm_sources 1

# A driver whose block is half of what its header says: the page is refused.
script_scanner "Pages=2" "ShortBlock=1" "Product=Dsm Scanner"
zancli scan --device "$DSM" short.pdf
check "short block exits 1" test "$code" = 1
check "short block sentence" has_line err.txt "An error occurred while transferring the image from the device."
check "short block: remaining page reset" has_line trace "RESET"
check "short block: no file" test ! -e short.pdf

# A BMP file as every page: its own size and resolution come through.
convert -size 120x80 xc:white -fill black -draw "rectangle 10,10 60,40" -units PixelsPerInch -density 100 \
    -type TrueColor BMP3:page.bmp
script_scanner "Pages=2" "Product=Dsm Scanner" "ImageFile=$(win_path "$WORK/page.bmp")"
zancli scan --device "$DSM" file.png
check "file pages exit 0" test "$code" = 0
check "two PNG files" test -s file_001.png -a -s file_002.png -a ! -e file_003.png
check "page keeps the file's size" bash -c "identify -format '%wx%h' file_001.png | grep -qx 120x80"

# More pages than rounds: the loop stops at 2001, resets the pending transfers, and the
# source can then be disabled and closed.
script_scanner "Pages=2100" "Product=Dsm Scanner"
zancli scan --device "$DSM" --dpi 20 --mode bw --source feeder many.pdf
check "round limit exits 0" test "$code" = 0
check "round limit: 2001 pages" has_line out.txt "Scan finished — pages: 2001"
check "round limit: reset before disabling" bash -c "tail -3 trace | tr '\n' ' ' | grep -qx 'RESET DISABLEDS CLOSEDS '"
check "round limit: source disabled" has_line log "DISABLEDS rc=0"
check "round limit: source closed" has_line log "CLOSEDS rc=0"
report_on_failure
finish
