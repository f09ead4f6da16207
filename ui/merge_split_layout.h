// ui/merge_split_layout.h
// Where the controls of the merge and split dialogs go: pure functions of the client size,
// the DPI, the language and the widths the bottom-row captions need, in the manner of
// dialog_layout. Positions are given at 96 DPI for English; the Arabic dialog is the
// English one mirrored rectangle by rectangle.
#ifndef ZAN_UI_MERGE_SPLIT_LAYOUT_H
#define ZAN_UI_MERGE_SPLIT_LAYOUT_H

#include <windows.h>

#include "ui/dialog_layout.h"

// ---- the bottom row of both dialogs: the primary button 18 from the trailing edge (right in
// English), Close 10 further in; each grows to what its caption needs.
extern const RowButtonSpec kMergeButtons[2];   // Merge and save 170, Close 110
extern const RowButtonSpec kSplitButtons[2];   // Split 120, Close 110

// ---- merge: client 620 x 520
const int MERGE_CLIENT_W = 620;
const int MERGE_CLIENT_H = 520;
const int MERGE_COLUMN_BUTTONS = 4;   // Add, Remove, Up, Down
struct MergeLayout {
    RECT heading, list;
    RECT column[MERGE_COLUMN_BUTTONS];
    RECT progress;   // under the list, shown while a merge runs
    RECT merge, close;
};
// needed: Merge and save, Close.
MergeLayout merge_layout(int client_w, int client_h, const int* needed, int dpi, int language);

// ---- split: client 600 x 430
const int SPLIT_CLIENT_W = 600;
const int SPLIT_CLIENT_H = 430;
struct SplitLayout {
    RECT label, path, browse;
    RECT heading, each_page, every_n, ranges;   // heading and the three radio buttons
    RECT n_field, ranges_field;
    RECT progress;   // under the ranges field, shown while a split runs
    RECT split, close;
};
// needed: Split, Close.
SplitLayout split_layout(int client_w, int client_h, const int* needed, int dpi, int language);

#endif
