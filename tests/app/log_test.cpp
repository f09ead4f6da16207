#include "app/log.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include <windows.h>

#include "core/file.h"
#include "core/path.h"
#include "tests/test_text.h"

static std::string read_all(const wchar_t* path) {
    ByteBuffer b = {};
    read_whole_file(path, &b);
    std::string s(b.data ? reinterpret_cast<char*>(b.data) : "", (size_t)b.length);
    release(&b);
    return s;
}

// Sets the size of a file that the log holds open (as another process would see it).
static bool set_file_size(const wchar_t* path, long long size) {
    HANDLE h = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER at;
    at.QuadPart = size;
    const bool ok = SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && SetEndOfFile(h);
    CloseHandle(h);
    return ok;
}

TEST(LogLine, FormatOfOneLine) {
    const LocalTime t = {2026, 3, 7, 9, 5, 1, 0};
    WideString line = {};
    log_format_line(t, 0x12345, L"scan failed: paper jam", &line);
    EXPECT_EQ("2026-03-07 09:05:01 [2345] scan failed: paper jam\r\n", utf8(line));
    log_format_line(t, 0x7, L"x", &line);
    EXPECT_EQ("2026-03-07 09:05:01 [0007] x\r\n", utf8(line));
    release(&line);
}

TEST(LogLine, CutLinesStillEndWithCrLf) {
    const LocalTime t = {2026, 1, 1, 0, 0, 0, 0};
    std::u16string big(2000, u'm');
    WideString line = {};
    log_format_line(t, 1, reinterpret_cast<const wchar_t*>(big.c_str()), &line);
    ASSERT_LE(line.length, 1023);
    EXPECT_EQ(L'\r', line.data[line.length - 2]);
    EXPECT_EQ(L'\n', line.data[line.length - 1]);
    release(&line);
}

// The real file: appending, Arabic as UTF-8, whole lines from two threads, the size rule.
TEST(LogFile, AppendsWholeUtf8LinesAndRestartsWhenTooLarge) {
    WideString temp = temp_folder();
    WideString path = path_join(text_of(temp), L"zan_log_test.log");
    delete_file(path.data);
    ASSERT_TRUE(open_log(path.data));
    EXPECT_EQ(utf8(path), utf8(log_path()));
    log_line(L"name=%s count=%d", L"\x0645\x0633\x062D", 3);
    std::thread a([] { for (int i = 0; i < 200; ++i) log_line(L"thread-a line %d", i); });
    std::thread b([] { for (int i = 0; i < 200; ++i) log_line(L"thread-b line %d", i); });
    a.join();
    b.join();
    std::string content = read_all(path.data);
    EXPECT_NE(std::string::npos, content.find("] name=\xD9\x85\xD8\xB3\xD8\xAD count=3\r\n"));
    EXPECT_NE(0xEF, (unsigned char)content[0]);  // no byte-order mark
    size_t lines = 0;
    for (size_t pos = 0; (pos = content.find("\r\n", pos)) != std::string::npos; pos += 2) ++lines;
    EXPECT_EQ(401u, lines);
    for (size_t start = 0; start < content.size();) {
        const size_t end = content.find("\r\n", start);
        ASSERT_NE(std::string::npos, end);
        const std::string one = content.substr(start, end - start);
        ASSERT_EQ('[', one[20]) << one;
        ASSERT_EQ(one.find("thread-"), one.rfind("thread-")) << "two lines mixed: " << one;
        start = end + 2;
    }

    // Exactly at the limit the log is kept; one byte more and it starts afresh.
    ASSERT_TRUE(set_file_size(path.data, LOG_SIZE_LIMIT));
    ASSERT_TRUE(open_log(path.data));
    log_line(L"kept");
    EXPECT_GT(file_size(path.data), LOG_SIZE_LIMIT);
    ASSERT_TRUE(open_log(path.data));
    log_line(L"fresh");
    content = read_all(path.data);
    EXPECT_LT(content.size(), 100u);
    EXPECT_NE(std::string::npos, content.find("] fresh\r\n"));
    release(&path);
    release(&temp);
}

TEST(LogFile, FolderThatCannotBeWrittenTurnsLoggingOff) {
    WideString temp = temp_folder();
    // A plain file stands where the log's folder should be: nothing can be created there.
    WideString blocker = path_join(text_of(temp), L"zan_log_blocker");
    ASSERT_TRUE(write_whole_file(blocker.data, "x", 1));
    WideString path = path_join(text_of(blocker), L"ZanGroupScanner.log");
    EXPECT_FALSE(open_log(path.data));
    log_line(L"goes nowhere %d", 1);
    EXPECT_FALSE(file_exists(path.data));
    EXPECT_EQ("x", read_all(blocker.data));

    // A later log that can be written works again.
    WideString good = path_join(text_of(temp), L"zan_log_after_blocker.log");
    delete_file(good.data);
    ASSERT_TRUE(open_log(good.data));
    log_line(L"back");
    EXPECT_NE(std::string::npos, read_all(good.data).find("] back\r\n"));
    delete_file(blocker.data);
    release(&good);
    release(&path);
    release(&blocker);
    release(&temp);
}
