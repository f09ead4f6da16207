// output/save_naming.h
// Where a save goes: the cleaned names, the date-time stamp, the three naming modes
// (ask, date and time, base name + counter) and the files that one save writes. The
// dialogs are reached through SaveNamingUi, so the rules run and are tested without a
// window; every result string is a new WideString that the caller releases.
#ifndef ZAN_OUTPUT_SAVE_NAMING_H
#define ZAN_OUTPUT_SAVE_NAMING_H

#include "core/system.h"
#include "core/wide_string.h"

// ---- formats and naming modes (the Format and NamingMode settings)
const int SAVE_FORMAT_PDF = 0;
const int SAVE_FORMAT_JPG = 1;
const int SAVE_FORMAT_PNG = 2;
const int SAVE_FORMAT_TIFF = 3;   // any value above counts as TIFF

const int SAVE_NAMING_ASK = 0;
const int SAVE_NAMING_DATE_TIME = 1;
const int SAVE_NAMING_COUNTER = 2;

// Counter naming tries names up to this counter value, date-time naming suffixes up to
// _9999; past them the save stops instead of overwriting a file.
const int SAVE_COUNTER_LIMIT = 100000;
const int SAVE_SUFFIX_LIMIT = 9999;

// ".pdf", ".jpg", ".png" or ".tif".
const wchar_t* save_extension(int format);
// String-table id of the file dialog's label: "PDF file" (62) ... "TIFF image" (65).
int save_format_label_id(int format);

// ---- names
// Drops characters below U+0020, '"', '*', '/', ':', '<', '>', '?', '\' and '|', then
// trailing dots and spaces; an empty result becomes "Scan". A reserved device name (CON,
// PRN, AUX, NUL, COM1-9, LPT1-9, CONIN$, CONOUT$, with or without an extension) gets a
// "_" behind its stem, so "nul.txt" becomes "nul_.txt".
void save_clean_name(const wchar_t* name, WideString* out);
// True when the part before the first dot (trailing spaces ignored) is a device name.
bool save_is_reserved_name(const wchar_t* name);
// "YYYYMMDD_hhmmss" of the local time.
void save_date_stamp(const LocalTime& time, WideString* out);
// folder + "\" + name, without the separator when folder already ends in '\' or '/'.
void save_join(const wchar_t* folder, const wchar_t* name, WideString* out);

// ---- the files of one save
// How many files a save of page_count pages to one target writes: several JPG or PNG
// pages are one file each, everything else one file.
int save_output_count(int format, int page_count);
// File `index` (0-based) of such a save: the target itself, or for several JPG/PNG pages
// target folder + "\" + target name without extension + "_%03d" (index + 1) + extension.
void save_output_path(const wchar_t* target, int format, int page_count, int index, WideString* out);
// The first file of the save that exists already (a folder does not count) into *existing;
// false when none does. exists null: the file system is asked.
bool save_find_existing_output(const wchar_t* target, int format, int page_count, WideString* existing,
                               bool (*exists)(const wchar_t* path) = nullptr);

// ---- choosing the path
struct SaveNamingRequest {
    const wchar_t* folder;     // SaveDir
    int format;
    int naming_mode;
    const wchar_t* prefix;     // NamePrefix
    int counter;               // Counter, at least 1
    bool fixed_folder;         // FixedFolder
    int page_count;            // pages to save (decides the JPG/PNG file names)
    LocalTime now;             // for the date-time stamp
    // Whether a file (not a folder) is at path; null asks the file system.
    bool (*exists)(const wchar_t* path);
};

// The dialogs of the ask mode. Each returns false when the user cancels or says no.
struct SaveNamingUi {
    void* context;
    // The small input dialog "Save file" (61) asking for "Base name" (104).
    bool (*ask_name)(void* context, const wchar_t* proposed, WideString* answer);
    // "The file already exists. Replace it?" (197) about existing_path.
    bool (*confirm_replace)(void* context, const wchar_t* existing_path);
    // The system save dialog; prompt_overwrite asks it to question an existing name itself.
    bool (*save_dialog)(void* context, const wchar_t* folder, const wchar_t* proposed, int format,
                        bool prompt_overwrite, WideString* chosen);
};

enum SaveNamingOutcome { SAVE_PATH_CHOSEN, SAVE_PATH_CANCELLED, SAVE_PATH_FAILED };

struct SaveNamingResult {
    WideString path;     // the target when chosen
    int counter;         // the Counter setting afterwards
    WideString folder;   // the SaveDir setting afterwards (the dialog may change it)
    WideString error;    // technical text when failed
};

// Runs the naming mode: makes sure the folder exists, then builds the target. The
// caller stores counter and folder back into the settings and releases the result.
SaveNamingOutcome save_choose_path_with(const SaveNamingRequest* request, const SaveNamingUi* ui,
                                        SaveNamingResult* result);
void save_naming_result_release(SaveNamingResult* result);

// ---- Windows (save_naming_win32.cpp)
// The system save dialog for SaveNamingUi.save_dialog: title "Save file" (61), one filter
// (label, "*" + extension), the extension as default, starting in folder with the proposed
// name; the overwrite question only when prompt_overwrite. False when cancelled.
struct HWND__;
bool save_show_save_dialog(HWND__* owner, const wchar_t* title, const wchar_t* label, const wchar_t* folder,
                           const wchar_t* proposed, int format, bool prompt_overwrite, WideString* chosen);

#endif
