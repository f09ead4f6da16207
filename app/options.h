// app/options.h
// The command line: the role decision, the elevated role's job table, the interactive
// options, the --show= page table and the DPI rule. Pure logic over an argument vector;
// app/main.cpp feeds it CommandLineToArgvW's result.
#ifndef ZAN_APP_OPTIONS_H
#define ZAN_APP_OPTIONS_H

#include "core/wide_string.h"

// ---- role decision
// Index of the first argument (from 1 on) starting with "--zan-admin=" ignoring case,
// or -1 when the process is the interactive application.
int find_admin_argument(int argc, wchar_t** argv);

enum AdminJob { ADMIN_JOB_NONE, ADMIN_JOB_FIREWALL, ADMIN_JOB_SHARE };
// The job a name selects ("fwlock", "fwrestore", "share", exact case); NONE otherwise.
AdminJob admin_job_kind(const wchar_t* job_name);
// The exit code of a job that cannot run: 87 for a firewall job without a job file,
// 1 for the share job without one and for unknown names. 0 when the job can run.
int admin_job_refusal(AdminJob job, int argc);

// ---- interactive options
struct StartOptions {
    bool language_given;     // a --lang= option was seen
    int language;            // 0 Arabic, 1 English (valid when language_given)
    bool test_enum;          // --test-enum
    WideString test_scan;    // --test-scan <path>
    WideString demo_image;   // --demo <file>
    int demo_pages;          // 4 with --demo
    const wchar_t* show;     // --show=<name>: points into argv, which the caller keeps alive
};
// Examines argv[1..argc) left to right; the last repeated option wins.
void parse_options(int argc, wchar_t** argv, StartOptions* out);
void release_options(StartOptions* options);

// ---- --show= and F1
// The main window command of a page name (exact case), or 0 for an unknown name.
int show_page_command(const wchar_t* name);

// ---- screen DPI
// system_dpi: GetDpiForSystem's answer (0 when not exported); dc_dpi: LOGPIXELSX.
int choose_screen_dpi(int system_dpi, int dc_dpi);

#endif
