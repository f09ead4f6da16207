// net/net_dialogs.h
// The three network tool dialogs the main window opens: the machine connection check,
// the firewall lock/restore and the Scan-to-Folder wizard (which first shows a saved
// setup when one still matches its share). Each runs modally and returns when closed;
// each frees every worker record it receives, also when closed while a worker runs.
#ifndef ZAN_NET_NET_DIALOGS_H
#define ZAN_NET_NET_DIALOGS_H

// Winsock 2 before windows.h: the network modules use it.
#include <winsock2.h>
#include <windows.h>

// `address` may be null or empty: the dialog then suggests the machine's address.
void connection_check_dialog(HWND owner, const wchar_t* address);
void firewall_dialog(HWND owner);
void share_wizard_entry(HWND owner);

#endif
