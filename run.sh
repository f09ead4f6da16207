#!/usr/bin/env bash
# Installs what is missing, builds, and starts Zan Group Scanner under Wine in the
# project's own Wine prefix. Without a display it runs under Xvfb, saves a screenshot of
# the window to build/screenshot.png, closes the program and says where the picture is.
# Extra arguments go to the program (e.g. ./run.sh --lang=en).
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

/usr/lib/wine/wine64 ./ZanGroupScanner.exe "$@" &
app=$!
for _ in $(seq 30); do
    sleep 1
    grep -q 'start ===' ZanGroupScanner.log 2>/dev/null && break
done
sleep 4
import -window root "$build/screenshot.png"
# Close the window as a user would (WM_CLOSE), so the settings are saved and the log gets
# its exit line; force it only if it does not go.
/usr/lib/wine/wine64 taskkill /im ZanGroupScanner.exe >/dev/null 2>&1 || true
for _ in $(seq 10); do kill -0 "$app" 2>/dev/null || break; sleep 1; done
kill "$app" 2>/dev/null || true
echo "The program ran under Xvfb; screenshot of its window: $build/screenshot.png"
echo "log: $app_dir/ZanGroupScanner.log"
