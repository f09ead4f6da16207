// net/scan_folder.h
// The saved Scan-to-Folder setup (section "ScanFolder" of the settings file) and the
// details text the wizard shows and copies. The scan account's password is kept only
// encrypted for the current Windows user (DPAPI); where that is impossible it is not
// kept at all and lives only in memory for the run.
#ifndef ZAN_NET_SCAN_FOLDER_H
#define ZAN_NET_SCAN_FOLDER_H

#include "core/wide_string.h"
#include "net/share_setup.h"

struct SavedScanFolder {
    bool ready;
    bool everyone;
    WideString folder, share, user, password, computer, ip, unc;
};
void saved_scan_folder_release(SavedScanFolder* saved);

// Writes "Ready"=1 and the result's values; the password as "PasswordProtected" (hex of
// the DPAPI blob), and an empty "Password" so no plain copy survives. False when a value
// could not be written.
bool scan_folder_save(const ShareSetupResult& result);
// Reads the section (absent values empty, "Ready"/"Everyone" false). A password that
// cannot be decrypted (another user, another machine) reads as empty.
void scan_folder_load(SavedScanFolder* out);

// ---- the password's protection
bool password_protect(const wchar_t* password, WideString* hex);
bool password_unprotect(const wchar_t* hex, WideString* password);

// ---- the details the user copies onto the copier's panel
// The lines of the share details in `language`: what the wizard shows and what "Copy all
// details" copies. In Arabic a left-to-right mark (U+200E) follows each label's colon, so
// every Latin value (path, computer, IP, network path, user, password) reads as typed
// inside right-to-left text (\\PC\Share never becomes PC\Share\\), and the value's own
// characters stay free of marks.
// One such line: the label (string id), the separator (": " or " ") and the value, with
// the marks in Arabic.
void append_labelled_value(WideString* out, int language, int id, const wchar_t* separator, const wchar_t* value);
void share_details_text(const wchar_t* folder, const wchar_t* computer, const wchar_t* ip, const wchar_t* unc,
                        const wchar_t* user, const wchar_t* password, bool everyone, bool existing, int language,
                        WideString* out);

#endif
