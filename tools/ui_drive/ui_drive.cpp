// tools/ui_drive/ui_drive.cpp
// Drives the merge or split dialog with synthesized mouse and keyboard input, for the
// end-to-end tests:
//   ui_drive --show=merge|split --lang=en|ar --log=FILE [--open=A|B|C]... [--save=PATH]...
//            --steps=STEP,STEP,...
// The system's file dialogs cannot be driven reliably under Wine, so a stand-in answers
// for them: each open dialog takes the next --open (paths separated by '|', an empty value
// cancels), each save dialog the next --save. The file browser is not opened either: the
// stand-in writes "reveal PATH" or "folder PATH" to the log instead.
// Steps, each run from the dialog's own message loop once it can act (the control exists,
// is visible and enabled in the dialog that has the input):
//   click:ID      clicks control ID of the dialog that has the input
//   item:N        clicks entry N (0-based) of list 101
//   type:ID:TEXT  replaces the text of edit ID by typing TEXT
//   box           waits for a message box or question and writes "box TEXT" to the log
// Once the dialog has closed the log gets "closed" and "merge-dir FOLDER" (the MergeDir
// setting the dialog left). Exit code 0 when every step ran and the
// dialog closed; 4 when a step could not run within 60 seconds or the dialog was still open
// 20 seconds after the last one (the driver then closes it).
#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "app/settings.h"
#include "app/strings.h"
#include "core/file.h"
#include "core/path.h"
#include "core/text.h"
#include "image/codec.h"
#include "ui/controls.h"
#include "ui/file_choice.h"
#include "ui/merge_dialog.h"
#include "ui/split_dialog.h"
#include "ui/theme.h"

namespace {

std::vector<std::wstring> g_open_answers;
std::vector<std::wstring> g_save_answers;
std::vector<std::wstring> g_steps;
size_t g_step = 0;
DWORD g_step_started = 0;
bool g_timed_out = false;
HWND g_main = nullptr;   // the merge or split dialog
std::wstring g_log_path;

void log_line(const std::wstring& line) {
    ByteBuffer bytes = {};
    ByteBuffer old = {};
    if (read_whole_file(g_log_path.c_str(), &old)) append_bytes(&bytes, old.data, old.length);
    append_utf8(&bytes, (line + L"\n").c_str());
    write_whole_file(g_log_path.c_str(), bytes.data, bytes.length);
    release(&bytes);
    release(&old);
}

std::wstring take(std::vector<std::wstring>* answers) {
    if (answers->empty()) return L"";
    std::wstring a = answers->front();
    answers->erase(answers->begin());
    return a;
}

// ---- the stand-in for the system's file dialogs and file browser
bool open_files(HWND, const wchar_t* title, const wchar_t*, const wchar_t*, bool multiple, const wchar_t*,
                StringList* chosen) {
    const std::wstring answer = take(&g_open_answers);
    log_line(std::wstring(L"open ") + title + (multiple ? L" (several)" : L" (one)"));
    size_t start = 0;
    while (start < answer.size()) {
        size_t end = answer.find(L'|', start);
        if (end == std::wstring::npos) end = answer.size();
        if (end > start) string_list_add(chosen, answer.substr(start, end - start).c_str());
        start = end + 1;
    }
    return chosen->count > 0;
}

bool save_file(HWND, const wchar_t* title, const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*,
               const wchar_t* name, WideString* path) {
    const std::wstring answer = take(&g_save_answers);
    log_line(std::wstring(L"save ") + title + L" " + name);
    if (answer.empty()) return false;
    assign(path, answer.c_str());
    return true;
}

void reveal_file(const wchar_t* path) {
    log_line(std::wstring(L"reveal ") + path);
}

void open_folder(const wchar_t* folder) {
    log_line(std::wstring(L"folder ") + folder);
}

const FileChoice kStandIn = {open_files, save_file, reveal_file, open_folder};

// ---- finding what has the input
BOOL CALLBACK note_enabled_dialog(HWND window, LPARAM found) {
    wchar_t cls[16] = {};
    GetClassNameW(window, cls, 16);
    if (lstrcmpW(cls, L"ZanDlg") == 0 && IsWindowVisible(window) && IsWindowEnabled(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

HWND active_dialog() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), note_enabled_dialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

// ---- synthesized input
void click_at(POINT p) {
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    INPUT in[3] = {};
    for (INPUT& i : in) {
        i.type = INPUT_MOUSE;
        i.mi.dx = MulDiv(p.x, 65535, w - 1);
        i.mi.dy = MulDiv(p.y, 65535, h - 1);
        i.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    }
    in[1].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    in[2].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    SendInput(3, in, sizeof(INPUT));
}

void key(WORD vk, bool up) {
    INPUT i = {};
    i.type = INPUT_KEYBOARD;
    i.ki.wVk = vk;
    i.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &i, sizeof(INPUT));
}

void type_text(const std::wstring& text) {
    for (wchar_t c : text) {
        INPUT in[2] = {};
        for (int k = 0; k < 2; ++k) {
            in[k].type = INPUT_KEYBOARD;
            in[k].ki.wScan = c;
            in[k].ki.dwFlags = KEYEVENTF_UNICODE | (k ? KEYEVENTF_KEYUP : 0);
        }
        SendInput(2, in, sizeof(INPUT));
    }
}

POINT centre_of(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    POINT p = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    return p;
}

HWND ready_control(HWND dialog, int id) {
    HWND control = dialog ? GetDlgItem(dialog, id) : nullptr;
    return control && IsWindowVisible(control) && IsWindowEnabled(control) ? control : nullptr;
}

// Runs the step when it can; false to try again later.
bool run_step(const std::wstring& step) {
    HWND dialog = active_dialog();
    if (!dialog) return false;
    if (step.rfind(L"click:", 0) == 0) {
        HWND control = ready_control(dialog, _wtoi(step.c_str() + 6));
        if (!control) return false;
        click_at(centre_of(control));
        return true;
    }
    if (step.rfind(L"item:", 0) == 0) {
        HWND list = ready_control(dialog, 101);
        const int index = _wtoi(step.c_str() + 5);
        RECT r = {};
        if (!list || SendMessageW(list, LB_GETITEMRECT, (WPARAM)index, reinterpret_cast<LPARAM>(&r)) == LB_ERR) {
            return false;
        }
        MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&r), 2);
        POINT p = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        click_at(p);
        return true;
    }
    if (step.rfind(L"type:", 0) == 0) {
        const size_t colon = step.find(L':', 5);
        HWND edit = colon == std::wstring::npos ? nullptr : ready_control(dialog, _wtoi(step.c_str() + 5));
        if (!edit) return false;
        click_at(centre_of(edit));
        // Select everything the field holds, so the typing replaces it.
        key(VK_END, false);
        key(VK_END, true);
        key(VK_SHIFT, false);
        key(VK_HOME, false);
        key(VK_HOME, true);
        key(VK_SHIFT, true);
        type_text(step.substr(colon + 1));
        return true;
    }
    if (step == L"box") {
        if (dialog == g_main) return false;
        wchar_t text[2048] = {};
        GetDlgItemTextW(dialog, 100, text, 2048);
        std::wstring shown;
        for (const wchar_t* p = text; *p; ++p) {
            // Drop the right-to-left embedding marks the Arabic labels carry; lines join with " / ".
            if (*p == 0x202B || *p == 0x202C || *p == L'\r') continue;
            shown += *p == L'\n' ? std::wstring(L" / ") : std::wstring(1, *p);
        }
        log_line(L"box " + shown);
        return true;
    }
    return true;
}

void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
    if (!g_main) {
        EnumThreadWindows(GetCurrentThreadId(), note_enabled_dialog, reinterpret_cast<LPARAM>(&g_main));
        if (!g_main) return;
        g_step_started = GetTickCount();
    }
    if (g_timed_out) {
        // Closes whatever has the input, message boxes first, until the dialog is gone.
        PostMessageW(active_dialog(), WM_COMMAND, IDCANCEL, 0);
        return;
    }
    if (g_step >= g_steps.size()) {
        // The steps are over but the dialog is still open (a test that expected it to close).
        if (GetTickCount() - g_step_started > 20000) {
            log_line(L"still open after the last step");
            g_timed_out = true;
        }
        return;
    }
    if (run_step(g_steps[g_step])) {
        ++g_step;
        g_step_started = GetTickCount();
    } else if (GetTickCount() - g_step_started > 60000) {
        log_line(L"timed out at " + g_steps[g_step]);
        g_timed_out = true;
    }
}

const wchar_t* value_of(const wchar_t* arg, const wchar_t* prefix) {
    const int n = lstrlenW(prefix);
    return wcsncmp(arg, prefix, (size_t)n) == 0 ? arg + n : nullptr;
}

void load_fresh_settings() {
    WideString folder = temp_folder();
    WideString path = path_join(text_of(folder), L"ui_drive_settings.ini");
    delete_file(text_of(path));
    settings_load_from(text_of(path));
    delete_file(text_of(path));
    release(&path);
    release(&folder);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::wstring show;
    int language = LANGUAGE_ENGLISH;
    for (int i = 1; i < argc; ++i) {
        const wchar_t* v;
        if ((v = value_of(argv[i], L"--show="))) show = v;
        if ((v = value_of(argv[i], L"--lang="))) language = lstrcmpW(v, L"ar") == 0 ? LANGUAGE_ARABIC : LANGUAGE_ENGLISH;
        if ((v = value_of(argv[i], L"--log="))) g_log_path = v;
        if ((v = value_of(argv[i], L"--open="))) g_open_answers.push_back(v);
        if ((v = value_of(argv[i], L"--save="))) g_save_answers.push_back(v);
        if ((v = value_of(argv[i], L"--steps="))) {
            std::wstring all = v;
            size_t start = 0;
            while (start <= all.size()) {
                size_t end = all.find(L',', start);
                if (end == std::wstring::npos) end = all.size();
                if (end > start) g_steps.push_back(all.substr(start, end - start));
                start = end + 1;
            }
        }
    }
    LocalFree(argv);
    if (show.empty() || g_log_path.empty()) return 2;
    delete_file(g_log_path.c_str());
    codec_startup();
    load_fresh_settings();
    set_interface_language(language);
    ui_shared_create(instance);
    ui_fonts_create();
    if (!register_control_classes(instance)) return 3;
    file_choice_set(&kStandIn);
    SetTimer(nullptr, 0, 150, tick);
    if (show == L"merge") {
        open_merge_dialog(nullptr);
    } else if (show == L"split") {
        open_split_dialog(nullptr);
    } else {
        return 2;
    }
    log_line(L"closed");
    log_line(std::wstring(L"merge-dir ") + text_of(app_settings()->MergeDir));
    ui_shared_destroy();
    codec_shutdown();
    return g_timed_out || g_step < g_steps.size() ? 4 : 0;
}
