// app/strings.h
// The interface language and the bilingual string table: 303 ids, each with one Arabic
// and one English text compiled into read-only data. tr() returns pointers into that
// table; nobody frees them.
#ifndef ZAN_APP_STRINGS_H
#define ZAN_APP_STRINGS_H

// ---- the interface language
const int LANGUAGE_ARABIC = 0;
const int LANGUAGE_ENGLISH = 1;
// 0 Arabic, 1 English. Layout code reads it to mirror the windows for Arabic.
int interface_language();
// Every value but 0 counts as English.
void set_interface_language(int language);

// ---- the table
const int STRING_COUNT = 316;
// Entries 0..315 are the Arabic texts of ids 0..315, entries 316..631 the English ones.
extern const wchar_t* const kStringTable[2 * STRING_COUNT];
// The text of id in the current language, never null; "" for an id outside 0..315.
const wchar_t* tr(int id);
// The text of id in the given language (0 Arabic, anything else English).
const wchar_t* tr_in(int language, int id);

#endif
