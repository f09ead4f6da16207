// app/settings.cpp
// The settings file lives beside the executable. Loading and saving of the values is
// added with the settings record.
#include "app/settings.h"

#include "core/path.h"

static WideString g_settings_path;
static int g_language = 0;

bool settings_load() {
    WideString folder = module_folder();
    WideString path = path_join(text_of(folder), L"ZanGroupScanner.ini");
    release(&folder);
    release(&g_settings_path);
    g_settings_path = path;
    return true;
}

void settings_save() {}

const wchar_t* settings_path() {
    return text_of(g_settings_path);
}

void settings_set_language(int language) {
    g_language = language;
}
