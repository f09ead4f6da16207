// ui/dialog_texts.h
// The few dialog texts kept beside the string table rather than in it: the confirmation
// caption and its Yes/No buttons, and the long help text, each in Arabic and English.
// The pointers refer to constant data.
#ifndef ZAN_UI_DIALOG_TEXTS_H
#define ZAN_UI_DIALOG_TEXTS_H

// The Yes and No captions of a language (0 Arabic, anything else English).
const wchar_t* yes_text_in(int language);
const wchar_t* no_text_in(int language);
// Both follow the current interface language.
const wchar_t* confirm_title_text();
// The help text, ending with the contact line (phone and web address of the deployment).
const wchar_t* help_text();

#endif
