// net/elevation.h
// Where the network tools meet Windows' rights: the administrator test, starting this
// program elevated through the UAC prompt, and running a console program (netsh) hidden
// with a time limit. Tests hand the tools a recording stand-in instead of the Windows one.
#ifndef ZAN_NET_ELEVATION_H
#define ZAN_NET_ELEVATION_H

#include "core/wide_string.h"

// Exit codes of the elevated exchange.
const unsigned ELEVATION_CANCELLED = 1223;   // the user declined the UAC prompt
const unsigned ELEVATION_NO_PROCESS = 31;    // no process handle, or no exit code
const unsigned HIDDEN_PROCESS_TIMED_OUT = 128;

struct ElevationSystem {
    void* context;
    // Member of the built-in Administrators group (S-1-5-32-544) in the current token.
    bool (*is_administrator)(void* context);
    // Starts this program with "runas" and `parameters`, waits without a time limit and
    // returns its exit code; the launch error when it did not start (1223 declined), 31
    // when there is no process handle or exit code.
    unsigned (*run_elevated_self)(void* context, const wchar_t* parameters);
    // Runs `program` hidden with `arguments`. With `output`, standard output and error are
    // captured, converted from the OEM code page and trimmed. The time limit holds while
    // the output is read: a program that exceeds it is ended and 128 returned. Otherwise
    // the program's exit code, or the creation error.
    unsigned (*run_hidden_process)(void* context, const wchar_t* program, const wchar_t* arguments,
                                   WideString* output, unsigned limit_ms);
};

// The Windows implementation (shared, never freed).
const ElevationSystem* elevation_system_windows();

// Trims captured console output: trailing CR, LF and blanks, then leading blanks.
void trim_console_output(WideString* text);
// Appends a double quote, text with a backslash before each double quote in it, and a
// closing double quote.
void append_quoted_argument(WideString* out, const wchar_t* text);
// The Windows folder joined with "System32" and "netsh.exe".
WideString netsh_path();

#endif
