// app/log.cpp
#include "app/log.h"

#include <stdarg.h>
#include <windows.h>

#include "core/text.h"

static WideString g_log_path;
static HANDLE g_log_file = INVALID_HANDLE_VALUE;
static Lock* g_log_lock = nullptr;

// Append access places every write at the end of the file, also when another process
// (the elevated instance) appends at the same time.
static HANDLE open_append(const wchar_t* path, DWORD disposition) {
    return CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool open_log(const wchar_t* path) {
    if (!g_log_lock) g_log_lock = lock_create();
    assign(&g_log_path, path);
    if (g_log_file != INVALID_HANDLE_VALUE) CloseHandle(g_log_file);
    g_log_file = open_append(path, OPEN_ALWAYS);
    if (g_log_file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size = {};
    if (GetFileSizeEx(g_log_file, &size) && size.QuadPart > LOG_SIZE_LIMIT) {
        CloseHandle(g_log_file);
        g_log_file = open_append(path, CREATE_ALWAYS);
    }
    return g_log_file != INVALID_HANDLE_VALUE;
}

const wchar_t* log_path() {
    return text_of(g_log_path);
}

void log_format_line(const LocalTime& t, unsigned thread_id, const wchar_t* message, WideString* out) {
    format(out, L"%04d-%02d-%02d %02d:%02d:%02d [%04x] %s", t.year, t.month, t.day, t.hour, t.minute,
           t.second, thread_id & 0xFFFF, message ? message : L"");
    // The formatter cut the line at its limit; make room so CR LF always ends it.
    if (out->length > FORMAT_LIMIT - 3) {
        out->length = FORMAT_LIMIT - 3;
        out->data[out->length] = 0;
    }
    append(out, L"\r\n");
}

void log_line(const wchar_t* fmt, ...) {
    if (g_log_file == INVALID_HANDLE_VALUE) return;
    wchar_t message[FORMAT_LIMIT];
    va_list args;
    va_start(args, fmt);
    text_vformat(message, FORMAT_LIMIT, fmt, args);
    va_end(args);
    LocalTime now = {};
    local_time_now(&now);
    WideString line = {};
    log_format_line(now, current_thread_id(), message, &line);
    ByteBuffer bytes = {};
    if (append_utf8(&bytes, text_of(line)) && bytes.length > 0) {
        lock_enter(g_log_lock);
        DWORD written = 0;
        WriteFile(g_log_file, bytes.data, (DWORD)bytes.length, &written, nullptr);
        lock_leave(g_log_lock);
    }
    release(&bytes);
    release(&line);
}
