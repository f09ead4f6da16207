#!/usr/bin/env bash
# zancli save under Wine: the Save button's naming and worker, with the outputs checked by
# other people's tools (qpdf, pdfinfo, identify, tiffinfo, ImageMagick's pixel compare),
# the exact progress lines, the naming rules on disk, the watermark by its pixels, and
# the memory of a long colour save held by the page store's budget.
. "$(dirname "$0")/lib.sh"
cd "$WORK"
cp "$ZAN_BUILD/app/zancli.exe" .
save() { run_wine ./zancli.exe save "$@" >out.txt 2>err.txt; }
lines() { tr -d '\r' < out.txt; }
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf

convert -size 620x877 gradient:white-lightblue -fill black -font $font -pointsize 40 \
    -draw "text 50,100 'Colour page'" -units PixelsPerInch -density 75 -depth 8 colour.png
convert -size 620x877 gradient:white-gray40 -colorspace Gray -units PixelsPerInch -density 75 -depth 8 grey.png
convert -size 850x1100 xc:white -fill black -draw "rectangle 100,100 400,160" -draw "circle 425,600 425,760" \
    -font $font -pointsize 30 -draw "text 100,300 'Group 4 test line'" -monochrome \
    -units PixelsPerInch -density 100 bw.png

# PDF: the progress lines in order, one result, the file checked by qpdf.
check "pdf saved" save --format pdf Report.pdf colour.png grey.png
check "pdf progress and result in order" bash -c '[ "$(tr -d "\r" < out.txt)" = "$(printf "%s\n" \
    "progress=0 text=Saving..." "progress=0" "progress=50" "done=1 .\\Report.pdf" "saved=.\\Report.pdf")" ]'
check "qpdf --check" qpdf --check Report.pdf
check "two pages, titled by the file name" bash -c 'pdfinfo Report.pdf | grep -q "^Pages: *2" &&
    pdfinfo Report.pdf | grep -q "^Title: *Report"'
check "aes pdf saved over the first" save --format pdf --password 'Pw 1!' --cipher aes Report.pdf colour.png
check "the question about replacing was asked" grep -q "^replace=.\\\\Report.pdf" out.txt
check "aes: AESv2 with the password" bash -c "qpdf --password='Pw 1!' --show-encryption Report.pdf | grep -q AESv2"

# JPG: one file per page, numbered; the bare target is not written.
check "jpg saved" save --format jpg --level 0 Pages.jpg colour.png grey.png bw.png
check "jpg progress per page" bash -c '[ "$(grep ^progress out.txt | tr -d "\r")" = "$(printf "%s\n" \
    "progress=0 text=Saving page 1 / 3" "progress=33 text=Saving page 2 / 3" "progress=66 text=Saving page 3 / 3")" ]'
for k in 1 2 3; do
    check "Pages_00$k.jpg is a JPEG" bash -c "identify Pages_00$k.jpg | grep -q ' JPEG '"
done
check "no Pages.jpg" test ! -e Pages.jpg
check "saved lists the three files" bash -c '[ "$(grep -c ^saved= out.txt)" = 3 ]'

# PNG, one page: the target itself, grey stays grey.
check "png saved" save --format png --mode gray One.png grey.png
check "One.png is a 620x877 PNG" bash -c "identify One.png | grep -q 'PNG 620x877'"
check "png pixels as scanned" bash -c '[ "$(compare -metric AE One.png grey.png null: 2>&1)" = 0 ]'

# TIFF: one frame per page, group 4 for the 1-bit page, LZW otherwise, pixels exact.
check "tiff saved" save --format tiff --mode bw Bw.tif bw.png colour.png
check "bw tiff: two group 4 frames" bash -c '[ "$(tiffinfo Bw.tif 2>/dev/null | grep -c "Compression Scheme: CCITT Group 4")" = 2 ]'
check "group 4 decodes to the page" bash -c '[ "$(compare -metric AE "Bw.tif[0]" bw.png null: 2>&1)" = 0 ]'
check "tiff saved in colour" save --format tiff Mixed.tif colour.png grey.png
check "two LZW frames" bash -c '[ "$(tiffinfo Mixed.tif 2>/dev/null | grep -c "Compression Scheme: LZW")" = 2 ] &&
    [ "$(identify Mixed.tif | wc -l)" = 2 ]'
check "LZW decodes to the grey page" bash -c '[ "$(compare -metric AE "Mixed.tif[1]" grey.png null: 2>&1)" = 0 ]'
check "resolution kept" bash -c 'tiffinfo Bw.tif 2>/dev/null | grep -q "Resolution: 100, 100 pixels/inch"'
check "no temporary file left" bash -c '! ls | grep -qi "\.tmp$"'

# Naming rules on disk.
mkdir names
touch names/Scan_0007.pdf
check "counter save" save --format pdf --naming counter --counter 7 names colour.png
check "counter skips Scan_0007 and ends at 9" bash -c 'test -e names/Scan_0008.pdf && grep -q "^counter=9" out.txt'
check "prefix cleaned" save --format tiff --naming counter --prefix 'a/b:c' names grey.png
check "abc_0001.tif" test -e names/abc_0001.tif
check "device name refused" save --format png CON.png grey.png
check "CON_.png written instead" test -e CON_.png
check "date-time save" save --format png --naming datetime --prefix Day names grey.png
check "date-time save again" save --format png --naming datetime --prefix Day names grey.png
check "two date-time files" bash -c '[ "$(ls names | grep -c "^Day_[0-9]\{8\}_[0-9]\{6\}\(_2\)\?\.png$")" = 2 ]'
check "missing folder created" save --format png --naming counter new/deeper grey.png
check "new/deeper/Scan_0001.png" test -e new/deeper/Scan_0001.png

# The watermark, found by its pixels: grey ink across the centre, corners untouched.
convert -size 600x800 xc:white -units PixelsPerInch -density 75 white.png
check "stamped png" save --format png --watermark "TRUE COPY" --opacity 50 Stamp.png white.png
check "corners stay white" bash -c '[ "$(convert Stamp.png -crop 60x60+0+0 -format "%[fx:minima.r]" info:)" = 1 ] &&
    [ "$(convert Stamp.png -crop 60x60+540+740 -format "%[fx:minima.r]" info:)" = 1 ]'
check "grey ink in the centre at half strength" bash -c \
    'v=$(convert Stamp.png -crop 300x300+150+250 -format "%[fx:int(255*minima.r)]" info:); [ "$v" -ge 170 ] && [ "$v" -le 180 ]'
check "arabic stamp on a pdf" save --format pdf --watermark $'\xd9\x86\xd8\xb3\xd8\xae\xd8\xa9' Stamp.pdf white.png
check "qpdf --check stamped" qpdf --check Stamp.pdf

# A long colour save: the pages parked by the store keep memory near its budget.
convert -size 2480x3508 plasma:fractal -units PixelsPerInch -density 300 -depth 8 a4.png
pages=(); for k in $(seq 16); do pages+=(a4.png); done
check "16 A4 colour pages with a 100 MB budget" save --format pdf --budget-mb 100 --stats Long.pdf "${pages[@]}"
check "qpdf --check long" qpdf --check Long.pdf
peak=$(sed -n 's/.*peak_private_mb=\([0-9]*\).*/\1/p' out.txt | tr -d '\r')
echo "peak private MB with a 100 MB budget, 16 pages of 26 MB: $peak"
check "peak private bytes within budget + 200 MB" bash -c "[ -n '$peak' ] && [ '$peak' -le 300 ]"
finish
