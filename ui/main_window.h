// ui/main_window.h
// The main window (class ZanMain). It owns the page list and the device list, and saves
// the settings when it is destroyed.
#ifndef ZAN_UI_MAIN_WINDOW_H
#define ZAN_UI_MAIN_WINDOW_H

#include <windows.h>

#include "app/options.h"

// Private messages (WM_APP = 0x8000). Objects passed in lParam belong to the receiver.
const UINT WM_ZAN_START_ENUMERATION = WM_APP + 50;

// The network tools the side panel opens. They live in a layer above the interface
// toolkit, so the program hands them in before it makes the window; a missing one leaves
// its button without effect.
struct MainTools {
    void (*connection_check)(HWND owner, const wchar_t* address);
    void (*firewall)(HWND owner);
    void (*share_wizard)(HWND owner);
};
void main_window_set_tools(const MainTools& tools);

// Registers the class and creates and shows the window. Null on failure.
HWND main_window_create(HINSTANCE instance, const StartOptions* options, int show_command);
// The main window, or null when it does not exist (yet or any more).
HWND main_window();

#endif
