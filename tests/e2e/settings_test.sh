#!/usr/bin/env bash
# The settings file as the real program writes it: created beside the executable with
# the UTF-16LE header, every key of section "Settings" in order after a run, no password,
# the last --lang= option written back, and an old file without byte-order mark turned
# into UTF-16 with its values (Arabic included) kept and repaired.
. "$(dirname "$0")/lib.sh"
stage_program
cd "$WORK"
ini=ZanGroupScanner.ini

# The file as UTF-8 text without its byte-order mark.
ini_text() { tail -c +3 "$ini" | iconv -f UTF-16LE -t UTF-8; }
# The keys of section "Settings", one a line, in file order.
settings_keys() {
    ini_text | tr -d '\r' | awk '/^\[/{inside = ($0 == "[Settings]"); next} inside && /=/{sub(/=.*/, ""); print}'
}
value_of() { ini_text | tr -d '\r' | grep -m1 "^$1=" | cut -d= -f2-; }
lacks_key() { [ -f "$ini" ] && ! ini_text | tr -d '\r' | grep -q "^$1="; }
has_line() { ini_text | tr -d '\r' | grep -qxF "$1"; }
header_hex="fffe5b00530065007400740069006e00670073005d000d000a00"

# The elevated role loads the settings (creating the file) but never saves them.
run_wine ./ZanGroupScanner.exe --zan-admin=nothing job.ini >/dev/null 2>&1
check "settings file created beside the program" test -f "$ini"
check "new file is exactly the 26-byte header" test "$(od -An -tx1 "$ini" | tr -d ' \n')" = "$header_hex"

run_wine ./ZanGroupScanner.exe --test-enum --lang=en --lang=ar >/dev/null 2>&1
check "--test-enum run exits 0" test $? = 0
check "file still starts with the header" test "$(head -c 26 "$ini" | od -An -tx1 | tr -d ' \n')" = "$header_hex"
expected="Language LastDevice ColorMode Dpi Source Paper Brightness Contrast Threshold ShowDriverUi ShowAllWia SaveDir Format NamingMode NamePrefix Counter FixedFolder Ocr OcrLang Compression AutoCrop AutoDeskew RemoveBlank AppendBatch Watermark WatermarkOpacity PdfPasswordOn PdfCipher AfterSave WinX WinY WinW WinH Maximized MergeDir"
check "every key of the settings table in order" test "$(settings_keys | tr '\n' ' ' | sed 's/ $//')" = "$expected"
check "no password key" lacks_key PdfPassword
check "the last --lang= wins and is stored" test "$(value_of Language)" = 0
check "log beside the settings file" test -f ZanGroupScanner.log

run_wine ./ZanGroupScanner.exe --test-enum --lang=en >/dev/null 2>&1
check "--lang=en is stored" test "$(value_of Language)" = 1

# A hand-edited file without byte-order mark, in UTF-8, with an out-of-range value.
printf '[Settings]\r\nLanguage=7\r\nDpi=5000\r\nNamePrefix=\xd9\x85\xd8\xb3\xd8\xad\r\n[ScanFolder]\r\nShare=scans\r\n' > "$ini"
run_wine ./ZanGroupScanner.exe --test-enum >/dev/null 2>&1
check "converted file starts with the byte-order mark" test "$(head -c 2 "$ini" | od -An -tx1 | tr -d ' \n')" = "fffe"
check "Arabic value kept" test "$(value_of NamePrefix)" = "$(printf '\xd9\x85\xd8\xb3\xd8\xad')"
check "out-of-range DPI repaired" test "$(value_of Dpi)" = 1200
check "unknown language loads as Arabic" test "$(value_of Language)" = 0
check "other sections kept" has_line "Share=scans"
finish
