#!/usr/bin/env bash
# Creates the (64-bit, 32-bit capable) Wine prefix given as $1 on first use: no crash dialog (a crashing
# test exits instead of hanging), a virtual desktop (fast window teardown, framed
# screenshots). Safe to call from several tests at once.
set -eu
prefix=$1
[ -f "$prefix/.zan-ready" ] && exit 0
mkdir -p "$prefix"
exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.zan-ready" ] && exit 0
export WINEPREFIX="$prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
/usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
/usr/lib/wine/wineserver64 -w
cat > "$prefix/zan.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="1280x1024"
REG
/usr/lib/wine/wine64 regedit /S "$prefix/zan.reg" >/dev/null 2>&1
/usr/lib/wine/wineserver64 -w
touch "$prefix/.zan-ready"
