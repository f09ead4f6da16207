#!/usr/bin/env bash
# Redraws tests/ui/gallery.png (every icon at 16, 24 and 48 px, every button kind in each
# state) with the 64-bit test build's ui_shot under the project's Wine session. Look at
# the picture before committing it.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${ZAN_BUILD_DIR:-build}/x64
. scripts/wine_session.sh
start_wine_session "$PWD/.wineprefix-$(basename "${ZAN_BUILD_DIR:-build}")"
/usr/lib/wine/wine64 "$build/tools/ui_shot.exe" --show=gallery --out=tests/ui/gallery.png
echo "wrote tests/ui/gallery.png"
