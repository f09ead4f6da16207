// net/share_setup.cpp
// The steps of the share setup, their verification and the share job of the elevated
// instance, over the ShareSystem seam.
#include "net/share_setup.h"

#include "app/log.h"
#include "app/strings.h"
#include "core/file.h"
#include "core/heap.h"
#include "core/path.h"
#include "core/text.h"
#include "net/job_files.h"

const wchar_t kScanAccount[] = L"scan";
const wchar_t kScanAccountComment[] = L"Zan Group Scanner - dedicated SMB account";
const wchar_t kShareRemark[] = L"Zan Group Scanner";
const wchar_t kScanFolderName[] = L"ZanGroup Scans";

static const unsigned kErrorPathNotFound = 3;
static const unsigned kErrorBadNetPath = 53;
static const unsigned kErrorInvalidPassword = 86;
static const unsigned kErrorNoRandom = 1157;
static const unsigned kUserNotFound = 2221;
static const unsigned kUserExists = 2224;
static const unsigned kDuplicateShare = 2118;
static const unsigned kNetshLimitMs = 15000;

static void release_fields(ShareSetupResult* r) {
    WideString* fields[] = {&r->folder, &r->share, &r->computer, &r->ip, &r->unc, &r->user, &r->password};
    for (WideString* f : fields) release(f);
    report_release(&r->report);
}

void share_setup_result_clear(ShareSetupResult* result) {
    release_fields(result);
    *result = ShareSetupResult{};
}

void share_setup_result_free(ShareSetupResult* result) {
    if (!result) return;
    release_fields(result);
    mem_free(result);
}

// One step line: "label: OK" or "label: <code> — <system message>", and its log line.
static void append_step(ShareSetupResult* r, const wchar_t* label, unsigned code) {
    WideString line = {};
    if (code == 0) {
        format(&line, L"%s: OK", label);
        report_add_fixed(&r->report, text_of(line));
    } else {
        format(&line, L"%s: %u \x2014 ", label, code);
        report_add_system_error(&r->report, code, text_of(line));
    }
    release(&line);
    log_line(L"%s error=%u", label, code);
}

// ---- paths and names

void normalize_folder_path(WideString* path) {
    for (int i = 0; i < path->length; ++i)
        if (path->data[i] == L'/') path->data[i] = L'\\';
    while (path->length > 0 && path->data[path->length - 1] == L'\\') {
        if (path->length == 3 && path->data[1] == L':') break;
        path->data[--path->length] = 0;
    }
}

bool same_folder_path(const wchar_t* a, const wchar_t* b) {
    WideString x = wide_copy(a), y = wide_copy(b);
    normalize_folder_path(&x);
    normalize_folder_path(&y);
    const bool same = compare_no_case(text_of(x), text_of(y)) == 0;
    release(&x);
    release(&y);
    return same;
}

bool share_path_matches(const wchar_t* share, const wchar_t* folder, const ShareSystem* sys) {
    if (!share || !share[0] || !folder || !folder[0] || !sys->load(sys->context)) return false;
    WideString path = {}, remark = {};
    const bool same = sys->share_get(sys->context, share, &path, &remark) == 0 && same_folder_path(text_of(path), folder);
    release(&path);
    release(&remark);
    return same;
}

bool share_name_valid(const wchar_t* share) {
    int n = 0;
    for (const wchar_t* p = share; p && *p; ++p, ++n) {
        const wchar_t c = *p;
        const bool ok = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'-' ||
                        c == L'_';
        if (!ok) return false;
    }
    return n >= 1 && n <= 80;
}

bool folder_path_acceptable(const wchar_t* folder) {
    if (!folder || !(((folder[0] | 0x20) >= L'a' && (folder[0] | 0x20) <= L'z') && folder[1] == L':' && folder[2] == L'\\'))
        return false;
    // Each part between separators: not empty, not "." or "..", no '/' spelled as one.
    const wchar_t* part = folder + 3;
    if (!*part) return true;
    for (const wchar_t* p = part;; ++p) {
        if (*p == L'/' ) return false;
        if (*p == L'\\' || *p == 0) {
            const long length = p - part;
            if (length == 0 && *p) return false;
            if ((length == 1 && part[0] == L'.') || (length == 2 && part[0] == L'.' && part[1] == L'.')) return false;
            if (*p == 0) return true;
            part = p + 1;
        }
    }
}

// ---- password

bool generate_scan_password(const ShareSystem* sys, WideString* password) {
    assign(password, L"");
    uint32_t r = 0;
    if (!sys->random_bytes(sys->context, &r, 4)) return false;
    const int length = 4 + (int)(r % 3);
    bool all_zero = true;
    for (int i = 0; i < length; ++i) {
        uint32_t d = 0;
        if (!sys->random_bytes(sys->context, &d, 4)) {
            assign(password, L"");
            return false;
        }
        const wchar_t digit = (wchar_t)(L'0' + d % 10);
        all_zero = all_zero && digit == L'0';
        append_char(password, digit);
    }
    if (all_zero) password->data[length - 1] = L'1';
    return true;
}

// ---- the privileged steps

static unsigned account_steps(ShareSetupResult* r, const ShareSystem* sys) {
    if (r->password.length == 0) {
        append_step(r, L"Empty scan password rejected", kErrorInvalidPassword);
        return kErrorInvalidPassword;
    }
    WideString comment = {};
    const unsigned got = sys->user_get(sys->context, kScanAccount, &comment);
    const bool ours = text_equals(text_of(comment), kScanAccountComment) == 0;
    release(&comment);
    if (got == kUserNotFound) {
        const unsigned added = sys->user_add(sys->context, kScanAccount, text_of(r->password), kScanAccountComment);
        append_step(r, L"NetUserAdd(scan)", added);
        if (added != 0) return added;
        sys->hide_account(sys->context, kScanAccount);
        const unsigned member = sys->users_group_add(sys->context, kScanAccount);
        append_step(r, L"Add scan to local Users", member);
        return member;
    }
    if (got != 0) {
        append_step(r, L"NetUserGetInfo(scan)", got);
        return got;
    }
    // Someone's own "scan" account: its password is theirs, never reset here.
    if (!ours) {
        append_step(r, L"Existing scan account was not made by this program", kUserExists);
        return kUserExists;
    }
    r->existing_account = 1;
    const unsigned set = sys->user_set_password(sys->context, kScanAccount, text_of(r->password));
    append_step(r, L"NetUserSetInfo(scan password)", set);
    sys->hide_account(sys->context, kScanAccount);
    return set;
}

static unsigned share_steps(ShareSetupResult* r, const wchar_t* sddl, const ShareSystem* sys) {
    const wchar_t* folder = text_of(r->folder);
    const wchar_t* share = text_of(r->share);
    const unsigned permissions = sys->set_folder_dacl(sys->context, folder, sddl);
    append_step(r, L"Folder permissions", permissions);
    unsigned result = sys->share_add(sys->context, share, folder, sddl);
    append_step(r, L"NetShareAdd", result);
    if (result == kDuplicateShare) {
        WideString path = {}, remark = {};
        const unsigned got = sys->share_get(sys->context, share, &path, &remark);
        const bool same = got == 0 && same_folder_path(text_of(path), folder);
        const bool ours = got == 0 && text_equals(text_of(remark), kShareRemark) == 0;
        release(&path);
        release(&remark);
        if (got == 0) append_step(r, same ? L"Existing share path matches" : L"Existing share path differs", 0);
        else append_step(r, L"NetShareGetInfo existing share", got);
        if (got == 0 && !ours) {
            // A share someone else made keeps its path and permissions.
            append_step(r, L"Existing share was not made by this program", kDuplicateShare);
            result = kDuplicateShare;
        } else if (same) {
            result = sys->share_set(sys->context, share, folder, sddl);
            append_step(r, L"NetShareSetInfo existing share", result);
        } else {
            result = sys->share_delete(sys->context, share);
            append_step(r, L"NetShareDel old path", result);
            if (result == 0) {
                result = sys->share_add(sys->context, share, folder, sddl);
                append_step(r, L"NetShareAdd after delete", result);
            }
        }
    }
    return permissions != 0 ? permissions : result;
}

static unsigned run_netsh(const ElevationSystem* el, const wchar_t* arguments) {
    WideString netsh = netsh_path();
    const unsigned code = el->run_hidden_process(el->context, text_of(netsh), arguments, nullptr, kNetshLimitMs);
    release(&netsh);
    return code;
}

void share_setup_privileged(ShareSetupResult* r, const wchar_t* folder, const wchar_t* share, bool everyone,
                            const ShareSystem* sys, const ElevationSystem* el) {
    r->everyone = everyone ? 1 : 0;
    assign(&r->folder, folder);
    assign(&r->share, share);
    if (!sys->load(sys->context)) {
        r->error = kErrorNoRandom;
        report_add_fixed(&r->report,
                         L"Optional network/share APIs could not be loaded. The main window and scanning remain available.");
        return;
    }
    bool share_ok = false;
    unsigned error = sys->ensure_folder(sys->context, folder);
    append_step(r, L"Create and verify destination folder", error);
    if (error == 0) {
        if (everyone) {
            append_step(r, L"Enable built-in Guest (password unchanged)", sys->guest_enable(sys->context));
            sys->everyone_registry(sys->context);
        } else {
            error = account_steps(r, sys);
        }
    }
    if (error == 0) {
        const long hr = sys->networks_to_private(sys->context);
        append_step(r, L"Set connected public networks to Private", hr < 0 ? (unsigned)hr : 0);
        append_step(r, L"Enable File and Printer Sharing (private)",
                    run_netsh(el, L"advfirewall firewall set rule group=\"File and Printer Sharing\" new enable=Yes "
                                  L"profile=private"));
        run_netsh(el, L"advfirewall set privateprofile state on");
        error = sys->ensure_folder(sys->context, folder);
        append_step(r, L"Create destination folder", error);
    }
    if (error == 0) {
        WideString sddl = {}, sid = {};
        if (everyone) assign(&sddl, L"D:(A;;GA;;;WD)");
        else if (sys->account_sid(sys->context, kScanAccount, &sid))
            format(&sddl, L"D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;GA;;;%s)", text_of(sid));
        else assign(&sddl, L"D:(A;;GA;;;SY)(A;;GA;;;BA)");
        error = share_steps(r, text_of(sddl), sys);
        release(&sddl);
        release(&sid);
    }
    if (!sys->folder_exists(sys->context, folder)) {
        error = kErrorPathNotFound;
        append_step(r, L"Verify destination folder", kErrorPathNotFound);
    } else if (error == 0) {
        share_ok = share_path_matches(share, folder, sys);
        if (!share_ok) {
            error = kErrorBadNetPath;
            append_step(r, L"Verify share path", kErrorBadNetPath);
        }
    }
    r->error = error;
    sys->computer_name(sys->context, &r->computer);
    sys->local_ip(sys->context, &r->ip);
    format(&r->unc, L"\\\\%s\\%s", text_of(r->computer), share);
    assign(&r->user, everyone ? L"" : kScanAccount);
    r->success = error == 0 && share_ok && sys->folder_exists(sys->context, folder) ? 1 : 0;
}

// ---- the worker's run

void share_setup_run(ShareSetupResult* r, const wchar_t* folder, const wchar_t* share, bool everyone,
                     const wchar_t* password, const ShareSystem* sys, const ElevationSystem* el) {
    assign(&r->password, everyone ? L"" : password);
    if (!everyone && r->password.length == 0 && !generate_scan_password(sys, &r->password)) {
        r->error = kErrorNoRandom;
        assign(&r->folder, folder);
        assign(&r->share, share);
        report_add_fixed(&r->report,
                         L"Secure random API unavailable; account creation was not attempted. Scanning remains available.");
        return;
    }
    if (el->is_administrator(el->context)) {
        share_setup_privileged(r, folder, share, everyone, sys, el);
        return;
    }
    WideString password_copy = wide_copy(text_of(r->password));
    const unsigned code = share_job_run_elevated(folder, share, everyone, text_of(password_copy), r, el);
    release(&password_copy);
    if (code == ELEVATION_CANCELLED) return;
    const bool folder_ok = r->folder.length > 0 && sys->folder_exists(sys->context, text_of(r->folder));
    const bool share_ok = folder_ok && share_path_matches(text_of(r->share), text_of(r->folder), sys);
    if (code != 0) {
        r->success = 0;
    } else {
        r->success = folder_ok && share_ok ? 1 : 0;
        if (r->error == 0 && !folder_ok) {
            r->error = kErrorPathNotFound;
            append_step(r, L"Verify destination folder in parent", kErrorPathNotFound);
        } else if (r->error == 0 && !share_ok) {
            r->error = kErrorBadNetPath;
            append_step(r, L"Verify share path in parent", kErrorBadNetPath);
        }
    }
    if (!r->success && report_is_empty(r->report)) {
        WideString code_text = {};
        format(&code_text, L"%u", code);
        report_add_id(&r->report, 288);
        report_set_suffix(&r->report, text_of(code_text));
        release(&code_text);
    }
}

// ---- the elevated exchange

static const wchar_t* const kResultKeys[] = {L"Folder", L"Share", L"Computer", L"IP", L"UNC", L"User", L"Password"};

static WideString* result_fields(ShareSetupResult* r, int i) {
    WideString* fields[] = {&r->folder, &r->share, &r->computer, &r->ip, &r->unc, &r->user, &r->password};
    return fields[i];
}

unsigned share_job_run_elevated(const wchar_t* folder, const wchar_t* share, bool everyone, const wchar_t* password,
                                ShareSetupResult* r, const ElevationSystem* el) {
    assign(&r->folder, folder);
    assign(&r->share, share);
    r->everyone = everyone ? 1 : 0;
    WideString job = {}, result = {};
    unsigned code = 0;
    if (!job_files_create(kTagShareJob, kTagShareResult, &job, &result)) {
        code = last_error_code() ? last_error_code() : 1;
        r->error = code;
        report_add_id_code(&r->report, 299, code);
    } else {
        WideString lang = {};
        format(&lang, L"%d", interface_language());
        job_write(text_of(job), L"Job", L"Output", text_of(result));
        job_write(text_of(job), L"Job", L"Folder", folder);
        job_write(text_of(job), L"Job", L"Share", share);
        job_write(text_of(job), L"Job", L"Everyone", everyone ? L"1" : L"0");
        job_write(text_of(job), L"Job", L"Password", password);
        job_write(text_of(job), L"Job", L"Lang", text_of(lang));
        release(&lang);
        WideString parameters = {};
        assign(&parameters, L"--zan-admin=share ");
        append_quoted_argument(&parameters, text_of(job));
        code = el->run_elevated_self(el->context, text_of(parameters));
        release(&parameters);
        if (code == ELEVATION_CANCELLED) {
            r->error = ELEVATION_CANCELLED;
            report_add_id(&r->report, 234);
        } else {
            WideString value = {};
            job_read(text_of(result), L"Result", L"Error", L"1", &value);
            unsigned error = 0;
            for (int i = 0; i < value.length && value.data[i] >= L'0' && value.data[i] <= L'9'; ++i)
                error = error * 10 + (unsigned)(value.data[i] - L'0');
            r->error = error;
            for (int i = 0; i < 7; ++i) job_read(text_of(result), L"Result", kResultKeys[i], L"", result_fields(r, i));
            job_read_lines(text_of(result), L"Result", L"Log", &value);
            report_add_fixed(&r->report, text_of(value));
            job_read(text_of(result), L"Result", L"Existing", L"0", &value);
            r->existing_account = value.length > 0 && value.data[0] == L'1' ? 1 : 0;
            release(&value);
        }
        // The job file holds the password: it goes at once, whatever happened.
        delete_file(text_of(job));
        delete_file(text_of(result));
    }
    release(&job);
    release(&result);
    return code;
}

static int refuse(const wchar_t* why, const wchar_t* job_file) {
    log_line(L"share job refused: %s (%s)", why, job_file);
    return 2;
}

static bool digits_only(const WideString& text) {
    for (int i = 0; i < text.length; ++i)
        if (text.data[i] < L'0' || text.data[i] > L'9') return false;
    return text.length <= 16;
}

int share_job_handle_with(const wchar_t* job_file, const ShareSystem* sys, const ElevationSystem* el) {
    WideString result_path = {}, folder = {}, share = {}, everyone = {}, password = {};
    int code = 0;
    if (const wchar_t* why = job_check(job_file, kTagShareJob, kTagShareResult, &result_path)) {
        code = refuse(why, job_file);
    } else {
        job_read(job_file, L"Job", L"Folder", L"", &folder);
        job_read(job_file, L"Job", L"Share", L"", &share);
        job_read(job_file, L"Job", L"Everyone", L"0", &everyone);
        job_read(job_file, L"Job", L"Password", L"", &password);
        // Every value is checked again here: the elevated instance acts with rights the
        // writer of the file may not have.
        if (folder.length == 0 || share.length == 0) code = refuse(L"a value is missing", job_file);
        else if (!folder_path_acceptable(text_of(folder))) code = refuse(L"folder is not a local absolute path", job_file);
        else if (!folder_path_has_no_links(text_of(folder))) code = refuse(L"folder path passes through a link", job_file);
        else if (!share_name_valid(text_of(share))) code = refuse(L"share name has other characters", job_file);
        else if (text_equals(text_of(everyone), L"0") != 0 && text_equals(text_of(everyone), L"1") != 0)
            code = refuse(L"access mode is neither 0 nor 1", job_file);
        else if (!digits_only(password)) code = refuse(L"password is not a number", job_file);
    }
    if (code == 0) {
        set_interface_language(job_language(job_file));
        const bool everyone_mode = everyone.data[0] == L'1';
        ShareSetupResult r = {};
        assign(&r.password, everyone_mode ? L"" : text_of(password));
        if (!everyone_mode && r.password.length == 0 && !generate_scan_password(sys, &r.password)) {
            r.error = kErrorNoRandom;
            assign(&r.folder, text_of(folder));
            assign(&r.share, text_of(share));
            report_add_fixed(&r.report, L"Secure random API unavailable.");
        } else {
            share_setup_privileged(&r, text_of(folder), text_of(share), everyone_mode, sys, el);
        }
        WideString text = {};
        const wchar_t* path = text_of(result_path);
        bool written = job_file_create_new(path);
        format(&text, L"%u", r.error);
        written = written && job_write(path, L"Result", L"Error", text_of(text));
        for (int i = 0; i < 7; ++i) written = written && job_write(path, L"Result", kResultKeys[i], text_of(*result_fields(&r, i)));
        report_text(r.report, interface_language(), &text);
        written = written && job_write_lines(path, L"Result", L"Log", text_of(text));
        written = written && job_write(path, L"Result", L"Existing", r.existing_account ? L"1" : L"0");
        log_line(L"share job error=%u success=%d result-written=%d", r.error, r.success, written ? 1 : 0);
        release(&text);
        code = r.success ? 0 : (r.error ? (int)r.error : 1);
        share_setup_result_clear(&r);
    }
    WideString* all[] = {&result_path, &folder, &share, &everyone, &password};
    for (WideString* s : all) release(s);
    return code;
}
