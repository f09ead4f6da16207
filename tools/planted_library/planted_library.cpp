// tools/planted_library/planted_library.cpp
// A library that pretends to be a system one (copied as gdiplus.dll, combase.dll...) for
// the safe-loading test. When any process loads it, it appends its own file name to
// "planted_marker.txt" in the current folder and refuses to load, so a test sees every
// load attempt and the program never runs code from it.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t name[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(instance, name, MAX_PATH);
    HANDLE marker = CreateFileW(L"planted_marker.txt", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(marker, name, length * sizeof(wchar_t), &written, nullptr);
        WriteFile(marker, L"\r\n", 4, &written, nullptr);
        CloseHandle(marker);
    }
    return FALSE;
}
