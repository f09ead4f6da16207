// ui/split_dialog.cpp
#include "ui/split_dialog.h"

#include "app/settings.h"
#include "app/strings.h"
#include "core/file.h"
#include "core/path.h"
#include "pdftools/pdf_split.h"
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
    ID_LABEL = 4001, ID_HEADING = 4002, ID_PATH = 101, ID_N = 102, ID_RANGES = 103, ID_BROWSE = 31,
    ID_EACH_PAGE = 41, ID_EVERY_N = 42, ID_CUSTOM = 43
};

// What the worker reads and fills; the dialog's controls are disabled while it runs.
struct SplitJob {
    WideString input;
    WideString folder;
    WideString ranges;
    int mode;
    int n;
    bool replace_agreed;   // false: first count the files that would be replaced
    int existing;          // files of the same names found (then nothing was written)
    bool ok;
    PdfPathList created;
    PdfMessage error;
};

struct SplitState {
    ToolWorker worker;
    SplitJob job;
    bool busy;
};

SplitState* state_of(HWND dialog) {
    return reinterpret_cast<SplitState*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
}

void run_split(void* parameter) {
    SplitJob* job = static_cast<SplitJob*>(parameter);
    if (!job->replace_agreed) {
        job->existing = split_existing_parts(text_of(job->input), text_of(job->folder), job->mode, job->n,
                                             text_of(job->ranges), &job->error);
        if (job->existing != 0) {
            job->ok = false;
            return;
        }
    }
    job->ok = pdf_split(text_of(job->input), text_of(job->folder), job->mode, job->n, text_of(job->ranges),
                        &job->created, &job->error);
}

void job_release(SplitJob* job) {
    release(&job->input);
    release(&job->folder);
    release(&job->ranges);
    pdf_path_list_free(&job->created);
    pdf_message_release(&job->error);
    *job = SplitJob{};
}

WideString item_text(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    WideString text = {};
    const int length = GetWindowTextLengthW(control);
    if (length > 0 && reserve(&text, length + 1)) {
        text.length = GetWindowTextW(control, text.data, length + 1);
        text.data[text.length] = 0;
    }
    return text;
}

bool checked(HWND dialog, int id) {
    return SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void update_fields(HWND dialog) {
    EnableWindow(GetDlgItem(dialog, ID_N), checked(dialog, ID_EVERY_N));
    EnableWindow(GetDlgItem(dialog, ID_RANGES), checked(dialog, ID_CUSTOM));
}

void on_browse(HWND dialog) {
    const AppSettings* s = app_settings();
    StringList chosen = {};
    if (file_choice()->open_files(dialog, tr(120), tr(62), L"*.pdf", false,
                                  merge_split_start_folder(text_of(s->MergeDir), text_of(s->SaveDir)), &chosen) &&
        chosen.count > 0) {
        SetDlgItemTextW(dialog, ID_PATH, text_of(chosen.items[0]));
        WideString folder = path_folder(text_of(chosen.items[0]));
        assign(&app_settings()->MergeDir, text_of(folder));
        release(&folder);
    }
    string_list_free(&chosen);
}

void set_busy(HWND dialog, SplitState* state, bool busy) {
    state->busy = busy;
    static const int kLocked[] = {ID_BROWSE, ID_EACH_PAGE, ID_EVERY_N, ID_CUSTOM, IDOK};
    for (int id : kLocked) EnableWindow(GetDlgItem(dialog, id), !busy);
    if (busy) {
        EnableWindow(GetDlgItem(dialog, ID_N), FALSE);
        EnableWindow(GetDlgItem(dialog, ID_RANGES), FALSE);
    } else {
        update_fields(dialog);
    }
    tool_show_busy(dialog, busy);
}

void start(HWND dialog, SplitState* state) {
    set_busy(dialog, state, true);
    if (!tool_worker_start(&state->worker, dialog, run_split, &state->job)) {
        set_busy(dialog, state, false);
        pdf_message_set(&state->job.error, PDF_MESSAGE_WRITE_ERROR);
        tool_warn(dialog, state->job.error);
    }
}

void on_split(HWND dialog, SplitState* state) {
    WideString input = item_text(dialog, ID_PATH);
    if (input.length == 0 || !file_exists(text_of(input))) {
        release(&input);
        message_box(dialog, tr(120), true);
        return;
    }
    SplitJob& job = state->job;
    job_release(&job);
    job.input = input;
    job.mode = checked(dialog, ID_EVERY_N) ? PDF_SPLIT_EVERY_N : checked(dialog, ID_CUSTOM) ? PDF_SPLIT_RANGES
                                                                                              : PDF_SPLIT_EACH_PAGE;
    WideString n_text = item_text(dialog, ID_N);
    job.n = split_n_of(text_of(n_text));
    release(&n_text);
    job.ranges = item_text(dialog, ID_RANGES);
    job.folder = split_output_folder(text_of(job.input));
    start(dialog, state);
}

// The folder and the count in the information the user reads after a split.
WideString created_text(int count, const wchar_t* folder) {
    WideString text = {};
    format(&text, tr(126), count);
    append(&text, folder);
    return text;
}

void on_done(HWND dialog) {
    SplitState* state = state_of(dialog);
    tool_worker_join(&state->worker);
    set_busy(dialog, state, false);
    SplitJob& job = state->job;
    if (job.ok) {
        WideString text = created_text(job.created.count, text_of(job.folder));
        message_box(dialog, text_of(text), false);
        release(&text);
        file_choice()->open_folder(text_of(job.folder));
        dialog_end(dialog, 1);
        return;
    }
    if (job.existing > 0) {
        WideString question = split_replace_question(interface_language(), job.existing, text_of(job.folder));
        const bool agreed = confirm_box(dialog, text_of(question));
        release(&question);
        if (agreed) {
            job.replace_agreed = true;
            job.existing = 0;
            start(dialog, state);
            return;
        }
    } else if (job.error.id == PDF_MESSAGE_CANCELLED) {
        WideString text = split_stopped_text(interface_language(), job.created.count, text_of(job.folder));
        message_box(dialog, text_of(text), false);
        release(&text);
    } else {
        tool_warn(dialog, job.error);
    }
}

void on_command(HWND dialog, SplitState* state, int id) {
    if (state->busy) {
        // Close and Escape ask the running split to stop; the dialog closes only after it has.
        if (id == IDCANCEL) tool_request_cancel(dialog, &state->worker);
        return;
    }
    switch (id) {
    case ID_BROWSE: on_browse(dialog); break;
    case ID_EACH_PAGE:
    case ID_EVERY_N:
    case ID_CUSTOM: update_fields(dialog); break;
    case IDOK: on_split(dialog, state); break;
    case IDCANCEL: dialog_end(dialog, 0); break;
    default: break;
    }
}

bool split_hook(HWND dialog, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    SplitState* state = state_of(dialog);
    if (!state) return false;
    if (msg != WM_COMMAND) return tool_handle_worker_message(dialog, state->busy, msg, wp, lp, on_done, result);
    const int id = LOWORD(wp);
    // Edits report changes and focus; only the buttons' clicks are commands here.
    if (id == ID_PATH || id == ID_N || id == ID_RANGES) return false;
    on_command(dialog, state, id);
    *result = 0;
    return true;
}

}  // namespace

void open_split_dialog(HWND owner) {
    const RowButton buttons[2] = {row_button_of(IDOK, 125, ICON_SPLIT, BUTTON_PRIMARY),
                                  row_button_of(IDCANCEL, 109, ICON_CLOSE, BUTTON_SECONDARY)};
    int needed[2];
    row_needed_widths(buttons, 2, needed);
    // Close reads Cancel, then Cancelling..., while the work runs.
    needed[1] = tool_close_needed_width(buttons[1]);
    int width = scaled(SPLIT_CLIENT_W);
    const int row_width = button_row_width(kSplitButtons, 2, needed, ui_dpi());
    if (row_width > width) width = row_width;
    HWND dialog = dialog_create(owner, tr(119), width, scaled(SPLIT_CLIENT_H));
    if (!dialog) return;
    RECT client;
    GetClientRect(dialog, &client);
    const SplitLayout l = split_layout(client.right, client.bottom, needed, ui_dpi(), interface_language());
    SplitState state = {};
    SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
    dialog_set_hook(dialog, split_hook);

    place_control(make_label(dialog, ID_LABEL, tr(120), SS_LEFT), l.label);
    HWND path = make_edit(dialog, ID_PATH, false);
    SendMessageW(path, EM_SETREADONLY, TRUE, 0);
    place_control(path, l.path);
    make_button(dialog, ID_BROWSE, tr(110), ICON_FOLDER, BUTTON_SECONDARY, l.browse.left, l.browse.top,
                l.browse.right - l.browse.left, l.browse.bottom - l.browse.top);
    HWND heading = make_label(dialog, ID_HEADING, tr(121), SS_LEFT);
    place_control(heading, l.heading);
    place_control(make_radio(dialog, ID_EACH_PAGE, tr(122), true), l.each_page);
    place_control(make_radio(dialog, ID_EVERY_N, tr(123), false), l.every_n);
    HWND n_field = make_edit(dialog, ID_N, false);
    SetWindowTextW(n_field, L"2");
    place_control(n_field, l.n_field);
    place_control(make_radio(dialog, ID_CUSTOM, tr(124), false), l.ranges);
    HWND ranges = make_edit(dialog, ID_RANGES, false);
    SetWindowTextW(ranges, L"1-3,5");
    place_control(ranges, l.ranges_field);
    tool_make_progress(dialog, l.progress);
    CheckDlgButton(dialog, ID_EACH_PAGE, BST_CHECKED);
    update_fields(dialog);
    const RECT rects[2] = {l.close, l.split};
    const RowButton row[2] = {buttons[1], buttons[0]};
    make_row_buttons(dialog, row, 2, rects, nullptr);
    apply_default_font(dialog);
    SendMessageW(heading, WM_SETFONT, reinterpret_cast<WPARAM>(ui_font(FONT_HEADING)), FALSE);
    dialog_set_initial_focus(dialog, GetDlgItem(dialog, ID_BROWSE));
    dialog_run(dialog, owner);
    // A quit message can end the loop while a split runs: stop it before its record goes.
    if (state.worker.thread) {
        tool_worker_cancel(&state.worker);
        tool_worker_join(&state.worker);
    }
    job_release(&state.job);
}
