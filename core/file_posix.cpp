// core/file_posix.cpp
// Files and folders for the native build (tests and fuzzing of the portable code).
#include "core/file.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/heap.h"
#include "core/path.h"
#include "core/posix_path_text.h"

static bool stat_path(const wchar_t* path, struct stat* st) {
    ByteBuffer p = posix_path_bytes(path);
    const bool ok = p.length > 0 && stat(posix_path_c(p), st) == 0;
    release(&p);
    return ok;
}

bool file_exists(const wchar_t* path) {
    struct stat st;
    return stat_path(path, &st) && !S_ISDIR(st.st_mode);
}

bool folder_exists(const wchar_t* path) {
    struct stat st;
    return stat_path(path, &st) && S_ISDIR(st.st_mode);
}

int64_t file_size(const wchar_t* path) {
    struct stat st;
    return stat_path(path, &st) && !S_ISDIR(st.st_mode) ? (int64_t)st.st_size : -1;
}

bool files_are_same(const wchar_t* a, const wchar_t* b) {
    struct stat sa, sb;
    return stat_path(a, &sa) && stat_path(b, &sb) && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool read_whole_file(const wchar_t* path, ByteBuffer* buffer) {
    ByteBuffer p = posix_path_bytes(path);
    const int fd = open(posix_path_c(p), O_RDONLY);
    release(&p);
    if (fd < 0) return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
    if (ok && (int64_t)st.st_size + buffer->length + 1 > 0x7fffffff) {
        errno = EFBIG;
        ok = false;
    }
    if (ok) ok = reserve(buffer, buffer->length + (int)st.st_size + 1);
    int64_t remaining = ok ? (int64_t)st.st_size : 0;
    while (ok && remaining > 0) {
        const ssize_t got = read(fd, buffer->data + buffer->length, (size_t)remaining);
        ok = got > 0;
        if (ok) {
            buffer->length += (int)got;
            remaining -= got;
        }
    }
    if (buffer->data) buffer->data[buffer->length] = 0;
    close(fd);
    return ok;
}

bool delete_file(const wchar_t* path) {
    ByteBuffer p = posix_path_bytes(path);
    const bool ok = unlink(posix_path_c(p)) == 0;
    release(&p);
    return ok;
}

void create_parent_folders(const wchar_t* path) {
    WideString folder = path_folder(path);
    if (folder.length > 0) ensure_folder(folder.data);
    release(&folder);
}

bool ensure_folder(const wchar_t* path) {
    if (!path || !path[0]) {
        errno = EINVAL;
        return false;
    }
    if (folder_exists(path)) return true;
    WideString parent = path_folder(path);
    bool ok = parent.length > 0;
    if (!ok) errno = ENOENT;
    if (ok && (size_t)parent.length != text_length(path) && !folder_exists(parent.data))
        ok = ensure_folder(parent.data);
    release(&parent);
    if (!ok) return false;
    ByteBuffer p = posix_path_bytes(path);
    ok = mkdir(posix_path_c(p), 0777) == 0 || (errno == EEXIST && folder_exists(path));
    release(&p);
    return ok;
}

bool out_file_open(OutFile* f, const wchar_t* target) {
    *f = OutFile{};
    static int counter = 0;
    WideString temp = wide_copy(target);
    format(&f->temp_path, L"%s.%d-%d.tmp", text_of(temp), (int)getpid(), ++counter);
    release(&temp);
    ByteBuffer p = posix_path_bytes(f->temp_path.data);
    const int fd = open(posix_path_c(p), O_WRONLY | O_CREAT | O_EXCL, 0666);
    release(&p);
    if (fd < 0 || !assign(&f->target, target)) {
        if (fd >= 0) close(fd);
        release(&f->temp_path);
        return false;
    }
    f->handle = reinterpret_cast<void*>((intptr_t)fd + 1);
    return true;
}

static int out_fd(const OutFile* f) {
    return (int)(reinterpret_cast<intptr_t>(f->handle) - 1);
}

bool out_file_write(OutFile* f, const void* bytes, int64_t count) {
    if (!f->handle || f->failed || count < 0) {
        f->failed = true;
        return false;
    }
    const char* p = static_cast<const char*>(bytes);
    while (count > 0) {
        const ssize_t done = write(out_fd(f), p, (size_t)count);
        if (done <= 0) {
            f->failed = true;
            return false;
        }
        p += done;
        count -= done;
        f->written += done;
    }
    return true;
}

static void free_out_file(OutFile* f) {
    if (f->handle) close(out_fd(f));
    f->handle = nullptr;
    release(&f->target);
    release(&f->temp_path);
}

bool out_file_commit(OutFile* f) {
    bool ok = f->handle && !f->failed && fsync(out_fd(f)) == 0;
    if (f->handle) ok = close(out_fd(f)) == 0 && ok;
    f->handle = nullptr;
    ByteBuffer from = posix_path_bytes(f->temp_path.data);
    ByteBuffer to = posix_path_bytes(f->target.data);
    if (ok) ok = rename(posix_path_c(from), posix_path_c(to)) == 0;
    if (!ok) unlink(posix_path_c(from));
    release(&from);
    release(&to);
    free_out_file(f);
    return ok;
}

void out_file_abandon(OutFile* f) {
    if (f->handle) close(out_fd(f));
    f->handle = nullptr;
    if (f->temp_path.data) delete_file(f->temp_path.data);
    free_out_file(f);
}

unsigned last_error_code() {
    return (unsigned)errno;
}

bool shell_open(const wchar_t*) {
    return false;
}

// ---- private scratch files

static int scratch_fd(const ScratchFile* f) {
    return (int)(reinterpret_cast<intptr_t>(f->handle) - 1);
}

bool scratch_file_open(ScratchFile* f, const wchar_t* folder) {
    *f = ScratchFile{};
    WideString where = folder ? wide_copy(folder) : temp_folder();
    static int counter = 0;
    int fd = -1;
    // A name left by another run of the same process id is skipped, not reused.
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        WideString name = {};
        format(&name, L"zpg%d-%d.tmp", (int)getpid(), ++counter);
        WideString path = path_join(text_of(where), text_of(name));
        ByteBuffer p = posix_path_bytes(path.data);
        // Only the owner may open it, and the name goes at once: the open descriptor
        // keeps the data until it is closed or the process ends.
        fd = open(posix_path_c(p), O_RDWR | O_CREAT | O_EXCL, 0600);
        if (fd >= 0) unlink(posix_path_c(p));
        const bool taken = fd < 0 && errno == EEXIST;
        release(&p);
        release(&path);
        release(&name);
        if (fd < 0 && !taken) break;
    }
    release(&where);
    if (fd < 0) return false;
    f->handle = reinterpret_cast<void*>((intptr_t)fd + 1);
    return true;
}

// pread/pwrite name the position themselves, so no shared file offset moves.
static bool scratch_transfer(const ScratchFile* f, int64_t offset, char* bytes, int64_t count, bool writing) {
    if (!f->handle || offset < 0 || count < 0) {
        errno = EINVAL;
        return false;
    }
    while (count > 0) {
        const ssize_t done = writing ? pwrite(scratch_fd(f), bytes, (size_t)count, (off_t)offset)
                                     : pread(scratch_fd(f), bytes, (size_t)count, (off_t)offset);
        if (done <= 0) {
            if (done == 0) errno = writing ? ENOSPC : EIO;
            return false;
        }
        bytes += done;
        offset += done;
        count -= done;
    }
    return true;
}

bool scratch_file_write_at(ScratchFile* f, int64_t offset, const void* bytes, int64_t count) {
    if (f->size_limit > 0 && offset + count > f->size_limit) {
        errno = ENOSPC;
        return false;
    }
    return scratch_transfer(f, offset, static_cast<char*>(const_cast<void*>(bytes)), count, true);
}

bool scratch_file_read_at(ScratchFile* f, int64_t offset, void* bytes, int64_t count) {
    return scratch_transfer(f, offset, static_cast<char*>(bytes), count, false);
}

bool scratch_file_truncate(ScratchFile* f, int64_t size) {
    return f->handle && size >= 0 && ftruncate(scratch_fd(f), (off_t)size) == 0;
}

void scratch_file_close(ScratchFile* f) {
    if (f->handle) close(scratch_fd(f));
    f->handle = nullptr;
}
