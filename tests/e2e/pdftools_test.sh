#!/usr/bin/env bash
# zancli info, merge and split against a corpus of real files: classic cross-reference
# tables, xref streams with object streams, incremental updates, linearized files, lengths
# defined after their streams (qpdf's QDF form), a cairo-written file, and damaged ones.
# Every file loads or fails with one of the reader's two messages within seconds; what merge
# and split write passes qpdf --check with the page count and page texts of the source.
. "$(dirname "$0")/lib.sh"
cd "$WORK"
cp "$ZAN_BUILD/app/zancli.exe" .

msg_protected="The file is password protected — remove the protection first."
msg_unreadable="This PDF could not be read."

zancli() { timeout 60 "$WINE_EXEC" ./zancli.exe "$@" 2> >(tr -d '\r' >&2) | tr -d '\r'; return "${PIPESTATUS[0]}"; }

# A text PDF of $2 pages ("Page k of NAME"), written without a cross-reference table and
# repaired into shape by qpdf.
make_text_pdf() {
    local name=$1 pages=$2 k kids="" body
    {
        printf '%%PDF-1.4\n1 0 obj <</Type/Catalog/Pages 2 0 R>> endobj\n'
        printf '3 0 obj <</Type/Font/Subtype/Type1/BaseFont/Helvetica>> endobj\n'
        for ((k = 1; k <= pages; k++)); do
            kids+="$((2 * k + 2)) 0 R "
            body="BT /F1 20 Tf 72 700 Td (Page $k of $name) Tj ET"
            printf '%d 0 obj <</Type/Page/Parent 2 0 R/Contents %d 0 R>> endobj\n' $((2 * k + 2)) $((2 * k + 3))
            printf '%d 0 obj <</Length %d>>\nstream\n%s\nendstream\nendobj\n' $((2 * k + 3)) ${#body} "$body"
        done
        printf '2 0 obj <</Type/Pages/Count %d/Kids[%s]/MediaBox[0 0 612 792]/Resources<</Font<</F1 3 0 R>>>>>> endobj\n' "$pages" "$kids"
        printf 'trailer <</Size %d/Root 1 0 R>>\n%%%%EOF\n' $((2 * pages + 4))
    } > "$name.raw"
    # An end of line before "endstream" keeps the streams recoverable when /Length is wrong.
    qpdf --object-streams=disable --newline-before-endstream "$name.raw" "$name.pdf" >/dev/null 2>&1
    rm -f "$name.raw"
}

pages_of() { qpdf --show-npages "$1" 2>/dev/null; }

# Same page texts: page k of $1 against page $2+k-1 of $3.
same_texts() {
    local out=$1 first=$2 src=$3 n k
    n=$(pages_of "$out")
    for ((k = 1; k <= n; k++)); do
        [ "$(pdftotext -q -f "$k" -l "$k" "$out" -)" = "$(pdftotext -q -f $((first + k - 1)) -l $((first + k - 1)) "$src" -)" ] || return 1
    done
}

qpdf_ok() { qpdf --check "$1" >/dev/null 2>&1; }

# ---- the corpus
make_text_pdf ten 10
make_text_pdf three 3
qpdf --object-streams=generate ten.pdf xref_stream.pdf
qpdf --linearize ten.pdf linearized.pdf
qpdf --qdf --object-streams=disable ten.pdf qdf_lengths_after.pdf
pdftocairo -pdf ten.pdf cairo.pdf
# An incremental update that replaces page 2's content.
cp ten.pdf incremental.pdf
size=$(stat -c %s ten.pdf)
startxref=$(tail -c 40 ten.pdf | grep -a -A1 startxref | tail -1 | tr -d '\r\n ')
body="BT /F1 20 Tf 72 700 Td (Page 2 updated) Tj ET"
page2=$(qpdf --show-pages ten.pdf | grep -a 'page 2:' | sed 's/.*page 2: \([0-9]*\) 0 R.*/\1/')
content2=$(qpdf --show-object="$page2" ten.pdf | sed 's/.*\/Contents \([0-9]*\) 0 R.*/\1/')
{
    printf '%d 0 obj\n<</Length %d>>\nstream\n%s\nendstream\nendobj\n' "$content2" ${#body} "$body"
    printf 'xref\n%d 1\n%010d 00000 n \n' "$content2" "$size"
    printf 'trailer\n<</Size 100/Root 1 0 R/Prev %d>>\nstartxref\n%d\n%%%%EOF\n' "$startxref" $((size + 0))
} >> incremental.pdf
# Damaged files.
head -c $((size / 2)) ten.pdf > truncated_50.pdf
head -c $((size * 9 / 10)) ten.pdf > truncated_90.pdf
LC_ALL=C sed 's|/Length \([0-9]*\)|/Length 9\1|' ten.pdf > wrong_length.pdf
{ head -n 1 ten.pdf; printf '%% forty bytes that move every xref offset..\n'; tail -n +2 ten.pdf; } > wrong_offsets.pdf
printf '%%PDF-1.4\n1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n2 0 obj<</Type/Pages/Kids[3 0 R 4 0 R]>>endobj\n3 0 obj<</Type/Page/MediaBox[0 0 200 200]>>endobj\n4 0 obj<</Type/Pages/Kids[2 0 R 3 0 R]>>endobj\ntrailer<</Root 1 0 R>>\n' > kids_cycle.pdf
open=$(printf '[%.0s' {1..300}); close=$(printf ']%.0s' {1..300})
printf '%%PDF-1.4\n1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n2 0 obj<</Type/Pages/Kids[3 0 R]>>endobj\n3 0 obj<</Type/Page/MediaBox[0 0 300 300]/Deep %s%s>>endobj\ntrailer<</Root 1 0 R>>\n' "$open" "$close" > nested_300.pdf
printf '%%PDF-1.4\n1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n2 0 obj<</Type/Pages/Kids[3 0 R]/Count 1234567890123456789012345>>endobj\n3 0 obj<</Type/Page/MediaBox[0 0 1234567890123456789012345 -.]/Rotate -/UserUnit 1.2.3>>endobj\ntrailer<</Root 1 0 R>>\n' > numbers_25.pdf
# An object stream that inflates past 64 MiB and holds the page tree.
header="2 0 3 28 "
{ printf '%s<</Type/Pages/Kids[3 0 R]>> <</Type/Page>>' "$header"; head -c $((65 << 20)) /dev/zero | tr '\0' ' '; } | zlib-flate -compress > bomb.z
{
    printf '%%PDF-1.5\n1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n'
    printf '5 0 obj<</Type/ObjStm/N 2/First %d/Filter/FlateDecode/Length %d>>stream\n' ${#header} "$(stat -c %s bomb.z)"
    cat bomb.z
    printf '\nendstream\nendobj\ntrailer<</Root 1 0 R>>\n'
} > objstm_bomb.pdf
rm -f bomb.z
qpdf --allow-weak-crypto --encrypt user owner 128 -- ten.pdf encrypted_rc4.pdf
qpdf --encrypt user owner 256 -- ten.pdf encrypted_aes.pdf
# Encrypted without a user password, then cut before its cross-reference table and trailer:
# only the encryption dictionary itself is left to tell.
qpdf --object-streams=disable --encrypt "" owner 128 --use-aes=y -- ten.pdf encrypted_open.pdf
cut=$(grep -abo '^xref' encrypted_open.pdf | tail -1 | cut -d: -f1)
head -c "$cut" encrypted_open.pdf > encryption_without_trailer.pdf

# ---- info: loads with the source's page count, or fails with a reader message, quickly
expect_pages() {  # file pages
    local out
    out=$(zancli info "$1" 2>/dev/null)
    check "$1 loads with $2 pages" test "$out" = "pages=$2"
}
expect_message() {  # file message
    local err code
    err=$(zancli info "$1" 2>&1 >/dev/null); code=$?
    check "$1 fails with: $2" test "$code" = 1 -a "$err" = "$2"
}
for f in ten xref_stream linearized qdf_lengths_after cairo incremental wrong_length wrong_offsets; do
    expect_pages "$f.pdf" 10
done
expect_pages kids_cycle.pdf 1
expect_pages nested_300.pdf 1
expect_pages numbers_25.pdf 1
for f in encrypted_rc4 encrypted_aes encrypted_open encryption_without_trailer; do
    expect_message "$f.pdf" "$msg_protected"
done
expect_message objstm_bomb.pdf "$msg_unreadable"
for f in truncated_50 truncated_90; do
    start=$(date +%s)
    out=$(zancli info "$f.pdf" 2>&1)
    check "$f.pdf loads or fails with id 129 ($out)" bash -c '[[ "$1" =~ ^pages=[0-9]+$ || "$1" = "$2" ]]' _ "$out" "$msg_unreadable"
    check "$f.pdf within seconds" test $(($(date +%s) - start)) -lt 20
done

# ---- what merge and split write is sound and keeps the pages
for f in ten xref_stream linearized qdf_lengths_after cairo incremental wrong_length wrong_offsets kids_cycle nested_300 numbers_25; do
    n=$(zancli info "$f.pdf" | sed 's/pages=//')
    # The hand-made damaged files have no text, and other readers may not open them at all.
    texts=yes
    case $f in kids_cycle | nested_300 | numbers_25) texts=no ;; esac
    zancli merge "m_$f.pdf" "$f.pdf" >/dev/null
    check "merge of $f.pdf passes qpdf --check" qpdf_ok "m_$f.pdf"
    check "merge of $f.pdf has $n pages" test "$(pages_of "m_$f.pdf")" = "$n"
    [ "$texts" = yes ] && check "merge of $f.pdf keeps the page texts" same_texts "m_$f.pdf" 1 "$f.pdf"
    zancli split "$f.pdf" "parts_$f" --every 3 >/dev/null
    first=1
    for part in "parts_$f"/*.pdf; do
        check "$part passes qpdf --check" qpdf_ok "$part"
        [ "$texts" = yes ] && check "$part keeps the page texts" same_texts "$part" "$first" "$f.pdf"
        first=$((first + $(pages_of "$part")))
    done
    check "split of $f.pdf covers $n pages" test $((first - 1)) = "$n"
done
check "the update's page text is used" bash -c 'pdftotext -q -f 2 -l 2 m_incremental.pdf - | grep -q "Page 2 updated"'

# ---- merge of PDFs and a 300-dpi JFIF JPEG
convert -size 2550x3300 xc:white -fill black -draw "rectangle 100,100 600,400" -density 300 -units PixelsPerInch b.jpg
out=$(zancli merge out.pdf ten.pdf b.jpg three.pdf)
check "merge prints the output" test "$out" = "out.pdf"
check "merged file passes qpdf --check" qpdf_ok out.pdf
check "merged file has 14 pages" test "$(pages_of out.pdf)" = 14
for k in 1 5 10; do
    check "page $k text" test "$(pdftotext -q -f $k -l $k out.pdf -)" = "$(pdftotext -q -f $k -l $k ten.pdf -)"
done
for k in 1 3; do
    check "page $((11 + k)) text" test "$(pdftotext -q -f $((11 + k)) -l $((11 + k)) out.pdf -)" = "$(pdftotext -q -f $k -l $k three.pdf -)"
done
check "JPEG page is 612 x 792 pt" bash -c 'pdfinfo -f 11 -l 11 out.pdf | grep -Eq "^Page +11 size: +612 x 792 pts"'
pdfimages -f 11 -l 11 -j out.pdf img
check "JPEG bytes are embedded unchanged" cmp -s img-000.jpg b.jpg

# ---- every frame of a multi-page TIFF becomes a page
convert -size 300x200 xc:white xc:gray xc:black -density 100 -units PixelsPerInch frames.tif
zancli merge tif.pdf frames.tif ten.pdf >/dev/null
check "multi-page TIFF merge passes qpdf --check" qpdf_ok tif.pdf
check "three TIFF frames and ten pages" test "$(pages_of tif.pdf)" = 13
check "TIFF page is 216 x 144 pt" bash -c 'pdfinfo -f 3 -l 3 tif.pdf | grep -Eq "^Page +3 size: +216 x 144 pts"'

# ---- a CMYK JPEG is decoded and encoded again, not copied (as DeviceRGB its colours would be wrong)
convert -size 300x200 xc:red -colorspace CMYK -density 100 -units PixelsPerInch cmyk.jpg
check "the source JPEG is CMYK" test "$(identify -format %[colorspace] cmyk.jpg)" = CMYK
zancli merge cmyk.pdf cmyk.jpg >/dev/null
check "CMYK JPEG merge passes qpdf --check" qpdf_ok cmyk.pdf
check "CMYK JPEG becomes an RGB or grey image" bash -c 'pdfimages -list cmyk.pdf | tail -n +3 | grep -qE " (rgb|gray) "'
check "CMYK JPEG page is 216 x 144 pt" bash -c 'pdfinfo cmyk.pdf | grep -Eq "^Page size: +216 x 144 pts"'

# ---- a target that cannot be replaced is reported with the system's code, before the work
mkdir -p folder_target.pdf
err=$(zancli merge folder_target.pdf ten.pdf 2>&1 >/dev/null)
check "a folder as target: cannot create (error 5)" test "$err" = "cannot create folder_target.pdf (error 5)"
# A folder where the existing file may be written but no file created (immutable on Linux,
# no "create files" right on Windows): the old file is kept and the message says why.
mkdir -p sealed
cp three.pdf sealed/out.pdf
if chattr +i sealed 2>/dev/null; then
    err=$(zancli merge sealed/out.pdf ten.pdf 2>&1 >/dev/null); code=$?
    chattr -i sealed
    check "no-create folder: merge fails" test "$code" = 1
    check "no-create folder: cannot create (error 5)" test "$err" = "cannot create sealed/out.pdf (error 5)"
    check "no-create folder: old file kept" cmp -s sealed/out.pdf three.pdf
else
    echo "skipped: chattr +i is not available here"
fi

# ---- the output may not be one of the inputs
cp three.pdf a.pdf
before=$(md5sum < a.pdf)
zancli merge a.pdf a.pdf ten.pdf >/dev/null 2>&1; code=$?
check "merge onto an input is refused" test "$code" = 1
check "the input is unchanged" test "$(md5sum < a.pdf)" = "$before"
zancli merge ./sub/../a.pdf ten.pdf a.pdf >/dev/null 2>&1; code=$?
check "also under another spelling" test "$code" = 1 -a "$(md5sum < a.pdf)" = "$before"
zancli merge bad.pdf ten.pdf encrypted_rc4.pdf >/dev/null 2>&1; code=$?
check "a failed merge leaves no output" test "$code" = 1 -a ! -e bad.pdf

# ---- split names
out=$(zancli split ten.pdf out --every 4)
check "split prints each created path" test "$(echo "$out" | wc -l)" = 3
check "ten_p001-004.pdf" test -f out/ten_p001-004.pdf
check "ten_p005-008.pdf" test -f out/ten_p005-008.pdf
check "ten_p009-010.pdf" test -f out/ten_p009-010.pdf
check "last part has pages 9 and 10" same_texts out/ten_p009-010.pdf 9 ten.pdf
zancli split ten.pdf byrange --ranges "2,7-" >/dev/null
check "ranges 2,7-" test -f byrange/ten_p002.pdf -a -f byrange/ten_p007-010.pdf
zancli split three.pdf single >/dev/null
check "one file per page" test -f single/three_p001.pdf -a -f single/three_p003.pdf
err=$(zancli split ten.pdf none --ranges abc 2>&1 >/dev/null)
check "no valid range" test "$err" = "1..10 ?"
err=$(zancli merge bad.pdf ten.pdf encrypted_rc4.pdf 2>&1 >/dev/null)
check "merge names the protected file" test "$err" = "encrypted_rc4.pdf
$msg_protected"

# ---- benchmark figures (printed, not judged): each operation in its own process
zancli bench-pdftools bench merge
zancli bench-pdftools bench split
check "benchmark merge output passes qpdf --check" qpdf_ok bench/merged.pdf
check "benchmark merge output has 1000 pages" test "$(pages_of bench/merged.pdf)" = 1000
check "benchmark split made 100 files" test "$(ls bench/parts | wc -l)" = 100
finish
