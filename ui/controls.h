// ui/controls.h
// The program's own control window classes: ZanBtn (buttons), ZanScroll (scrolling
// panels) and ZanDlg (the dialog frame).
#ifndef ZAN_UI_CONTROLS_H
#define ZAN_UI_CONTROLS_H

#include <windows.h>

// Registers the three classes; false if any registration fails.
bool register_control_classes(HINSTANCE instance);

#endif
