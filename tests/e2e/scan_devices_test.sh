#!/usr/bin/env bash
# zancli devices over both source managers: Wine's twain_32.dll lists the virtual scanner
# installed as sane.ds, the test TWAINDSM.dll lists the copies in its folder; sightings of
# one scanner through both managers merge, identical scanners of one manager stay apart.
. "$(dirname "$0")/scan_lib.sh"

# One scanner per manager, different names.
script_scanner "Product=Flatbed A" "[sane]" "Product=Sane Flatbed"
dsm_sources 1
zancli devices
check "devices exits 0" test "$code" = 0
check "twain_32 source, mask 1" grep -qP '^Zan Group\|Virtual\|Sane Flatbed\ttwain\t1\tSane Flatbed\tSane Flatbed  \(TWAIN\)\tTWAIN driver · twain_32 · Zan Group$' out.txt
check "TWAINDSM source, mask 2" grep -qP '^Zan Group\|Virtual\|Flatbed A\ttwain\t2\tFlatbed A\tFlatbed A  \(TWAIN\)\tTWAIN driver · TWAIN DSM 2.x · Zan Group$' out.txt
check "twain_32 sources come first" test "$(grep -n '^[^	]*Sane Flatbed	' out.txt | cut -d: -f1)" -lt "$(grep -n '^[^	]*Flatbed A	' out.txt | cut -d: -f1)"
check "log: enumeration header" has_line log "=== TWAIN enumeration (process 64-bit) ==="
check "log: TWAINDSM opened from the program folder" grep -q '^TWAINDSM.dll: OPENDSM ok (.*\\TWAINDSM.dll)$' log
check "log: done line" grep -q '^enumeration done: twain=[0-9]* wia=0$' log
check "first scanner selected without a remembered device" has_line out.txt "selected	Zan Group|Virtual|Sane Flatbed"
# The remembered device (LastDevice) is selected after a refresh.
printf '[Settings]\r\nLastDevice=Zan Group|Virtual|Flatbed A\r\n' > ZanGroupScanner.ini
zancli devices
check "remembered device selected" has_line out.txt "selected	Zan Group|Virtual|Flatbed A"
zancli scan out_last.pdf
check "scan without --device uses the remembered device" grep -q '^TWAINDSM.dll: OPENDS ok' log
rm -f ZanGroupScanner.ini
# A printer-like source is listed and marked, and never chosen automatically.
script_scanner "Product=Flatbed A" "[sane]" "Product=PDF Printer"
zancli devices
check "printer marked in its list line" grep -qP '\tPDF Printer  \(TWAIN\)  ·  printer/fax\?\t' out.txt
# (Wine's own camera source, listed by twain_32.dll, is a plain TWAIN entry too.)
check "printer not chosen automatically" bash -c "grep -q '^selected	' out.txt && ! grep -q '^selected	Zan Group|Virtual|PDF Printer$' out.txt"

# The same scanner through both managers (names differ in case only): one entry, mask 3.
script_scanner "Product=Office Scanner" "[sane]" "Product=OFFICE scanner"
dsm_sources 1
zancli devices
check "merged entry has mask 3" grep -qP '^Zan Group\|Virtual\|OFFICE scanner\ttwain\t3\tOFFICE scanner\t[^\t]*\tTWAIN driver · DSM 1.x \+ 2.x · Zan Group$' out.txt
check "merged scanner listed once" test "$(grep -i 'office scanner' out.txt | grep -c '	twain	')" = 1
check "log: second sighting merged" grep -q "^  TWAINDSM.dll source: Id=1 'Zan Group' | 'Virtual' | 'Office Scanner' proto=2.1 groups=0x40000003 (merged)$" log
check "log: totals" grep -q '^TWAIN total entries (before merge) = [0-9]*, merged devices = [0-9]*$' log

# Two identical scanners behind TWAINDSM.dll: the first merges with twain_32's sighting,
# the second stays its own entry with " #2".
script_scanner "Product=Twin"
dsm_sources 2
zancli devices
check "first twin merged (mask 3)" grep -qP '^Zan Group\|Virtual\|Twin\ttwain\t3\tTwin\t' out.txt
check "second twin kept apart (mask 2)" grep -qP '^Zan Group\|Virtual\|Twin #2\ttwain\t2\tTwin\t' out.txt

# The second twin can be scanned by its key.
zancli scan --device "Zan Group|Virtual|Twin #2" twin.pdf
check "scan of the second twin succeeds" test "$code" = 0
check "second twin opened through TWAINDSM.dll as source 2" has_line log "TWAINDSM.dll: OPENDS ok id=2"

# The program's --test-enum: the full listing and the status line land in its log (three
# sources: the two scripted ones and Wine's own camera source).
script_scanner "Product=Flatbed A" "[sane]" "Product=Sane Flatbed"
dsm_sources 1
cp "$ZAN_BUILD/app/ZanGroupScanner.exe" "$WORK/"
rm -f ZanGroupScanner.log
ZAN_VSCAN_INI=$(win_path "$WORK/scanner.ini") ZAN_TWAINDSM_SOURCES=$(win_path "$WORK/dsm") \
    run_wine ./ZanGroupScanner.exe --test-enum --lang=en > /dev/null 2>&1
code=$?
sed 's/^[^]]*\] //' ZanGroupScanner.log | tr -d '\r' > log
check "--test-enum exits 0" test "$code" = 0
check "--test-enum: both sources logged" bash -c "grep -q \"^  twain_32.dll source: .* 'Sane Flatbed'\" log && grep -q \"^  TWAINDSM.dll source: .* 'Flatbed A'\" log"
check "--test-enum: status line right after the enumeration" bash -c "sed -n '/^enumeration done/,\$p' log | head -2 | tr '\n' '|' | grep -qx 'enumeration done: twain=3 wia=0|UI: Found 3 device(s)|'"
check "--test-enum: window closed" has_line log "=== exit ==="

# Without a script a copy lists itself nowhere: installing it into a shared prefix
# changes nothing for other programs. (The copy behind TWAINDSM.dll is checked: the one
# installed as sane.ds may have a demo INI beside it, written by run.sh.)
rm -f scanner.ini
dsm_sources 1
zancli devices
check "unscripted copy not listed" bash -c "! grep -qP '\t2\t' out.txt"
check "log: TWAINDSM.dll listed nothing" bash -c "! grep -q '^  TWAINDSM.dll source' log"
report_on_failure
finish
