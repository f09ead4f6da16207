// net/net_report_win32.cpp
// System error texts from Windows' message table.
#include "net/net_report.h"

#include <windows.h>

WideString system_error_text(unsigned code) {
    WideString text = {};
    wchar_t* message = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                   reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    if (n > 0 && message) assign(&text, message, (int)n);
    else format(&text, L"Error %u", code);
    if (message) LocalFree(message);
    return text;
}
