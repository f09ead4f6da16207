// ui/file_choice.cpp
#include "ui/file_choice.h"

#include <commdlg.h>
#include <shellapi.h>

#include "core/file.h"
#include "core/heap.h"
#include "core/path.h"
#include "output/after_save.h"

namespace {

// "name\0pattern\0\0" for the dialogs' filter.
WideString filter_of(const wchar_t* name, const wchar_t* pattern) {
    WideString filter = {};
    append(&filter, name);
    append_char(&filter, 0);
    append(&filter, pattern);
    append_char(&filter, 0);
    append_char(&filter, 0);
    return filter;
}

// The open dialog's result buffer: large enough for many names at once.
const int kOpenBuffer = 32768;

// The fields both dialogs set alike; the filter and buffer stay the caller's.
OPENFILENAMEW dialog_fields(HWND owner, const wchar_t* title, const WideString& filter, wchar_t* buffer, int length,
                            const wchar_t* folder) {
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = text_of(filter);
    ofn.lpstrFile = buffer;
    ofn.nMaxFile = (DWORD)length;
    ofn.lpstrInitialDir = folder && folder[0] ? folder : nullptr;
    ofn.lpstrTitle = title;
    return ofn;
}

bool platform_open_files(HWND owner, const wchar_t* title, const wchar_t* filter_name, const wchar_t* pattern,
                         bool multiple, const wchar_t* folder, StringList* chosen) {
    const int length = multiple ? kOpenBuffer : MAX_PATH;
    wchar_t* buffer = static_cast<wchar_t*>(mem_alloc(sizeof(wchar_t) * (size_t)length));
    if (!buffer) return false;
    WideString filter = filter_of(filter_name, pattern);
    OPENFILENAMEW ofn = dialog_fields(owner, title, filter, buffer, length, folder);
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER |
                (multiple ? OFN_ALLOWMULTISELECT : 0);
    const bool ok = GetOpenFileNameW(&ofn) && file_choice_split_selection(buffer, length, chosen) > 0;
    release(&filter);
    mem_free(buffer);
    return ok;
}

bool platform_save_file(HWND owner, const wchar_t* title, const wchar_t* filter_name, const wchar_t* pattern,
                        const wchar_t* extension, const wchar_t* folder, const wchar_t* name, WideString* path) {
    wchar_t buffer[MAX_PATH] = {};
    lstrcpynW(buffer, name ? name : L"", MAX_PATH);
    WideString filter = filter_of(filter_name, pattern);
    OPENFILENAMEW ofn = dialog_fields(owner, title, filter, buffer, MAX_PATH, folder);
    ofn.lpstrDefExt = extension;
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_EXPLORER;
    const bool ok = GetSaveFileNameW(&ofn) != 0;
    if (ok) assign(path, buffer);
    release(&filter);
    return ok;
}

void platform_reveal_file(const wchar_t* path) {
    WideString parameters = {};
    after_save_explorer_parameters(path, &parameters);
    ShellExecuteW(nullptr, L"open", L"explorer.exe", text_of(parameters), nullptr, SW_SHOWNORMAL);
    release(&parameters);
}

void platform_open_folder(const wchar_t* folder) {
    shell_open(folder);
}

const FileChoice kPlatform = {platform_open_files, platform_save_file, platform_reveal_file, platform_open_folder};
const FileChoice* g_choice = nullptr;

}  // namespace

const FileChoice* file_choice() {
    return g_choice ? g_choice : &kPlatform;
}

void file_choice_set(const FileChoice* choice) {
    g_choice = choice;
}

int file_choice_split_selection(const wchar_t* buffer, int buffer_length, StringList* chosen) {
    if (!buffer || buffer_length <= 0 || !buffer[0]) return 0;
    int first_end = 0;
    while (first_end < buffer_length && buffer[first_end]) ++first_end;
    if (first_end >= buffer_length) return 0;
    // One file: the first string is its full path and nothing follows it.
    if (first_end + 1 >= buffer_length || !buffer[first_end + 1]) {
        return string_list_add(chosen, buffer) ? 1 : 0;
    }
    int added = 0;
    int at = first_end + 1;
    while (at < buffer_length && buffer[at]) {
        int end = at;
        while (end < buffer_length && buffer[end]) ++end;
        if (end >= buffer_length) break;
        WideString path = path_join(buffer, buffer + at);
        if (string_list_add(chosen, text_of(path))) ++added;
        release(&path);
        at = end + 1;
    }
    return added;
}
