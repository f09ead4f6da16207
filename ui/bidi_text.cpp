// ui/bidi_text.cpp
#include "ui/bidi_text.h"

#include "app/strings.h"

bool bidi_append_ltr(WideString* out, const wchar_t* value, int language) {
    if (language != LANGUAGE_ARABIC) return append(out, value);
    return append_char(out, BIDI_LRE) && append(out, value) && append_char(out, BIDI_PDF);
}

bool bidi_append_marked_parentheses(WideString* out, const wchar_t* line, int language) {
    if (language != LANGUAGE_ARABIC) return append(out, line);
    bool ok = true;
    for (const wchar_t* p = line ? line : L""; *p && ok; ++p) {
        if (*p == L'(') ok = append_char(out, BIDI_LRM);
        ok = ok && append_char(out, *p);
        if (*p == L')') ok = ok && append_char(out, BIDI_LRM);
    }
    return ok;
}
