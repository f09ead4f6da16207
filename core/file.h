// core/file.h
// Files and folders. Every writer of a user file goes through OutFile: the bytes go to a
// temporary file in the target's folder, which replaces the target only after every byte
// was written, so a failed save never destroys the file it was meant to replace.
#ifndef ZAN_CORE_FILE_H
#define ZAN_CORE_FILE_H

#include <stdint.h>

#include "core/wide_string.h"

// ---- queries
bool file_exists(const wchar_t* path);     // exists and is not a directory
bool folder_exists(const wchar_t* path);
// Size in bytes, or -1 when the file cannot be opened.
int64_t file_size(const wchar_t* path);
// True when both names lead to the same file on disk (same volume and file id), also
// through different spellings, links or relative paths. False if either is missing.
bool files_are_same(const wchar_t* a, const wchar_t* b);

// ---- whole files
// True only if every byte was read. Refuses files larger than the buffer can hold.
bool read_whole_file(const wchar_t* path, ByteBuffer* buffer);
// Writes through a temporary file and replaces path only when complete.
bool write_whole_file(const wchar_t* path, const void* bytes, int count);
bool delete_file(const wchar_t* path);

// ---- folders
void create_parent_folders(const wchar_t* path);
// True if path is (now) a directory. Sets the platform's last error to the outcome.
bool ensure_folder(const wchar_t* path);

// ---- safe replacement of a target file
// True when path names nothing yet or a file that may be replaced now. False, with the
// platform's last error set, for a folder of that name (access denied), a read-only file
// (access denied) or a file another program holds open without sharing its deletion
// (sharing violation), so a writer can say so before it does any work.
bool file_check_target(const wchar_t* path);

struct OutFile {
    void* handle;         // platform handle of the temporary file, null when closed
    WideString target;
    WideString temp_path;
    int64_t written;
    bool failed;          // a write failed: commit will refuse
};
// Checks the target (file_check_target), then creates a temporary file beside it. Paths
// longer than the platform's classic limit (MAX_PATH) work. False (nothing created, the
// last error set) if either step fails: a folder where new files may not be created is
// refused, since writing over the target in place could destroy it.
bool out_file_open(OutFile* f, const wchar_t* target);
bool out_file_write(OutFile* f, const void* bytes, int64_t count);
// Closes the temporary file, flushes it and moves it over the target. On any failure
// the temporary file is deleted, the target is left as it was and the last error keeps
// the code of the step that failed.
bool out_file_commit(OutFile* f);
// Closes and deletes the temporary file; the target is left as it was.
void out_file_abandon(OutFile* f);

// Opens a web address or folder with the shell's "open" verb (no owner window).
// The native build has no shell and returns false.
bool shell_open(const wchar_t* target);

// ---- last platform error code (GetLastError / errno)
unsigned last_error_code();

// ---- private scratch files
// A file for the program's own bulk data (pages moved out of memory): opened with no
// sharing, so no other process can read the scans, and deleted by the system when it is
// closed or the process ends, so a crash leaves nothing behind. Offsets and sizes are
// 64-bit, also in the 32-bit process.
struct ScratchFile {
    void* handle;         // platform handle, null when closed
    // Writes that would end past this size fail as on a full disk (0: no limit). Caps the
    // disk space the file may take; tests use it to meet a full disk.
    int64_t size_limit;
};
// Creates the file in folder (null: the user's temporary folder). False if it cannot.
bool scratch_file_open(ScratchFile* f, const wchar_t* folder);
// True only if every byte was written at offset (the file grows as needed).
bool scratch_file_write_at(ScratchFile* f, int64_t offset, const void* bytes, int64_t count);
// True only if every byte was read from offset.
bool scratch_file_read_at(ScratchFile* f, int64_t offset, void* bytes, int64_t count);
// Cuts the file to size bytes, giving the disk space behind it back.
bool scratch_file_truncate(ScratchFile* f, int64_t size);
// Closes (and so deletes) the file; a closed file is allowed.
void scratch_file_close(ScratchFile* f);

#endif
