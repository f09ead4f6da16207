#!/usr/bin/env bash
# The installer and the portable zip of the 32-bit product: their contents, then a silent
# install into the test prefix (files, shortcuts, the "Apps and features" entry with the
# program's version), a start of the installed program, and a silent uninstall that takes
# all of it away and leaves a user's settings in %APPDATA% alone. 32-bit programs may run
# under CPU emulation here: four program starts.
. "$(dirname "$0")/lib.sh"
packages="$ZAN_BUILD/packages"
setup=$(ls "$packages"/ZanGroupScanner-Setup-*.exe 2>/dev/null | head -1)
zip=$(ls "$packages"/ZanGroupScanner-*-portable.zip 2>/dev/null | head -1)
check "installer built" test -n "$setup"
check "portable zip built" test -n "$zip"
[ -n "$setup" ] && [ -n "$zip" ] || { finish; exit 1; }
version=${setup##*/ZanGroupScanner-Setup-}
version=${version%.exe}
exe_version=$(strings -el "$ZAN_BUILD/app/ZanGroupScanner.exe" | grep -A1 -x 'ProductVersion' | tail -1)
check "installer named with the program's version ($version)" test "$version" = "$exe_version"
check "zip named with the same version" test "$(basename "$zip")" = "ZanGroupScanner-$version-portable.zip"
check "installer is a 32-bit program" bash -c "i686-w64-mingw32-objdump -f '$setup' | grep -q 'file format pei-i386'"

# ---- portable zip
cd "$WORK"
unzip -q "$zip" -d portable
listing=$(cd portable && find . -type f | sort | tr '\n' ' ')
check "zip holds the program, zancli, read-me and settings marker" \
    test "$listing" = "./ZanGroupScanner/ReadMe.txt ./ZanGroupScanner/ZanGroupScanner.exe ./ZanGroupScanner/ZanGroupScanner.ini ./ZanGroupScanner/zancli.exe "
check "zipped program is the built one" cmp -s portable/ZanGroupScanner/ZanGroupScanner.exe "$ZAN_BUILD/app/ZanGroupScanner.exe"
check "settings marker is the 26-byte start of a settings file" \
    test "$(od -An -tx1 portable/ZanGroupScanner/ZanGroupScanner.ini | tr -d ' \n')" = "fffe5b00530065007400740069006e00670073005d000d000a00"
check "read-me is UTF-8 with a mark and CR LF lines" bash -c \
    "head -c 3 portable/ZanGroupScanner/ReadMe.txt | od -An -tx1 | grep -q 'ef bb bf' && grep -q \$'\r\$' portable/ZanGroupScanner/ReadMe.txt"

# ---- silent install into the test prefix
prefix_c="$ZAN_WINEPREFIX/drive_c"
install_dir="$prefix_c/Program Files (x86)/Zan Group Scanner"
key='HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\ZanGroupScanner'
start_menu="$prefix_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Zan Group Scanner/Zan Group Scanner.lnk"
desktop="$prefix_c/users/Public/Desktop/Zan Group Scanner.lnk"
# Leftovers of an interrupted earlier run.
rm -rf "$install_dir" "$(dirname "$start_menu")" "$desktop"
run_wine reg delete "$key" /f >/dev/null 2>&1

appdata=$(ls -d "$prefix_c"/users/*/AppData/Roaming | grep -v /Public/ | head -1)
mkdir -p "$appdata/ZanGroupScanner"
printf '\xFF\xFE' > "$appdata/ZanGroupScanner/ZanGroupScanner.ini"
printf '[Settings]\r\nDpi=600\r\n' | iconv -f UTF-8 -t UTF-16LE >> "$appdata/ZanGroupScanner/ZanGroupScanner.ini"
before=$(md5sum < "$appdata/ZanGroupScanner/ZanGroupScanner.ini")

cp "$setup" setup.exe
run_wine ./setup.exe /S >/dev/null 2>&1
check "silent install exits 0" test $? = 0
for f in ZanGroupScanner.exe zancli.exe ReadMe.txt Uninstall.exe; do
    check "installed $f" test -f "$install_dir/$f"
done
check "installed program is the built one" cmp -s "$install_dir/ZanGroupScanner.exe" "$ZAN_BUILD/app/ZanGroupScanner.exe"
check "Start-menu shortcut" test -f "$start_menu"
check "desktop shortcut" test -f "$desktop"
entry=$(run_wine reg query "$key" 2>/dev/null | tr -d '\r')
echo "$entry"
check "uninstall entry names the program" grep -qE 'DisplayName\s+REG_SZ\s+Zan Group Scanner$' <<<"$entry"
check "uninstall entry has the version" grep -qE "DisplayVersion\s+REG_SZ\s+$version\$" <<<"$entry"
check "uninstall entry has the publisher" grep -qE 'Publisher\s+REG_SZ\s+Zan Group$' <<<"$entry"
check "uninstall entry has a size" grep -qE 'EstimatedSize\s+REG_DWORD\s+0x[0-9a-f]*[1-9a-f]' <<<"$entry"
check "uninstall entry has a quiet uninstall command" grep -q 'QuietUninstallString.*Uninstall.exe" /S' <<<"$entry"

run_wine "C:\\Program Files (x86)\\Zan Group Scanner\\ZanGroupScanner.exe" --zan-admin=fwlock >/dev/null 2>&1
check "installed program starts (elevated role without job file exits 87)" test $? = 87

# ---- silent uninstall: the uninstaller runs a copy of itself from the temporary folder
# and returns at once, so wait for its work to show.
run_wine "C:\\Program Files (x86)\\Zan Group Scanner\\Uninstall.exe" /S >/dev/null 2>&1
for _ in $(seq 300); do
    [ ! -e "$install_dir/Uninstall.exe" ] && ! run_wine reg query "$key" >/dev/null 2>&1 && break
    sleep 1
done
for f in ZanGroupScanner.exe zancli.exe ReadMe.txt Uninstall.exe; do
    check "uninstall removed $f" test ! -e "$install_dir/$f"
done
check "uninstall removed the Start-menu shortcut and its folder" test ! -e "$(dirname "$start_menu")"
check "uninstall removed the desktop shortcut" test ! -e "$desktop"
check "uninstall removed the entry" bash -c "! '$WINE_EXEC' reg query '$key' >/dev/null 2>&1"
# The installed program kept its settings and log beside itself (the folder is writable
# under Wine); those are the user's, and only they may remain.
left=$( [ -d "$install_dir" ] && (cd "$install_dir" && ls -A | grep -vxE 'ZanGroupScanner\.(ini|log)' || true) )
check "nothing of the installer's is left in the program folder" test -z "$left"
check "settings in %APPDATA% untouched" test "$(md5sum < "$appdata/ZanGroupScanner/ZanGroupScanner.ini")" = "$before"
rm -rf "$install_dir"
finish
