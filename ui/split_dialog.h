// ui/split_dialog.h
// The split dialog: one PDF cut into files of one page, of every N pages or of typed
// ranges, written to a "_split" folder beside it, which is then opened. The split runs on
// a worker with a progress bar; Close becomes Cancel meanwhile. Files of the same names
// already in that folder are replaced only after the user agrees.
#ifndef ZAN_UI_SPLIT_DIALOG_H
#define ZAN_UI_SPLIT_DIALOG_H

#include <windows.h>

// Runs the dialog modally over owner and returns when it is closed.
void open_split_dialog(HWND owner);

#endif
