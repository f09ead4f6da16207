// output/after_save.h
// What happens after a successful save: nothing, the folder opened with the file
// selected, or the files handed to the mail program (simple MAPI first; when that is
// missing, refuses or cannot carry the names, a mailto link and the folder). The order
// is portable and runs over AfterSaveSystem; after_save_action (after_save_win32.cpp)
// supplies the shell and MAPI.
#ifndef ZAN_OUTPUT_AFTER_SAVE_H
#define ZAN_OUTPUT_AFTER_SAVE_H

#include "core/wide_string.h"

// The AfterSave setting.
const int AFTER_SAVE_NOTHING = 0;
const int AFTER_SAVE_OPEN_FOLDER = 1;
const int AFTER_SAVE_EMAIL = 2;

const int AFTER_SAVE_MAIL_FILE_LIMIT = 40;   // attachments handed to the mail program
const int AFTER_SAVE_TEXT_SUBJECT = 174;     // "Scanned document - Zan Group Scanner"
const int AFTER_SAVE_TEXT_MAIL_FAILED = 175; // "Could not open the mail program..."
const int AFTER_SAVE_TEXT_BODY = 301;        // "Attached: a document scanned with..."

struct AfterSaveSystem {
    void* context;
    // Explorer with the file selected.
    void (*open_folder_selected)(void* context, const wchar_t* path);
    // Simple MAPI with these attachments (at most the limit). True when the mail program
    // took the message or the user cancelled it; false sends the fallback.
    bool (*send_mail)(void* context, const wchar_t* const* files, int count, const wchar_t* subject,
                      const wchar_t* body);
    void (*open_link)(void* context, const wchar_t* url);
    // An information box with a string-table text.
    void (*inform)(void* context, int message_id);
};

// Runs the action for saved_path; files are the paths the save wrote.
void after_save_run(int action, const wchar_t* saved_path, const wchar_t* const* files, int file_count,
                    const wchar_t* subject, const wchar_t* body, const AfterSaveSystem* system);

// "mailto:?subject=" and the subject in UTF-8 with every byte but ASCII letters and
// digits written %XX.
void after_save_mailto_link(const wchar_t* subject, WideString* out);
// Explorer's parameters for showing path selected: /select,"path".
void after_save_explorer_parameters(const wchar_t* path, WideString* out);

// ---- Windows (after_save_win32.cpp)
struct HWND__;
// Runs the AfterSave action for path with the files of the last save (output/save_worker.h),
// texts from text; inform shows the fallback's information box.
void after_save_action(HWND__* owner, int action, const wchar_t* path, const wchar_t* (*text)(int id),
                       void (*inform)(HWND__* owner, int message_id));
// Hands the files to simple MAPI through send, a function of MAPISendMail's type (null:
// mapi32.dll's, looked up now). False when it is missing, a path, name or text does not
// fit the ANSI code page without replacement, or it reports anything but success or
// the user's cancel.
bool after_save_send_mapi(void* send, HWND__* owner, const wchar_t* const* files, int count,
                          const wchar_t* subject, const wchar_t* body);

#endif
