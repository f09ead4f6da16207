#include "core/file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

#include "core/path.h"
#include "core/system.h"
#include "tests/test_temp_folder.h"
#include "tests/test_text.h"

namespace {

std::string read_all(const wchar_t* path) {
    ByteBuffer b = {};
    const bool ok = read_whole_file(path, &b);
    std::string s = ok ? std::string(reinterpret_cast<char*>(b.data), (size_t)b.length) : "<unreadable>";
    release(&b);
    return s;
}
}

TEST(File, WriteReadAndReplace) {
    TempFolder t;
    WideString f = t.file(L"a.bin");
    ASSERT_TRUE(write_whole_file(f.data, "first", 5));
    EXPECT_TRUE(file_exists(f.data));
    EXPECT_FALSE(folder_exists(f.data));
    EXPECT_TRUE(folder_exists(t.path.data));
    EXPECT_EQ("first", read_all(f.data));
    ASSERT_TRUE(write_whole_file(f.data, "second!", 7));
    EXPECT_EQ("second!", read_all(f.data));
    EXPECT_EQ(7, file_size(f.data));
    EXPECT_TRUE(delete_file(f.data));
    EXPECT_FALSE(file_exists(f.data));
    release(&f);
}

TEST(File, AbandonedWriteKeepsTheOldFileAndLeavesNoTemporary) {
    TempFolder t;
    WideString f = t.file(L"keep.txt");
    ASSERT_TRUE(write_whole_file(f.data, "precious", 8));
    OutFile out = {};
    ASSERT_TRUE(out_file_open(&out, f.data));
    WideString temp = wide_copy(text_of(out.temp_path));
    EXPECT_TRUE(file_exists(temp.data));
    ASSERT_TRUE(out_file_write(&out, "partial", 7));
    out_file_abandon(&out);
    EXPECT_EQ("precious", read_all(f.data));
    EXPECT_FALSE(file_exists(temp.data));
    release(&temp);
    release(&f);
}

TEST(File, CommitIntoMissingFolderFailsCleanly) {
    TempFolder t;
    WideString f = t.file(L"no\\such\\folder\\x.pdf");
    OutFile out = {};
    EXPECT_FALSE(out_file_open(&out, f.data));
    EXPECT_FALSE(write_whole_file(f.data, "x", 1));
    EXPECT_FALSE(file_exists(f.data));
    release(&f);
}

TEST(File, ReadMissingFileFails) {
    TempFolder t;
    WideString f = t.file(L"missing.bin");
    ByteBuffer b = {};
    EXPECT_FALSE(read_whole_file(f.data, &b));
    EXPECT_EQ(-1, file_size(f.data));
    release(&b);
    release(&f);
}

TEST(File, EnsureFolderCreatesEveryLevel) {
    TempFolder t;
    WideString deep = t.file(L"a\\b\\c");
    EXPECT_TRUE(ensure_folder(deep.data));
    EXPECT_TRUE(folder_exists(deep.data));
    EXPECT_TRUE(ensure_folder(deep.data));
    EXPECT_FALSE(ensure_folder(L""));
    WideString nested = t.file(L"x\\y\\z.txt");
    create_parent_folders(nested.data);
    WideString parent = path_folder(nested.data);
    EXPECT_TRUE(folder_exists(parent.data));
    release(&parent);
    release(&nested);
    release(&deep);
}

#ifdef _WIN32
// Callers show these codes ("cannot create %s (error %d)"), so each failure has its own.
TEST(File, EnsureFolderReportsWhyItFailed) {
    TempFolder t;
    SetLastError(12345);
    EXPECT_TRUE(ensure_folder(t.path.data));
    EXPECT_EQ(0u, GetLastError());
    EXPECT_FALSE(ensure_folder(L""));
    EXPECT_EQ((DWORD)ERROR_INVALID_NAME, GetLastError());
    EXPECT_FALSE(ensure_folder(L"no_parent_folder"));
    EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, GetLastError());
    WideString plain = t.write(L"plain.txt", "x");
    EXPECT_FALSE(ensure_folder(plain.data));
    EXPECT_EQ((DWORD)ERROR_ALREADY_EXISTS, GetLastError());
    WideString under = t.file(L"plain.txt\\sub\\deeper");
    EXPECT_FALSE(ensure_folder(under.data));
    EXPECT_EQ((DWORD)ERROR_ALREADY_EXISTS, GetLastError());
    release(&under);
    release(&plain);
}
#endif

TEST(File, IdentityComparesFilesNotNames) {
    TempFolder t;
    WideString a = t.file(L"a.pdf");
    WideString b = t.file(L"b.pdf");
    WideString a2 = t.file(L"sub\\..\\a.pdf");
    ASSERT_TRUE(write_whole_file(a.data, "a", 1));
    ASSERT_TRUE(write_whole_file(b.data, "a", 1));
    WideString sub = t.file(L"sub");
    ensure_folder(sub.data);
    release(&sub);
    EXPECT_TRUE(files_are_same(a.data, a.data));
    EXPECT_TRUE(files_are_same(a.data, a2.data));
    EXPECT_FALSE(files_are_same(a.data, b.data));
    WideString missing = t.file(L"missing.pdf");
    EXPECT_FALSE(files_are_same(a.data, missing.data));
    release(&missing);
    release(&a);
    release(&a2);
    release(&b);
}

TEST(File, TargetCheckFindsAFolderOfThatName) {
    TempFolder t;
    WideString absent = t.file(L"new.pdf");
    EXPECT_TRUE(file_check_target(absent.data));
    ASSERT_TRUE(write_whole_file(absent.data, "x", 1));
    EXPECT_TRUE(file_check_target(absent.data));
    WideString folder = t.file(L"folder.pdf");
    ASSERT_TRUE(ensure_folder(folder.data));
    EXPECT_FALSE(file_check_target(folder.data));
    EXPECT_NE(0u, last_error_code());
    OutFile f = {};
    EXPECT_FALSE(out_file_open(&f, folder.data));
    EXPECT_NE(0u, last_error_code());
    EXPECT_EQ(2u, t.entries().size());   // nothing was created beside them
    release(&absent);
    release(&folder);
}

#ifdef _WIN32
// A viewer that holds the file open without sharing its deletion, and a read-only file:
// both are found before any byte is written, with the system's code.
TEST(File, TargetCheckFindsLockedAndReadOnlyFiles) {
    TempFolder t;
    WideString path = t.write(L"open.pdf", "old");
    HANDLE viewer = CreateFileW(path.data, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, viewer);
    EXPECT_FALSE(file_check_target(path.data));
    EXPECT_EQ((unsigned)ERROR_SHARING_VIOLATION, last_error_code());
    CloseHandle(viewer);
    EXPECT_TRUE(file_check_target(path.data));
    ASSERT_TRUE(SetFileAttributesW(path.data, FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(file_check_target(path.data));
    EXPECT_EQ((unsigned)ERROR_ACCESS_DENIED, last_error_code());
    EXPECT_FALSE(write_whole_file(path.data, "new", 3));
    SetFileAttributesW(path.data, FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ("old", read_all(path.data));
    EXPECT_EQ(1u, t.entries().size());
    release(&path);
}

// A folder whose path is longer than MAX_PATH: the temporary file beside the target and
// the final move still work.
TEST(File, WritesWorkInFoldersBeyondMaxPath) {
    TempFolder t;
    std::wstring deep = L"\\\\?\\";
    wchar_t buffer[1024];
    ASSERT_GT(GetFullPathNameW(t.path.data, 1024, buffer, nullptr), 0u);
    deep += buffer;
    const std::wstring level(60, L'd');
    for (int i = 0; i < 4; ++i) {
        deep += L"\\" + level;
        ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr)) << GetLastError();
    }
    const std::wstring target = std::wstring(buffer) + deep.substr(4 + wcslen(buffer)) + L"\\scan.pdf";
    ASSERT_GT(target.size(), (size_t)MAX_PATH);
    EXPECT_TRUE(write_whole_file(target.c_str(), "first", 5)) << last_error_code();
    EXPECT_TRUE(write_whole_file(target.c_str(), "second", 6)) << last_error_code();
    EXPECT_EQ("second", read_all((deep + L"\\scan.pdf").c_str()));
}
#endif

// ---- private scratch files

namespace {
// The folder's entries, and how many of them another reader could open.
int entries_in(const WideString& folder, int* readable) {
    std::string name = utf8(folder);
    std::replace(name.begin(), name.end(), '\\', '/');
    int n = 0;
    *readable = 0;
    for (const auto& entry : std::filesystem::directory_iterator(name)) {
        ++n;
        if (std::ifstream(entry.path(), std::ios::binary).good()) ++*readable;
    }
    return n;
}
}

TEST(ScratchFile, ReadsAndWritesPastFourGigabytesAndCutsItsEnd) {
    ScratchFile f = {};
    ASSERT_TRUE(scratch_file_open(&f, nullptr));
    const int64_t past_4gib = ((int64_t)5 << 30) + 3;
    ASSERT_TRUE(scratch_file_write_at(&f, past_4gib, "far away", 8));
    ASSERT_TRUE(scratch_file_write_at(&f, 10, "near", 4));
    char back[9] = {};
    ASSERT_TRUE(scratch_file_read_at(&f, past_4gib, back, 8));
    EXPECT_STREQ("far away", back);
    ASSERT_TRUE(scratch_file_read_at(&f, 10, back, 4));
    EXPECT_EQ(0, std::memcmp(back, "near", 4));
    // A read past the end is a failure, not a short success.
    EXPECT_FALSE(scratch_file_read_at(&f, past_4gib + 4, back, 8));
    ASSERT_TRUE(scratch_file_truncate(&f, 14));
    EXPECT_FALSE(scratch_file_read_at(&f, past_4gib, back, 8));
    EXPECT_TRUE(scratch_file_read_at(&f, 10, back, 4));
    scratch_file_close(&f);
    EXPECT_EQ(nullptr, f.handle);
    scratch_file_close(&f);
}

TEST(ScratchFile, ASizeLimitActsAsAFullDisk) {
    ScratchFile f = {};
    ASSERT_TRUE(scratch_file_open(&f, nullptr));
    f.size_limit = 100;
    EXPECT_TRUE(scratch_file_write_at(&f, 90, "0123456789", 10));
    EXPECT_FALSE(scratch_file_write_at(&f, 91, "0123456789", 10));
    EXPECT_NE(0u, last_error_code());
    EXPECT_FALSE(scratch_file_write_at(&f, -1, "x", 1));
    scratch_file_close(&f);
    EXPECT_FALSE(scratch_file_write_at(&f, 0, "x", 1));
}

TEST(ScratchFile, LeavesNothingBehindAndFailsInAMissingFolder) {
    TempFolder t;
    ScratchFile f = {};
    ASSERT_TRUE(scratch_file_open(&f, t.path.data));
    ASSERT_TRUE(scratch_file_write_at(&f, 0, "secret", 6));
    int readable = -1;
    entries_in(t.path, &readable);
    EXPECT_EQ(0, readable);
    scratch_file_close(&f);
    EXPECT_EQ(0, entries_in(t.path, &readable));
    WideString missing = t.file(L"missing");
    EXPECT_FALSE(scratch_file_open(&f, missing.data));
    EXPECT_EQ(nullptr, f.handle);
    release(&missing);
}
