#!/usr/bin/env bash
# The 32-bit product itself: a 32-bit, large-address-aware GUI program that imports only
# system DLLs, and that starts under Wine (one start: it may run under CPU emulation).
. "$(dirname "$0")/lib.sh"
exe="$ZAN_BUILD/app/ZanGroupScanner.exe"
headers=$(i686-w64-mingw32-objdump -p "$exe")
check "32-bit PE" grep -q 'file format pei-i386' <<<"$headers"
check "GUI subsystem" grep -qE 'Subsystem[[:space:]]+00000002' <<<"$headers"
check "large address aware" grep -q 'large address aware' <<<"$headers"
dlls=$(grep 'DLL Name:' <<<"$headers" | awk '{print tolower($3)}' | sort -u | tr '\n' ' ')
echo "imports: $dlls"
check "only system DLLs" bash -c "! grep -qvE '^(kernel32|user32|gdi32|shell32|ole32|oleaut32|comctl32|advapi32|msvcrt|comdlg32|ws2_32|shlwapi|version|winmm|uxtheme|api-ms-win-[a-z0-9-]+)\.dll$' <<<'$(tr ' ' '\n' <<<"$dlls" | sed '/^$/d')'"
stage_program
cd "$WORK"
run_wine ./ZanGroupScanner.exe --zan-admin=fwlock >/dev/null 2>&1
check "32-bit elevated role exits 87 without a job file" test $? = 87
finish
