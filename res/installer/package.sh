#!/usr/bin/env bash
# res/installer/package.sh <program folder> <output folder>
# Builds the installer (makensis) and the portable zip from the built 32-bit programs. The
# version is read by makensis from ZanGroupScanner.exe's version record and reused for the
# zip's name, so it has one source.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exe_dir=$(cd "$1" && pwd)
out=$(mkdir -p "$2" && cd "$2" && pwd)
work="$out/package.tmp"
rm -rf "$work" "$out"/ZanGroupScanner-Setup-*.exe "$out"/ZanGroupScanner-*-portable.zip
mkdir -p "$work/portable"

# The read-me as Windows editors expect it: UTF-8 with a byte-order mark, CR LF lines.
{ printf '\xEF\xBB\xBF'; sed 's/$/\r/' "$here/ReadMe.txt"; } > "$work/ReadMe.txt"

makensis -V2 -INPUTCHARSET UTF8 -DEXE_DIR="$exe_dir" -DREADME="$work/ReadMe.txt" -DOUT_DIR="$out" \
    "$here/zan_setup.nsi"
setup=$(ls "$out"/ZanGroupScanner-Setup-*.exe)
version=${setup##*/ZanGroupScanner-Setup-}
version=${version%.exe}

# Portable: a settings file beside the program (the 26-byte start of a new one) makes the
# program keep its settings and log in its own folder.
p="$work/portable/ZanGroupScanner"
mkdir -p "$p"
cp "$exe_dir/ZanGroupScanner.exe" "$exe_dir/zancli.exe" "$work/ReadMe.txt" "$p/"
printf '\xFF\xFE' > "$p/ZanGroupScanner.ini"
printf '[Settings]\r\n' | iconv -f UTF-8 -t UTF-16LE >> "$p/ZanGroupScanner.ini"
(cd "$work/portable" && zip -q -X -r "$out/ZanGroupScanner-$version-portable.zip" ZanGroupScanner)
rm -rf "$work"
echo "packages: $setup $out/ZanGroupScanner-$version-portable.zip"
