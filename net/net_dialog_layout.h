// net/net_dialog_layout.h
// Where the controls of the network tool dialogs go: pure functions of the client size,
// the DPI and the language. Positions are designed at 96 DPI for English; in Arabic a
// control at x with width w moves to client width - x - w, so each Arabic dialog is the
// English one's mirror (the painted header icons keep their own Arabic places).
#ifndef ZAN_NET_NET_DIALOG_LAYOUT_H
#define ZAN_NET_NET_DIALOG_LAYOUT_H

// Winsock 2 before windows.h: the network modules use it.
#include <winsock2.h>
#include <windows.h>

// Client sizes at 96 DPI.
const int CONNECTION_DIALOG_W = 660, CONNECTION_DIALOG_H = 560;
const int FIREWALL_DIALOG_W = 620, FIREWALL_DIALOG_H = 420;
const int SAVED_SETUP_DIALOG_W = 720, SAVED_SETUP_DIALOG_H = 560;
const int WIZARD_DIALOG_W = 780, WIZARD_DIALOG_H = 820;

// ---- machine connection check
struct ConnectionDialogLayout {
    RECT band;          // the tinted header band
    RECT icon, title;   // painted in the band
    RECT label, address, check, open_page, tip, results, close;
};
ConnectionDialogLayout connection_dialog_layout(int client_w, int client_h, int dpi, int language);

// ---- firewall
struct FirewallDialogLayout {
    RECT icon, title;   // painted
    RECT status, lock, restore, run_again, note, close;
};
// needed: the pixel widths Lock and Restore need (or null): Lock grows and Restore moves
// on by as much, Restore grows up to the far margin.
FirewallDialogLayout firewall_dialog_layout(int client_w, int client_h, int dpi, int language, const int* needed);

// ---- the saved Scan-to-Folder setup
struct SavedSetupLayout {
    RECT title, note, details, open_folder, resetup, close;
};
SavedSetupLayout saved_setup_layout(int client_w, int client_h, int dpi, int language);

// ---- the Scan-to-Folder wizard
// A work area lower than the designed client (a 768-pixel laptop screen, 144 DPI) gives
// the dialog less height: the explanation, which scrolls, gives up the difference (down
// to 60 units), then the status (down to 44), so the bottom row stays on screen and
// nothing overlaps. needed[WIZARD_NEEDS] are the pixel widths "Browse...", "Copy all
// details" and "Watch for a test file" need for their icon and caption in either language
// (0 when unknown): Browse grows and the share edit after it gives up the width (down to
// 100 units); Copy and Watch grow into the free part of their rows. The password hint
// wraps on two lines beside the password edit.
enum { WIZARD_NEED_BROWSE, WIZARD_NEED_COPY, WIZARD_NEED_WATCH, WIZARD_NEEDS };
struct WizardLayout {
    RECT title, location_label, share_label, location, browse, share, preview;
    RECT ip_label, ip, open_page, mode_label, dedicated, everyone;
    RECT password_label, password_hint, password, create, copy;
    RECT explanation, status, open_folder, watch, close;
};
WizardLayout wizard_layout(int client_w, int client_h, int dpi, int language, const int* needed);

#endif
