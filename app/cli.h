// app/cli.h
// zancli.exe, the console companion: one function per subcommand. Each prints one line
// per result on stdout, errors on stderr, and returns the exit code: 0 success,
// 1 failure, 2 usage error. argv[0] is the subcommand's first argument.
#ifndef ZAN_APP_CLI_H
#define ZAN_APP_CLI_H

#include <stdint.h>

#include "core/wide_string.h"
#include "image/page_image.h"

struct CliCommand {
    const wchar_t* name;
    const wchar_t* usage;   // one line for "zancli help"
    int (*run)(int argc, wchar_t** argv);
};

// ---- output helpers (UTF-8 on the console or in a pipe)
void cli_print(const wchar_t* text);   // text and a line break on stdout
void cli_error(const wchar_t* text);   // text and a line break on stderr
// A usage error: prints the command's usage to stderr and returns 2.
int cli_usage(const wchar_t* command);
// Puts the WIA stand-in named by ZAN_WIA_MANAGER in place of the system's manager.
void cli_wia_setup();
// The eSCL stand-ins of tests: ZAN_ESCL_DISCOVERY names a "name|url|uuid" file that takes
// the place of DNS-SD browsing; ZAN_ESCL_TIMEOUT_MS shortens the wait for a copier.
void cli_escl_setup();

// ---- shared by the commands that read images (app/cli_pdf.cpp)
// The decoded image file converted by mode ("color", "gray" or "bw", threshold 128);
// a new page or null.
PageImage* cli_load_page(const wchar_t* path, const wchar_t* mode);
// The process's peak private bytes (peak pagefile usage) so far.
uint64_t cli_peak_private_bytes();

#endif
