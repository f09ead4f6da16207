// core/path.cpp
// Portable path text helpers.
#include "core/path.h"

#include "core/heap.h"

static bool is_separator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

int last_separator(const wchar_t* path) {
    int last = -1;
    if (path)
        for (int i = 0; path[i]; ++i)
            if (is_separator(path[i])) last = i;
    return last;
}

WideString path_folder(const wchar_t* path) {
    const int sep = last_separator(path);
    if (sep < 0) return wide_copy(L"");
    return wide_copy(path, sep == 0 ? 1 : sep);
}

WideString path_file_name(const wchar_t* path) {
    return wide_copy(path ? path + last_separator(path) + 1 : L"");
}

// Index of the extension's dot within path, or -1 when the file name has none.
static int extension_dot(const wchar_t* path) {
    const int sep = last_separator(path);
    int dot = -1;
    if (path)
        for (int i = sep + 1; path[i]; ++i)
            if (path[i] == L'.') dot = i;
    return dot;
}

WideString path_extension(const wchar_t* path) {
    const int dot = extension_dot(path);
    return wide_copy(dot < 0 ? L"" : path + dot);
}

WideString path_without_extension(const wchar_t* path) {
    const int dot = extension_dot(path);
    return wide_copy(path ? path : L"", dot);
}

WideString path_join(const wchar_t* a, const wchar_t* b) {
    WideString s = wide_copy(a);
    if (s.length > 0 && !is_separator(s.data[s.length - 1])) append_char(&s, L'\\');
    append(&s, b);
    return s;
}
