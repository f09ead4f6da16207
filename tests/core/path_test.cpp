#include "core/path.h"

#include <gtest/gtest.h>

#include "tests/test_text.h"

static std::string take(WideString s) {
    std::string r = utf8(s);
    release(&s);
    return r;
}

TEST(Path, FolderPart) {
    EXPECT_EQ("C:\\Scans", take(path_folder(L"C:\\Scans\\page.pdf")));
    EXPECT_EQ("", take(path_folder(L"page.pdf")));
    EXPECT_EQ("\\", take(path_folder(L"\\page.pdf")));
    EXPECT_EQ("a/b", take(path_folder(L"a/b/c")));
    EXPECT_EQ(-1, last_separator(L"name"));
    EXPECT_EQ(3, last_separator(L"a\\b/c"));
}

TEST(Path, FileNameAndExtension) {
    EXPECT_EQ("page.pdf", take(path_file_name(L"C:\\Scans\\page.pdf")));
    EXPECT_EQ("page", take(path_file_name(L"page")));
    EXPECT_EQ(".pdf", take(path_extension(L"C:\\Scans\\page.pdf")));
    EXPECT_EQ("", take(path_extension(L"C:\\v1.2\\README")));
    EXPECT_EQ(".gz", take(path_extension(L"a.tar.gz")));
    EXPECT_EQ("C:\\v1.2\\README", take(path_without_extension(L"C:\\v1.2\\README")));
    EXPECT_EQ("C:\\v1.2\\scan", take(path_without_extension(L"C:\\v1.2\\scan.tiff")));
}

TEST(Path, JoinAddsOneSeparator) {
    EXPECT_EQ("C:\\a\\b.ini", take(path_join(L"C:\\a", L"b.ini")));
    EXPECT_EQ("C:\\a\\b.ini", take(path_join(L"C:\\a\\", L"b.ini")));
    EXPECT_EQ("/tmp/b.ini", take(path_join(L"/tmp/", L"b.ini")));
    EXPECT_EQ("b.ini", take(path_join(L"", L"b.ini")));
}
