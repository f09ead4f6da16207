// tests/net/net_tools_test.cpp
// Reports, the hidden console runner, the connection check's rules and a local run of it,
// and the folder watch on a real folder.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <thread>

#include "core/file.h"
#include "core/path.h"
#include "net/connection_check.h"
#include "net/folder_watch.h"
#include "tests/net/net_stand_ins.h"
#include "tests/test_temp_folder.h"

using Lines = std::vector<std::string>;

TEST(NetReport, IdsAreRenderedInTheLanguageAskedWithTheirArguments) {
    NetReport r = {};
    report_add_id(&r, 293, L"Public", L"OFF", L"?");
    report_add_id_code(&r, 297 + 1, 5);
    report_add_blank(&r);
    report_add_fixed(&r, L"");
    report_add_fixed(&r, L"netsh said no");
    WideString text = {};
    report_text(r, LANGUAGE_ENGLISH, &text);
    EXPECT_EQ(std::wstring(text_of(text)),
              L"Verification after the change: Public expected OFF but found ?\r\n"
              L"The netsh fallback for all network profiles failed (code 5)\r\n\r\nnetsh said no");
    report_text(r, LANGUAGE_ARABIC, &text);
    EXPECT_NE(std::wstring(text_of(text)).find(L"Public"), std::wstring::npos);
    EXPECT_EQ(std::wstring(text_of(text)).find(L"Verification"), std::wstring::npos);
    release(&text);
    report_release(&r);
}

static std::wstring child_path() {
    WideString folder = module_folder();
    WideString path = path_join(text_of(folder), L"net_hidden_child.exe");
    std::wstring p = text_of(path);
    release(&folder);
    release(&path);
    return p;
}

TEST(HiddenProcess, OutputIsTrimmedAndTheTimeLimitHoldsWhileReading) {
    const ElevationSystem* el = elevation_system_windows();
    WideString output = {};
    EXPECT_EQ(el->run_hidden_process(el->context, child_path().c_str(), L"print", &output, 20000), 0u);
    EXPECT_EQ(std::wstring(text_of(output)), L"Ok.");
    EXPECT_EQ(el->run_hidden_process(el->context, child_path().c_str(), L"exit 7", nullptr, 20000), 7u);
    // The child keeps its output open for a minute: the limit must end it while reading.
    const uint64_t start = clock_milliseconds();
    EXPECT_EQ(el->run_hidden_process(el->context, child_path().c_str(), L"sleep 60000", &output, 800), 128u);
    EXPECT_LT(clock_milliseconds() - start, 10000u);
    EXPECT_EQ(std::wstring(text_of(output)), L"started");
    EXPECT_EQ(el->run_hidden_process(el->context, child_path().c_str(), L"sleep 60000", nullptr, 500), 128u);
    EXPECT_EQ(el->run_hidden_process(el->context, L"C:\\no\\such\\program.exe", L"", &output, 500), 3u);
    release(&output);
    WideString quoted = {};
    append_quoted_argument(&quoted, L"C:\\a\"b.ini");
    EXPECT_EQ(std::wstring(text_of(quoted)), L"\"C:\\a\\\"b.ini\"");
    release(&quoted);
}

TEST(ConnectionCheck, AddressRules) {
    EXPECT_TRUE(is_valid_ipv4(L"192.168.1.50"));
    EXPECT_TRUE(is_valid_ipv4(L"010.001.000.255"));
    for (const wchar_t* bad : {L"192.168.1", L"192.168.1.50.", L"192.168.1.256", L"1.2.3.4 ", L"1..2.3", L"1234.1.1.1",
                               L"", L"+1.2.3.4", L"1.2.3.4.5"})
        EXPECT_FALSE(is_valid_ipv4(bad)) << narrow(bad);
    uint32_t v = 0;
    ASSERT_TRUE(parse_ipv4(L"010.001.000.255", &v));
    EXPECT_EQ(v, 0x0A0100FFu);
    EXPECT_EQ(http_status_of("HTTP/1.1 200 OK\r\n", 17), 200);
    EXPECT_EQ(http_status_of("HTTP/1.0 404 Not Found", 22), 404);
    EXPECT_EQ(http_status_of("HTTP/1.0 OK no digits", 21), 0);
    EXPECT_EQ(http_status_of("HTTP/1.0 20", 10), 0);
    EXPECT_EQ(http_status_of("SSH-2.0-OpenSSH_9", 17), 0);
    const uint32_t link_then_private[] = {0xA9FE0A02, 0xC0A80007};
    EXPECT_EQ(choose_local_address(link_then_private, 2), 0xC0A80007u);
    EXPECT_EQ(choose_local_address(link_then_private, 1), 0xA9FE0A02u);
    EXPECT_EQ(choose_local_address(nullptr, 0), 0u);
    const uint32_t edges[] = {0xAC200001, 0xAC1F0001};   // 172.32 is public, 172.31 private
    EXPECT_EQ(choose_local_address(edges, 2), 0xAC1F0001u);
}

// A TCP socket bound to 127.0.0.1 on a free port, which it gives in `port`.
static SOCKET loopback_socket(int* port) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    int size = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &size);
    *port = ntohs(a.sin_port);
    return s;
}

// A listener on 127.0.0.1 that answers each connection with `answer` (nothing when empty).
struct LocalServer {
    SOCKET listener = INVALID_SOCKET;
    int port = 0;
    std::thread thread;
    explicit LocalServer(std::string answer) {
        listener = loopback_socket(&port);
        listen(listener, 8);
        thread = std::thread([this, answer] {
            for (;;) {
                SOCKET c = accept(listener, nullptr, nullptr);
                if (c == INVALID_SOCKET) return;
                if (!answer.empty()) {
                    char request[512];
                    recv(c, request, sizeof request, 0);
                    send(c, answer.data(), (int)answer.size(), 0);
                }
                closesocket(c);
            }
        });
    }
    ~LocalServer() {
        closesocket(listener);
        thread.join();
    }
};

// A port on 127.0.0.1 that refuses: bound, then closed.
static int refused_port() {
    int port = 0;
    closesocket(loopback_socket(&port));
    return port;
}

TEST(ConnectionCheck, AgainstServersOnThisComputer) {
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    LocalServer web("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
    LocalServer plain("");
    ConnectionProbePlan plan = {};
    plan.ports[0] = refused_port();
    plan.ports[1] = plain.port;
    plan.ports[2] = web.port;
    plan.port_count = 3;
    plan.web_port = web.port;
    ConnectionCheckResult r = {};
    connection_check_run(L"127.0.0.1", plan, &r);
    EXPECT_TRUE(r.address_valid);
    EXPECT_TRUE(r.port_open);
    EXPECT_EQ(r.open_port, plain.port);
    EXPECT_TRUE(r.web_ok);
    EXPECT_EQ(r.web_status, 200);
    EXPECT_EQ(report_lines(r.report),
              (Lines{"id:214", "id:217(" + std::to_string(plain.port) + ")", "id:215(200)", "blank", "id:221"}));
    report_release(&r.report);

    r = {};
    plan.ports[0] = refused_port();
    plan.port_count = 1;
    plan.web_port = plain.port;   // accepts and says nothing: unreadable
    connection_check_run(L"127.0.0.1", plan, &r);
    EXPECT_EQ(report_lines(r.report), (Lines{"id:214", "id:218", "id:216", "blank", "id:221"}));
    report_release(&r.report);

    r = {};
    connection_check_run(L"127.0.0.1 ", plan, &r);
    EXPECT_EQ(report_lines(r.report), (Lines{"id:219"}));
    report_release(&r.report);
    WSACleanup();
}

// A message-only window for the workers' results.
static HWND receiver() {
    return CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

static bool next_message(HWND w, UINT message, MSG* msg, DWORD limit_ms) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < limit_ms) {
        if (PeekMessageW(msg, w, message, message, PM_REMOVE)) return true;
        Sleep(10);
    }
    return false;
}

TEST(ConnectionCheck, TheWorkerPostsOnceAndFreesTheResultWhenTheOwnerIsGone) {
    HWND w = receiver();
    ConnectionProbePlan plan = {};
    plan.ports[0] = refused_port();
    plan.port_count = 1;
    plan.web_port = plan.ports[0];
    connection_check_start(w, L"127.0.0.1", plan);
    MSG msg;
    ASSERT_TRUE(next_message(w, WM_CONNECTION_CHECK_DONE, &msg, 10000));
    ConnectionCheckResult* r = reinterpret_cast<ConnectionCheckResult*>(msg.lParam);
    EXPECT_TRUE(r->address_valid);
    connection_check_result_free(r);
    EXPECT_FALSE(next_message(w, WM_CONNECTION_CHECK_DONE, &msg, 300));
    DestroyWindow(w);
}

// Created in place, as a copier writes over SMB (write_whole_file would add a temporary
// file of its own first).
static void touch(const TempFolder& t, const wchar_t* name) {
    WideString f = t.file(name);
    HANDLE h = CreateFileW(text_of(f), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(h, "x", 1, &written, nullptr);
    CloseHandle(h);
    release(&f);
}

TEST(FolderWatch, OnlyANewFileEndsTheWatch) {
    TempFolder t;
    HWND w = receiver();
    const unsigned number = folder_watch_start(w, text_of(t.path));
    EXPECT_EQ(folder_watch_current(), number);
    Sleep(200);
    touch(t, L".keep");
    WideString sub = t.file(L"sub");
    ensure_folder(text_of(sub));
    release(&sub);
    MSG msg;
    EXPECT_FALSE(next_message(w, WM_FOLDER_WATCH_DONE, &msg, 1500));
    touch(t, L"scan0001.pdf");
    ASSERT_TRUE(next_message(w, WM_FOLDER_WATCH_DONE, &msg, 5000));
    FolderWatchResult* r = reinterpret_cast<FolderWatchResult*>(msg.lParam);
    EXPECT_EQ(msg.wParam, number);
    EXPECT_EQ(r->status, WATCH_FILE_ARRIVED);
    EXPECT_EQ(std::wstring(text_of(r->text)), L"scan0001.pdf");
    folder_watch_result_free(r);
    EXPECT_EQ(folder_watch_current(), 0u);

    // A file renamed into its final name counts under the new name.
    touch(t, L"a.tmp");
    folder_watch_start(w, text_of(t.path));
    Sleep(200);
    WideString from = t.file(L"a.tmp"), to = t.file(L"scan.pdf");
    MoveFileW(text_of(from), text_of(to));
    ASSERT_TRUE(next_message(w, WM_FOLDER_WATCH_DONE, &msg, 5000));
    r = reinterpret_cast<FolderWatchResult*>(msg.lParam);
    EXPECT_EQ(std::wstring(text_of(r->text)), L"scan.pdf");
    folder_watch_result_free(r);
    release(&from);
    release(&to);
    DestroyWindow(w);
}

TEST(FolderWatch, ASecondStartStopsTheFirstAndErrorsComeAtOnce) {
    TempFolder t;
    HWND w = receiver();
    const unsigned first = folder_watch_start(w, text_of(t.path));
    const unsigned second = folder_watch_start(w, text_of(t.path));
    MSG msg;
    ASSERT_TRUE(next_message(w, WM_FOLDER_WATCH_DONE, &msg, 5000));
    EXPECT_EQ(msg.wParam, first);
    EXPECT_NE(msg.wParam, folder_watch_current());   // stale: the dialog ignores it
    FolderWatchResult* r = reinterpret_cast<FolderWatchResult*>(msg.lParam);
    EXPECT_EQ(r->status, WATCH_STOPPED);
    folder_watch_result_free(r);
    EXPECT_EQ(folder_watch_current(), second);
    folder_watch_stop_and_drain(w);
    EXPECT_EQ(folder_watch_current(), 0u);
    EXPECT_FALSE(next_message(w, WM_FOLDER_WATCH_DONE, &msg, 1500));

    WideString missing = t.file(L"missing");
    folder_watch_start(w, text_of(missing));
    ASSERT_TRUE(next_message(w, WM_FOLDER_WATCH_DONE, &msg, 5000));
    r = reinterpret_cast<FolderWatchResult*>(msg.lParam);
    EXPECT_EQ(r->status, WATCH_ERROR);
    EXPECT_EQ(r->error, 2u);
    EXPECT_GT(r->text.length, 0);
    folder_watch_result_free(r);
    release(&missing);

    // A short time-out ends a quiet watch with status 0.
    folder_watch_start(w, text_of(t.path), 1200);
    ASSERT_TRUE(next_message(w, WM_FOLDER_WATCH_DONE, &msg, 8000));
    r = reinterpret_cast<FolderWatchResult*>(msg.lParam);
    EXPECT_EQ(r->status, WATCH_TIMED_OUT);
    folder_watch_result_free(r);
    DestroyWindow(w);
}
