# tests/e2e/lib.sh: shared by the end-to-end scripts. Sourced, not run.
# ZAN_BUILD, ZAN_SOURCE and ZAN_WINEPREFIX come from ctest.
set -u
: "${ZAN_BUILD:?}" "${ZAN_SOURCE:?}" "${ZAN_WINEPREFIX:?}"
WINE_EXEC="$ZAN_SOURCE/scripts/wine_exec.sh"
export ZAN_WINEPREFIX
failures=0

# A fresh work folder per script, removed at exit.
WORK=$(mktemp -d "$ZAN_BUILD/e2e.XXXXXX")
trap 'rm -rf "$WORK"' EXIT

# Copies the program (and anything named) into the work folder so settings and log land there.
stage_program() {
    cp "$ZAN_BUILD/app/ZanGroupScanner.exe" "$WORK/"
}

run_wine() {
    "$WINE_EXEC" "$@"
}

check() {  # check <description> <command...>
    local what=$1
    shift
    if "$@"; then
        echo "ok: $what"
    else
        echo "FAILED: $what"
        failures=$((failures + 1))
    fi
}

finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed"
        exit 1
    fi
    echo "all checks passed"
}
