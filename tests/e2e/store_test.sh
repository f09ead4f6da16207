#!/usr/bin/env bash
# zancli bench-store under Wine with a budget that parks most pages: every step runs, the
# last line has its fixed form, pages went through the temporary file, and the PDF written
# from parked pages is sound for qpdf and pdfinfo.
. "$(dirname "$0")/lib.sh"
cd "$WORK"
cp "$ZAN_BUILD/app/zancli.exe" .
mkdir out
run_wine ./zancli.exe bench-store 4 --budget-mb 40 --out out >bench.txt 2>err.txt
check "bench-store exits 0" test $? = 0
tr -d '\r' < bench.txt > lines.txt
cat lines.txt
check "every step reported" bash -c 'for s in add pin_in_order pin_random replace_every_tenth pdf; do grep -q "^$s pages=" lines.txt || exit 1; done'
check "last line" bash -c 'tail -1 lines.txt | grep -qE "^peak_private_mb=[0-9]+ temp_file_peak_mb=[0-9]+$"'
check "pages were parked" bash -c '[ "$(tail -1 lines.txt | sed "s/.*temp_file_peak_mb=//")" -ge 75 ]'
check "parked pages were read back" grep -qE "^pin_parked count=[1-9]" lines.txt
check "qpdf --check" qpdf --check out/zan_bench_store.pdf
pdfinfo -f 1 -l 4 out/zan_bench_store.pdf > info.txt
check "four pages" grep -qE "^Pages: +4$" info.txt
# The first page was replaced by its quarter turn.
check "page 1 turned" grep -qE "^Page +1 size: +841.92 x 595.2 pts" info.txt
check "pages 2-4 A4" bash -c '[ "$(grep -cE "^Page +[234] size: +595.2 x 841.92 pts" info.txt)" = 3 ]'
check "no temporary file left" bash -c '! ls out | grep -qi "\.tmp$"'
finish
