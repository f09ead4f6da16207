#!/usr/bin/env bash
# The real program under Wine: the elevated role's exit codes (no window) and an
# interactive start that writes its start and exit lines to the log.
. "$(dirname "$0")/lib.sh"
stage_program
cd "$WORK"

code_of() { run_wine ./ZanGroupScanner.exe "$@" >/dev/null 2>&1; echo $?; }

check "fwlock without job file exits 87" test "$(code_of --zan-admin=fwlock)" = 87
check "fwrestore without job file exits 87" test "$(code_of --zan-admin=fwrestore)" = 87
check "share without job file exits 1" test "$(code_of --ZAN-ADMIN=share)" = 1
check "job names compare exactly" test "$(code_of --zan-admin=SHARE job.ini)" = 1
check "unknown job exits 1" test "$(code_of --zan-admin=nothing job.ini)" = 1
check "admin run writes no start line" bash -c '! grep -q "start ===" ZanGroupScanner.log 2>/dev/null'

rm -f ZanGroupScanner.log
code=$(code_of --test-enum --lang=en)
check "interactive --test-enum run exits 0" test "$code" = 0
check "log exists" test -f ZanGroupScanner.log
check "start line" grep -qE '^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} \[[0-9a-f]{4,}\] === Zan Group Scanner 2\.1\.5 start ===.$' ZanGroupScanner.log
check "exit line" grep -qE '\] === exit ===.$' ZanGroupScanner.log
check "lines end with CR LF" bash -c '[ "$(grep -c $'"'"'\r$'"'"' ZanGroupScanner.log)" = "$(wc -l < ZanGroupScanner.log)" ]'
check "no byte-order mark" bash -c '[ "$(head -c 3 ZanGroupScanner.log | od -An -tx1 | tr -d " ")" != "efbbbf" ]'
# A second run appends to the same log.
code_of --test-enum >/dev/null
check "second run appends" test "$(grep -c 'start ===' ZanGroupScanner.log)" = 2
finish
