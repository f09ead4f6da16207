// ui/help_dialog.h
// The help dialog: product name, version and logo, the help text of the current
// language, and the service links (messaging, web site, drivers page).
#ifndef ZAN_UI_HELP_DIALOG_H
#define ZAN_UI_HELP_DIALOG_H

#include <windows.h>

#include "core/wide_string.h"

void help_dialog(HWND owner);

// The help text as the dialog's text box shows it in a language (new string).
WideString help_view_text(const wchar_t* text, int language);

#endif
