// scan/diagnostics.h
// The driver diagnostics report: operating system and bitness, the TWAIN source-manager
// files, what the managers listed at the last refresh, and every TWAIN driver file (".ds")
// with its machine type, whether it loads, answers an identity query and was listed.
// Drivers are queried in a child process of ours with a time limit, so a driver that
// crashes or hangs costs one line of the report, never the program. The report text is
// new and belongs to the caller; it is English, as support staff read it.
#ifndef ZAN_SCAN_DIAGNOSTICS_H
#define ZAN_SCAN_DIAGNOSTICS_H

#include "core/wide_string.h"

const int PE_MACHINE_I386 = 0x014C;
const int PE_MACHINE_AMD64 = 0x8664;
const int PE_MACHINE_ARM64 = 0xAA64;

// ---- portable parts (diagnostics.cpp)
// "32-bit (x86)", "64-bit (x64)", "ARM64", "unreadable" (-1) or "machine 0x%x".
WideString machine_text(int machine);
// True when key is the key of one line of the last TWAIN listing ("  KEY  [DSM mask n]"
// lines), ignoring case: a key that is only part of a listed key is not listed.
bool diagnostics_key_listed(const wchar_t* listing, const wchar_t* key);

// What querying one driver file found.
const int DRIVER_LOAD_FAILED = 1;       // load_error tells why
const int DRIVER_NO_ENTRY = 2;          // loads, exports no DS_Entry
const int DRIVER_IDENTITY_FAILED = 3;   // DS_Entry returned identity_rc
const int DRIVER_IDENTITY_OK = 4;       // key holds Manufacturer|ProductFamily|ProductName
const int DRIVER_CRASHED = 5;           // the query process ended without an answer (exit_code)
const int DRIVER_HUNG = 6;              // the query did not answer in time and was stopped
const int DRIVER_NOT_QUERIED = 7;       // a scan was running
struct DriverProbe {
    int outcome;
    unsigned load_error;
    int identity_rc;
    unsigned exit_code;
    WideString key;
};
// Appends the lines that follow a driver file's "* path [machine]" line for the probe
// (drivers of the process's own machine) or for a driver of another machine.
void diagnostics_probe_lines(const DriverProbe& probe, const wchar_t* listing, WideString* out);
void diagnostics_foreign_lines(int machine, WideString* out);

#ifdef _WIN32
// ---- Windows parts (diagnostics_win32.cpp)
struct DriverFileList {
    WideString* paths;
    int count;
    int capacity;
};
// Full paths of the ".ds" files (extension compared ignoring case) in folder and, down to
// depth further levels, its subfolders, in directory order. Appends to *files.
void find_driver_files(const wchar_t* folder, int depth, DriverFileList* files);
void driver_file_list_release(DriverFileList* files);
// The machine field of a Windows executable's PE header, or -1.
int pe_machine(const wchar_t* path);
// The whole report, lines ended by "\r\n".
WideString diagnostics_report();
// The child side of a driver query: when argv[1] is "--zan-probe-ds=<path>", loads the
// driver, asks its identity, prints the answer on stdout and sets *exit_code; the caller
// then exits. False for any other command line.
bool diagnostics_probe_main(int argc, wchar_t** argv, int* exit_code);
#endif

#endif
