// app/zancli.cpp
// Entry point and command table of zancli.exe. Each family of commands lives in its own
// app/cli_*.cpp file; a new command is one row in kCommands.
#include <windows.h>

#include <ole2.h>
#include <stdio.h>

#include "app/cli.h"
#include "core/text.h"
#include "scan/diagnostics.h"

static int run_help(int argc, wchar_t** argv);
int cli_pdf(int argc, wchar_t** argv);        // app/cli_pdf.cpp
int cli_bench_pdf(int argc, wchar_t** argv);  // app/cli_pdf.cpp
int cli_save(int argc, wchar_t** argv);       // app/cli_save.cpp
int cli_info(int argc, wchar_t** argv);            // app/cli_pdftools.cpp
int cli_merge(int argc, wchar_t** argv);           // app/cli_pdftools.cpp
int cli_split(int argc, wchar_t** argv);           // app/cli_pdftools.cpp
int cli_bench_pdftools(int argc, wchar_t** argv);  // app/cli_pdftools.cpp
int cli_devices(int argc, wchar_t** argv);  // app/cli_scan.cpp
int cli_scan(int argc, wchar_t** argv);     // app/cli_scan.cpp
int cli_escl_add(int argc, wchar_t** argv);     // app/cli_scan.cpp
int cli_escl_remove(int argc, wchar_t** argv);  // app/cli_scan.cpp
int cli_diag(int argc, wchar_t** argv);     // app/cli_diag.cpp

int cli_analyze(int argc, wchar_t** argv);      // app/cli_image.cpp
int cli_process(int argc, wchar_t** argv);      // app/cli_image.cpp
int cli_bench_image(int argc, wchar_t** argv);  // app/cli_image.cpp
int cli_bench_store(int argc, wchar_t** argv);  // app/cli_store.cpp
int cli_check(int argc, wchar_t** argv);        // app/cli_net.cpp
int cli_watch(int argc, wchar_t** argv);        // app/cli_net.cpp

static const CliCommand kCommands[] = {
    {L"help", L"help                      list the commands", run_help},
    {L"info", L"info FILE.pdf             print pages=N, or the reader's error", cli_info},
    {L"merge", L"merge OUT.pdf INPUT...    join PDFs and images, in order, into OUT.pdf", cli_merge},
    {L"split", L"split IN.pdf OUTDIR [--every N | --ranges TEXT]  one file per page, per N pages or per range",
     cli_split},
    {L"bench-pdftools", L"bench-pdftools DIR merge|split  time and peak memory of merging 50 x 20 pages, "
                        L"then splitting the result every 10 pages", cli_bench_pdftools},
    {L"devices", L"devices                   list the scanners (TWAIN, WIA, eSCL copiers): key, kind, manager mask, name",
     cli_devices},
    {L"scan", L"scan [--device KEY|eSCL:HOST[:PORT]] [--dpi N] [--mode color|gray|bw] [--source glass|feeder|duplex] "
              L"[--paper a4|a3|a5|legal|letter] [--brightness N] [--contrast N] [--threshold N] [--driver-ui] "
              L"[--cancel-after N] [--cancel-at-status N] OUT.pdf|OUT.png  (prints each status line)", cli_scan},
    {L"escl-add", L"escl-add ADDRESS          remember a network copier (HOST[:PORT] or URL); prints the saved addresses",
     cli_escl_add},
    {L"escl-remove", L"escl-remove ADDRESS       forget a saved network copier", cli_escl_remove},
    {L"diag", L"diag                      the driver diagnostics report", cli_diag},
    {L"pdf", L"pdf [--level 0|1|2] [--mode color|gray|bw] [--password PW] [--cipher aes|rc4] [--title T] "
             L"[--words FILE] OUT.pdf IMAGE...  images to one PDF; FILE lines: PAGE X Y W H TEXT", cli_pdf},
    {L"save", L"save --format pdf|jpg|png|tiff [--naming ask|datetime|counter] [--prefix P] [--counter N] "
              L"[--watermark TEXT] [--opacity N] [--level 0|1|2] [--password PW] [--cipher aes|rc4] "
              L"[--mode color|gray|bw] [--budget-mb N] [--stats] TARGET|FOLDER IMAGE...  the Save button's naming "
              L"and worker; ask names TARGET, the others a file in FOLDER", cli_save},
    {L"bench-pdf", L"bench-pdf DIR [PAGES]     pages per second of the PDF writer per level, without and with AES, "
                   L"and peak memory", cli_bench_pdf},
    {L"analyze", L"analyze IMAGE...          per image: FILE blank=0|1 skew=DEG content=X,Y,W,H|none", cli_analyze},
    {L"process", L"process [--deskew] [--crop] [--rotate90 N] IN OUT.png  the arrival steps of a scanned page, "
                 L"then N clockwise quarter turns, written as PNG", cli_process},
    {L"bench-image", L"bench-image [RUNS]        median milliseconds of the page operations on a 300 dpi A4 page",
     cli_bench_image},
    {L"bench-store", L"bench-store [PAGES] [--budget-mb N] [--compress] [--out DIR]  PAGES A4 colour pages "
                     L"(500) through the page store and into one PDF (kept in DIR when given): time per step, pin cost, peak memory",
     cli_bench_store},
    {L"check", L"check HOST [--ports P,...] [--web-port P] [--no-echo]  the machine connection check's report",
     cli_check},
    {L"watch", L"watch FOLDER [--timeout-ms N]  wait for a new file: arrived NAME, timeout or error", cli_watch},
};

static void write_line(FILE* stream, const wchar_t* text) {
    ByteBuffer b = {};
    append_utf8(&b, text);
    append_bytes(&b, "\n", 1);
    fwrite(b.data, 1, (size_t)b.length, stream);
    fflush(stream);
    release(&b);
}

void cli_print(const wchar_t* text) {
    write_line(stdout, text);
}

void cli_error(const wchar_t* text) {
    write_line(stderr, text);
}

int cli_usage(const wchar_t* command) {
    for (const CliCommand& c : kCommands) {
        if (text_equals(c.name, command) == 0) {
            WideString line = {};
            format(&line, L"usage: zancli %s", c.usage);
            cli_error(text_of(line));
            release(&line);
        }
    }
    return 2;
}

static int run_help(int, wchar_t**) {
    for (const CliCommand& c : kCommands) {
        WideString line = {};
        format(&line, L"zancli %s", c.usage);
        cli_print(text_of(line));
        release(&line);
    }
    return 0;
}

int wmain(int argc, wchar_t** argv) {
    int probe_code = 0;
    if (diagnostics_probe_main(argc, argv, &probe_code)) return probe_code;
    if (argc < 2) {
        run_help(0, nullptr);
        return 2;
    }
    for (const CliCommand& c : kCommands) {
        if (text_equals(c.name, argv[1]) == 0) {
            OleInitialize(nullptr);
            const int code = c.run(argc - 2, argv + 2);
            OleUninitialize();
            return code;
        }
    }
    WideString line = {};
    format(&line, L"unknown command: %s (see zancli help)", argv[1]);
    cli_error(text_of(line));
    release(&line);
    return 2;
}
