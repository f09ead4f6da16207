// app/save_setup.h
// The bridge between the settings record and the save workflow: the values a save job
// copies from AppSettings, the naming request built from them, and the settings the
// naming changes (Counter, SaveDir) written back. Main thread only, like AppSettings.
#ifndef ZAN_APP_SAVE_SETUP_H
#define ZAN_APP_SAVE_SETUP_H

#include "app/settings.h"
#include "output/save_naming.h"
#include "output/save_worker.h"

// A deep copy of the save values (password included, which lives in memory only); the
// caller releases it with save_settings_release. False when out of memory.
bool save_settings_of(const AppSettings& settings, SaveSettings* out);
// The naming request for page_count pages at the current local time. Its texts point
// into settings, which must stay unchanged while it is used.
SaveNamingRequest save_naming_request_of(const AppSettings& settings, int page_count);
// Stores the counter and the save folder that a chosen path leaves behind.
void save_store_naming_result(AppSettings* settings, const SaveNamingResult& result);

#endif
