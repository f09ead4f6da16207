// ui/file_choice.h
// Where the merge and split dialogs meet the system's file dialogs and file browser. The
// program uses the platform's (the common open and save dialogs, Explorer); a test puts a
// stand-in in their place, since the system dialogs cannot be driven reliably from a test.
#ifndef ZAN_UI_FILE_CHOICE_H
#define ZAN_UI_FILE_CHOICE_H

#include <windows.h>

#include "core/wide_string.h"
#include "ui/string_list.h"

struct FileChoice {
    // Files to read: appends each chosen file's full path to chosen. multiple allows more
    // than one. pattern: "*.pdf;*.jpg"... shown as filter_name. False when nothing was chosen.
    bool (*open_files)(HWND owner, const wchar_t* title, const wchar_t* filter_name, const wchar_t* pattern,
                       bool multiple, const wchar_t* folder, StringList* chosen);
    // A file to write (the system asks before replacing one); path gets it. False when
    // cancelled.
    bool (*save_file)(HWND owner, const wchar_t* title, const wchar_t* filter_name, const wchar_t* pattern,
                      const wchar_t* extension, const wchar_t* folder, const wchar_t* name, WideString* path);
    // The file browser showing path selected, and a folder opened.
    void (*reveal_file)(const wchar_t* path);
    void (*open_folder)(const wchar_t* folder);
};

// The choice in effect: the platform's unless a stand-in was set.
const FileChoice* file_choice();
// Puts a stand-in in place (null: the platform's again). The caller keeps it alive.
void file_choice_set(const FileChoice* choice);

// ---- the platform's result buffer of the open dialog
// Splits the open dialog's multiple-selection buffer (the folder, then each name, each
// zero-terminated, ending with an empty string; one zero-terminated full path when only
// one file was chosen) into full paths appended to chosen. Returns the number added.
int file_choice_split_selection(const wchar_t* buffer, int buffer_length, StringList* chosen);

#endif
