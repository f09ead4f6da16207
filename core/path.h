// core/path.h
// Path text helpers. Both '\' and '/' count as separators. Every result is a new
// WideString owned by the caller.
#ifndef ZAN_CORE_PATH_H
#define ZAN_CORE_PATH_H

#include "core/wide_string.h"

int last_separator(const wchar_t* path);            // -1 if none
WideString path_folder(const wchar_t* path);
WideString path_file_name(const wchar_t* path);
WideString path_extension(const wchar_t* path);     // dot included; "" if none
WideString path_without_extension(const wchar_t* path);
WideString path_join(const wchar_t* a, const wchar_t* b);

// ---- well-known folders
WideString module_folder();      // folder of the running executable
WideString windows_folder();
WideString documents_folder();   // the Windows folder if the lookup fails
WideString temp_folder();        // the user's temporary folder

#endif
