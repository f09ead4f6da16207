// ui/merge_dialog.h
// The merge dialog: a list of PDFs and images (add, remove, up, down) joined in that order
// into one new PDF, which the file browser then shows. The merge runs on a worker with a
// progress bar; Close becomes Cancel meanwhile.
#ifndef ZAN_UI_MERGE_DIALOG_H
#define ZAN_UI_MERGE_DIALOG_H

#include <windows.h>

// Runs the dialog modally over owner and returns when it is closed.
void open_merge_dialog(HWND owner);

#endif
