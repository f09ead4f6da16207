// ui/merge_split_rules.h
// What the merge and split dialogs decide without a window: moving entries of the file
// list, reading the N field, the split's output folder and which of its files exist
// already, and the few texts these dialogs keep beside the string table (both languages).
// Every WideString returned is new and the caller frees it.
#ifndef ZAN_UI_MERGE_SPLIT_RULES_H
#define ZAN_UI_MERGE_SPLIT_RULES_H

#include "core/wide_string.h"
#include "output/pdf_message.h"
#include "ui/string_list.h"

// ---- the merge list
// Swaps entry index with its neighbour (delta -1 up, +1 down) and returns the entry's new
// index; an entry that cannot move (first up, last down, none selected) stays where it is.
int merge_list_move(StringList* list, int index, int delta);
// Removes entry index and returns the selection after it: the same position, or the new
// last entry, or -1 when the list is empty. An index out of range removes nothing (-1).
int merge_list_remove(StringList* list, int index);
// True when output names the same file as one of the inputs (the merge would overwrite a
// file it still has to read).
bool merge_output_is_input(const StringList* inputs, const wchar_t* output);

// ---- split
// The N field: its leading digits; none, or a value below 2, gives 1 (one page per file).
int split_n_of(const wchar_t* text);
// The input's folder, "\", the input's name without extension and "_split".
WideString split_output_folder(const wchar_t* input);
// How many of the files this split will write exist already in folder. -1 when the input
// cannot be read or gives no range (error then holds the split's own message).
int split_existing_parts(const wchar_t* input, const wchar_t* folder, int mode, int n, const wchar_t* ranges_text,
                         PdfMessage* error);

// ---- the folder the file choosers start in: MergeDir, else SaveDir
const wchar_t* merge_split_start_folder(const wchar_t* merge_dir, const wchar_t* save_dir);

// ---- texts beside the string table (language 0 Arabic, anything else English)
// "%d file(s) of this split already exist in:\n<folder>\nReplace them?"
WideString split_replace_question(int language, int count, const wchar_t* folder);
// "The merge was stopped. No file was written."
WideString merge_stopped_text(int language);
// "The split was stopped after %d file(s) in:\n<folder>"
WideString split_stopped_text(int language, int count, const wchar_t* folder);

#endif
