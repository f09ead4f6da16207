// core/path_posix.cpp
// Well-known folders for the native build, and UTF-16 paths as file-system names.
#include "core/path.h"

#include <stdlib.h>
#include <unistd.h>

#include "core/posix_path_text.h"
#include "core/text.h"

ByteBuffer posix_path_bytes(const wchar_t* path) {
    ByteBuffer b = {};
    append_utf8(&b, path);
    for (int i = 0; i < b.length; ++i)
        if (b.data[i] == '\\') b.data[i] = '/';
    return b;
}

const char* posix_path_c(const ByteBuffer& b) {
    return b.data ? reinterpret_cast<const char*>(b.data) : "";
}

WideString module_folder() {
    char buffer[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return wide_copy(L".");
    WideString path = multibyte_to_wide(buffer, (int)n, CODE_PAGE_UTF8);
    WideString folder = path_folder(text_of(path));
    release(&path);
    return folder;
}

WideString windows_folder() {
    return wide_copy(L"/tmp");
}

WideString documents_folder() {
    const char* home = getenv("HOME");
    return home ? multibyte_to_wide(home, -1, CODE_PAGE_UTF8) : wide_copy(L"/tmp");
}

WideString temp_folder() {
    const char* tmp = getenv("TMPDIR");
    return tmp ? multibyte_to_wide(tmp, -1, CODE_PAGE_UTF8) : wide_copy(L"/tmp");
}
