// ui/merge_dialog.cpp
#include "ui/merge_dialog.h"

#include "app/settings.h"
#include "app/strings.h"
#include "core/heap.h"
#include "core/path.h"
#include "pdftools/pdf_merge.h"
#include "ui/common_dialogs.h"
#include "ui/controls.h"
#include "ui/dialog_frame.h"
#include "ui/file_choice.h"
#include "ui/icons.h"
#include "ui/merge_split_layout.h"
#include "ui/merge_split_rules.h"
#include "ui/theme.h"
#include "ui/tool_dialog.h"

namespace {

enum {
    ID_HEADING = 4001, ID_LIST = 101, ID_ADD = 31, ID_REMOVE = 32, ID_UP = 33, ID_DOWN = 34
};

const wchar_t kPattern[] = L"*.pdf;*.jpg;*.jpeg;*.png;*.tif;*.tiff;*.bmp";

// What the worker reads and fills. The paths point into the dialog's list, which stays
// unchanged while the worker runs (its controls are disabled).
struct MergeJob {
    const wchar_t** paths;
    int count;
    WideString output;
    bool ok;
    PdfMessage error;
};

struct MergeState {
    StringList files;
    ToolWorker worker;
    MergeJob job;
    bool busy;
};

MergeState* state_of(HWND dialog) {
    return reinterpret_cast<MergeState*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
}

void run_merge(void* parameter) {
    MergeJob* job = static_cast<MergeJob*>(parameter);
    job->ok = pdf_merge(job->paths, job->count, text_of(job->output), &job->error);
}

void job_release(MergeJob* job) {
    mem_free(job->paths);
    release(&job->output);
    pdf_message_release(&job->error);
    *job = MergeJob{};
}

void show_list(HWND dialog, const MergeState* state, int selection) {
    string_list_show(dialog, &state->files);
    SendDlgItemMessageW(dialog, ID_LIST, LB_SETCURSEL, (WPARAM)selection, 0);
}

int selection_of(HWND dialog) {
    return (int)SendDlgItemMessageW(dialog, ID_LIST, LB_GETCURSEL, 0, 0);
}

void remember_folder(const wchar_t* path) {
    WideString folder = path_folder(path);
    assign(&app_settings()->MergeDir, text_of(folder));
    release(&folder);
}

const wchar_t* start_folder() {
    const AppSettings* s = app_settings();
    return merge_split_start_folder(text_of(s->MergeDir), text_of(s->SaveDir));
}

void on_add(HWND dialog, MergeState* state) {
    StringList chosen = {};
    if (file_choice()->open_files(dialog, tr(173), tr(127), kPattern, true, start_folder(), &chosen) &&
        chosen.count > 0) {
        for (int i = 0; i < chosen.count; ++i) string_list_add(&state->files, text_of(chosen.items[i]));
        remember_folder(text_of(chosen.items[0]));
        show_list(dialog, state, state->files.count - 1);
    }
    string_list_free(&chosen);
}

void set_busy(HWND dialog, MergeState* state, bool busy) {
    state->busy = busy;
    static const int kLocked[] = {ID_LIST, ID_ADD, ID_REMOVE, ID_UP, ID_DOWN, IDOK};
    for (int id : kLocked) EnableWindow(GetDlgItem(dialog, id), !busy);
    tool_show_busy(dialog, busy);
}

void on_merge(HWND dialog, MergeState* state) {
    if (state->files.count == 0) {
        message_box(dialog, tr(117), true);
        return;
    }
    WideString output = {};
    if (!file_choice()->save_file(dialog, tr(67), tr(62), L"*.pdf", L"pdf", start_folder(), L"merged.pdf", &output)) {
        release(&output);
        return;
    }
    // Said before any work: the merge would overwrite a file it still has to read.
    if (merge_output_is_input(&state->files, text_of(output))) {
        PdfMessage refusal = {};
        pdf_message_set(&refusal, PDF_MESSAGE_OUTPUT_IS_INPUT, text_of(output));
        tool_warn(dialog, refusal);
        pdf_message_release(&refusal);
        release(&output);
        return;
    }
    MergeJob& job = state->job;
    job_release(&job);
    job.paths = static_cast<const wchar_t**>(mem_alloc_array((size_t)state->files.count, sizeof(wchar_t*)));
    if (!job.paths) {
        release(&output);
        return;
    }
    for (int i = 0; i < state->files.count; ++i) job.paths[i] = text_of(state->files.items[i]);
    job.count = state->files.count;
    job.output = output;
    set_busy(dialog, state, true);
    if (!tool_worker_start(&state->worker, dialog, run_merge, &job)) {
        set_busy(dialog, state, false);
        pdf_message_set(&job.error, PDF_MESSAGE_WRITE_ERROR);
        tool_warn(dialog, job.error);
    }
}

void on_done(HWND dialog) {
    MergeState* state = state_of(dialog);
    tool_worker_join(&state->worker);
    set_busy(dialog, state, false);
    MergeJob& job = state->job;
    if (job.ok) {
        WideString text = {};
        append(&text, tr(118));
        append(&text, text_of(job.output));
        message_box(dialog, text_of(text), false);
        release(&text);
        file_choice()->reveal_file(text_of(job.output));
        dialog_end(dialog, 1);
    } else if (job.error.id == PDF_MESSAGE_CANCELLED) {
        WideString text = merge_stopped_text(interface_language());
        message_box(dialog, text_of(text), false);
        release(&text);
    } else {
        tool_warn(dialog, job.error);
    }
}

void on_command(HWND dialog, MergeState* state, int id) {
    if (state->busy) {
        // Close and Escape ask the running merge to stop; the dialog closes only after it has.
        if (id == IDCANCEL) tool_request_cancel(dialog, &state->worker);
        return;
    }
    const int selected = selection_of(dialog);
    switch (id) {
    case ID_ADD: on_add(dialog, state); break;
    case ID_REMOVE:
        if (selected >= 0) show_list(dialog, state, merge_list_remove(&state->files, selected));
        break;
    case ID_UP:
    case ID_DOWN:
        if (selected >= 0) show_list(dialog, state, merge_list_move(&state->files, selected, id == ID_UP ? -1 : 1));
        break;
    case IDOK: on_merge(dialog, state); break;
    case IDCANCEL: dialog_end(dialog, 0); break;
    default: break;
    }
}

bool merge_hook(HWND dialog, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    MergeState* state = state_of(dialog);
    if (!state) return false;
    if (msg != WM_COMMAND) return tool_handle_worker_message(dialog, state->busy, msg, wp, lp, on_done, result);
    if (HIWORD(wp) != 0 && LOWORD(wp) == ID_LIST) return false;   // the list's own notifications
    on_command(dialog, state, LOWORD(wp));
    *result = 0;
    return true;
}

HWND make_file_list(HWND dialog) {
    const bool arabic = interface_language() == LANGUAGE_ARABIC;
    const DWORD ex = WS_EX_CLIENTEDGE | (arabic ? (DWORD)(WS_EX_RTLREADING | WS_EX_RIGHT | WS_EX_LEFTSCROLLBAR) : 0);
    return CreateWindowExW(ex, L"LISTBOX", L"",
                           WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, 0, 0,
                           10, 10, dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(ID_LIST)),
                           GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

void open_merge_dialog(HWND owner) {
    const RowButton buttons[2] = {row_button_of(IDOK, 116, ICON_MERGE, BUTTON_PRIMARY),
                                  row_button_of(IDCANCEL, 109, ICON_CLOSE, BUTTON_SECONDARY)};
    int needed[2];
    row_needed_widths(buttons, 2, needed);
    // Close reads Cancel, then Cancelling..., while the work runs.
    needed[1] = tool_close_needed_width(buttons[1]);
    int width = scaled(MERGE_CLIENT_W);
    const int row_width = button_row_width(kMergeButtons, 2, needed, ui_dpi());
    if (row_width > width) width = row_width;
    HWND dialog = dialog_create(owner, tr(67), width, scaled(MERGE_CLIENT_H));
    if (!dialog) return;
    RECT client;
    GetClientRect(dialog, &client);
    const MergeLayout l = merge_layout(client.right, client.bottom, needed, ui_dpi(), interface_language());
    MergeState state = {};
    SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
    dialog_set_hook(dialog, merge_hook);

    HWND heading = make_label(dialog, ID_HEADING, tr(115), SS_LEFT);
    place_control(heading, l.heading);
    HWND list = make_file_list(dialog);
    place_control(list, l.list);
    static const int kColumnIds[MERGE_COLUMN_BUTTONS] = {ID_ADD, ID_REMOVE, ID_UP, ID_DOWN};
    static const int kColumnTexts[MERGE_COLUMN_BUTTONS] = {111, 112, 113, 114};
    static const int kColumnIcons[MERGE_COLUMN_BUTTONS] = {ICON_ADD, ICON_DELETE, ICON_UP, ICON_DOWN};
    for (int i = 0; i < MERGE_COLUMN_BUTTONS; ++i) {
        const RECT& r = l.column[i];
        make_button(dialog, kColumnIds[i], tr(kColumnTexts[i]), kColumnIcons[i], BUTTON_SECONDARY, r.left, r.top,
                    r.right - r.left, r.bottom - r.top);
    }
    tool_make_progress(dialog, l.progress);
    // Tab order follows reading order: Close comes before the primary button at the row's end.
    const RECT rects[2] = {l.close, l.merge};
    const RowButton row[2] = {buttons[1], buttons[0]};
    make_row_buttons(dialog, row, 2, rects, nullptr);
    apply_default_font(dialog);
    SendMessageW(heading, WM_SETFONT, reinterpret_cast<WPARAM>(ui_font(FONT_HEADING)), FALSE);
    dialog_set_initial_focus(dialog, GetDlgItem(dialog, ID_ADD));
    dialog_run(dialog, owner);
    // A quit message can end the loop while a merge runs: stop it before its record goes.
    if (state.worker.thread) {
        tool_worker_cancel(&state.worker);
        tool_worker_join(&state.worker);
    }
    job_release(&state.job);
    string_list_free(&state.files);
}
