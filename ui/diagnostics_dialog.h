// ui/diagnostics_dialog.h
// The driver diagnostics viewer: shows a report (with the log path added), copies it to
// the clipboard, opens the log and runs the report again.
#ifndef ZAN_UI_DIAGNOSTICS_DIALOG_H
#define ZAN_UI_DIAGNOSTICS_DIALOG_H

#include <windows.h>

#include "core/wide_string.h"

// Makes the report: a new WideString the viewer frees.
typedef WideString (*DiagnosticsReportSource)();

void diagnostics_dialog(HWND owner, DiagnosticsReportSource make_report);

// The text the viewer shows for a report: report, a blank line, "Log: " and the log
// path; every line feed not preceded by a carriage return gets one. New string.
WideString diagnostics_view_text(const wchar_t* report, const wchar_t* log_path);

// A fixed short report for the screenshots and tests, which need the same text on every
// machine (the real one lists this machine's drivers). New string.
WideString diagnostics_report_pending();

#endif
