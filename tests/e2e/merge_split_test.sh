#!/usr/bin/env bash
# Drives the merge and split dialogs with synthesized input (tools/ui_drive, which answers
# the file dialogs with a stand-in) and checks the files they write with qpdf and pdftotext:
#  - merge: three files added, reordered with Up and Down, merged; the page order;
#  - merge: an empty list and a target that is one of the inputs are refused up front;
#  - split every N pages, then by ranges in Arabic over files of the same names: No keeps
#    them, Yes replaces them;
#  - split with no file chosen warns.
. "$(dirname "$0")/lib.sh"
drive="$ZAN_BUILD/tools/ui_drive.exe"
cd "$WORK"
DIR="Z:${WORK//\//\\}"   # the work folder as the program sees it
win() { echo "$DIR\\$1"; }

# make_pdf FILE PREFIX COUNT: COUNT pages reading "PREFIX page K", made valid by qpdf.
make_pdf() {
    local file=$1 prefix=$2 count=$3 kids="" k n text
    {
        printf '%%PDF-1.4\n1 0 obj\n<</Type/Catalog/Pages 2 0 R>>\nendobj\n'
        for k in $(seq 1 "$count"); do kids="$kids $((2 + 2 * k)) 0 R"; done
        printf '2 0 obj\n<</Type/Pages/Count %d/Kids[%s]/MediaBox[0 0 300 200]/Resources<</Font<</F1 3 0 R>>>>>>\nendobj\n' \
            "$count" "$kids"
        printf '3 0 obj\n<</Type/Font/Subtype/Type1/BaseFont/Helvetica>>\nendobj\n'
        for k in $(seq 1 "$count"); do
            n=$((2 + 2 * k))
            text="BT /F1 14 Tf 20 100 Td (${prefix} page ${k}) Tj ET"
            printf '%d 0 obj\n<</Type/Page/Parent 2 0 R/Contents %d 0 R>>\nendobj\n' "$n" "$((n + 1))"
            printf '%d 0 obj\n<</Length %d>>\nstream\n%s\nendstream\nendobj\n' "$((n + 1))" "${#text}" "$text"
        done
        printf 'trailer\n<</Size %d/Root 1 0 R>>\n%%%%EOF\n' "$((2 * count + 4))"
    } > raw.pdf
    # qpdf writes the cross-reference table the hand-made file lacks (exit 3: warnings only).
    qpdf raw.pdf "$file" 2>/dev/null
    local rc=$?
    rm -f raw.pdf
    [ $rc -eq 0 ] || [ $rc -eq 3 ]
}
# The pages' texts of a file, one line per page, joined by commas.
pages_of() { pdftotext "$1" - 2>/dev/null | tr -d '\f' | grep 'page' | paste -sd, -; }
log_is() { diff <(printf '%s\n' "${@:2}") "$1"; }
valid() { qpdf --check "$1" >/dev/null 2>&1; }

make_pdf a.pdf Alpha 1 && make_pdf b.pdf Bravo 2 && make_pdf c.pdf Charlie 1 && make_pdf ten.pdf Ten 10 ||
    { echo "FAILED: making the test files"; exit 1; }
A=$(win a.pdf) B=$(win b.pdf) C=$(win c.pdf) TEN=$(win ten.pdf)

echo "== merge: add three, move the third up and the first down, merge"
check "the merge dialog ran its steps" run_wine "$drive" --show=merge --lang=en --log=merge.log \
    "--open=$A|$B|$C" "--save=$(win out.pdf)" --steps=click:31,item:2,click:33,item:0,click:34,click:1,box,click:1
check "the merge reported, showed the file and closed" log_is merge.log \
    "open Choose files (several)" "save Merge files merged.pdf" "box Merged: $(win out.pdf)" \
    "reveal $(win out.pdf)" "closed" "merge-dir $DIR"
check "the merged file passes qpdf --check" valid out.pdf
check "the merged pages are in the list's order" \
    [ "$(pages_of out.pdf)" = "Charlie page 1,Alpha page 1,Bravo page 1,Bravo page 2" ]
check "pdfinfo counts 4 pages" [ "$(pdfinfo out.pdf | awk '/^Pages:/ { print $2 }')" = 4 ]

echo "== merge: refusals before any work"
cp a.pdf a.orig
check "the merge dialog ran its steps" run_wine "$drive" --show=merge --lang=en --log=refuse.log \
    "--open=$A|$B" "--save=$A" --steps=click:1,box,click:1,click:31,click:1,box,click:1,click:2
check "an empty list and a target among the inputs are refused, the dialog stays open" log_is refuse.log \
    "box Add at least one file." "open Choose files (several)" "save Merge files merged.pdf" \
    "box cannot create $A: it is one of the files being merged" "closed" "merge-dir $DIR"
check "the input named as the target is untouched" cmp a.pdf a.orig

echo "== split every 4 pages"
check "the split dialog ran its steps" run_wine "$drive" --show=split --lang=en --log=split.log \
    "--open=$TEN" --steps=click:1,box,click:1,click:31,click:42,type:102:4,click:1,box,click:1
check "no file warns, then the split reports and opens the folder" log_is split.log \
    "box PDF file:" "open PDF file: (one)" "box Created 3 file(s) in: / $(win ten_split)" \
    "folder $(win ten_split)" "closed" "merge-dir $DIR"
check "three parts" [ "$(ls ten_split | paste -sd' ' -)" = "ten_p001-004.pdf ten_p005-008.pdf ten_p009-010.pdf" ]
for part in ten_p001-004 ten_p005-008 ten_p009-010; do
    check "$part passes qpdf --check" valid "ten_split/$part.pdf"
done
check "part 1 holds pages 1-4" [ "$(pages_of ten_split/ten_p001-004.pdf)" = "Ten page 1,Ten page 2,Ten page 3,Ten page 4" ]
check "part 3 holds pages 9-10" [ "$(pages_of ten_split/ten_p009-010.pdf)" = "Ten page 9,Ten page 10" ]

echo "== split by ranges in Arabic over a file of the same name: No, then Yes"
echo "not a PDF" > ten_split/ten_p009-010.pdf
check "the split dialog ran its steps" run_wine "$drive" --show=split --lang=ar --log=ranges.log \
    "--open=$TEN" "--steps=click:31,click:43,type:103:2-3;9-,click:1,box,click:2,click:1,box,click:1,box,click:1"
check "asked twice, replaced after Yes, reported, opened the folder" \
    [ "$(grep -c '^box ' ranges.log)" = 3 -a "$(grep -cxF "folder $(win ten_split)" ranges.log)" = 1 ]
check "the question names one file and the folder" grep -qF " 1 " <(grep -F "$(win ten_split)" ranges.log | head -1)
check "the ranges gave p002-003 and p009-010" [ "$(pages_of ten_split/ten_p002-003.pdf)" = "Ten page 2,Ten page 3" -a \
    "$(pages_of ten_split/ten_p009-010.pdf)" = "Ten page 9,Ten page 10" ]
check "the dialog closed" grep -qx closed ranges.log

echo "== split by ranges, No only: nothing replaced"
echo "kept" > ten_split/ten_p002-003.pdf
check "the split dialog ran its steps" run_wine "$drive" --show=split --lang=en --log=no.log \
    "--open=$TEN" --steps=click:31,click:43,type:103:2-3,click:1,box,click:2,click:2
check "asked, then closed without splitting" log_is no.log "open PDF file: (one)" \
    "box 1 file(s) of this split already exist in: / $(win ten_split) / Replace them?" "closed" "merge-dir $DIR"
check "the file of the same name is kept" [ "$(cat ten_split/ten_p002-003.pdf)" = kept ]
finish
