// tools/planted_library/load_by_name.cpp
// Loads the library named on the command line by bare name, the way the program must not:
// the safe-loading test uses it to show that a planted library is found that way.
// Exit code 0 when the library loaded, 1 when it did not.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    HMODULE module = LoadLibraryW(argv[1]);
    if (!module) return 1;
    FreeLibrary(module);
    return 0;
}
