// net/firewall.cpp
// Lock and restore of the three firewall profiles, with the saved mask, the read-back
// verification and the netsh fallback; the firewall job of the elevated instance.
#include "net/firewall.h"

#include "app/log.h"
#include "app/strings.h"
#include "core/file.h"
#include "core/text.h"
#include "net/job_files.h"

const wchar_t* const kFirewallProfileNames[FIREWALL_PROFILES] = {L"Domain", L"Private", L"Public"};
const wchar_t* const kFirewallNetshNames[FIREWALL_PROFILES] = {L"domain", L"private", L"public"};
static const int kProfileBits[FIREWALL_PROFILES] = {1, 2, 4};
static const unsigned kNetshLimitMs = 20000;
static const unsigned kMaskAll = 7;

static const wchar_t* state_text(int state) {
    return state == 1 ? L"ON" : state == 0 ? L"OFF" : L"?";
}

// The id line, the code as a suffix and the system's message for it.
static void append_hresult_detail(NetReport* report, long hr) {
    WideString suffix = {};
    format(&suffix, L" (HRESULT 0x%08X)", (unsigned)hr);
    report_set_suffix(report, text_of(suffix));
    release(&suffix);
    report_add_system_error(report, (unsigned)hr);
}

static bool open_policy(const FirewallSystem* fw, NetReport* report) {
    const long hr = fw->open_policy(fw->context);
    if (hr >= 0) return true;
    report_add_id(report, 290);
    append_hresult_detail(report, hr);
    return false;
}

bool firewall_read_states(const FirewallSystem* fw, int states[FIREWALL_PROFILES], NetReport* report) {
    for (int i = 0; i < FIREWALL_PROFILES; ++i) states[i] = -1;
    if (!open_policy(fw, report)) return false;
    bool all = true;
    for (int i = 0; i < FIREWALL_PROFILES; ++i) {
        bool enabled = false;
        const long hr = fw->read_enabled(fw->context, kProfileBits[i], &enabled);
        if (hr >= 0) {
            states[i] = enabled ? 1 : 0;
        } else {
            report_add_id(report, 291, kFirewallProfileNames[i]);
            append_hresult_detail(report, hr);
            all = false;
        }
    }
    fw->close_policy(fw->context);
    return all;
}

bool firewall_verify(const int wanted[FIREWALL_PROFILES], const FirewallSystem* fw, NetReport* report) {
    int states[FIREWALL_PROFILES];
    const bool read = firewall_read_states(fw, states, report);
    // An unreadable profile (-1) never matches what was wanted, so it is named too.
    bool differed = false;
    for (int i = 0; i < FIREWALL_PROFILES; ++i) {
        const int want = wanted[i] ? 1 : 0;
        if (states[i] == want) continue;
        report_add_id(report, 293, kFirewallProfileNames[i], want ? L"ON" : L"OFF", state_text(states[i]));
        differed = true;
    }
    if (differed) report_add_id(report, 294);
    return read && !differed;
}

static unsigned run_netsh(const ElevationSystem* el, const wchar_t* arguments, WideString* output) {
    WideString netsh = netsh_path();
    const unsigned code = el->run_hidden_process(el->context, text_of(netsh), arguments, output, kNetshLimitMs);
    release(&netsh);
    return code;
}

// The netsh fallback; true when every command returned 0.
static bool netsh_fallback(FirewallAction action, const int wanted[FIREWALL_PROFILES], const ElevationSystem* el,
                           NetReport* report) {
    WideString output = {};
    bool ok = true;
    if (action == FIREWALL_LOCK) {
        const unsigned code = run_netsh(el, L"advfirewall set allprofiles state off", &output);
        if (code != 0) {
            report_add_id_code(report, 298, code);
            report_add_fixed(report, text_of(output));
            ok = false;
        }
    } else {
        for (int i = 0; i < FIREWALL_PROFILES; ++i) {
            WideString arguments = {};
            format(&arguments, L"advfirewall set %sprofile state %s", kFirewallNetshNames[i], wanted[i] ? L"on" : L"off");
            const unsigned code = run_netsh(el, text_of(arguments), &output);
            release(&arguments);
            if (code == 0) continue;
            WideString code_text = {};
            format(&code_text, L"%u", code);
            report_add_id(report, 297, kFirewallProfileNames[i], text_of(code_text));
            release(&code_text);
            report_add_fixed(report, text_of(output));
            ok = false;
        }
    }
    release(&output);
    return ok;
}

bool firewall_set_profiles(FirewallAction action, const int wanted[FIREWALL_PROFILES], const FirewallSystem* fw,
                           const ElevationSystem* el, NetReport* report) {
    if (!el->is_administrator(el->context)) {
        report_add_id(report, 289);
    } else if (open_policy(fw, report)) {
        bool written = true;
        for (int i = 0; i < FIREWALL_PROFILES; ++i) {
            const long hr = fw->write_enabled(fw->context, kProfileBits[i], wanted[i] != 0);
            if (hr >= 0) continue;
            report_add_id(report, 292, kFirewallProfileNames[i]);
            append_hresult_detail(report, hr);
            written = false;
        }
        fw->close_policy(fw->context);
        if (written && firewall_verify(wanted, fw, report)) return true;
    }
    report_add_id(report, 296);
    bool ok = netsh_fallback(action, wanted, el, report) && firewall_verify(wanted, fw, report);
    if (!ok && report_is_empty(*report)) report_add_id(report, 288);
    return ok;
}

static void log_report(const wchar_t* what, unsigned mask, bool ok, const NetReport& report) {
    WideString text = {};
    report_text(report, LANGUAGE_ENGLISH, &text);
    log_line(L"firewall %s=%u result=%d %s", what, mask, ok ? 1 : 0, text_of(text));
    release(&text);
}

bool firewall_change(FirewallAction action, const FirewallSystem* fw, const ElevationSystem* el, NetReport* report) {
    report_clear(report);
    if (!el->is_administrator(el->context)) {
        report_add_id(report, 289);
        return false;
    }
    if (action == FIREWALL_LOCK) {
        int states[FIREWALL_PROFILES];
        if (!firewall_read_states(fw, states, report)) return false;
        const unsigned mask = (states[0] != 0 ? 1u : 0u) | (states[1] != 0 ? 2u : 0u) | (states[2] != 0 ? 4u : 0u);
        // With every profile already off there is nothing of the user's to remember: the
        // mask of the first lock stays, so a second lock cannot make a restore keep the
        // firewall off.
        if (mask != 0) {
            const unsigned saved = fw->save_mask(fw->context, mask);
            if (saved != 0) {
                report_add_id(report, 295);
                report_add_system_error(report, saved);
                log_report(L"lock saved-mask", mask, false, *report);
                return false;
            }
        }
        const int wanted[FIREWALL_PROFILES] = {0, 0, 0};
        const bool ok = firewall_set_profiles(action, wanted, fw, el, report);
        log_report(L"lock saved-mask", mask, ok, *report);
        return ok;
    }
    unsigned mask = kMaskAll;
    unsigned stored = 0;
    // A missing value, a value of another type or out of range, and a stored 0 (all
    // profiles were already off, which cannot be the state a user wants back) restore all.
    if (fw->load_mask(fw->context, &stored) && stored < 8 && stored != 0) mask = stored;
    const int wanted[FIREWALL_PROFILES] = {(int)(mask & 1), (int)((mask >> 1) & 1), (int)((mask >> 2) & 1)};
    const bool ok = firewall_set_profiles(action, wanted, fw, el, report);
    log_report(L"restore mask", mask, ok, *report);
    return ok;
}

bool firewall_run_confirmed(FirewallAction action, const FirewallSystem* fw, const ElevationSystem* el,
                            NetReport* report) {
    report_clear(report);
    if (el->is_administrator(el->context)) return firewall_change(action, fw, el, report);
    return firewall_job_run_elevated(action, el, report) == 0;
}

void firewall_declined(NetReport* report) {
    report_clear(report);
    report_add_id(report, 300);
}

void firewall_status(const FirewallSystem* fw, NetReport* report) {
    report_clear(report);
    int states[FIREWALL_PROFILES];
    NetReport reading = {};
    if (!firewall_read_states(fw, states, &reading)) {
        report_add_report(report, reading);
        report_release(&reading);
        return;
    }
    report_release(&reading);
    for (int i = 0; i < FIREWALL_PROFILES; ++i) {
        WideString line = {};
        format(&line, L"%s: %s", kFirewallProfileNames[i], state_text(states[i]));
        report_add_fixed(report, text_of(line));
        release(&line);
    }
    const bool all_off = states[0] == 0 && states[1] == 0 && states[2] == 0;
    const bool all_on = states[0] == 1 && states[1] == 1 && states[2] == 1;
    report_add_id(report, all_off ? 227 : all_on ? 228 : 229);
}

static void log_elevated(FirewallAction action, unsigned code, const NetReport& report) {
    WideString text = {};
    report_text(report, LANGUAGE_ENGLISH, &text);
    log_line(L"firewall elevated action=%d exit=%u %s", (int)action, code, text_of(text));
    release(&text);
}

unsigned firewall_job_run_elevated(FirewallAction action, const ElevationSystem* el, NetReport* report) {
    report_clear(report);
    WideString job = {}, result = {};
    if (!job_files_create(kTagFirewallJob, kTagFirewallResult, &job, &result)) {
        const unsigned error = last_error_code() ? last_error_code() : 1;
        report_add_id_code(report, 299, error);
        log_elevated(action, error, *report);
        release(&job);
        release(&result);
        return error;
    }
    WideString lang = {};
    format(&lang, L"%d", interface_language());
    job_write(text_of(job), L"Job", L"Output", text_of(result));
    job_write(text_of(job), L"Job", L"Action", action == FIREWALL_LOCK ? L"Lock" : L"Restore");
    job_write(text_of(job), L"Job", L"Lang", text_of(lang));
    release(&lang);
    WideString parameters = {};
    assign(&parameters, action == FIREWALL_LOCK ? L"--zan-admin=fwlock " : L"--zan-admin=fwrestore ");
    append_quoted_argument(&parameters, text_of(job));
    const unsigned code = el->run_elevated_self(el->context, text_of(parameters));
    release(&parameters);
    if (code == ELEVATION_CANCELLED) {
        report_add_id(report, 234);
        log_elevated(action, code, *report);
    } else {
        WideString detail = {};
        job_read_lines(text_of(result), L"Result", L"Detail", &detail);
        report_add_fixed(report, text_of(detail));
        release(&detail);
        if (code != 0) {
            if (report_is_empty(*report)) report_add_id_code(report, 299, code);
            if (code != 1) {
                report_add_id(report, 288);
                WideString exit_line = {};
                format(&exit_line, L"Exit code: %u", code);
                report_add_fixed(report, text_of(exit_line));
                release(&exit_line);
            }
        }
        if (!report_is_empty(*report)) log_elevated(action, code, *report);
    }
    delete_file(text_of(job));
    delete_file(text_of(result));
    release(&job);
    release(&result);
    return code;
}

static int refuse(const wchar_t* why, const wchar_t* job_file) {
    log_line(L"firewall job refused: %s (%s)", why, job_file);
    return 87;
}

int firewall_job_handle_with(const wchar_t* job_file, const FirewallSystem* fw, const ElevationSystem* el) {
    WideString result = {}, action_text = {};
    int code = 0;
    if (const wchar_t* why = job_check(job_file, kTagFirewallJob, kTagFirewallResult, &result)) {
        code = refuse(why, job_file);
    } else {
        job_read(job_file, L"Job", L"Action", L"", &action_text);
        if (text_equals(text_of(action_text), L"Lock") != 0 && text_equals(text_of(action_text), L"Restore") != 0)
            code = refuse(L"action is neither Lock nor Restore", job_file);
    }
    if (code == 0) {
        set_interface_language(job_language(job_file));
        const FirewallAction action = text_equals(text_of(action_text), L"Lock") == 0 ? FIREWALL_LOCK : FIREWALL_RESTORE;
        NetReport report = {};
        const bool ok = firewall_change(action, fw, el, &report);
        WideString detail = {};
        report_text(report, interface_language(), &detail);
        const bool written = job_file_create_new(text_of(result)) &&
                             job_write(text_of(result), L"Result", L"Ok", ok ? L"1" : L"0") &&
                             job_write_lines(text_of(result), L"Result", L"Detail", text_of(detail));
        log_line(L"firewall job action=%s ok=%d result-written=%d", text_of(action_text), ok ? 1 : 0, written ? 1 : 0);
        release(&detail);
        report_release(&report);
        code = ok ? 0 : 1;
    }
    release(&result);
    release(&action_text);
    return code;
}
