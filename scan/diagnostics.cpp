// scan/diagnostics.cpp
// The portable lines of the driver diagnostics report.
#include "scan/diagnostics.h"

#include "core/text.h"

WideString machine_text(int machine) {
    WideString text = {};
    if (machine == PE_MACHINE_I386) {
        assign(&text, L"32-bit (x86)");
    } else if (machine == PE_MACHINE_AMD64) {
        assign(&text, L"64-bit (x64)");
    } else if (machine == PE_MACHINE_ARM64) {
        assign(&text, L"ARM64");
    } else if (machine == -1) {
        assign(&text, L"unreadable");
    } else {
        format(&text, L"machine 0x%x", (unsigned)machine);
    }
    return text;
}

static const wchar_t kMaskMark[] = L"  [DSM mask ";

bool diagnostics_key_listed(const wchar_t* listing, const wchar_t* key) {
    if (!listing || !key || !key[0]) return false;
    const wchar_t* line = listing;
    while (*line) {
        const wchar_t* end = line;
        while (*end && *end != L'\r' && *end != L'\n') ++end;
        // "  KEY  [DSM mask n]": the key lies between the indent and the mask.
        const wchar_t* start = line;
        while (start < end && *start == L' ') ++start;
        const wchar_t* key_end = end;
        for (const wchar_t* p = start; p < end; ++p) {
            if (starts_with_no_case(p, kMaskMark)) key_end = p;
        }
        WideString candidate = wide_copy(start, (int)(key_end - start));
        const bool same = compare_no_case(text_of(candidate), key) == 0;
        release(&candidate);
        if (same) return true;
        line = end;
        while (*line == L'\r' || *line == L'\n') ++line;
    }
    return false;
}

void diagnostics_probe_lines(const DriverProbe& probe, const wchar_t* listing, WideString* out) {
    WideString line = {};
    switch (probe.outcome) {
    case DRIVER_LOAD_FAILED: {
        const unsigned e = probe.load_error;
        const wchar_t* why = L"The driver files may be damaged or blocked.";
        if (e == 126 || e == 127) {
            why = L"A DLL this driver depends on is missing (reinstall the driver / VC runtime it needs).";
        } else if (e == 193) {
            why = L"Wrong bitness.";
        }
        format(&line, L"    NOT LOADABLE: LoadLibrary error %u. %s\r\n", e, why);
        break;
    }
    case DRIVER_NO_ENTRY:
        assign(&line, L"    Loads, but exports no DS_Entry (not a TWAIN source).\r\n");
        break;
    case DRIVER_IDENTITY_FAILED:
        format(&line, L"    Loads, but identity query returned rc=%d.\r\n", probe.identity_rc);
        break;
    case DRIVER_IDENTITY_OK: {
        const bool listed = diagnostics_key_listed(listing, text_of(probe.key));
        format(&line, L"    Identity: %s -> %s\r\n", text_of(probe.key), listed ? L"LISTED" : L"NOT LISTED");
        if (!listed) {
            append(&line, L"    Why: the driver loads fine but the TWAIN manager did not report it. Usual causes: the "
                          L"device is not connected/powered when the manager scans, the source belongs to a "
                          L"different TWAIN manager version (install TWAINDSM 2.x and put TWAINDSM.dll next to this "
                          L"app or in the Windows folder), or the driver is registered only for another user "
                          L"account.\r\n");
        }
        break;
    }
    case DRIVER_CRASHED:
        format(&line, L"    The driver crashed while it was queried (exit code 0x%08X).\r\n", probe.exit_code);
        break;
    case DRIVER_HUNG:
        assign(&line, L"    The driver did not answer the identity query in time and was stopped.\r\n");
        break;
    default:
        assign(&line, L"    Not queried while a scan is running. Open the report again after the scan.\r\n");
        break;
    }
    append(out, text_of(line));
    release(&line);
}

void diagnostics_foreign_lines(int machine, WideString* out) {
    append(out, L"    NOT USABLE by this 32-bit app: ");
    if (machine == PE_MACHINE_AMD64) {
        append(out, L"it is a 64-bit driver (twain_64). Install the 32-bit (twain_32) version of the scanner driver; "
                    L"Ricoh and many MFP drivers ship both.\r\n");
    } else {
        append(out, L"unsupported file.\r\n");
    }
}
