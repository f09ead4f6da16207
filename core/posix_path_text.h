// core/posix_path_text.h
// Internal to the native build: a UTF-16 path as a UTF-8 file-system name, with '\'
// taken as '/'. The result lives in a ByteBuffer owned by the caller.
#ifndef ZAN_CORE_POSIX_PATH_TEXT_H
#define ZAN_CORE_POSIX_PATH_TEXT_H

#include "core/wide_string.h"

ByteBuffer posix_path_bytes(const wchar_t* path);
const char* posix_path_c(const ByteBuffer& b);

#endif
