// net/job_files.h
// The job and result files through which the interactive instance hands one privileged
// job to the elevated instance. They live in a folder only the user (and administrators)
// may open, under names with 128 random bits, and are written with a UTF-16 mark so
// Arabic values survive. The elevated side trusts nothing in them: it checks the job
// file's name and place and derives the result file's path itself.
#ifndef ZAN_NET_JOB_FILES_H
#define ZAN_NET_JOB_FILES_H

#include "core/wide_string.h"

// Tags of the four file kinds.
extern const wchar_t kTagFirewallJob[];      // "fwjob"
extern const wchar_t kTagFirewallResult[];   // "fwresult"
extern const wchar_t kTagShareJob[];         // "sharejob"
extern const wchar_t kTagShareResult[];      // "shareresult"

// ---- interactive side
// The job folder in the user's temporary folder ("ZanGroupScanner-jobs"), created with
// access for the user, administrators and the system only. False when it cannot be made.
bool job_folder_prepare(WideString* folder);
// A fresh pair "ZanGroupScanner_<tag>_<pid>_<32 hex digits>.ini" in the job folder: the
// job file (created empty, new) and the result path (nothing created). False on failure.
bool job_files_create(const wchar_t* job_tag, const wchar_t* result_tag, WideString* job, WideString* result);
// Deletes files of the job folder left by instances that no longer run (a job file may
// hold a password). The main window calls it once at start-up. Returns the count deleted.
int job_files_remove_leftovers();

// ---- elevated side
// The result path that belongs to `job` when `job` is an absolute path whose file name has
// the form above with `job_tag`, neither it nor its folder a link; false otherwise.
bool job_result_path_for(const wchar_t* job, const wchar_t* job_tag, const wchar_t* result_tag, WideString* result);
// The checks every handler makes before reading a job: the file (job_result_path_for) and
// its "Output", which must name exactly the derived result path. Null when the job is
// accepted (with the result path filled), else the reason for the log.
const wchar_t* job_check(const wchar_t* job, const wchar_t* job_tag, const wchar_t* result_tag, WideString* result);
// The job's "Lang": 1 (English) when it begins with '1', else 0 (Arabic).
int job_language(const wchar_t* job);
// Creates `path` anew (removing a file or link of that name first) with a UTF-16 mark.
bool job_file_create_new(const wchar_t* path);

// ---- values (section, key), up to 8192 units
void job_read(const wchar_t* path, const wchar_t* section, const wchar_t* key, const wchar_t* fallback,
              WideString* out);
bool job_write(const wchar_t* path, const wchar_t* section, const wchar_t* key, const wchar_t* value);
// A value of several lines: a profile value ends at its line break, so CR, LF and '%' are
// written as %0D, %0A and %25.
void job_read_lines(const wchar_t* path, const wchar_t* section, const wchar_t* key, WideString* out);
bool job_write_lines(const wchar_t* path, const wchar_t* section, const wchar_t* key, const wchar_t* value);

#endif
