// tools/ui_shot/net_shots.cpp
#include "tools/ui_shot/net_shots.h"

#include "core/heap.h"
#include "core/text.h"
#include "net/connection_check.h"
#include "net/net_dialog_services.h"
#include "net/net_post.h"

namespace {

const wchar_t kLocation[] = L"C:\\Users\\Office\\Documents";
const wchar_t kFolder[] = L"C:\\Users\\Office\\Documents\\ZanGroup Scans";

// ---- firewall: Domain and Private on, Public off
long fw_open(void*) { return 0; }
long fw_read(void*, int bit, bool* enabled) {
    *enabled = bit != 4;
    return 0;
}
long fw_write(void*, int, bool) { return 0; }
void fw_close(void*) {}
unsigned fw_save(void*, unsigned) { return 0; }
bool fw_load(void*, unsigned*) { return false; }
const FirewallSystem kFirewall = {nullptr, fw_open, fw_read, fw_write, fw_close, fw_save, fw_load};

bool el_admin(void*) { return true; }
unsigned el_self(void*, const wchar_t*) { return ELEVATION_CANCELLED; }
unsigned el_hidden(void*, const wchar_t*, const wchar_t*, WideString*, unsigned) { return 0; }
const ElevationSystem kElevation = {nullptr, el_admin, el_self, el_hidden};

// ---- share system: the folder exists and the share points at it
bool sh_load(void*) { return true; }
unsigned sh_ensure(void*, const wchar_t*) { return 0; }
bool sh_exists(void*, const wchar_t*) { return true; }
unsigned sh_get(void*, const wchar_t*, WideString* path, WideString* remark) {
    assign(path, kFolder);
    assign(remark, L"");
    return 0;
}
ShareSystem share_system() {
    ShareSystem s = {};
    s.load = sh_load;
    s.ensure_folder = sh_ensure;
    s.folder_exists = sh_exists;
    s.share_get = sh_get;
    return s;
}
const ShareSystem kShare = share_system();

void fill_result(ShareSetupResult* r) {
    r->success = 1;
    assign(&r->folder, kFolder);
    assign(&r->share, L"ZanScans");
    assign(&r->computer, L"OFFICE-PC");
    assign(&r->ip, L"192.168.1.20");
    assign(&r->unc, L"\\\\OFFICE-PC\\ZanScans");
    assign(&r->user, L"scan");
    assign(&r->password, L"4821");
}

WideString suggest(void*) { return wide_copy(L"192.168.1.50"); }
WideString documents(void*) { return wide_copy(kLocation); }

// The check's report as the worker words it for a machine that answers everything.
void check_start(void*, HWND owner, const wchar_t*) {
    ConnectionCheckResult* r = static_cast<ConnectionCheckResult*>(mem_alloc(sizeof(ConnectionCheckResult)));
    if (!r) return;
    r->address_valid = r->ping_ok = r->web_ok = r->port_open = 1;
    r->web_status = 200;
    r->open_port = 80;
    report_add_id(&r->report, 213);
    report_add_id_number(&r->report, 217, 80);
    report_add_id_number(&r->report, 215, 200);
    report_add_blank(&r->report);
    report_add_id(&r->report, 221);
    if (!net_post_record(owner, WM_CONNECTION_CHECK_DONE, 0, r)) connection_check_result_free(r);
}

void share_start(void*, HWND owner, const wchar_t*, const wchar_t*, bool, const wchar_t*) {
    ShareSetupResult* r = static_cast<ShareSetupResult*>(mem_alloc(sizeof(ShareSetupResult)));
    if (!r) return;
    fill_result(r);
    if (!net_post_record(owner, WM_SHARE_SETUP_DONE, 0, r)) share_setup_result_free(r);
}

unsigned watch_start(void*, HWND, const wchar_t*) { return 1; }
void watch_stop(void*, HWND) {}
bool no_shell(void*, const wchar_t*) { return true; }

void load_saved(void*, SavedScanFolder* out) {
    ShareSetupResult r = {};
    fill_result(&r);
    out->ready = true;
    out->everyone = false;
    assign(&out->folder, text_of(r.folder));
    assign(&out->share, text_of(r.share));
    assign(&out->user, text_of(r.user));
    assign(&out->password, text_of(r.password));
    assign(&out->computer, text_of(r.computer));
    assign(&out->ip, text_of(r.ip));
    assign(&out->unc, text_of(r.unc));
    share_setup_result_clear(&r);
}
// A wizard opened for a new setup finds nothing saved.
void load_nothing(void*, SavedScanFolder*) {}
bool save_setup(void*, const ShareSetupResult&) { return true; }
void no_copy(void*, HWND, const wchar_t*) {}

NetDialogServices services(bool saved) {
    return {nullptr,     &kFirewall,  &kElevation, &kShare,   suggest,    documents,
            check_start, share_start, watch_start, watch_stop, no_shell,  saved ? load_saved : load_nothing,
            save_setup,  no_copy};
}

}  // namespace

bool net_shot_open(const wchar_t* name) {
    if (text_equals(name, L"connection") == 0) {
        const NetDialogServices s = services(false);
        connection_check_dialog_with(nullptr, L"", &s);
    } else if (text_equals(name, L"firewall") == 0) {
        const NetDialogServices s = services(false);
        firewall_dialog_with(nullptr, &s);
    } else if (text_equals(name, L"share-entry") == 0) {
        const NetDialogServices s = services(true);
        share_wizard_entry_with(nullptr, &s);
    } else if (text_equals(name, L"share-wizard") == 0 || text_equals(name, L"share-done") == 0) {
        const NetDialogServices s = services(false);
        share_wizard_entry_with(nullptr, &s);
    } else {
        return false;
    }
    return true;
}

int net_shot_action(const wchar_t* name) {
    if (text_equals(name, L"connection") == 0) return 31;   // Check now
    if (text_equals(name, L"share-done") == 0) return 32;   // Create folder and share
    return 0;
}
