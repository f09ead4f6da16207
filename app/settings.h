// app/settings.h
// The settings file "ZanGroupScanner.ini" (UTF-16 with byte-order mark) and the one
// process-wide AppSettings record this module owns, with the strings it holds. Settings
// are touched only on the main thread; workers get copies such as ScanSettings.
#ifndef ZAN_APP_SETTINGS_H
#define ZAN_APP_SETTINGS_H

#include "core/wide_string.h"

// ---- the settings record, fields in the order they are saved (keys of the same name)
struct AppSettings {
    int Language;           // 0 Arabic, 1 English
    WideString LastDevice;  // identity of the last used scanner
    int ColorMode;          // 0 colour, 1 grey, 2 black and white
    int Dpi;                // 50..1200
    int Source;             // 0 glass, 1 feeder, 2 feeder two-sided
    int Paper;              // 0 A4, 1 A3, 2 A5, 3 Legal, 4 Letter
    int Brightness;         // -100..100
    int Contrast;           // -100..100
    int Threshold;          // 0..255
    bool ShowDriverUi;
    bool ShowAllWia;
    WideString SaveDir;     // the folder in effect for this run (see settings_load)
    int Format;             // 0 PDF, 1 JPG, 2 PNG, 3 TIFF
    int NamingMode;         // 0 ask, 1 date and time, 2 base name + counter
    WideString NamePrefix;
    int Counter;            // at least 1
    bool FixedFolder;
    bool Ocr;
    WideString OcrLang;     // "ar", "en" or "both"
    int Compression;        // 0 high quality, 1 medium, 2 small
    bool AutoCrop;
    bool AutoDeskew;
    bool RemoveBlank;
    bool AppendBatch;
    WideString Watermark;
    int WatermarkOpacity;   // 5..100 percent
    bool PdfPasswordOn;
    WideString PdfPassword; // lives in memory only: never read from or written to the file
    int PdfCipher;          // 0 AES-128, 1 RC4-128
    int AfterSave;          // 0 nothing, 1 open the folder, 2 send by e-mail
    int WinX;               // INT_MIN: the window was never placed
    int WinY;
    int WinW;               // 400 or less: default size
    int WinH;               // 300 or less: default size
    bool Maximized;
    WideString MergeDir;
};

// The scan values a scan worker receives by value; it never reads AppSettings.
struct ScanSettings {
    int ColorMode;
    int Dpi;
    int Source;
    int Paper;
    int Brightness;
    int Contrast;
    int Threshold;
    bool ShowDriverUi;
};

// ---- the process-wide record (zero until settings_load)
AppSettings* app_settings();
ScanSettings scan_settings_of(const AppSettings& settings);

// ---- loading and saving
// Decides the file's location (fixed for the process), creates the file if needed, loads
// every key with the loading rules and sets the interface language.
bool settings_load();
// Loads from the given file instead of deciding the location (the test hook). The file
// is created if missing; a file without byte-order mark is converted first.
bool settings_load_from(const wchar_t* path);
// Writes every key of AppSettings in order, the password excepted.
void settings_save();
// The save folder the user chose (the folder picker). It replaces a stored folder that is
// missing right now even when the choice is the fallback folder in effect.
bool settings_choose_save_dir(const wchar_t* folder);
// Full path of the settings file ("" before settings_load).
const wchar_t* settings_path();
// The interface language chosen on the command line; also becomes the stored value.
void settings_set_language(int language);
// Frees the strings of the record and forgets the path.
void settings_release();

// ---- the location rule
// Candidate 1 is exe_folder\ZanGroupScanner.ini when it exists and opens for reading and
// writing, or can be created there; otherwise appdata_folder\ZanGroupScanner\ZanGroupScanner.ini,
// created if missing and used even when creation fails. Returns the chosen path.
WideString settings_locate(const wchar_t* exe_folder, const wchar_t* appdata_folder);
// Writes the 26-byte start of a new settings file: FF FE and "[Settings]\r\n" in UTF-16LE,
// creating the folders leading to it.
bool settings_create_file(const wchar_t* path);
// Rewrites a file that has no UTF-16 byte-order mark as UTF-16LE with one, keeping its
// content (UTF-8 when it is valid UTF-8, else the ANSI code page). True when the file is
// now UTF-16 (or missing).
bool settings_convert_to_utf16(const wchar_t* path);

// ---- loading rules
// An optional '-' and decimal digits up to the first non-digit; no digits give 0. Long
// digit runs saturate to the 32-bit range instead of wrapping.
int parse_decimal(const wchar_t* text);
// Applies every loading rule of the record in place (clamps, booleans, SaveDir excluded).
void settings_repair(AppSettings* settings);

// ---- raw access to any section of the settings file (values up to 2048 units)
// An empty or missing value gives the default; otherwise parse_decimal.
int read_int(const wchar_t* key, const wchar_t* section, int default_value);
// Assigns the value (or the default when the key is missing) to out.
bool read_text(const wchar_t* key, const wchar_t* section, const wchar_t* default_value, WideString* out);
bool write_text(const wchar_t* key, const wchar_t* section, const wchar_t* value);
bool write_int(const wchar_t* key, const wchar_t* section, int value);
// Removes a whole section from the file.
bool delete_section(const wchar_t* section);

#endif
