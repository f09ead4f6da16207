#!/usr/bin/env bash
# Libraries planted beside the program are never loaded in place of system ones. Wine
# is told to prefer a native gdiplus.dll, as Windows does for a library outside its list
# of known ones; the planted library records each load in planted_marker.txt and refuses.
# (combase.dll cannot be tried that way here: Wine's own ole32 imports it when any
# program starts, before the program's code runs; Windows protects that import as a
# known library. The planted copy still must not be taken by the OCR lookup.)
. "$(dirname "$0")/lib.sh"
stage_program
cp "$ZAN_BUILD/app/zancli.exe" "$WORK/"
cd "$WORK"
for name in gdiplus.dll combase.dll winhttp.dll; do
    cp "$ZAN_BUILD/tools/planted_library.dll" "$name"
done
export WINEDLLOVERRIDES="gdiplus,winhttp=n,b"
convert -size 200x280 xc:white -fill black -draw "rectangle 40,40 160,60" page.png

out=$(run_wine ./zancli.exe analyze page.png 2>&1 | tr -d '\r')
check "zancli decodes through the system's codec" bash -c "echo '$out' | grep -q '^page.png blank=0'"
run_wine ./zancli.exe pdf --password pw --cipher aes out.pdf page.png >/dev/null 2>&1
check "zancli writes a PDF (JPEG coding and the random source)" test -s out.pdf
run_wine ./zancli.exe scan --device eSCL:127.0.0.1:1 copier.pdf >/dev/null 2>&1
check "zancli asks a network copier through the system's WinHTTP" grep -q 'eSCL GET /eSCL/ScannerCapabilities' ZanGroupScanner.log
run_wine ./ZanGroupScanner.exe --test-enum >/dev/null 2>&1
check "the program starts with the codec" grep -q 'start ===' ZanGroupScanner.log
run_wine ./ZanGroupScanner.exe --zan-admin=fwlock job.ini >/dev/null 2>&1
check "the elevated role runs its job" grep -q 'firewall job' ZanGroupScanner.log
check "no planted library was loaded" test ! -e planted_marker.txt
[ -e planted_marker.txt ] && iconv -f UTF-16LE -t UTF-8 planted_marker.txt

# The hazard is real here: a program that loads "gdiplus.dll" by bare name gets the planted
# one from its own folder (so the check above can fail).
cp "$ZAN_BUILD/tools/load_by_name.exe" .
run_wine ./load_by_name.exe gdiplus.dll >/dev/null 2>&1
check "a load by bare name does take the planted library" test -e planted_marker.txt
finish
