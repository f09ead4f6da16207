// net/elevation_win32.cpp
// The administrator test, the UAC launch and the hidden console runner on Windows.
#include "net/elevation.h"

#include <windows.h>

#include <shellapi.h>

#include "core/path.h"
#include "core/text.h"

void trim_console_output(WideString* text) {
    int end = text->length;
    while (end > 0 && (text->data[end - 1] == L'\r' || text->data[end - 1] == L'\n' || text->data[end - 1] == L' '))
        --end;
    int start = 0;
    while (start < end && text->data[start] == L' ') ++start;
    WideString trimmed = wide_copy(text_of(*text) + start, end - start);
    release(text);
    *text = trimmed;
}

void append_quoted_argument(WideString* out, const wchar_t* text) {
    append_char(out, L'"');
    for (const wchar_t* p = text; p && *p; ++p) {
        if (*p == L'"') append_char(out, L'\\');
        append_char(out, *p);
    }
    append_char(out, L'"');
}

WideString netsh_path() {
    WideString windows = windows_folder();
    WideString system32 = path_join(text_of(windows), L"System32");
    WideString netsh = path_join(text_of(system32), L"netsh.exe");
    release(&system32);
    release(&windows);
    return netsh;
}

static bool windows_is_administrator(void*) {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                  &admins))
        return false;
    BOOL member = FALSE;
    if (!CheckTokenMembership(nullptr, admins, &member)) member = FALSE;
    FreeSid(admins);
    return member != FALSE;
}

static unsigned windows_run_elevated_self(void*, const wchar_t* parameters) {
    wchar_t program[520] = {};
    const DWORD n = GetModuleFileNameW(nullptr, program, 520);
    if (n == 0 || n >= 520) return GetLastError() ? GetLastError() : ERROR_INSUFFICIENT_BUFFER;
    WideString folder = module_folder();
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = L"runas";
    info.lpFile = program;
    info.lpParameters = parameters;
    info.lpDirectory = text_of(folder);
    info.nShow = SW_SHOWNORMAL;
    const BOOL started = ShellExecuteExW(&info);
    const DWORD launch_error = started ? 0 : GetLastError();
    release(&folder);
    if (!started) return launch_error ? launch_error : ELEVATION_NO_PROCESS;
    if (!info.hProcess) return ELEVATION_NO_PROCESS;
    WaitForSingleObject(info.hProcess, INFINITE);
    DWORD code = ELEVATION_NO_PROCESS;
    if (!GetExitCodeProcess(info.hProcess, &code)) code = ELEVATION_NO_PROCESS;
    CloseHandle(info.hProcess);
    return code;
}

// Reads what is waiting in the pipe without blocking; false when the pipe is closed.
static bool read_available(HANDLE pipe, ByteBuffer* bytes) {
    DWORD available = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return false;
    while (available > 0) {
        char chunk[1024];
        DWORD got = 0;
        const DWORD want = available < sizeof chunk ? available : (DWORD)sizeof chunk;
        if (!ReadFile(pipe, chunk, want, &got, nullptr) || got == 0) return false;
        append_bytes(bytes, chunk, (int)got);
        available -= got;
    }
    return true;
}

static unsigned windows_run_hidden_process(void*, const wchar_t* program, const wchar_t* arguments,
                                           WideString* output, unsigned limit_ms) {
    WideString command = {};
    append_quoted_argument(&command, program);
    append_char(&command, L' ');
    append(&command, arguments);
    HANDLE read_end = nullptr, write_end = nullptr;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    if (output) {
        assign(output, L"");
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        if (!CreatePipe(&read_end, &write_end, &inherit, 0)) {
            release(&command);
            return GetLastError();
        }
        // Only the write end goes to the child.
        SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
        startup.dwFlags |= STARTF_USESTDHANDLES;
        startup.hStdOutput = write_end;
        startup.hStdError = write_end;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    }
    PROCESS_INFORMATION process = {};
    const BOOL created = CreateProcessW(program, command.data, nullptr, nullptr, output ? TRUE : FALSE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
    const DWORD create_error = created ? 0 : GetLastError();
    release(&command);
    if (write_end) CloseHandle(write_end);
    if (!created) {
        if (read_end) CloseHandle(read_end);
        return create_error;
    }
    CloseHandle(process.hThread);
    // The pipe is polled while the clock runs: a program that keeps its output open
    // without ending must not hold this thread past the limit.
    const DWORD start = GetTickCount();
    ByteBuffer bytes = {};
    bool pipe_open = read_end != nullptr;
    bool ended = false;
    for (;;) {
        if (pipe_open) pipe_open = read_available(read_end, &bytes);
        if (WaitForSingleObject(process.hProcess, pipe_open ? 20 : 100) == WAIT_OBJECT_0) {
            ended = true;
            break;
        }
        if (GetTickCount() - start >= limit_ms) break;
    }
    DWORD code = HIDDEN_PROCESS_TIMED_OUT;
    if (ended) {
        if (pipe_open) read_available(read_end, &bytes);
        if (!GetExitCodeProcess(process.hProcess, &code)) code = GetLastError();
    } else {
        TerminateProcess(process.hProcess, 1);
        code = HIDDEN_PROCESS_TIMED_OUT;
    }
    CloseHandle(process.hProcess);
    if (read_end) CloseHandle(read_end);
    if (output) {
        WideString text = multibyte_to_wide(reinterpret_cast<const char*>(bytes.data), bytes.length, CP_OEMCP);
        trim_console_output(&text);
        release(output);
        *output = text;
    }
    release(&bytes);
    return code;
}

const ElevationSystem* elevation_system_windows() {
    static const ElevationSystem system = {nullptr, windows_is_administrator, windows_run_elevated_self,
                                           windows_run_hidden_process};
    return &system;
}
