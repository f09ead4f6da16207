#!/usr/bin/env bash
# The elevated role under Wine with real job files: jobs that reach their handler run and
# write their result beside the job file; hostile job files are refused by the handler
# (which logs why) and nothing is written anywhere.
. "$(dirname "$0")/lib.sh"
stage_program
cd "$WORK"

winpath() { echo "Z:$(echo "$1" | sed 's|/|\\|g')"; }
code_of() { run_wine ./ZanGroupScanner.exe "$@" >/dev/null 2>&1; echo $?; }
hex32() { od -An -N16 -tx1 /dev/urandom | tr -d ' \n'; }

# write_job <file> <key=value>...: a UTF-16 INI file with a byte-order mark, section Job.
write_job() {
    local file=$1
    shift
    { printf '[Job]\r\n'; for kv in "$@"; do printf '%s\r\n' "$kv"; done; } | iconv -f UTF-8 -t UTF-16LE > body.tmp
    { printf '\xff\xfe'; cat body.tmp; } > "$file"
    rm -f body.tmp
}
read_result() { iconv -f UTF-16LE -t UTF-8 "$1" | tr -d '\r'; }

new_pair() {  # new_pair <jobtag> <resulttag>: sets JOB and RESULT (Linux paths)
    local id="4242_$(hex32)"
    JOB="$WORK/ZanGroupScanner_$1_$id.ini"
    RESULT="$WORK/ZanGroupScanner_$2_$id.ini"
}

# ---- firewall: a lock reaches the firewall (Wine's policy object cannot read the
# profiles), fails honestly with exit 1 and writes its Detail beside the job.
new_pair fwjob fwresult
write_job "$JOB" "Output=$(winpath "$RESULT")" "Action=Lock" "Lang=1"
code=$(code_of --zan-admin=fwlock "$(winpath "$JOB")")
check "a lock that cannot read the firewall exits 1" test "$code" = 1
check "its result file is written beside the job" test -f "$RESULT"
check "the result says not ok" bash -c "read_result() { iconv -f UTF-16LE -t UTF-8 \"\$1\" | tr -d '\r'; }; read_result '$RESULT' | grep -qx 'Ok=0'"
check "the detail names the profile it could not read, in English" \
    bash -c "iconv -f UTF-16LE -t UTF-8 '$RESULT' | grep -q 'Could not read the Domain network profile'"
check "the handler logged the job" grep -q 'firewall job action=Lock ok=0 result-written=1' ZanGroupScanner.log
check "no saved state was written from an unreadable firewall" bash -c "! grep -q 'saved-mask=[0-7] result=1' ZanGroupScanner.log"

# ---- hostile firewall jobs: refused (87) by the handler, with a log line, no result.
refused() {  # refused <expected> <reason in the log> <arguments...>
    local expected=$1 reason=$2 before
    shift 2
    before=$(grep -c "job refused: $reason" ZanGroupScanner.log)
    local code
    code=$(code_of "$@")
    [ "$code" = "$expected" ] && [ "$(grep -c "job refused: $reason" ZanGroupScanner.log)" -gt "$before" ]
}
new_pair fwjob fwresult
write_job "$JOB" "Output=$(winpath "$RESULT")" "Action=lock " "Lang=1"
check "an action \"lock \" with a blank is refused" refused 87 "action is neither" --zan-admin=fwlock "$(winpath "$JOB")"
check "and writes no result" test ! -e "$RESULT"
mkdir -p elsewhere
new_pair fwjob fwresult
write_job "$JOB" "Output=$(winpath "$WORK/elsewhere/result.ini")" "Action=Restore"
check "a result path pointing elsewhere is refused" refused 87 "result file outside" --zan-admin=fwrestore "$(winpath "$JOB")"
check "and nothing is written there" test ! -e elsewhere/result.ini
write_job "$WORK/job.ini" "Output=$(winpath "$WORK/r.ini")" "Action=Lock"
check "a job file not named by this program is refused" refused 87 "not a job file" --zan-admin=fwlock "$(winpath "$WORK/job.ini")"
new_pair fwjob fwresult
write_job "$JOB" "Output=$(winpath "$RESULT")" "Action=Lock"
check "a relative job path is refused" refused 87 "not a job file" --zan-admin=fwlock "$(basename "$JOB")"

# ---- share jobs: hostile values are refused (2) before any step.
share_refused() {  # share_refused <reason> <folder> <share>
    new_pair sharejob shareresult
    write_job "$JOB" "Output=$(winpath "$RESULT")" "Folder=$2" "Share=$3" "Everyone=0" "Password=1234" "Lang=1"
    refused 2 "$1" --zan-admin=share "$(winpath "$JOB")" && [ ! -e "$RESULT" ]
}
mkdir -p real/inner
ln -s "$WORK/real" link
check "a relative folder is refused" share_refused "folder is not a local absolute" 'Documents\ZanGroup Scans' ZanScans
check "a folder through .. is refused" share_refused "folder is not a local absolute" "$(winpath "$WORK/real/../real")" ZanScans
check "a share name with a backslash is refused" share_refused "share name" "$(winpath "$WORK/real")" 'Zan\Scans'
check "a folder through a link is refused" share_refused "folder path passes through a link" \
    "$(winpath "$WORK/link/inner")" ZanScans
new_pair sharejob shareresult
write_job "$JOB" "Output=$(winpath "$WORK/elsewhere/share.ini")" "Folder=$(winpath "$WORK/real")" "Share=ZanScans" "Everyone=0"
check "a share result path pointing elsewhere is refused" refused 2 "result file outside" --zan-admin=share "$(winpath "$JOB")"
check "and nothing is written there" test ! -e elsewhere/share.ini

# ---- a sound share job runs every step; Wine's netapi32 cannot share (code 50), which is
# reported as the failure it is.
new_pair sharejob shareresult
write_job "$JOB" "Output=$(winpath "$RESULT")" "Folder=$(winpath "$WORK/real/ZanGroup Scans")" "Share=ZanScans" \
    "Everyone=0" "Password=4821" "Lang=1"
code=$(code_of --zan-admin=share "$(winpath "$JOB")")
check "a share job under Wine ends with a failure code, not success" bash -c "[ '$code' != 0 ] && [ '$code' != 2 ]"
check "the destination folder was made" test -d "real/ZanGroup Scans"
check "its result file is written" test -f "$RESULT"
check "the result carries the step report" bash -c "iconv -f UTF-16LE -t UTF-8 '$RESULT' | grep -q '^Log=Create and verify destination folder: OK'"
check "the result carries the error code" bash -c "iconv -f UTF-16LE -t UTF-8 '$RESULT' | grep -qE '^Error=[1-9]'"
check "the share job logged its outcome" grep -qE 'share job error=[1-9][0-9]* success=0 result-written=1' ZanGroupScanner.log
finish
