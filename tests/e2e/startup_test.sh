#!/usr/bin/env bash
# The real program under Wine: the elevated role's exit codes (no window) and an
# interactive start that writes its start and exit lines to the log.
. "$(dirname "$0")/lib.sh"
stage_program
cd "$WORK"

code_of() { run_wine ./ZanGroupScanner.exe "$@" >/dev/null 2>&1; echo $?; }

log_lines() { [ -f ZanGroupScanner.log ] && wc -l < ZanGroupScanner.log || echo 0; }
# A refusal by the role itself (missing job file, unknown job) exits before any job
# handler runs, so it adds nothing to the log; a job that reaches its handler logs.
refused_silently() {  # refused_silently <expected code> <arguments...>
    local expected=$1 before code
    shift
    before=$(log_lines)
    code=$(code_of "$@")
    [ "$code" = "$expected" ] && [ "$(log_lines)" = "$before" ]
}
check "fwlock without job file exits 87" refused_silently 87 --zan-admin=fwlock
check "fwrestore without job file exits 87" refused_silently 87 --zan-admin=fwrestore
check "share without job file exits 1 before the handler" refused_silently 1 --ZAN-ADMIN=share
check "job names compare exactly" refused_silently 1 --zan-admin=SHARE job.ini
check "unknown job exits 1 before any handler" refused_silently 1 --zan-admin=nothing job.ini
before=$(log_lines)
code_of --zan-admin=share job.ini >/dev/null
check "a share job with its file reaches the handler" test "$(log_lines)" -gt "$before"
check "admin run opens the log beside the settings" test -f ZanGroupScanner.log
check "admin run writes no start line" bash -c '! grep -q "start ===" ZanGroupScanner.log'

rm -f ZanGroupScanner.log
code=$(code_of --test-enum --lang=en)
check "interactive --test-enum run exits 0" test "$code" = 0
check "log exists" test -f ZanGroupScanner.log
check "start line" grep -qE '^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} \[[0-9a-f]{4,}\] === Zan Group Scanner 2\.1\.5 start ===.$' ZanGroupScanner.log
check "exit line" grep -qE '\] === exit ===.$' ZanGroupScanner.log
check "lines end with CR LF" bash -c '[ "$(grep -c $'"'"'\r$'"'"' ZanGroupScanner.log)" = "$(wc -l < ZanGroupScanner.log)" ]'
check "no byte-order mark" bash -c '[ "$(head -c 3 ZanGroupScanner.log | od -An -tx1 | tr -d " ")" != "efbbbf" ]'
check "stored window state honoured" grep -q 'UI: main window shown normal' ZanGroupScanner.log
iconv -f UTF-16LE -t UTF-8 ZanGroupScanner.ini | sed 's/^Maximized=0/Maximized=1/' | iconv -f UTF-8 -t UTF-16LE > settings.tmp
mv settings.tmp ZanGroupScanner.ini
code_of --test-enum >/dev/null
check "stored Maximized setting opens the window maximized" grep -q 'UI: main window shown maximized' ZanGroupScanner.log
# A second run appends to the same log.
code_of --test-enum >/dev/null
check "later runs append" test "$(grep -c 'start ===' ZanGroupScanner.log)" = 3
finish
