// core/file.cpp
// Portable half of the file module: whole-file writing through OutFile.
#include "core/file.h"

bool write_whole_file(const wchar_t* path, const void* bytes, int count) {
    if (count < 0) return false;
    OutFile f = {};
    if (!out_file_open(&f, path)) return false;
    if (!out_file_write(&f, bytes, count)) {
        out_file_abandon(&f);
        return false;
    }
    return out_file_commit(&f);
}
