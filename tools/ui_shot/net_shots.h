// tools/ui_shot/net_shots.h
// The network tool dialogs for the screenshot tool, on stand-in services with fixed
// results: no network, firewall, account or share of the machine is touched, and every
// picture shows the same values (\\OFFICE-PC\ZanScans, 192.168.1.20, "scan", 4821).
#ifndef ZAN_TOOLS_UI_SHOT_NET_SHOTS_H
#define ZAN_TOOLS_UI_SHOT_NET_SHOTS_H

// True when `name` is one of: connection (after a check), firewall, share-entry (the
// saved setup), share-wizard (as it opens), share-done (after a successful setup). Runs
// the dialog until the tool closes it.
bool net_shot_open(const wchar_t* name);
// The command the tool sends the dialog before photographing it (the button that brings
// the dialog into the pictured state), or 0.
int net_shot_action(const wchar_t* name);

#endif
