// net/net_dialog_logic.cpp
#include "net/net_dialog_logic.h"

#include "app/strings.h"
#include "core/heap.h"
#include "core/path.h"

static const unsigned kErrorPathNotFound = 3;
static const unsigned kErrorBadNetPath = 53;
static const unsigned kErrorElevationRequired = 740;

void connection_results_text(const ConnectionCheckResult& r, int language, WideString* out) {
    if (r.address_valid && !report_is_empty(r.report)) report_text(r.report, language, out);
    else assign(out, tr_in(language, 219));
}

bool firewall_dialog_action(FirewallAction action, bool confirmed, const FirewallSystem* fw, const ElevationSystem* el,
                            NetReport* report) {
    if (!confirmed) {
        firewall_declined(report);
        return false;
    }
    return firewall_run_confirmed(action, fw, el, report);
}

void firewall_outcome_message(FirewallAction action, bool ok, const NetReport& report, int language, NetMessage* out) {
    out->kind = NET_MESSAGE_NONE;
    assign(&out->text, L"");
    if (ok) {
        out->kind = NET_MESSAGE_INFORMATION;
        assign(&out->text, tr_in(language, action == FIREWALL_LOCK ? 230 : 231));
        return;
    }
    if (report_is_empty(report)) return;
    WideString details = {};
    report_text(report, language, &details);
    out->kind = NET_MESSAGE_WARNING;
    assign(&out->text, tr_in(language, 232));
    append(&out->text, L"\r\n");
    append(&out->text, text_of(details));
    release(&details);
}

void net_message_release(NetMessage* message) {
    release(&message->text);
    message->kind = NET_MESSAGE_NONE;
}

void firewall_status_view(const FirewallSystem* fw, int language, WideString* out) {
    NetReport report = {};
    firewall_status(fw, &report);
    report_text(report, language, out);
    report_release(&report);
}

int wizard_input_problem(const wchar_t* location, const wchar_t* share, bool everyone, const wchar_t* password) {
    const bool location_ok = text_length(location) >= 3 && location[1] == L':';
    bool share_ok = share && share[0];
    for (const wchar_t* p = share; share_ok && *p; ++p) {
        const wchar_t c = *p;
        share_ok = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'-' || c == L'_';
    }
    if (!location_ok || !share_ok) return 267;
    if (everyone) return 0;
    for (const wchar_t* p = password; p && *p; ++p)
        if (*p < L'0' || *p > L'9') return 275;
    return 0;
}

WideString wizard_full_folder(const wchar_t* location) {
    return path_join(location, kScanFolderName);
}

void wizard_preview_text(const wchar_t* location, int language, WideString* out) {
    WideString folder = wizard_full_folder(location);
    assign(out, tr_in(language, 271));
    append(out, L"\r\n");
    append_labelled_value(out, language, 278, L" ", text_of(folder));
    release(&folder);
}

void wizard_settle_result(ShareSetupResult* r, const ShareSystem* sys) {
    if (r->success) {
        const wchar_t* folder = text_of(r->folder);
        if (!sys->folder_exists(sys->context, folder)) {
            r->success = 0;
            r->error = kErrorPathNotFound;
        } else if (!share_path_matches(text_of(r->share), folder, sys)) {
            r->success = 0;
            r->error = kErrorBadNetPath;
        }
    }
    if (r->success) return;
    // The explanation line of an unverified folder or share, once per report.
    if (r->error == kErrorPathNotFound) report_add_id(&r->report, 269);
    else if (r->error == kErrorBadNetPath) report_add_id(&r->report, 279);
}

bool password_rejected_by_policy(unsigned error) {
    static const unsigned kPolicy[] = {86, 1325, 2203, 2244, 2245, 2246, 2704};
    for (unsigned code : kPolicy)
        if (code == error) return true;
    return false;
}

void wizard_failure_explanation(const ShareSetupResult& r, int language, WideString* out) {
    assign(out, L"");
    if (password_rejected_by_policy(r.error)) {
        append(out, tr_in(language, 274));
        append(out, L"\r\n\r\n");
    }
    WideString code = {}, report = {};
    format(&code, L"%u\r\n", r.error);
    report_text(r.report, language, &report);
    append(out, tr_in(language, 247));
    append(out, text_of(code));
    append(out, text_of(report));
    if (r.error == kErrorElevationRequired) {
        append(out, L"\r\n");
        append(out, tr_in(language, 266));
    }
    release(&code);
    release(&report);
}

void wizard_success_status(const wchar_t* folder, int language, WideString* out) {
    assign(out, tr_in(language, 246));
    append(out, L"\r\n");
    append_labelled_value(out, language, 278, L" ", folder);
}

void wizard_watch_status(const FolderWatchResult& r, int language, WideString* out) {
    switch (r.status) {
    case WATCH_STOPPED: assign(out, tr_in(language, 260)); break;
    case WATCH_FILE_ARRIVED:
        assign(out, tr_in(language, 261));
        append(out, text_of(r.text));
        break;
    case WATCH_TIMED_OUT: assign(out, tr_in(language, 262)); break;
    default:
        if (r.text.length > 0) {
            assign(out, text_of(r.text));
        } else {
            WideString text = system_error_text(r.error);
            assign(out, text_of(text));
            release(&text);
        }
        break;
    }
}

bool wizard_entry_shows_saved(const SavedScanFolder& s, const ShareSystem* sys) {
    if (!s.ready || s.folder.length == 0 || s.share.length == 0) return false;
    return sys->folder_exists(sys->context, text_of(s.folder)) && share_path_matches(text_of(s.share), text_of(s.folder), sys);
}

WideString net_view_text(const wchar_t* text, int language) {
    WideString out = {};
    if (language != LANGUAGE_ARABIC) {
        assign(&out, text);
        return out;
    }
    const wchar_t kRle = 0x202B, kPdf = 0x202C, kLrm = 0x200E;
    const wchar_t* line = text;
    while (line && *line) {
        const wchar_t* end = line;
        bool has_value = false;
        while (*end && *end != L'\r' && *end != L'\n') has_value = *end++ == kLrm || has_value;
        const bool wrap = !has_value && end > line;
        if (wrap) append_char(&out, kRle);
        append(&out, line, (int)(end - line));
        if (wrap) append_char(&out, kPdf);
        while (*end == L'\r' || *end == L'\n') append_char(&out, *end++);
        line = end;
    }
    return out;
}
