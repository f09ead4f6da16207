// core/library.h
// Loading the system libraries the program uses at run time (Windows only). A library is
// always taken by its full path in the system folder: the program is often started from
// Downloads or a USB stick, and a file of the same name planted beside it, or in the
// current folder, must never be loaded instead.
#ifndef ZAN_CORE_LIBRARY_H
#define ZAN_CORE_LIBRARY_H

#include <windows.h>

// The library `name` (a bare file name such as L"gdiplus.dll") from the system folder,
// its own dependencies searched from there too; null when it is missing there or does
// not load (GetLastError tells why). The caller frees it with FreeLibrary.
HMODULE system_library_load(const wchar_t* name);

// A function of a library that is loaded once, on first use, for the rest of the process
// (advapi32, ntdll and the like); null when the library or the function is missing.
void* system_library_function(const wchar_t* library, const char* function);

// Takes `name` from `library` into `out` with the function's own type; false when missing.
template <typename F>
bool library_take(HMODULE library, const char* name, F* out) {
    *out = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    return *out != nullptr;
}

#endif
