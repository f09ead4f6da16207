// tools/virtual_scanner/vscan_helper.cpp
// zan_vscan_helper.dll: stands for the helper DLLs that real drivers keep beside their
// ".ds" and load by bare name when a source is opened. Holds nothing but its entry point.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
