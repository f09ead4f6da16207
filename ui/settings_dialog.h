// ui/settings_dialog.h
// The advanced settings dialog: automatic processing, PDF output (OCR, compression,
// watermark, password protection) and file naming. It edits the process-wide AppSettings
// only on OK; writing the settings file is the caller's business. The PDF password lives
// in memory only.
#ifndef ZAN_UI_SETTINGS_DIALOG_H
#define ZAN_UI_SETTINGS_DIALOG_H

#include <windows.h>

// 1 after OK, 0 otherwise.
int advanced_settings_dialog(HWND owner);

// ---- the rules OK applies (pure)
// 0 when the password may be used, else the string id of the warning: 196 when
// protection is on and the password is empty, 195 when a character lies outside the
// printable ASCII range 32..126.
int settings_password_problem(bool protection_on, const wchar_t* password);
// The OcrLang value of a list position and back: 0 "ar", 1 "en", anything else "both".
const wchar_t* settings_ocr_language_key(int position);
int settings_ocr_language_position(const wchar_t* key);

#endif
