// output/save_naming_win32.cpp
// The system save dialog of the ask mode when the folder is not fixed.
#include "output/save_naming.h"

#include <windows.h>

#include <commdlg.h>

#include "core/text.h"

bool save_show_save_dialog(HWND__* owner, const wchar_t* title, const wchar_t* label, const wchar_t* folder,
                           const wchar_t* proposed, int format, bool prompt_overwrite, WideString* chosen) {
    const wchar_t* extension = save_extension(format);
    // One filter: "label\0*.ext\0\0".
    WideString filter = {};
    assign(&filter, label);
    append_char(&filter, 0);
    append_char(&filter, L'*');
    append(&filter, extension);
    append_char(&filter, 0);
    append_char(&filter, 0);
    wchar_t file[MAX_PATH] = {};
    copy_bounded(file, MAX_PATH, proposed);
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = text_of(filter);
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrInitialDir = folder;
    dialog.lpstrTitle = title;
    dialog.lpstrDefExt = extension + 1;
    dialog.Flags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | (prompt_overwrite ? OFN_OVERWRITEPROMPT : 0);
    const bool ok = GetSaveFileNameW(&dialog) != 0;
    if (ok) assign(chosen, file);
    release(&filter);
    return ok;
}
