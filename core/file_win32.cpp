// core/file_win32.cpp
// Files and folders on Win32.
#include "core/file.h"

#include <windows.h>

#include <shellapi.h>

#include "core/heap.h"
#include "core/path.h"
#include "core/system.h"

bool file_exists(const wchar_t* path) {
    const DWORD a = GetFileAttributesW(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool folder_exists(const wchar_t* path) {
    const DWORD a = GetFileAttributesW(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

static HANDLE open_for_reading(const wchar_t* path) {
    return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

int64_t file_size(const wchar_t* path) {
    HANDLE h = open_for_reading(path);
    if (h == INVALID_HANDLE_VALUE) return -1;
    LARGE_INTEGER size = {};
    const BOOL ok = GetFileSizeEx(h, &size);
    CloseHandle(h);
    return ok ? (int64_t)size.QuadPart : -1;
}

bool files_are_same(const wchar_t* a, const wchar_t* b) {
    HANDLE ha = open_for_reading(a);
    if (ha == INVALID_HANDLE_VALUE) return false;
    HANDLE hb = open_for_reading(b);
    if (hb == INVALID_HANDLE_VALUE) {
        CloseHandle(ha);
        return false;
    }
    BY_HANDLE_FILE_INFORMATION ia = {}, ib = {};
    const bool same = GetFileInformationByHandle(ha, &ia) && GetFileInformationByHandle(hb, &ib) &&
                      ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
                      ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
    CloseHandle(ha);
    CloseHandle(hb);
    return same;
}

bool read_whole_file(const wchar_t* path, ByteBuffer* buffer) {
    HANDLE h = open_for_reading(path);
    if (h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size = {};
    bool ok = GetFileSizeEx(h, &size) != 0;
    // The buffer's length is an int and needs one byte behind the content.
    if (ok && (size.QuadPart < 0 || size.QuadPart + buffer->length + 1 > 0x7fffffff)) {
        SetLastError(ERROR_FILE_TOO_LARGE);
        ok = false;
    }
    if (ok) ok = reserve(buffer, buffer->length + (int)size.QuadPart + 1);
    int64_t remaining = ok ? size.QuadPart : 0;
    while (ok && remaining > 0) {
        const DWORD chunk = remaining > (1 << 24) ? (1 << 24) : (DWORD)remaining;
        DWORD got = 0;
        ok = ReadFile(h, buffer->data + buffer->length, chunk, &got, nullptr) && got == chunk;
        if (ok) {
            buffer->length += (int)got;
            remaining -= got;
        }
    }
    if (buffer->data) buffer->data[buffer->length] = 0;
    CloseHandle(h);
    return ok;
}

bool delete_file(const wchar_t* path) {
    return DeleteFileW(path) != 0;
}

void create_parent_folders(const wchar_t* path) {
    WideString folder = path_folder(path);
    // Create each level from the top down; a level that exists already just fails.
    for (int i = 1; i <= folder.length; ++i) {
        if (i == folder.length || folder.data[i] == L'\\' || folder.data[i] == L'/') {
            const wchar_t saved = folder.data[i];
            folder.data[i] = 0;
            CreateDirectoryW(folder.data, nullptr);
            folder.data[i] = saved;
        }
    }
    release(&folder);
}

bool ensure_folder(const wchar_t* path) {
    if (!path || !path[0]) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    if (folder_exists(path)) {
        SetLastError(0);
        return true;
    }
    WideString parent = path_folder(path);
    bool ok = true;
    if (parent.length == 0) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        ok = false;
    } else if (text_length(path) != (size_t)parent.length && !folder_exists(parent.data)) {
        ok = ensure_folder(parent.data);
    }
    release(&parent);
    if (!ok) return false;
    if (CreateDirectoryW(path, nullptr) || (GetLastError() == ERROR_ALREADY_EXISTS && folder_exists(path))) {
        SetLastError(0);
        return true;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) SetLastError(ERROR_ALREADY_EXISTS);
    return false;
}

// The full path in the "\\?\" form, which the file functions take beyond MAX_PATH (260
// units): "C:\a" becomes "\\?\C:\a", "\\server\share" becomes "\\?\UNC\server\share".
// Relative names and "/" separators are resolved first, since that form takes neither.
static WideString long_path(const wchar_t* path) {
    WideString out = {};
    if (!path || !path[0]) return out;
    if (path[0] == L'\\' && path[1] == L'\\' && path[2] == L'?' && path[3] == L'\\') {
        assign(&out, path);
        return out;
    }
    const DWORD needed = GetFullPathNameW(path, 0, nullptr, nullptr);
    WideString full = {};
    if (needed == 0 || !reserve(&full, (int)needed)) return out;
    const DWORD got = GetFullPathNameW(path, needed, full.data, nullptr);
    if (got == 0 || got >= needed) {
        release(&full);
        return out;
    }
    full.length = (int)got;
    const bool unc = full.data[0] == L'\\' && full.data[1] == L'\\';
    bool ok = unc ? assign(&out, L"\\\\?\\UNC") && append(&out, full.data + 1) : assign(&out, L"\\\\?\\") && append(&out, full.data);
    if (!ok) release(&out);
    release(&full);
    return out;
}

bool file_check_target(const wchar_t* path) {
    WideString full = long_path(path);
    if (full.length == 0) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    bool ok = true;
    const DWORD a = GetFileAttributesW(full.data);
    if (a == INVALID_FILE_ATTRIBUTES) {
        // Nothing there yet: creating the temporary file will tell whether the folder works.
        const DWORD error = GetLastError();
        ok = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    } else if (a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) {
        SetLastError(ERROR_ACCESS_DENIED);
        ok = false;
    } else {
        // Replacing the file deletes it: a viewer that holds it open without sharing
        // deletion makes this open fail exactly as the final move would.
        HANDLE h = CreateFileW(full.data, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ok = h != INVALID_HANDLE_VALUE;
        if (ok) CloseHandle(h);
    }
    if (ok) SetLastError(0);
    release(&full);
    return ok;
}

// "~zan" and eight random hexadecimal digits: short, so a target whose path is close to
// the limit still has room for its temporary file beside it.
static bool temp_name(const WideString& folder, WideString* out) {
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    uint32_t r = 0;
    if (!random_fill(&r, sizeof r)) r = GetTickCount() ^ (GetCurrentThreadId() << 16);
    wchar_t name[16] = {L'\\', L'~', L'z', L'a', L'n'};
    for (int i = 0; i < 8; ++i) name[5 + i] = kHex[(r >> (28 - 4 * i)) & 15];
    name[13] = L'.';
    return assign(out, folder.data, folder.length) && append(out, name, 14) && append(out, L"tmp");
}

bool out_file_open(OutFile* f, const wchar_t* target) {
    *f = OutFile{};
    if (!file_check_target(target)) return false;
    WideString full = long_path(target);
    WideString folder = path_folder(full.data);
    HANDLE h = INVALID_HANDLE_VALUE;
    DWORD error = ERROR_NOT_ENOUGH_MEMORY;
    for (int attempt = 0; attempt < 16 && h == INVALID_HANDLE_VALUE; ++attempt) {
        if (!temp_name(folder, &f->temp_path)) break;
        h = CreateFileW(f->temp_path.data, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                        nullptr);
        error = GetLastError();
        if (h == INVALID_HANDLE_VALUE && error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
    release(&folder);
    if (h == INVALID_HANDLE_VALUE) {
        release(&full);
        release(&f->temp_path);
        SetLastError(error);
        return false;
    }
    f->handle = h;
    f->target = full;
    return true;
}

bool out_file_write(OutFile* f, const void* bytes, int64_t count) {
    if (!f->handle || f->failed || count < 0) {
        f->failed = true;
        return false;
    }
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    while (count > 0) {
        const DWORD chunk = count > (1 << 24) ? (1 << 24) : (DWORD)count;
        DWORD done = 0;
        if (!WriteFile(f->handle, p, chunk, &done, nullptr) || done != chunk) {
            f->failed = true;
            return false;
        }
        p += chunk;
        count -= chunk;
        f->written += chunk;
    }
    return true;
}

static void close_out_file(OutFile* f) {
    if (f->handle) CloseHandle(f->handle);
    f->handle = nullptr;
}

static void free_out_file(OutFile* f) {
    release(&f->target);
    release(&f->temp_path);
}

bool out_file_commit(OutFile* f) {
    bool ok = f->handle && !f->failed && FlushFileBuffers(f->handle);
    close_out_file(f);
    if (ok)
        ok = MoveFileExW(f->temp_path.data, f->target.data, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok) {
        const DWORD error = GetLastError();
        if (f->temp_path.data) DeleteFileW(f->temp_path.data);
        SetLastError(error);
    }
    free_out_file(f);
    return ok;
}

void out_file_abandon(OutFile* f) {
    const DWORD error = GetLastError();
    close_out_file(f);
    if (f->temp_path.data) DeleteFileW(f->temp_path.data);
    free_out_file(f);
    SetLastError(error);
}

unsigned last_error_code() {
    return GetLastError();
}

bool shell_open(const wchar_t* target) {
    return (INT_PTR)ShellExecuteW(nullptr, L"open", target, nullptr, nullptr, SW_SHOWNORMAL) > 32;
}

// ---- private scratch files

// Positioned transfers on a synchronous handle: the OVERLAPPED offset names the position,
// so no shared file pointer is moved. At most 16 MiB per call, well inside a DWORD.
static bool scratch_transfer(HANDLE h, int64_t offset, uint8_t* bytes, int64_t count, bool writing) {
    while (count > 0) {
        const DWORD chunk = count > (1 << 24) ? (1 << 24) : (DWORD)count;
        OVERLAPPED at = {};
        at.Offset = (DWORD)(uint64_t)offset;
        at.OffsetHigh = (DWORD)((uint64_t)offset >> 32);
        DWORD done = 0;
        const BOOL ok = writing ? WriteFile(h, bytes, chunk, &done, &at) : ReadFile(h, bytes, chunk, &done, &at);
        if (!ok) return false;
        if (done != chunk) {
            SetLastError(writing ? ERROR_DISK_FULL : ERROR_HANDLE_EOF);
            return false;
        }
        bytes += chunk;
        offset += chunk;
        count -= chunk;
    }
    return true;
}

bool scratch_file_open(ScratchFile* f, const wchar_t* folder) {
    *f = ScratchFile{};
    WideString where = folder ? wide_copy(folder) : temp_folder();
    wchar_t name[MAX_PATH + 16] = {};
    const bool named = where.length > 0 && GetTempFileNameW(where.data, L"zpg", 0, name) != 0;
    release(&where);
    if (!named) return false;
    // No sharing and delete-on-close: the empty file GetTempFileNameW made is reopened so.
    HANDLE h = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        DeleteFileW(name);
        SetLastError(error);
        return false;
    }
    f->handle = h;
    return true;
}

bool scratch_file_write_at(ScratchFile* f, int64_t offset, const void* bytes, int64_t count) {
    if (!f->handle || offset < 0 || count < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (f->size_limit > 0 && offset + count > f->size_limit) {
        SetLastError(ERROR_DISK_FULL);
        return false;
    }
    return scratch_transfer(f->handle, offset, (uint8_t*)bytes, count, true);
}

bool scratch_file_read_at(ScratchFile* f, int64_t offset, void* bytes, int64_t count) {
    if (!f->handle || offset < 0 || count < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return scratch_transfer(f->handle, offset, static_cast<uint8_t*>(bytes), count, false);
}

bool scratch_file_truncate(ScratchFile* f, int64_t size) {
    if (!f->handle || size < 0) return false;
    LARGE_INTEGER at = {};
    at.QuadPart = size;
    return SetFilePointerEx(f->handle, at, nullptr, FILE_BEGIN) && SetEndOfFile(f->handle);
}

void scratch_file_close(ScratchFile* f) {
    if (f->handle) CloseHandle(f->handle);
    f->handle = nullptr;
}
