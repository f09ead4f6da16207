// output/after_save.cpp
// The order of the after-save action. A mailto link cannot carry attachments, so the
// fallback also opens the folder with the file selected and says so.
#include "output/after_save.h"

#include "core/text.h"

void after_save_mailto_link(const wchar_t* subject, WideString* out) {
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    assign(out, L"mailto:?subject=");
    ByteBuffer utf8 = {};
    append_utf8(&utf8, subject ? subject : L"");
    for (int k = 0; k < utf8.length; ++k) {
        const uint8_t c = utf8.data[k];
        const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        if (plain) {
            append_char(out, (wchar_t)c);
        } else {
            append_char(out, L'%');
            append_char(out, kHex[c >> 4]);
            append_char(out, kHex[c & 15]);
        }
    }
    release(&utf8);
}

void after_save_explorer_parameters(const wchar_t* path, WideString* out) {
    assign(out, L"/select,\"");
    append(out, path);
    append_char(out, L'"');
}

void after_save_run(int action, const wchar_t* saved_path, const wchar_t* const* files, int file_count,
                    const wchar_t* subject, const wchar_t* body, const AfterSaveSystem* system) {
    if (action == AFTER_SAVE_OPEN_FOLDER) {
        system->open_folder_selected(system->context, saved_path);
        return;
    }
    if (action != AFTER_SAVE_EMAIL) return;
    const int count = file_count > AFTER_SAVE_MAIL_FILE_LIMIT ? AFTER_SAVE_MAIL_FILE_LIMIT : file_count;
    if (count > 0 && system->send_mail(system->context, files, count, subject, body)) return;
    WideString link = {};
    after_save_mailto_link(subject, &link);
    system->open_link(system->context, text_of(link));
    release(&link);
    system->open_folder_selected(system->context, saved_path);
    system->inform(system->context, AFTER_SAVE_TEXT_MAIL_FAILED);
}
