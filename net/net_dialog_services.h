// net/net_dialog_services.h
// Everything the network tool dialogs reach outside their own windows: the workers, the
// firewall, share and elevation seams, the saved setup, the shell and the clipboard. The
// program passes the Windows services; tests and the screenshot tool pass stand-ins that
// answer with fixed results. The services are borrowed for the dialog's life.
#ifndef ZAN_NET_NET_DIALOG_SERVICES_H
#define ZAN_NET_NET_DIALOG_SERVICES_H

// Winsock 2 before windows.h: the network modules use it.
#include <winsock2.h>
#include <windows.h>

#include "core/wide_string.h"
#include "net/elevation.h"
#include "net/firewall.h"
#include "net/scan_folder.h"
#include "net/share_setup.h"

struct NetDialogServices {
    void* context;
    const FirewallSystem* firewall;
    const ElevationSystem* elevation;
    // The share setup's system: the wizard creates the folder, checks folders and shares.
    const ShareSystem* share;
    WideString (*suggest_machine_address)(void* context);
    WideString (*documents_folder)(void* context);
    // The workers: each delivers exactly one record to `owner` (WM_APP+60, +61, +62).
    void (*connection_check_start)(void* context, HWND owner, const wchar_t* address);
    void (*share_setup_start)(void* context, HWND owner, const wchar_t* folder, const wchar_t* share, bool everyone,
                              const wchar_t* password);
    unsigned (*folder_watch_start)(void* context, HWND owner, const wchar_t* folder);
    void (*folder_watch_stop_and_drain)(void* context, HWND owner);
    // The shell's "open" of a folder or web address: false when the shell refused (its
    // result was 32 or less).
    bool (*shell_open)(void* context, const wchar_t* target);
    void (*load_saved)(void* context, SavedScanFolder* out);
    bool (*save_setup)(void* context, const ShareSetupResult& result);
    void (*copy_text)(void* context, HWND owner, const wchar_t* text);
};

// The program's services (shared, never freed).
const NetDialogServices* net_dialog_services_windows();

// The dialogs on the given services.
void connection_check_dialog_with(HWND owner, const wchar_t* address, const NetDialogServices* services);
void firewall_dialog_with(HWND owner, const NetDialogServices* services);
void share_wizard_entry_with(HWND owner, const NetDialogServices* services);

// `text` as CF_UNICODETEXT on the clipboard, owned by `owner`; nothing when the clipboard
// cannot be opened.
void copy_text_to_clipboard(HWND owner, const wchar_t* text);

#endif
