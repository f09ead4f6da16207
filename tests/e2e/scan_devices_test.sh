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
check "twain_32 source, mask 1" grep -qP '^Zan Group\|Virtual\|Sane Flatbed\ttwain\t1\tSane Flatbed$' out.txt
check "TWAINDSM source, mask 2" grep -qP '^Zan Group\|Virtual\|Flatbed A\ttwain\t2\tFlatbed A$' out.txt
check "twain_32 sources come first" test "$(grep -n 'Sane Flatbed' out.txt | cut -d: -f1)" -lt "$(grep -n 'Flatbed A' out.txt | cut -d: -f1)"
check "log: enumeration header" has_line log "=== TWAIN enumeration (process 64-bit) ==="
check "log: TWAINDSM opened from the program folder" grep -q '^TWAINDSM.dll: OPENDSM ok (.*\\TWAINDSM.dll)$' log
check "log: done line" grep -q '^enumeration done: twain=[0-9]* wia=0$' log

# The same scanner through both managers (names differ in case only): one entry, mask 3.
script_scanner "Product=Office Scanner" "[sane]" "Product=OFFICE scanner"
dsm_sources 1
zancli devices
check "merged entry has mask 3" grep -qP '^Zan Group\|Virtual\|OFFICE scanner\ttwain\t3\tOFFICE scanner$' out.txt
check "merged scanner listed once" test "$(grep -ci 'office scanner' out.txt)" = 1
check "log: second sighting merged" grep -q "^  TWAINDSM.dll source: Id=1 'Zan Group' | 'Virtual' | 'Office Scanner' proto=2.1 groups=0x40000003 (merged)$" log
check "log: totals" grep -q '^TWAIN total entries (before merge) = [0-9]*, merged devices = [0-9]*$' log

# Two identical scanners behind TWAINDSM.dll: the first merges with twain_32's sighting,
# the second stays its own entry with " #2".
script_scanner "Product=Twin"
dsm_sources 2
zancli devices
check "first twin merged (mask 3)" grep -qP '^Zan Group\|Virtual\|Twin\ttwain\t3\tTwin$' out.txt
check "second twin kept apart (mask 2)" grep -qP '^Zan Group\|Virtual\|Twin #2\ttwain\t2\tTwin$' out.txt

# The second twin can be scanned by its key.
zancli scan --device "Zan Group|Virtual|Twin #2" twin.pdf
check "scan of the second twin succeeds" test "$code" = 0
check "second twin opened through TWAINDSM.dll as source 2" has_line log "TWAINDSM.dll: OPENDS ok id=2"

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
