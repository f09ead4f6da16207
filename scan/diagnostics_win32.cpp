// scan/diagnostics_win32.cpp
// The driver diagnostics report on Windows. Each driver of the process's own machine is
// queried by a second instance of this program ("--zan-probe-ds=<path>"), which loads it
// with its own folder first in the search path, asks DS_Entry for the identity and prints
// the answer; the report waits for it a limited time. A driver that crashes or hangs
// takes only that child with it.
#include "scan/diagnostics.h"

#include <windows.h>

#include "app/log.h"
#include "app/version.h"
#include "core/file.h"
#include "core/heap.h"
#include "core/library.h"
#include "core/path.h"
#include "core/text.h"
#include "scan/device_list.h"
#include "scan/twain.h"
#include "scan/twain_enum.h"
#include "scan/twain_host.h"

static const wchar_t kProbeOption[] = L"--zan-probe-ds=";
// How long one driver may take to load and answer.
const DWORD DRIVER_QUERY_TIMEOUT_MS = 10000;

// ---- files
void driver_file_list_release(DriverFileList* files) {
    if (!files) return;
    for (int i = 0; i < files->count; ++i) release(&files->paths[i]);
    mem_free(files->paths);
    *files = DriverFileList{};
}

static void add_file(DriverFileList* files, const wchar_t* path) {
    if (files->count == files->capacity) {
        const int wanted = files->capacity ? files->capacity * 2 : 8;
        void* grown = mem_realloc(files->paths, sizeof(WideString) * (size_t)wanted);
        if (!grown) return;
        files->paths = static_cast<WideString*>(grown);
        files->capacity = wanted;
    }
    files->paths[files->count++] = wide_copy(path);
}

void find_driver_files(const wchar_t* folder, int depth, DriverFileList* files) {
    if (!folder || !files) return;
    WideString pattern = path_join(folder, L"*");
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(text_of(pattern), &found);
    release(&pattern);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const wchar_t* name = found.cFileName;
        WideString full = path_join(folder, name);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (depth > 0 && text_equals(name, L".") != 0 && text_equals(name, L"..") != 0)
                find_driver_files(text_of(full), depth - 1, files);
        } else {
            WideString ext = path_extension(name);
            if (compare_no_case(text_of(ext), L".ds") == 0) add_file(files, text_of(full));
            release(&ext);
        }
        release(&full);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

static bool read_exact(HANDLE file, void* buffer, DWORD count) {
    DWORD got = 0;
    return ReadFile(file, buffer, count, &got, nullptr) && got == count;
}

int pe_machine(const wchar_t* path) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    int machine = -1;
    unsigned char dos[64];
    unsigned char pe[6];
    if (read_exact(file, dos, sizeof(dos)) && dos[0] == 'M' && dos[1] == 'Z') {
        const DWORD offset = (DWORD)dos[60] | (DWORD)dos[61] << 8 | (DWORD)dos[62] << 16 | (DWORD)dos[63] << 24;
        if (SetFilePointer(file, (LONG)offset, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
            read_exact(file, pe, sizeof(pe)) && pe[0] == 'P' && pe[1] == 'E')
            machine = pe[4] | pe[5] << 8;
    }
    CloseHandle(file);
    return machine;
}

static int own_machine() {
    return sizeof(void*) == 8 ? PE_MACHINE_AMD64 : PE_MACHINE_I386;
}

// ---- the child side
static void print_line(const wchar_t* text) {
    ByteBuffer bytes = {};
    append_utf8(&bytes, text);
    append_text(&bytes, "\n");
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data, (DWORD)bytes.length, &written, nullptr);
    release(&bytes);
}

// Loads the driver with its own folder searched first for its dependencies.
static int probe_driver(const wchar_t* path) {
    WideString line = {};
    HMODULE module = LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module) {
        format(&line, L"load-error %u", (unsigned)GetLastError());
        print_line(text_of(line));
        release(&line);
        return 0;
    }
    FARPROC proc = GetProcAddress(module, "DS_Entry");
    if (!proc) proc = GetProcAddress(module, MAKEINTRESOURCEA(1));
    DsEntryProc entry = reinterpret_cast<DsEntryProc>(reinterpret_cast<void*>(proc));
    if (!entry) {
        print_line(L"no-entry");
    } else {
        TW_IDENTITY origin = {};
        origin.ProtocolMajor = 1;
        origin.ProtocolMinor = 8;
        origin.SupportedGroups = DG_CONTROL | DG_IMAGE;
        TW_IDENTITY identity = {};
        const TW_UINT16 rc = entry(&origin, DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity);
        if (rc != TWRC_SUCCESS) {
            format(&line, L"identity-rc %d", (int)rc);
        } else {
            WideString key = twain_identity_key(identity);
            format(&line, L"identity %s", text_of(key));
            release(&key);
        }
        print_line(text_of(line));
    }
    FreeLibrary(module);
    release(&line);
    return 0;
}

bool diagnostics_probe_main(int argc, wchar_t** argv, int* exit_code) {
    if (argc < 2 || !argv || !starts_with_no_case(argv[1], kProbeOption)) return false;
    const int code = probe_driver(argv[1] + text_length(kProbeOption));
    if (exit_code) *exit_code = code;
    return true;
}

// ---- the parent side
static void parse_answer(const char* answer, DriverProbe* probe) {
    WideString text = multibyte_to_wide(answer, -1, CP_UTF8);
    const wchar_t* t = text_of(text);
    int end = (int)text_length(t);
    while (end > 0 && (t[end - 1] == L'\n' || t[end - 1] == L'\r')) --end;
    WideString line = wide_copy(t, end);
    const wchar_t* l = text_of(line);
    if (starts_with_no_case(l, L"load-error ")) {
        probe->outcome = DRIVER_LOAD_FAILED;
        probe->load_error = (unsigned)_wtoi(l + 11);
    } else if (text_equals(l, L"no-entry") == 0) {
        probe->outcome = DRIVER_NO_ENTRY;
    } else if (starts_with_no_case(l, L"identity-rc ")) {
        probe->outcome = DRIVER_IDENTITY_FAILED;
        probe->identity_rc = _wtoi(l + 12);
    } else if (starts_with_no_case(l, L"identity ")) {
        probe->outcome = DRIVER_IDENTITY_OK;
        assign(&probe->key, l + 9);
    }
    release(&line);
    release(&text);
}

// Runs this program as the query child for path and reads its one answer line.
static void query_driver(const wchar_t* path, DriverProbe* probe) {
    probe->outcome = DRIVER_CRASHED;
    wchar_t self[MAX_PATH * 2] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
    WideString command = {};
    format(&command, L"\"%s\" \"%s%s\"", self, kProbeOption, path);
    SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE read_end = nullptr, write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, &inherit, 0)) {
        release(&command);
        return;
    }
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = write_end;
    startup.hStdError = write_end;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION child = {};
    const BOOL started = CreateProcessW(nullptr, command.data, nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                        nullptr, &startup, &child);
    CloseHandle(write_end);
    release(&command);
    if (!started) {
        probe->exit_code = (unsigned)GetLastError();
        CloseHandle(read_end);
        return;
    }
    if (WaitForSingleObject(child.hProcess, DRIVER_QUERY_TIMEOUT_MS) != WAIT_OBJECT_0) {
        TerminateProcess(child.hProcess, 1);
        WaitForSingleObject(child.hProcess, 5000);
        probe->outcome = DRIVER_HUNG;
    } else {
        // One short line: it fits the pipe's buffer, so the child never blocked on it.
        char answer[1024] = {};
        DWORD got = 0;
        ReadFile(read_end, answer, sizeof(answer) - 1, &got, nullptr);
        answer[got] = 0;
        DWORD code = 0;
        GetExitCodeProcess(child.hProcess, &code);
        probe->exit_code = code;
        if (code == 0) parse_answer(answer, probe);
    }
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    CloseHandle(read_end);
}

// ---- the report
static void report_system(WideString* out) {
    typedef LONG(WINAPI * RtlGetVersionProc)(OSVERSIONINFOW*);
    typedef BOOL(WINAPI * IsWow64ProcessProc)(HANDLE, BOOL*);
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    RtlGetVersionProc get_version =
        reinterpret_cast<RtlGetVersionProc>(system_library_function(L"ntdll.dll", "RtlGetVersion"));
    if (!get_version || get_version(&version) != 0) version = OSVERSIONINFOW{};
    BOOL wow64 = FALSE;
    IsWow64ProcessProc is_wow64 =
        reinterpret_cast<IsWow64ProcessProc>(system_library_function(L"kernel32.dll", "IsWow64Process"));
    if (is_wow64 && !is_wow64(GetCurrentProcess(), &wow64)) wow64 = FALSE;
    WideString line = {};
    format(&line, L"Windows %d.%d build %d, %s\r\n", (int)version.dwMajorVersion, (int)version.dwMinorVersion,
           (int)version.dwBuildNumber, wow64 ? L"64-bit OS (this app runs as 32-bit under WOW64)" : L"32-bit OS");
    append(out, text_of(line));
    release(&line);
}

static void report_managers(const wchar_t* windows, WideString* out) {
    static const wchar_t* const kManagers[] = {L"twain_32.dll", L"twain_64.dll", L"TWAINDSM.dll"};
    for (const wchar_t* name : kManagers) {
        WideString path = path_join(windows, name);
        const int machine = pe_machine(text_of(path));
        WideString kind = machine_text(machine);
        WideString line = {};
        format(&line, L"%s : %s\r\n", text_of(path), machine == -1 ? L"not found" : text_of(kind));
        append(out, text_of(line));
        release(&line);
        release(&kind);
        release(&path);
    }
    WideString folder = module_folder();
    WideString local = path_join(text_of(folder), L"TWAINDSM.dll");
    WideString line = {};
    format(&line, L"TWAINDSM in app folder: %s\r\n", file_exists(text_of(local)) ? L"yes" : L"no");
    append(out, text_of(line));
    release(&line);
    release(&local);
    release(&folder);
}

static void report_driver(const wchar_t* path, const wchar_t* listing, WideString* out) {
    const int machine = pe_machine(path);
    WideString kind = machine_text(machine);
    WideString line = {};
    format(&line, L"* %s  [%s]\r\n", path, text_of(kind));
    append(out, text_of(line));
    release(&line);
    release(&kind);
    if (machine != own_machine()) {
        diagnostics_foreign_lines(machine, out);
        return;
    }
    DriverProbe probe = {};
    if (scan_is_running()) {
        probe.outcome = DRIVER_NOT_QUERIED;
    } else {
        log_line(L"diag: loading %s", path);
        query_driver(path, &probe);
    }
    diagnostics_probe_lines(probe, listing, out);
    release(&probe.key);
}

WideString diagnostics_report() {
    WideString out = {};
    WideString line = {};
    format(&line, L"=== %s %s diagnostics ===\r\n", kProductName, kVersionText);
    append(&out, text_of(line));
    report_system(&out);
    WideString windows = windows_folder();
    report_managers(text_of(windows), &out);

    append(&out, L"\r\nSources reported by the TWAIN managers at last refresh:\r\n");
    WideString listing = twain_last_listing();
    append(&out, listing.length > 0 ? text_of(listing) : L"  (none)\r\n");

    static const wchar_t* const kFolders[] = {L"twain_32", L"twain_64"};
    for (const wchar_t* name : kFolders) {
        WideString folder = path_join(text_of(windows), name);
        DriverFileList files = {};
        find_driver_files(text_of(folder), 3, &files);
        format(&line, L"\r\n--- %s : %d .ds file(s) ---\r\n", text_of(folder), files.count);
        append(&out, text_of(line));
        for (int i = 0; i < files.count; ++i) report_driver(text_of(files.paths[i]), text_of(listing), &out);
        driver_file_list_release(&files);
        release(&folder);
    }
    append(&out, L"\r\nLog file: ");
    append(&out, log_path());
    append(&out, L"\r\n");
    release(&listing);
    release(&windows);
    release(&line);
    return out;
}
