#!/usr/bin/env bash
# WIA through zancli with the stand-in device manager (Wine has no WIA service): devices
# listed beside the TWAIN sources, a feeder scan of BMP, PNG and undecodable pages into a
# PDF, the property writes in their order with the range scaling, and the driver
# diagnostics report listing the virtual scanner. Without the stand-in, the device
# manager's failure is logged and no WIA device is listed.
. "$(dirname "$0")/scan_lib.sh"
convert -size 30x20 xc:'#3366cc' "$WORK/page.png"

script_scanner "Product=Twain One"
dsm_sources 0
script_wia "Devices=2" \
    "[Device1]" "Id={6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0001" "Name=Office MFP" "Vendor=Zan Labs" \
    "Description=MFP scanner" "Type=0x10000" "Items=feeder,flatbed" "BedWidth=8500" "BedHeight=11690" \
    "FeedWidth=8500" "FeedHeight=14000" "BrightnessRange=0,1000" \
    "Pages=bmp,file:$(win_path "$WORK/page.png"),garbage" "Thread=1" \
    "[Device2]" "Id=cam-1" "Name=Desk Camera" "Type=0x20001"
zancli_wia devices
check "devices exits 0" test "$code" = 0
check "WIA scanner listed with its list and driver lines" grep -qP '^WIA:\{6BDD1FC6-810F-11D0-BEC7-08002BE2092F\}\\0001\twia\t0\tOffice MFP\tOffice MFP  \(WIA\)\t' out.txt
check "camera not listed" bash -c "! grep -q 'Desk Camera' out.txt"
check "log: device line" has_line log 'WIA device: Office MFP | {6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\0001 | type=1'
check "log: camera skipped" has_line log 'WIA device skipped (type 2): Desk Camera'
check "log: done line counts it" grep -q '^enumeration done: twain=[0-9]* wia=1$' log

key='WIA:{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\0001'
zancli_wia scan --device "$key" --dpi 300 --paper letter --source feeder --brightness 50 out.pdf
check "feeder scan exits 0" test "$code" = 0
check "2 pages in the PDF" test "$(pdf_pages out.pdf)" = 2
check "PDF passes qpdf --check" qpdf --check out.pdf
check "one could-not-decode line" test "$(grep -c '^WIA: could not decode a page stream (300 bytes)$' log)" = 1
check "log: download line" has_line log 'WIA Download hr=0x00000000 pages=2 streams=3'
check "feeder handling on the item" has_line wia_trace 'write feeder 3088=1 hr=0x00000000'
check "all pages: refused by the item, taken by the root" has_line wia_trace 'write root 3096=0 hr=0x00000000'
check "width 8.5 in at 300 dpi" has_line wia_trace 'write feeder 6151=2550 hr=0x00000000'
check "height 11.69 in, the feeder's letter" has_line wia_trace 'write feeder 6152=3300 hr=0x00000000'
check "brightness 50 of 0..1000" has_line wia_trace 'write feeder 6154=750 hr=0x00000000'
check "log: brightness scaled" has_line log '  WIA BRIGHTNESS=750 (range 0..1000) hr=0x00000000'
check "log: no contrast range needed" bash -c "! grep -q CONTRAST log"
check "writes in order" test "$(grep -o '^write feeder [0-9]*' wia_trace | awk '{print $3}' | tr '\n' ' ')" = "3088 3096 6147 6148 6149 6150 6151 6152 4103 4104 6154 4106 "

# Glass: Legal (14000 thousandths high) is cut to the bed (11690); the flatbed item does
# not take the document handling, so the root gets it.
zancli_wia scan --device "$key" --dpi 300 --paper legal --source glass glass.pdf
check "glass scan exits 0" test "$code" = 0
check "glass: one page" test "$(pdf_pages glass.pdf)" = 1
check "glass: bed height 11690 at 300 dpi" has_line wia_trace 'write flatbed 6152=3507 hr=0x00000000'
check "glass: handling on the root" has_line wia_trace 'write root 3088=2 hr=0x00000000'
check "log: extent in thousandths" has_line log '  WIA EXTENT 8500x11690 (1/1000in) hr=0x00000000/0x00000000'

report_on_failure
rm -f ZanGroupScanner.log
# Stock Wine: no device manager.
zancli devices
check "stock: devices exits 0" test "$code" = 0
check "stock: manager failure logged" grep -q '^WIA: CoCreateInstance(WiaDevMgr2) failed 0x8' log
check "stock: no WIA device" bash -c "! grep -qP '\twia\t' out.txt"

# The diagnostics report: the virtual scanner (twain_64 in this 64-bit build) is queried
# in a child process and found in the listing.
zancli diag
check "diag exits 0" test "$code" = 0
check "diag: title" grep -q '^=== Zan Group Scanner 2.1.5 diagnostics ===$' out.txt
check "diag: listing section" has_line out.txt 'Sources reported by the TWAIN managers at last refresh:'
check "diag: sane.ds with its machine" grep -q '^\* C:\\windows\\twain_64\\sane.ds  \[64-bit (x64)\]$' out.txt
check "diag: LISTED" grep -q "^    Identity: Zan Group|Virtual|Twain One -> LISTED$" out.txt
check "diag: log file line" grep -q '^Log file: ' out.txt
report_on_failure
finish
