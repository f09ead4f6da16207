#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix (never the user's).
# ctest uses this as the emulator for every test executable. The prefix is a 64-bit one,
# which runs both 64-bit and 32-bit programs.
set -u
here=$(cd "$(dirname "$0")" && pwd)
: "${ZAN_WINEPREFIX:?ZAN_WINEPREFIX must name the Wine prefix of the build}"
"$here/wine_prefix.sh" "$ZAN_WINEPREFIX" >&2 || exit 1
export WINEPREFIX="$ZAN_WINEPREFIX" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
exec /usr/lib/wine/wine64 "$@"
