// app/settings.h
// The settings file "ZanGroupScanner.ini" and its location. Settings are touched only on
// the main thread.
#ifndef ZAN_APP_SETTINGS_H
#define ZAN_APP_SETTINGS_H

// Decides the settings file's location (fixed for the process) and loads the settings.
bool settings_load();
// Writes the settings back to the file.
void settings_save();
// Full path of the settings file ("" before settings_load).
const wchar_t* settings_path();
// The interface language chosen on the command line; also becomes the stored value.
void settings_set_language(int language);

#endif
