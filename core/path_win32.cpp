// core/path_win32.cpp
// Well-known folders on Windows.
#include "core/path.h"

#include <windows.h>

#include <shlobj.h>

WideString module_folder() {
    wchar_t buffer[520] = {};
    const DWORD n = GetModuleFileNameW(nullptr, buffer, 520);
    if (n == 0 || n >= 520) return wide_copy(L"");
    return path_folder(buffer);
}

WideString windows_folder() {
    wchar_t buffer[260] = {};
    const UINT n = GetWindowsDirectoryW(buffer, 260);
    return wide_copy(n > 0 && n < 260 ? buffer : L"C:\\Windows");
}

WideString documents_folder() {
    wchar_t buffer[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, 0, buffer))) return wide_copy(buffer);
    return windows_folder();
}

WideString temp_folder() {
    wchar_t buffer[MAX_PATH + 2] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
    return wide_copy(n > 0 && n <= MAX_PATH ? buffer : L".");
}
