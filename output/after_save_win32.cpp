// output/after_save_win32.cpp
// Explorer, simple MAPI and the shell for the after-save action. Simple MAPI takes only
// ANSI text, so every path and name is converted without best-fit replacement: a name
// that would arrive changed is not sent that way at all.
#include "output/after_save.h"

#include <windows.h>

#include <mapi.h>
#include <shellapi.h>

#include "core/heap.h"
#include "core/library.h"
#include "core/path.h"
#include "output/save_worker.h"

namespace {

// The ANSI form of text, or false when a character has no exact equivalent.
bool to_ansi(const wchar_t* text, ByteBuffer* out) {
    out->length = 0;
    const int length = (int)text_length(text);
    if (length == 0) return append_bytes(out, "", 0) && reserve(out, 1);
    BOOL replaced = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, length, nullptr, 0, nullptr, &replaced);
    if (size <= 0 || replaced || !reserve(out, size + 1)) return false;
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, length, reinterpret_cast<char*>(out->data), size,
                        nullptr, &replaced);
    out->length = size;
    out->data[size] = 0;
    return !replaced;
}

char* ansi_text(ByteBuffer& b) {
    return b.data ? reinterpret_cast<char*>(b.data) : const_cast<char*>("");
}

struct WindowSystem {
    HWND owner;
    void (*inform)(HWND__* owner, int message_id);
};

void open_folder_selected(void*, const wchar_t* path) {
    WideString parameters = {};
    after_save_explorer_parameters(path, &parameters);
    ShellExecuteW(nullptr, L"open", L"explorer.exe", text_of(parameters), nullptr, SW_SHOWNORMAL);
    release(&parameters);
}

bool send_mail(void* context, const wchar_t* const* files, int count, const wchar_t* subject, const wchar_t* body) {
    return after_save_send_mapi(nullptr, static_cast<WindowSystem*>(context)->owner, files, count, subject, body);
}

void open_link(void*, const wchar_t* url) {
    ShellExecuteW(nullptr, L"open", url, nullptr, nullptr, SW_SHOWNORMAL);
}

void inform(void* context, int message_id) {
    WindowSystem* w = static_cast<WindowSystem*>(context);
    if (w->inform) w->inform(w->owner, message_id);
}

}  // namespace

bool after_save_send_mapi(void* send, HWND__* owner, const wchar_t* const* files, int count,
                          const wchar_t* subject, const wchar_t* body) {
    if (count < 1) return false;
    if (count > AFTER_SAVE_MAIL_FILE_LIMIT) count = AFTER_SAVE_MAIL_FILE_LIMIT;
    LPMAPISENDMAIL send_mail_function = reinterpret_cast<LPMAPISENDMAIL>(send);
    HMODULE library = nullptr;
    if (!send_mail_function) {
        library = system_library_load(L"mapi32.dll");
        if (library)
            send_mail_function =
                reinterpret_cast<LPMAPISENDMAIL>(reinterpret_cast<void*>(GetProcAddress(library, "MAPISendMail")));
    }
    // Two ANSI buffers per file (path and bare name), then subject and body.
    ByteBuffer* texts = static_cast<ByteBuffer*>(mem_alloc_array((size_t)(2 * count + 2), sizeof(ByteBuffer)));
    MapiFileDesc* attachments = static_cast<MapiFileDesc*>(mem_alloc_array((size_t)count, sizeof(MapiFileDesc)));
    bool ok = send_mail_function && texts && attachments;
    for (int k = 0; ok && k < count; ++k) {
        WideString name = path_file_name(files[k]);
        ok = to_ansi(files[k], &texts[2 * k]) && to_ansi(text_of(name), &texts[2 * k + 1]);
        release(&name);
        if (ok) {
            attachments[k].nPosition = (ULONG)-1;
            attachments[k].lpszPathName = ansi_text(texts[2 * k]);
            attachments[k].lpszFileName = ansi_text(texts[2 * k + 1]);
        }
    }
    bool handled = false;
    if (ok) {
        // A subject or note that does not convert is sent empty rather than changed.
        if (!to_ansi(subject, &texts[2 * count])) texts[2 * count].length = 0;
        if (!to_ansi(body, &texts[2 * count + 1])) texts[2 * count + 1].length = 0;
        MapiMessage message = {};
        message.lpszSubject = texts[2 * count].length ? ansi_text(texts[2 * count]) : const_cast<char*>("");
        message.lpszNoteText = texts[2 * count + 1].length ? ansi_text(texts[2 * count + 1]) : const_cast<char*>("");
        message.nFileCount = (ULONG)count;
        message.lpFiles = attachments;
        const ULONG result = send_mail_function(0, reinterpret_cast<ULONG_PTR>(owner), &message,
                                                MAPI_LOGON_UI | MAPI_DIALOG, 0);
        handled = result == SUCCESS_SUCCESS || result == MAPI_USER_ABORT;
    }
    if (texts)
        for (int k = 0; k < 2 * count + 2; ++k) release(&texts[k]);
    mem_free(texts);
    mem_free(attachments);
    if (library) FreeLibrary(library);
    return handled;
}

void after_save_action(HWND__* owner, int action, const wchar_t* path, const wchar_t* (*text)(int id),
                       void (*inform_user)(HWND__* owner, int message_id)) {
    WindowSystem window = {owner, inform_user};
    const AfterSaveSystem system = {&window, open_folder_selected, send_mail, open_link, inform};
    const int count = save_saved_file_count();
    const wchar_t** files = static_cast<const wchar_t**>(mem_alloc_array((size_t)(count > 0 ? count : 1),
                                                                         sizeof(wchar_t*)));
    const int usable = files ? count : 0;
    for (int k = 0; k < usable; ++k) files[k] = save_saved_file(k);
    after_save_run(action, path, files, usable, text ? text(AFTER_SAVE_TEXT_SUBJECT) : L"",
                   text ? text(AFTER_SAVE_TEXT_BODY) : L"", &system);
    mem_free(files);
}
