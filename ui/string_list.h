// ui/string_list.h
// StringList: a growable array of WideString owned by the list (file lists of the
// diagnostics, save, merge and split code), and its display in a dialog's list box 101.
#ifndef ZAN_UI_STRING_LIST_H
#define ZAN_UI_STRING_LIST_H

#include <windows.h>

#include "core/wide_string.h"

struct StringList {
    WideString* items;
    int count;
    int capacity;  // in items
};

// The capacity needed for n items: unchanged when it suffices, otherwise twice the old one
// (8 from 0), or n when that is larger.
int string_list_grown_capacity(int capacity, int n);
// Appends a copy of text. False (list unchanged) when out of memory.
bool string_list_add(StringList* list, const wchar_t* text);
// Frees item index and moves the following items down; an index out of range does nothing.
void string_list_remove(StringList* list, int index);
void string_list_clear(StringList* list);
void string_list_free(StringList* list);
// Refills list box 101 of the dialog with "1.  name", "2.  name"... (file-name parts).
void string_list_show(HWND dialog, const StringList* list);

#endif
