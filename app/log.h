// app/log.h
// The diagnostic log "ZanGroupScanner.log": one UTF-8 file (no byte-order mark) shared by
// every thread and by the elevated instance. Lines are
// "YYYY-MM-DD hh:mm:ss [tid] message" with CR LF. Logging is off until open_log succeeds.
#ifndef ZAN_APP_LOG_H
#define ZAN_APP_LOG_H

#include "core/system.h"
#include "core/wide_string.h"

// A log above this size is started afresh by the next open_log.
const long long LOG_SIZE_LIMIT = 2097152;

// Opens (or creates) the log for appending. Once per process, before worker threads.
bool open_log(const wchar_t* path);
// The path given to open_log, or "" before.
const wchar_t* log_path();
// Formats and appends one line; does nothing while logging is off. Never pass user,
// device or file text as the format: use L"%s".
void log_line(const wchar_t* format, ...);

// The full line for a message: time stamp, thread id (low 16 bits, at least four hex
// digits), the message, CR LF. Cut to the formatter's 1024 units, CR LF kept.
void log_format_line(const LocalTime& time, unsigned thread_id, const wchar_t* message, WideString* out);

#endif
