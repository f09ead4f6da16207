#!/usr/bin/env bash
# Installs what is missing, builds everything from scratch and runs every test:
# the 32-bit product (build/) with its smoke test, the same code built for 64-bit Windows
# (build/x64) with every unit and end-to-end test under Wine, and the portable code's
# tests in a native build (build/host) with address and undefined-behaviour sanitizers.
# Exits non-zero on any failure. ZAN_BUILD_DIR chooses another build folder.
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)
./scripts/install_deps.sh

build=${ZAN_BUILD_DIR:-build}
mkdir -p "$build"
build=$(cd "$build" && pwd)
# Keep the Wine prefix across clean builds: it is large and slow to make.
prefix="$root/.wineprefix-$(basename "$build")"
find "$build" -mindepth 1 -maxdepth 1 ! -name wineprefix -exec rm -rf {} +
mkdir -p "$prefix"
ln -sfn "$prefix" "$build/wineprefix"

echo "== 32-bit Windows build (the product)"
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build"

echo "== 64-bit Windows build (tests under Wine)"
cmake -S . -B "$build/x64" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
    -DZAN_WINEPREFIX_OVERRIDE="$build/wineprefix" >/dev/null
cmake --build "$build/x64"

echo "== native build of the portable code (sanitizers)"
cmake -S . -B "$build/host" -G Ninja -DZAN_HOST=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build/host"

. scripts/wine_session.sh
start_wine_session "$build/wineprefix"

status=0
echo "== tests under Wine"
(cd "$build/x64" && ctest --output-on-failure --timeout 600 -j2) || status=1
echo "== 32-bit smoke test under Wine"
(cd "$build" && ctest --output-on-failure --timeout 900) || status=1
echo "== native tests"
(cd "$build/host" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure --timeout 600 -j2) || status=1
for extra in "$root"/tests/run_*.sh; do
    [ -e "$extra" ] || continue
    echo "== $(basename "$extra")"
    ZAN_BUILD="$build" ZAN_SOURCE="$root" bash "$extra" || status=1
done
[ $status -eq 0 ] && echo "ALL TESTS PASSED" || echo "SOME TESTS FAILED"
exit $status
