// net/job_files.cpp
// Job and result files of the elevated exchange.
#include "net/job_files.h"

#include <windows.h>

#include <sddl.h>

#include "core/file.h"
#include "core/heap.h"
#include "core/path.h"
#include "core/system.h"
#include "core/text.h"

const wchar_t kTagFirewallJob[] = L"fwjob";
const wchar_t kTagFirewallResult[] = L"fwresult";
const wchar_t kTagShareJob[] = L"sharejob";
const wchar_t kTagShareResult[] = L"shareresult";

static const wchar_t kPrefix[] = L"ZanGroupScanner_";
static const int kRandomDigits = 32;

static WideString job_folder_path() {
    WideString temp = temp_folder();
    WideString folder = path_join(text_of(temp), L"ZanGroupScanner-jobs");
    release(&temp);
    return folder;
}

// The current user's SID as text; empty on failure.
static WideString current_user_sid() {
    WideString sid_text = {};
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return sid_text;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    TOKEN_USER* user = size ? static_cast<TOKEN_USER*>(mem_alloc(size)) : nullptr;
    wchar_t* text = nullptr;
    if (user && GetTokenInformation(token, TokenUser, user, size, &size) &&
        ConvertSidToStringSidW(user->User.Sid, &text)) {
        assign(&sid_text, text);
        LocalFree(text);
    }
    mem_free(user);
    CloseHandle(token);
    return sid_text;
}

static bool is_link(const wchar_t* path) {
    const DWORD a = GetFileAttributesW(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool job_folder_prepare(WideString* folder) {
    release(folder);
    *folder = job_folder_path();
    WideString sid = current_user_sid();
    if (sid.length == 0) {
        release(&sid);
        return false;
    }
    // Protected: nothing inherited from the temporary folder.
    WideString sddl = {};
    format(&sddl, L"D:P(A;OICI;FA;;;%s)(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)", text_of(sid));
    release(&sid);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    bool ok = ConvertStringSecurityDescriptorToSecurityDescriptorW(text_of(sddl), SDDL_REVISION_1, &descriptor,
                                                                    nullptr) != 0;
    release(&sddl);
    if (!ok) return false;
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
    if (!CreateDirectoryW(text_of(*folder), &attributes)) {
        // An existing folder is used only when it is a real folder, not a link elsewhere;
        // its access is set again in case someone else made it.
        ok = GetLastError() == ERROR_ALREADY_EXISTS && folder_exists(text_of(*folder)) && !is_link(text_of(*folder)) &&
             SetFileSecurityW(text_of(*folder), DACL_SECURITY_INFORMATION, descriptor);
    }
    LocalFree(descriptor);
    return ok;
}

static void append_random_hex(WideString* out) {
    uint8_t bytes[kRandomDigits / 2] = {};
    random_fill(bytes, sizeof bytes);
    static const wchar_t kHex[] = L"0123456789abcdef";
    for (uint8_t b : bytes) {
        append_char(out, kHex[b >> 4]);
        append_char(out, kHex[b & 15]);
    }
}

static WideString job_name(const wchar_t* folder, const wchar_t* tag, const wchar_t* rest) {
    WideString name = {};
    format(&name, L"%s%s_%s.ini", kPrefix, tag, rest);
    WideString path = path_join(folder, text_of(name));
    release(&name);
    return path;
}

bool job_file_create_new(const wchar_t* path) {
    // DeleteFileW removes a link itself, never its target.
    DeleteFileW(path);
    HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    static const uint8_t kMark[2] = {0xFF, 0xFE};
    DWORD written = 0;
    const bool ok = WriteFile(h, kMark, 2, &written, nullptr) && written == 2;
    CloseHandle(h);
    if (!ok) DeleteFileW(path);
    return ok;
}

bool job_files_create(const wchar_t* job_tag, const wchar_t* result_tag, WideString* job, WideString* result) {
    WideString folder = {};
    uint8_t probe = 0;
    if (!job_folder_prepare(&folder) || !random_fill(&probe, 1)) {
        release(&folder);
        return false;
    }
    WideString rest = {};
    format(&rest, L"%u_", (unsigned)GetCurrentProcessId());
    append_random_hex(&rest);
    release(job);
    release(result);
    *job = job_name(text_of(folder), job_tag, text_of(rest));
    *result = job_name(text_of(folder), result_tag, text_of(rest));
    release(&rest);
    release(&folder);
    DeleteFileW(text_of(*result));
    return job_file_create_new(text_of(*job));
}

// Splits "ZanGroupScanner_<tag>_<pid>_<hex>.ini": true when the name has that form with
// one of the known tags; `rest` gets "<pid>_<hex>", `tag` the tag.
static bool parse_job_name(const wchar_t* name, WideString* tag, WideString* rest, unsigned* pid) {
    static const wchar_t* const kTags[] = {kTagFirewallJob, kTagFirewallResult, kTagShareJob, kTagShareResult};
    const int prefix = (int)text_length(kPrefix);
    if ((int)text_length(name) <= prefix) return false;
    for (int i = 0; i < prefix; ++i)
        if (name[i] != kPrefix[i]) return false;
    const wchar_t* p = name + prefix;
    for (const wchar_t* t : kTags) {
        const int n = (int)text_length(t);
        bool same = true;
        for (int i = 0; i < n && same; ++i) same = p[i] == t[i];
        if (!same || p[n] != L'_') continue;
        const wchar_t* q = p + n + 1;
        const wchar_t* digits = q;
        unsigned value = 0;
        while (*q >= L'0' && *q <= L'9' && q - digits < 10) value = value * 10 + (unsigned)(*q++ - L'0');
        if (q == digits || *q != L'_') continue;
        const wchar_t* hex = ++q;
        while ((*q >= L'0' && *q <= L'9') || (*q >= L'a' && *q <= L'f')) ++q;
        if (q - hex != kRandomDigits || text_equals(q, L".ini") != 0) continue;
        assign(tag, t);
        assign(rest, digits, (int)(q - digits));
        *pid = value;
        return true;
    }
    return false;
}

static bool is_absolute_local(const wchar_t* path) {
    return path && ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) &&
           path[1] == L':' && path[2] == L'\\';
}

bool job_result_path_for(const wchar_t* job, const wchar_t* job_tag, const wchar_t* result_tag, WideString* result) {
    assign(result, L"");
    if (!is_absolute_local(job) || is_link(job)) return false;
    WideString folder = path_folder(job);
    WideString name = path_file_name(job);
    WideString tag = {}, rest = {};
    unsigned pid = 0;
    bool ok = parse_job_name(text_of(name), &tag, &rest, &pid) && text_equals(text_of(tag), job_tag) == 0 &&
              !is_link(text_of(folder)) && file_exists(job);
    if (ok) {
        WideString path = job_name(text_of(folder), result_tag, text_of(rest));
        release(result);
        *result = path;
    }
    release(&rest);
    release(&tag);
    release(&name);
    release(&folder);
    return ok;
}

const wchar_t* job_check(const wchar_t* job, const wchar_t* job_tag, const wchar_t* result_tag, WideString* result) {
    if (!job_result_path_for(job, job_tag, result_tag, result)) return L"not a job file of this program";
    WideString output = {};
    job_read(job, L"Job", L"Output", L"", &output);
    // The result goes beside the job, whatever the file says: an elevated write to a path
    // of someone else's choosing would be a privilege of its own.
    const wchar_t* why = output.length == 0                                     ? L"no result file named"
                         : compare_no_case(text_of(output), text_of(*result)) != 0 ? L"result file outside the job's own place"
                                                                                    : nullptr;
    release(&output);
    return why;
}

int job_language(const wchar_t* job) {
    WideString lang = {};
    job_read(job, L"Job", L"Lang", L"0", &lang);
    const int language = lang.length > 0 && lang.data[0] == L'1' ? 1 : 0;
    release(&lang);
    return language;
}

static bool process_is_running(unsigned pid) {
    if (pid == GetCurrentProcessId()) return true;
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process) return GetLastError() == ERROR_ACCESS_DENIED;
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

int job_files_remove_leftovers() {
    WideString folder = job_folder_path();
    WideString pattern = path_join(text_of(folder), L"ZanGroupScanner_*.ini");
    WIN32_FIND_DATAW found = {};
    HANDLE find = FindFirstFileW(text_of(pattern), &found);
    int removed = 0;
    while (find != INVALID_HANDLE_VALUE) {
        WideString tag = {}, rest = {};
        unsigned pid = 0;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            parse_job_name(found.cFileName, &tag, &rest, &pid) && !process_is_running(pid)) {
            WideString path = path_join(text_of(folder), found.cFileName);
            if (DeleteFileW(text_of(path))) ++removed;
            release(&path);
        }
        release(&tag);
        release(&rest);
        if (!FindNextFileW(find, &found)) {
            FindClose(find);
            break;
        }
    }
    release(&pattern);
    release(&folder);
    return removed;
}

void job_read(const wchar_t* path, const wchar_t* section, const wchar_t* key, const wchar_t* fallback,
              WideString* out) {
    const int size = 8192;
    if (!reserve(out, size)) return;
    const DWORD n = GetPrivateProfileStringW(section, key, fallback, out->data, size, path);
    out->length = (int)n;
    out->data[n] = 0;
}

bool job_write(const wchar_t* path, const wchar_t* section, const wchar_t* key, const wchar_t* value) {
    return WritePrivateProfileStringW(section, key, value, path) != 0;
}

bool job_write_lines(const wchar_t* path, const wchar_t* section, const wchar_t* key, const wchar_t* value) {
    WideString encoded = {};
    for (const wchar_t* p = value; p && *p; ++p) {
        if (*p == L'%') append(&encoded, L"%25");
        else if (*p == L'\r') append(&encoded, L"%0D");
        else if (*p == L'\n') append(&encoded, L"%0A");
        else append_char(&encoded, *p);
    }
    const bool ok = job_write(path, section, key, text_of(encoded));
    release(&encoded);
    return ok;
}

void job_read_lines(const wchar_t* path, const wchar_t* section, const wchar_t* key, WideString* out) {
    WideString raw = {};
    job_read(path, section, key, L"", &raw);
    assign(out, L"");
    for (int i = 0; i < raw.length; ++i) {
        const wchar_t* p = raw.data + i;
        if (p[0] == L'%' && p[1] == L'2' && p[2] == L'5') append_char(out, L'%');
        else if (p[0] == L'%' && p[1] == L'0' && p[2] == L'D') append_char(out, L'\r');
        else if (p[0] == L'%' && p[1] == L'0' && p[2] == L'A') append_char(out, L'\n');
        else {
            append_char(out, p[0]);
            continue;
        }
        i += 2;
    }
    release(&raw);
}
