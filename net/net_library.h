// net/net_library.h
// Run-time lookup of the optional network libraries' functions (ws2_32, iphlpapi,
// netapi32): a missing function turns its feature off instead of stopping the start.
#ifndef ZAN_NET_NET_LIBRARY_H
#define ZAN_NET_NET_LIBRARY_H

#include <windows.h>

// Takes `name` from `library` into `out` with the function's own type; false when missing.
template <typename F>
bool library_take(HMODULE library, const char* name, F* out) {
    *out = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    return *out != nullptr;
}

#endif
