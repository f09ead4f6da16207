#!/usr/bin/env bash
# zancli pdf under Wine, checked with other people's PDF tools: structure (qpdf), page
# sizes (pdfinfo), the text layer's font and text (pdffonts, pdftotext, fc-scan), the
# images (pdfimages) and the password protection with both ciphers (qpdf).
. "$(dirname "$0")/lib.sh"
cd "$WORK"
cp "$ZAN_BUILD/app/zancli.exe" .
pdf() { run_wine ./zancli.exe pdf "$@" >out.txt 2>err.txt; }
refused() { ! pdf "$@"; }

# A letter page at 100 dpi with a black bar, an A4 grey gradient at 300 dpi.
convert -size 850x1100 xc:white -fill black -draw "rectangle 100,100 400,160" \
    -units PixelsPerInch -density 100 letter.png
convert -size 2480x3508 gradient:white-gray60 -units PixelsPerInch -density 300 -depth 8 a4.png
printf '1 100 100 300 60 Invoice\n1 500 100 200 60 \xd9\x81\xd8\xa7\xd8\xaa\xd9\x88\xd8\xb1\xd8\xa9\n' > words.txt
printf '1 520 200 120 40 \xd8\xb1\xd9\x82\xd9\x85 2024\n2 10 10 100 30 Total\n' >> words.txt

# Plain document: two pages, physical sizes from each page's dpi.
check "plain pdf written" pdf --title "Plain" plain.pdf letter.png a4.png
check "prints the output path" bash -c '[ "$(tr -d "\r" < out.txt)" = plain.pdf ]'
check "qpdf --check plain" qpdf --check plain.pdf
check "page 1 is 612 x 792" bash -c 'pdfinfo -f 1 -l 1 plain.pdf | grep -q "Page    1 size: *612 x 792 pts"'
check "page 2 is 595.2 x 841.92" bash -c 'pdfinfo -f 2 -l 2 plain.pdf | grep -q "Page    2 size: *595.2 x 841.92 pts"'
check "title and producer" bash -c 'pdfinfo plain.pdf | grep -q "^Title: *Plain" && pdfinfo plain.pdf | grep -q "^Producer: *Zan Group Scanner 2.0.0"'
check "no font without words" bash -c '[ "$(pdffonts plain.pdf | wc -l)" = 2 ]'
check "no temporary file left" bash -c '! ls | grep -qi "\.tmp$"'

# Level 2 grey A4 at 300 dpi: a 1240 x 1754 JPEG on a 595.2 x 841.92 pt page.
check "grey level 2 written" pdf --level 2 --mode gray grey.pdf a4.png
check "qpdf --check grey" qpdf --check grey.pdf
check "image reduced to 1240 x 1754 JPEG" bash -c 'pdfimages -list grey.pdf | grep -qE "^ +1 +0 image +1240 +1754 .* 8 +jpeg "'
check "grey page keeps its size" bash -c 'pdfinfo grey.pdf | grep -q "595.2 x 841.92 pts"'

# Black and white: one 1-bit Flate image at full resolution, whatever the level.
check "bw written" pdf --level 2 --mode bw bw.pdf letter.png
check "qpdf --check bw" qpdf --check bw.pdf
check "one 1-bit grey image" bash -c 'pdfimages -list bw.pdf | tail -n +3 | grep -cE "^ +1 +0 image +850 +1100 +gray +1 +1 +image " | grep -qx 1'
check "bw stream is FlateDecode" bash -c 'qpdf --show-object=6 bw.pdf | grep -q "/Filter /FlateDecode"'

# Text layer.
check "words pdf written" pdf --words words.txt words.pdf letter.png a4.png
check "qpdf --check words" qpdf --check words.pdf
check "one font XXXXXX+ZanOcr, CID TrueType, Identity-H, emb sub uni" bash -c \
    'pdffonts words.pdf | tail -n +3 | grep -cE "^[A-Z]{6}\+ZanOcr +CID TrueType +Identity-H +yes +yes +yes " | grep -qx 1 &&
     [ "$(pdffonts words.pdf | wc -l)" = 3 ]'
pdftotext words.pdf words.txt.out
for w in Invoice Total 2024 $'\xd9\x81\xd8\xa7\xd8\xaa\xd9\x88\xd8\xb1\xd8\xa9' $'\xd8\xb1\xd9\x82\xd9\x85'; do
    check "pdftotext finds $w" grep -q "$w" words.txt.out
done
qpdf --show-object=7 --filtered-stream-data words.pdf > font.ttf
check "font program parses (fc-scan)" bash -c 'fc-scan --format "%{postscriptname}\n" font.ttf | grep -qx ZanOcr'
printf '9 1 1 1 1 x\n' > bad.txt
check "words for a missing page refused" refused --words bad.txt bad.pdf letter.png
check "no file from a refused words file" test ! -e bad.pdf

# Password protection, RC4 and AES.
for cipher in rc4 aes; do
    check "$cipher pdf written" pdf --password 'Pw 1!' --cipher $cipher --title "Scan Title" --words words.txt \
        $cipher.pdf letter.png a4.png
    check "$cipher: qpdf --check without the password fails" bash -c "! qpdf --check $cipher.pdf >/dev/null 2>&1"
    qpdf --password='Pw 1!' --show-encryption $cipher.pdf > $cipher.enc 2>&1
    check "$cipher: P = -4" grep -qx 'P = -4' $cipher.enc
    check "$cipher: password is the user password" grep -qx 'Supplied password is user password' $cipher.enc
    check "$cipher: password is the owner password" grep -qx 'Supplied password is owner password' $cipher.enc
    check "$cipher: all permissions" bash -c "! grep -q 'not allowed' $cipher.enc"
    check "$cipher: qpdf --check with the password" qpdf --password='Pw 1!' --check $cipher.pdf
    check "$cipher: decrypted copy passes qpdf --check" bash -c \
        "qpdf --password='Pw 1!' --decrypt $cipher.pdf $cipher-plain.pdf && qpdf --check $cipher-plain.pdf"
    check "$cipher: decrypted text layer readable" bash -c "pdftotext $cipher-plain.pdf - | grep -q Invoice"
    # The info strings are encrypted with object 3's key: wrong keys would decrypt to noise.
    pdfinfo -isodates $cipher-plain.pdf > $cipher.info
    check "$cipher: Title decrypts" grep -qx 'Title: *Scan Title' $cipher.info
    check "$cipher: Producer decrypts" grep -qx 'Producer: *Zan Group Scanner 2.0.0' $cipher.info
    check "$cipher: CreationDate decrypts" grep -qE '^CreationDate: +20[0-9]{2}-[01][0-9]-[0-3][0-9]T' $cipher.info
done
check "aes file says PDF 1.6" test "$(head -c 9 aes.pdf)" = "%PDF-1.6"
check "rc4 file says PDF 1.5" test "$(head -c 9 rc4.pdf)" = "%PDF-1.5"
check "rc4 is R 3" grep -qx 'R = 3' rc4.enc
check "aes is R 4" grep -qx 'R = 4' aes.enc
check "aes uses AESv2 for streams and strings" bash -c \
    'grep -qx "stream encryption method: AESv2" aes.enc && grep -qx "string encryption method: AESv2" aes.enc'

# A failed save leaves the existing file alone.
echo precious > keep.pdf
check "unreadable image fails" refused keep.pdf missing.png
check "existing file untouched" grep -qx precious keep.pdf
finish
