// scan/twain_enum.h
// The enumeration thread: asks both TWAIN source managers for their sources, merges the
// sightings into one DeviceList and posts it (WM_DEVICE_LIST) to the report window. It
// also leaves the selection key of a user selection and the last TWAIN listing text.
#ifndef ZAN_SCAN_TWAIN_ENUM_H
#define ZAN_SCAN_TWAIN_ENUM_H

#include "core/wide_string.h"
#include "scan/twain_host.h"

const int ENUM_MODE_REFRESH = 0;
const int ENUM_MODE_TWAIN_SELECT = 1;
const int ENUM_MODE_WIA_SELECT = 2;
// The most sources taken from one manager.
const int TWAIN_MAX_LISTED = 512;

// The key chosen by the last user selection, handed over once: the caller owns the
// result and the stored key is cleared.
WideString twain_take_selection_key();
// A copy of the last TWAIN listing ("  key  [DSM mask n]" lines) for the diagnostics.
WideString twain_last_listing();

// Adds the sources of one opened manager to list; returns how many were taken.
int twain_list_sources(DsmConnection* dsm, DeviceList* list);

// ---- driver-files hint (when no TWAIN source was listed)
// ".ds" files in folder and up to depth levels of subfolders below it.
int twain_count_driver_files(const wchar_t* folder, int depth);
// The hint for n32 files under twain_32 and n64 under twain_64; empty when both are 0.
void twain_driver_hint(int n32, int n64, WideString* out);

#endif
