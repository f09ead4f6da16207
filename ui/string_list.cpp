// ui/string_list.cpp
#include "ui/string_list.h"

#include "core/heap.h"
#include "core/path.h"

int string_list_grown_capacity(int capacity, int n) {
    if (n <= capacity) return capacity;
    const int doubled = capacity == 0 ? 8 : capacity * 2;
    return doubled > n ? doubled : n;
}

bool string_list_add(StringList* list, const wchar_t* text) {
    const int wanted = string_list_grown_capacity(list->capacity, list->count + 1);
    if (wanted != list->capacity) {
        size_t bytes = 0;
        if (!size_mul((size_t)wanted, sizeof(WideString), &bytes)) return false;
        WideString* grown = static_cast<WideString*>(mem_realloc(list->items, bytes));
        if (!grown) return false;
        list->items = grown;
        list->capacity = wanted;
    }
    WideString copy = {};
    if (!assign(&copy, text ? text : L"")) return false;
    list->items[list->count++] = copy;
    return true;
}

void string_list_remove(StringList* list, int index) {
    if (index < 0 || index >= list->count) return;
    release(&list->items[index]);
    for (int i = index; i + 1 < list->count; ++i) list->items[i] = list->items[i + 1];
    --list->count;
    list->items[list->count] = WideString{};
}

void string_list_clear(StringList* list) {
    for (int i = 0; i < list->count; ++i) release(&list->items[i]);
    list->count = 0;
}

void string_list_free(StringList* list) {
    string_list_clear(list);
    mem_free(list->items);
    list->items = nullptr;
    list->capacity = 0;
}

void string_list_show(HWND dialog, const StringList* list) {
    HWND box = GetDlgItem(dialog, 101);
    if (!box) return;
    SendMessageW(box, LB_RESETCONTENT, 0, 0);
    for (int i = 0; i < list->count; ++i) {
        WideString line = {};
        append_int(&line, i + 1);
        append(&line, L".  ");
        WideString name = path_file_name(text_of(list->items[i]));
        append(&line, text_of(name));
        SendMessageW(box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text_of(line)));
        release(&name);
        release(&line);
    }
}
