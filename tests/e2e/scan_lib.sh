# tests/e2e/scan_lib.sh: shared by the scan end-to-end scripts. Sourced after lib.sh.
# Sets up a work folder with zancli.exe and the test TWAINDSM.dll, installs the virtual
# scanner as Wine's sane.ds (scripted, so other programs of the prefix never see it) and
# offers a folder of sources for TWAINDSM.dll.
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

DS="$ZAN_BUILD/tools/zan_virtual_scanner.ds"
cp "$ZAN_BUILD/app/zancli.exe" "$ZAN_BUILD/tools/TWAINDSM.dll" "$WORK/"
mkdir -p "$WORK/dsm"
bash "$ZAN_SOURCE/tools/virtual_scanner/install.sh" "$ZAN_WINEPREFIX" "$DS" --scripted
cd "$WORK"

win_path() {  # the Windows spelling of a Linux path (Wine's Z: drive)
    printf 'Z:%s' "$1" | tr / '\\'
}

# Writes the scanner script: [Scanner] with a trace into trace.txt, then the given lines
# (key=value or [section]).
script_scanner() {
    {
        printf '[Scanner]\r\nTrace=%s\r\n' "$(win_path "$WORK/trace.txt")"
        local line
        for line in "$@"; do printf '%s\r\n' "$line"; done
    } > "$WORK/scanner.ini"
}

# Offers n copies of the virtual scanner to TWAINDSM.dll (0 removes them).
dsm_sources() {
    rm -f "$WORK"/dsm/*.ds
    local i
    for i in $(seq 1 "$1"); do cp "$DS" "$WORK/dsm/copy$i.ds"; done
}

# zancli with the scanner script; stdout in out.txt, stderr in err.txt, exit code in $code.
# The log and the trace start empty. Network copiers are never looked for on the network:
# the DNS-SD stand-in lists what ZAN_ESCL_DISCOVERY names, by default nothing.
: > "$WORK/no_copiers.txt"
zancli() {
    rm -f "$WORK/ZanGroupScanner.log" "$WORK/trace.txt"
    ZAN_VSCAN_INI=$(win_path "$WORK/scanner.ini") ZAN_TWAINDSM_SOURCES=$(win_path "$WORK/dsm") \
        ZAN_ESCL_DISCOVERY=${ZAN_ESCL_DISCOVERY:-$(win_path "$WORK/no_copiers.txt")} \
        run_wine ./zancli.exe "$@" > "$WORK/out.txt" 2> "$WORK/err.txt"
    code=$?
    sed -i 's/\r$//' "$WORK/out.txt" "$WORK/err.txt"
    touch "$WORK/trace.txt" "$WORK/ZanGroupScanner.log"
    tr -d '\r' < "$WORK/trace.txt" > "$WORK/trace"
    sed 's/^[^]]*\] //' "$WORK/ZanGroupScanner.log" | tr -d '\r' > "$WORK/log"
}

# The trace lines from the first request after OPENDS up to ENABLEDS (the negotiation).
negotiation() {
    sed -n '/^OPENDS/,/^ENABLEDS/p' "$WORK/trace" | sed '1d;$d'
}

has_line() {  # has_line <file> <exact line>
    grep -qxF -- "$2" "$1"
}

pdf_pages() {
    qpdf --show-npages "$1" 2>/dev/null
}

report_on_failure() {
    if [ "$failures" -ne 0 ]; then
        echo "--- stdout"; cat "$WORK/out.txt"; echo "--- stderr"; cat "$WORK/err.txt"
        echo "--- log"; cat "$WORK/log"; echo "--- trace"; cat "$WORK/trace"
    fi
}

# ---- WIA through the stand-in device manager (zan_wia_standin.dll)
cp "$ZAN_BUILD/tools/zan_wia_standin.dll" "$WORK/"

# Writes the stand-in's script: [Manager] with a trace into wia_trace.txt, then the lines.
script_wia() {
    {
        printf '[Manager]\r\nTrace=%s\r\n' "$(win_path "$WORK/wia_trace.txt")"
        local line
        for line in "$@"; do printf '%s\r\n' "$line"; done
    } > "$WORK/wia.ini"
}

# zancli with the stand-in in place of the system's WIA manager; its trace in wia_trace.
zancli_wia() {
    rm -f "$WORK/wia_trace.txt"
    ZAN_WIA_MANAGER=$(win_path "$WORK/zan_wia_standin.dll") ZAN_WIA_SCRIPT=$(win_path "$WORK/wia.ini") zancli "$@"
    touch "$WORK/wia_trace.txt"
    tr -d '\r' < "$WORK/wia_trace.txt" > "$WORK/wia_trace"
}

