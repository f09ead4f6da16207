// app/version.h
// The program's name and version as the log and the dialogs show them.
#ifndef ZAN_APP_VERSION_H
#define ZAN_APP_VERSION_H

const wchar_t kProductName[] = L"Zan Group Scanner";
const wchar_t kVersionText[] = L"2.1.5";

#endif
