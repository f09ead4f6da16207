// tests/scan/twain_host_test.cpp
// The manager host and the scan start under Wine: load errors, the twain_32.dll retry,
// the application identity, one scan at a time with exactly one result.
#include "scan/twain_host.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/strings.h"
#include "core/heap.h"
#include "tests/test_text.h"

// Runs first in this program, while the host window class is not registered yet: workers
// that start together each get their window.
static HANDLE g_go = nullptr;
static LONG g_windows_made = 0;

static DWORD WINAPI make_host_window(void*) {
    WaitForSingleObject(g_go, INFINITE);
    HWND window = twain_host_window_create();
    if (window) {
        InterlockedIncrement(&g_windows_made);
        DestroyWindow(window);
    }
    return 0;
}

TEST(TwainHost, WorkersStartingTogetherEachGetAHostWindow) {
    const int kThreads = 16;
    g_go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE threads[kThreads];
    for (HANDLE& t : threads) t = CreateThread(nullptr, 0, make_host_window, nullptr, 0, nullptr);
    Sleep(100);
    SetEvent(g_go);
    WaitForMultipleObjects(kThreads, threads, TRUE, 30000);
    for (HANDLE t : threads) CloseHandle(t);
    CloseHandle(g_go);
    EXPECT_EQ(g_windows_made, kThreads);
}

TEST(TwainHost, LoadErrorNamesTheCause) {
    WideString text = {};
    dsm_load_error_text(L"C:\\windows\\twain_32.dll", 193, &text);
    EXPECT_EQ(utf8(text),
              "C:\\windows\\twain_32.dll: LoadLibrary failed (error 193 - wrong bitness (64-bit DLL in a 32-bit process))");
    dsm_load_error_text(L"TWAINDSM.dll", 126, &text);
    EXPECT_EQ(utf8(text), "TWAINDSM.dll: LoadLibrary failed (error 126 - dependency missing)");
    dsm_load_error_text(L"x.dll", 5, &text);
    EXPECT_EQ(utf8(text), "x.dll: LoadLibrary failed (error 5)");
    release(&text);
}

TEST(TwainHost, MissingTwaindsmIsNotInstalledAndNothingLoads) {
    DsmConnection dsm;
    WideString error = {};
    // Neither the Windows folder, this test's folder nor the system folder hold one.
    EXPECT_FALSE(dsm_load(DSM_TWAINDSM, &dsm, &error));
    EXPECT_EQ(utf8(error), "TWAINDSM.dll: not installed");
    EXPECT_EQ(dsm.module, nullptr);
    release(&error);
}

TEST(TwainHost, Twain32LoadsAndCarriesTheClassicIdentity) {
    DsmConnection dsm;
    WideString error = {};
    ASSERT_TRUE(dsm_load(DSM_TWAIN32, &dsm, &error)) << utf8(error);
    EXPECT_EQ(error.length, 0);
    if (sizeof(void*) == 8) {
        // The Windows folder's twain_32.dll is the 32-bit one: the retry by name finds the
        // system's own 64-bit copy instead.
        EXPECT_EQ(utf8(dsm.path), "twain_32.dll");
    }
    EXPECT_EQ(dsm.app_identity.ProtocolMajor, 1);
    EXPECT_EQ(dsm.app_identity.ProtocolMinor, 8);
    EXPECT_EQ(dsm.app_identity.SupportedGroups, 3u);
    EXPECT_EQ(dsm.app_identity.Version.MajorNum, 2);
    EXPECT_EQ(dsm.app_identity.Version.Language, TWLG_ENGLISH);
    EXPECT_EQ(dsm.app_identity.Version.Country, TWCY_USA);
    EXPECT_STREQ(dsm.app_identity.Version.Info, "2.0.0");
    EXPECT_STREQ(dsm.app_identity.Manufacturer, "Zan Group");
    EXPECT_STREQ(dsm.app_identity.ProductFamily, "Scanner");
    EXPECT_STREQ(dsm.app_identity.ProductName, "Zan Group Scanner");
    EXPECT_EQ(dsm.app_identity.Id, 0u);
    HWND host = twain_host_window_create();
    ASSERT_NE(host, nullptr);
    ASSERT_TRUE(dsm_open(&dsm, host, &error)) << utf8(error);
    EXPECT_TRUE(dsm.is_open);
    dsm_close(&dsm);
    EXPECT_FALSE(dsm.is_open);
    EXPECT_EQ(dsm.module, nullptr);
    DestroyWindow(host);
    release(&error);
}

// Drivers load their helper DLLs through the folder the manager makes current: loading a
// manager (here twain_32.dll, by full path and, from a 64-bit process, again by bare name)
// must leave the process's DLL search as it found it.
TEST(TwainHost, LoadingAManagerLeavesTheDllSearchAlone) {
    wchar_t temp[MAX_PATH] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    ASSERT_TRUE(SetDllDirectoryW(temp));
    DsmConnection dsm;
    WideString error = {};
    ASSERT_TRUE(dsm_load(DSM_TWAIN32, &dsm, &error)) << utf8(error);
    wchar_t now[MAX_PATH + 1] = {};
    GetDllDirectoryW(MAX_PATH + 1, now);
    EXPECT_EQ(std::wstring(now), std::wstring(temp));
    dsm_close(&dsm);
    SetDllDirectoryW(nullptr);
    release(&error);
}

static int g_freed = 0;
static void count_free(void* object) {
    ++g_freed;
    mem_free(object);
}

TEST(TwainHost, UndeliverablePostIsFreedBySender) {
    twain_set_report_window(nullptr);
    g_freed = 0;
    EXPECT_FALSE(post_owned(WM_SCAN_STATUS, 0, mem_alloc(8), count_free));
    EXPECT_EQ(g_freed, 1);
}

struct Results {
    int done = 0;
    bool success = true;
    std::string text;
};
static Results g_results;

static LRESULT CALLBACK receiver(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_SCAN_DONE || message == WM_SCAN_STATUS) {
        WideString* text = reinterpret_cast<WideString*>(lparam);
        if (message == WM_SCAN_DONE) {
            g_results.done++;
            g_results.success = wparam != 0;
            g_results.text = utf8(*text);
        }
        release(text);
        mem_free(text);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

TEST(TwainHost, OneScanAtATimeAndExactlyOneResult) {
    set_interface_language(LANGUAGE_ENGLISH);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = receiver;
    wc.lpszClassName = L"ZanScanTestReceiver";
    RegisterClassW(&wc);
    HWND window = CreateWindowW(L"ZanScanTestReceiver", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    twain_set_report_window(window);
    DeviceEntry device = {};
    device.kind = DEVICE_KIND_TWAIN;
    device.dsm_mask = DSM_BIT_TWAIN32;
    assign(&device.device_key, L"Nobody|Nothing|Nowhere");
    ScanSettings settings = {};
    settings.Dpi = 200;
    ASSERT_TRUE(start_scan(device, settings));
    EXPECT_FALSE(start_scan(device, settings));  // the first one still runs
    const DWORD until = GetTickCount() + 60000;
    MSG msg;
    while (g_results.done == 0 && GetTickCount() < until) {
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&msg);
        } else {
            Sleep(10);
        }
    }
    ASSERT_EQ(g_results.done, 1);
    EXPECT_FALSE(g_results.success);
    EXPECT_EQ(g_results.text, "The device was not found. Press Refresh.");
    // The flag is cleared as the thread's last step: a new scan may start soon after.
    bool restarted = false;
    for (int i = 0; i < 200 && !restarted; ++i) {
        restarted = start_scan(device, settings);
        if (!restarted) Sleep(10);
    }
    EXPECT_TRUE(restarted);
    while (g_results.done == 1 && GetTickCount() < until) {
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&msg);
        } else {
            Sleep(10);
        }
    }
    EXPECT_EQ(g_results.done, 2);
    twain_set_report_window(nullptr);
    DestroyWindow(window);
    release(&device.device_key);
}
