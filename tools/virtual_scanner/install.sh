#!/usr/bin/env bash
# install.sh <wineprefix> <ds-file|build-folder> [--scripted]
# Installs the virtual scanner into a Wine prefix under the name Wine's twain_32.dll looks
# for (sane.ds): a 64-bit build into C:\windows\twain_64, a 32-bit one into
# C:\windows\twain_32. Wine loads a real DLL found there natively; no override is needed.
# Without --scripted a default sane.ini is written beside it, so the scanner shows up in
# every program of the prefix (a demo with three pages in the feeder). With --scripted no
# INI is written: the scanner then lists itself only in processes that name an INI through
# ZAN_VSCAN_INI, which leaves other programs of a shared prefix untouched.
set -eu
if [ $# -lt 2 ] || [ $# -gt 3 ]; then
    echo "usage: $0 <wineprefix> <ds-file|build-folder> [--scripted]" >&2
    exit 2
fi
prefix=$1
ds=$2
scripted=${3:-}
# A build folder stands for the scanner built in it.
[ -d "$ds" ] && ds="$ds/tools/zan_virtual_scanner.ds"
[ -f "$ds" ] || { echo "no such file: $ds" >&2; exit 1; }
windows="$prefix/drive_c/windows"
[ -d "$windows" ] || { echo "not a Wine prefix: $prefix" >&2; exit 1; }

# The PE header's machine field tells the bitness: 0x8664 is x86-64, 0x14c is i386.
pe=$(od -An -tu4 -j60 -N4 "$ds" | tr -d ' ')
machine=$(od -An -tx2 -j$((pe + 4)) -N2 "$ds" | tr -d ' ')
case $machine in
    8664) folder="$windows/twain_64" ;;
    014c) folder="$windows/twain_32" ;;
    *) echo "not a Windows DLL: $ds" >&2; exit 1 ;;
esac
mkdir -p "$folder"
# Replace by rename: a running program may have the old file mapped.
if ! cmp -s "$ds" "$folder/sane.ds"; then
    tmp=$(mktemp "$folder/.sane.XXXXXX")
    cp "$ds" "$tmp"
    chmod 644 "$tmp"
    mv -f "$tmp" "$folder/sane.ds"
fi
if [ "$scripted" = "--scripted" ]; then
    exit 0
fi
if [ -n "$scripted" ]; then
    echo "unknown option: $scripted" >&2
    exit 2
fi
printf '[Scanner]\r\nManufacturer=Zan Group\r\nFamily=Virtual\r\nProduct=Zan Virtual Scanner\r\nPages=3\r\nSignal=both\r\n' \
    > "$folder/sane.ini"
echo "virtual scanner installed: $folder/sane.ds"
