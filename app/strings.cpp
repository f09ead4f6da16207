// app/strings.cpp
// The language switch and the lookup; the texts themselves are in strings_table.cpp.
#include "app/strings.h"

static int g_language = LANGUAGE_ARABIC;

int interface_language() {
    return g_language;
}

void set_interface_language(int language) {
    g_language = language != LANGUAGE_ARABIC ? LANGUAGE_ENGLISH : LANGUAGE_ARABIC;
}

const wchar_t* tr_in(int language, int id) {
    // Unsigned, so that a negative id is out of range too.
    if ((unsigned)id >= (unsigned)STRING_COUNT) return L"";
    const int base = language != LANGUAGE_ARABIC ? STRING_COUNT : 0;
    const wchar_t* text = kStringTable[base + id];
    return text ? text : L"";
}

const wchar_t* tr(int id) {
    return tr_in(g_language, id);
}
