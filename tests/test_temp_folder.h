// tests/test_temp_folder.h
// A fresh folder under the temporary folder for one test, with helpers to name and
// write files in it. The folder is left behind for inspection after a failure.
#ifndef ZAN_TESTS_TEST_TEMP_FOLDER_H
#define ZAN_TESTS_TEST_TEMP_FOLDER_H

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>

#include "core/posix_path_text.h"
#endif

#include "core/file.h"
#include "core/path.h"
#include "core/system.h"
#include "core/text.h"

struct TempFolder {
    WideString path = {};
    TempFolder() {
        WideString base = temp_folder();
        WideString name = {};
        unsigned r = 0;
        random_fill(&r, sizeof r);
        format(&name, L"zan_test_%u_%u", current_thread_id(), r);
        path = path_join(text_of(base), text_of(name));
        ensure_folder(text_of(path));
        release(&base);
        release(&name);
    }
    ~TempFolder() { release(&path); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    // A new path inside the folder; the caller releases it.
    WideString file(const wchar_t* name) const { return path_join(text_of(path), name); }
    // Files and folders directly inside the folder (temporary files included).
    int entries() const {
        int n = 0;
#ifdef _WIN32
        WideString pattern = file(L"*");
        WIN32_FIND_DATAW found;
        HANDLE h = FindFirstFileW(text_of(pattern), &found);
        release(&pattern);
        if (h == INVALID_HANDLE_VALUE) return 0;
        do {
            const bool dots = found.cFileName[0] == L'.' &&
                              (!found.cFileName[1] || (found.cFileName[1] == L'.' && !found.cFileName[2]));
            if (!dots) ++n;
        } while (FindNextFileW(h, &found));
        FindClose(h);
#else
        ByteBuffer name = posix_path_bytes(text_of(path));
        DIR* d = opendir(posix_path_c(name));
        release(&name);
        if (!d) return 0;
        while (const dirent* e = readdir(d)) {
            const std::string n8 = e->d_name;
            if (n8 != "." && n8 != "..") ++n;
        }
        closedir(d);
#endif
        return n;
    }
    WideString write(const wchar_t* name, const std::string& bytes) const {
        WideString f = file(name);
        write_whole_file(text_of(f), bytes.data(), (int)bytes.size());
        return f;
    }
};

#endif
