// app/presets.h
// Named scan presets in section "Presets" of the settings file: key "Count" and one key
// "P<index>" per preset holding "name|v1|...|v11". Every ScanPreset returned is owned by
// the caller, who frees it with release_preset. Main thread only, like the settings.
#ifndef ZAN_APP_PRESETS_H
#define ZAN_APP_PRESETS_H

#include "app/settings.h"
#include "core/wide_string.h"

// A name and the eleven values, in the order they are stored.
struct ScanPreset {
    WideString name;
    int ColorMode;
    int Dpi;
    int Source;
    int Paper;
    int Brightness;
    int Contrast;
    int Threshold;
    bool AutoCrop;
    bool AutoDeskew;
    bool RemoveBlank;
    int Format;
};

// A damaged "Count" could otherwise make the program loop for a very long time.
const int PRESET_LIMIT = 1000;

// ---- the stored text of one preset
// "name|..." with any '|' in the name written as '/'.
bool preset_format(const ScanPreset& preset, WideString* out);
// False when the text is empty, has no '|' or lacks any of the eleven numbers (each an
// optional '-' and digits, all but the last followed by '|').
bool preset_parse(const wchar_t* text, ScanPreset* out);
void release_preset(ScanPreset* preset);

// ---- the presets of the settings file
// "Count", clamped to 0..PRESET_LIMIT.
int preset_count();
bool read_preset(int index, ScanPreset* out);
// The preset list shows only readable presets, so after a hand-edited, damaged entry the
// list position and the key index differ: the key index of the entry-th readable preset
// (from 0), or -1 when there are fewer.
int preset_key_for_entry(int entry);
// Replaces the preset of the same name (ignoring case) or appends a new one. False for an
// empty name or when PRESET_LIMIT presets exist already.
bool save_preset(const ScanPreset& preset);
// Rewrites the section without the presets of that name (ignoring case) and without
// unreadable entries. True when a preset of that name was removed.
bool delete_preset(const wchar_t* name);

// ---- presets and the settings record
// A new preset named name holding the eleven values of settings.
ScanPreset preset_from_settings(const wchar_t* name, const AppSettings& settings);
// Copies the eleven values into settings, clamped by the settings' loading rules, so a
// hand-edited preset cannot push out-of-range values to the scanner or the writer.
void preset_apply_to(const ScanPreset& preset, AppSettings* settings);
// Reads preset index and applies it to app_settings(); the file is not written. The
// applied preset (its name for the status line) goes to out. False if unreadable.
bool apply_preset(int index, ScanPreset* out);

// ---- the DPI list of the main window
const int DPI_CHOICE_COUNT = 8;
extern const int kDpiChoices[DPI_CHOICE_COUNT];
// Index of the entry nearest to dpi; a tie goes to the earlier (smaller) entry.
int nearest_dpi_index(int dpi);

#endif
