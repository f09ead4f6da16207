// tests/test_temp_folder.h
// A fresh folder under the temporary folder for one test, with helpers to name and
// write files in it. The folder is left behind for inspection after a failure.
#ifndef ZAN_TESTS_TEST_TEMP_FOLDER_H
#define ZAN_TESTS_TEST_TEMP_FOLDER_H

#include <filesystem>
#include <string>
#include <vector>

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
    WideString write(const wchar_t* name, const std::string& bytes) const {
        WideString f = file(name);
        write_whole_file(text_of(f), bytes.data(), (int)bytes.size());
        return f;
    }
    // The names of the files and folders in it, in no particular order.
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        ByteBuffer b = {};
        append_utf8(&b, text_of(path));
        std::string p(reinterpret_cast<const char*>(b.data), (size_t)b.length);
        release(&b);
#ifndef _WIN32
        for (char& c : p)
            if (c == '\\') c = '/';
#endif
        for (const auto& entry : std::filesystem::directory_iterator(p)) names.push_back(entry.path().filename().string());
        return names;
    }
};

#endif
