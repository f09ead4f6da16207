// core/library_win32.cpp
// System libraries by full path.
#include "core/library.h"

#include "core/path.h"

HMODULE system_library_load(const wchar_t* name) {
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    WideString path = path_join(folder, name);
    if (!path.data) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    // The altered search path makes the library's own dependencies come from its folder
    // (the system folder) instead of the program's folder.
    HMODULE module = LoadLibraryExW(path.data, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    const DWORD error = GetLastError();
    release(&path);
    SetLastError(error);
    return module;
}

void* system_library_function(const wchar_t* library, const char* function) {
    HMODULE module = system_library_load(library);
    if (!module) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(module, function));
}
