// net/share_setup.h
// Scan to Folder: the destination folder, the hidden "scan" account (or the Everyone
// fallback), the network category, the sharing rule of the firewall, the folder's
// permissions and the share, verified at the end. Every step leaves a line in the step
// report and the log. Runs in-process for an administrator, otherwise in the elevated
// instance, after which this process verifies folder and share again.
#ifndef ZAN_NET_SHARE_SETUP_H
#define ZAN_NET_SHARE_SETUP_H

// Winsock 2 before windows.h: the setup reads this computer's address through it.
#include <winsock2.h>
#include <windows.h>

#include "core/wide_string.h"
#include "net/elevation.h"
#include "net/net_report.h"

const UINT WM_SHARE_SETUP_DONE = WM_APP + 61;

extern const wchar_t kScanAccount[];          // "scan"
extern const wchar_t kScanAccountComment[];   // marks the account as this program's
extern const wchar_t kShareRemark[];          // marks a share as this program's
extern const wchar_t kScanFolderName[];       // "ZanGroup Scans"

// Posted with WM_APP+61; the receiver frees it with share_setup_result_free.
struct ShareSetupResult {
    uint8_t success;            // no step failed and folder and share were verified
    uint8_t everyone;
    uint8_t existing_account;   // the account existed; only its password was set
    unsigned error;             // 0, or the code of the failing step (3 / 53 from verification)
    WideString folder, share, computer, ip, unc, user, password;
    NetReport report;
};
void share_setup_result_free(ShareSetupResult* result);
void share_setup_result_clear(ShareSetupResult* result);

// Where the setup meets Windows: netapi32, the security functions, the registry, the
// Network List Manager, the folder and the random source. Codes are Win32/NERR codes.
struct ShareSystem {
    void* context;
    bool (*load)(void* context);   // the netapi32 functions are present
    unsigned (*ensure_folder)(void* context, const wchar_t* folder);
    bool (*folder_exists)(void* context, const wchar_t* folder);
    // NetUserGetInfo level 1: 0 with the account's comment, 2221 when missing.
    unsigned (*user_get)(void* context, const wchar_t* name, WideString* comment);
    unsigned (*user_add)(void* context, const wchar_t* name, const wchar_t* password, const wchar_t* comment);
    unsigned (*user_set_password)(void* context, const wchar_t* name, const wchar_t* password);
    // Adds the member to the local Users group (found by its SID when renamed); an
    // existing membership counts as 0.
    unsigned (*users_group_add)(void* context, const wchar_t* name);
    void (*hide_account)(void* context, const wchar_t* name);
    // Enables the built-in Guest account (found by its RID under any name).
    unsigned (*guest_enable)(void* context);
    void (*everyone_registry)(void* context);
    long (*networks_to_private)(void* context);   // HRESULT of listing the networks
    bool (*account_sid)(void* context, const wchar_t* name, WideString* sid);
    unsigned (*set_folder_dacl)(void* context, const wchar_t* folder, const wchar_t* sddl);
    unsigned (*share_add)(void* context, const wchar_t* share, const wchar_t* folder, const wchar_t* sddl);
    unsigned (*share_get)(void* context, const wchar_t* share, WideString* path, WideString* remark);
    unsigned (*share_set)(void* context, const wchar_t* share, const wchar_t* folder, const wchar_t* sddl);
    unsigned (*share_delete)(void* context, const wchar_t* share);
    void (*computer_name)(void* context, WideString* name);
    void (*local_ip)(void* context, WideString* ip);
    bool (*random_bytes)(void* context, void* bytes, int count);
};
const ShareSystem* share_system_windows();

// ---- the setup
// 4 to 6 random digits, never all '0'. False (and empty) when the random source fails.
bool generate_scan_password(const ShareSystem* sys, WideString* password);
// The privileged steps on `result` (its password is the one to set).
void share_setup_privileged(ShareSetupResult* result, const wchar_t* folder, const wchar_t* share, bool everyone,
                            const ShareSystem* sys, const ElevationSystem* el);
// The worker's whole run on the calling thread: password, in-process or elevated steps,
// the verification in this process. Fills a zeroed result.
void share_setup_run(ShareSetupResult* result, const wchar_t* folder, const wchar_t* share, bool everyone,
                     const wchar_t* password, const ShareSystem* sys, const ElevationSystem* el);
// Starts the worker on the Windows services; one WM_APP+61 reaches the owner.
void share_setup_start(HWND owner, const wchar_t* folder, const wchar_t* share, bool everyone, const wchar_t* password);

// ---- paths and names
void normalize_folder_path(WideString* path);
bool same_folder_path(const wchar_t* a, const wchar_t* b);
bool share_path_matches(const wchar_t* share, const wchar_t* folder, const ShareSystem* sys);
// 1 to 80 ASCII letters, digits, '-' or '_'.
bool share_name_valid(const wchar_t* share);
// "X:\..." with no empty, "." or ".." part.
bool folder_path_acceptable(const wchar_t* folder);
// No existing part of the path is a link (junction, symbolic link, mount point).
bool folder_path_has_no_links(const wchar_t* folder);

// ---- the elevated exchange
unsigned share_job_run_elevated(const wchar_t* folder, const wchar_t* share, bool everyone, const wchar_t* password,
                                ShareSetupResult* result, const ElevationSystem* el);
int share_job_handle_with(const wchar_t* job_file, const ShareSystem* sys, const ElevationSystem* el);

#endif
