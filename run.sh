#!/usr/bin/env bash
# Installs what is missing, builds, and starts Zan Group Scanner under Wine in the
# project's own Wine prefix, with the virtual scanner installed (three pages in its feeder).
# Without a display it runs under Xvfb an unattended scan (--test-scan) into
# build/demo-scan.pdf, saves a screenshot of the window right after the scan to
# build/screenshot.png and says where both are. Extra arguments go to the program
# (e.g. ./run.sh --lang=en).
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)
./scripts/install_deps.sh

build="$root/build"
prefix="$root/.wineprefix-build"
mkdir -p "$build" "$prefix"
[ -e "$build/wineprefix" ] || ln -sfn "$prefix" "$build/wineprefix"
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target ZanGroupScanner zancli
exe="$build/app/ZanGroupScanner.exe"
# Where 32-bit programs only run under CPU emulation (no 32-bit mode in this machine's
# kernel), start the identical 64-bit build instead: the emulated start takes minutes.
if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
    echo "note: this machine runs 32-bit programs only under emulation; starting the 64-bit build"
    cmake -S . -B "$build/x64" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
        -DZAN_WINEPREFIX_OVERRIDE="$prefix" >/dev/null
    cmake --build "$build/x64" --target ZanGroupScanner zancli
    exe="$build/x64/app/ZanGroupScanner.exe"
fi

headless=0
[ -z "${DISPLAY:-}" ] && headless=1
. scripts/wine_session.sh
start_wine_session "$prefix"
if [ -x tools/virtual_scanner/install.sh ]; then
    tools/virtual_scanner/install.sh "$prefix" "$(dirname "$exe")/.." >/dev/null 2>&1 || echo "note: the virtual scanner could not be installed"
fi

# The program keeps its settings and log beside itself: run it from a folder of its own.
app_dir="$build/run"
mkdir -p "$app_dir"
cp "$exe" "$app_dir/ZanGroupScanner.exe"
cd "$app_dir"
if [ $headless -eq 0 ]; then
    /usr/lib/wine/wine64 ./ZanGroupScanner.exe "$@"
    echo "log: $app_dir/ZanGroupScanner.log"
    exit 0
fi

# The virtual scanner is the device of a first run.
[ -e ZanGroupScanner.ini ] || printf '[Settings]\r\nLastDevice=Zan Group|Virtual|Zan Virtual Scanner\r\n' > ZanGroupScanner.ini
rm -f "$build/demo-scan.pdf" "$build/screenshot.png" ZanGroupScanner.log
/usr/lib/wine/wine64 ./ZanGroupScanner.exe "$@" --test-scan 'Z:'"$(printf '%s' "$build/demo-scan.pdf" | tr / '\\')" &
app=$!
# The window logs the end of the scan; the save of the pages follows and then it closes.
for _ in $(seq 600); do
    grep -q 'scan finished: pages=' ZanGroupScanner.log 2>/dev/null && break
    kill -0 "$app" 2>/dev/null || break
    sleep 0.1
done
import -window root "$build/screenshot.png" || true
code=0
wait "$app" || code=$?
if [ "$code" -eq 0 ] && [ -s "$build/demo-scan.pdf" ]; then
    echo "The program scanned under Xvfb: $build/demo-scan.pdf"
else
    echo "The unattended scan failed (exit code $code)"
fi
echo "screenshot of its window after the scan: $build/screenshot.png"
echo "log: $app_dir/ZanGroupScanner.log"
exit "$code"
