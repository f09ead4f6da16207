// tests/net/net_dialogs_test.cpp
// The network tool dialogs driven for real on recording stand-in services: what each
// command starts, with which values, in which order, what the dialog shows when the
// worker's record arrives, and that a record is never lost when its dialog closes. Each
// scenario runs inside the dialog's own modal loop, one step per timer tick.
#include "net/net_dialogs.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/strings.h"
#include "core/heap.h"
#include "net/connection_check.h"
#include "net/net_dialog_logic.h"
#include "net/net_dialog_services.h"
#include "net/net_post.h"
#include "ui/dialog_frame.h"
#include "tests/net/net_stand_ins.h"
#include "tests/ui/ui_test_environment.h"
#include "tests/test_text.h"

namespace {

::testing::Environment* const g_env = ::testing::AddGlobalTestEnvironment(new UiEnvironment);

std::vector<std::function<void()>> g_steps;
size_t g_step = 0;

void CALLBACK run_step(HWND, UINT, UINT_PTR timer, DWORD) {
    if (g_step >= g_steps.size()) {
        KillTimer(nullptr, timer);
        return;
    }
    g_steps[g_step++]();
}

void script(std::vector<std::function<void()>> steps) {
    g_steps = std::move(steps);
    g_step = 0;
    SetTimer(nullptr, 0, 60, run_step);
}

// The topmost visible ZanDlg of this thread (a message box above its dialog).
BOOL CALLBACK note_dialog(HWND window, LPARAM found) {
    wchar_t cls[16] = {};
    GetClassNameW(window, cls, 16);
    if (lstrcmpW(cls, L"ZanDlg") == 0 && IsWindowVisible(window) && IsWindowEnabled(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

HWND top_dialog() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), note_dialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

std::string item(HWND dialog, int id) {
    wchar_t buffer[4096] = {};
    GetDlgItemTextW(dialog, id, buffer, 4096);
    return utf8(buffer);
}

void command(HWND dialog, int id) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

// ---- recording services

struct Recorder {
    std::vector<std::string> calls;
    HWND owner = nullptr;
    FakeShare share;
    FakeFirewall firewall;
    FakeElevation elevation;
    ShareSystem share_system;
    FirewallSystem firewall_system;
    ElevationSystem elevation_system;
    unsigned share_error = 0;   // the setup's outcome, posted at once
    std::wstring copied;
    NetDialogServices services();
};

Recorder* g_rec = nullptr;

NetDialogServices Recorder::services() {
    share_system = share.system();
    firewall_system = firewall.system();
    elevation_system = elevation.system();
    g_rec = this;
    NetDialogServices s = {};
    s.context = this;
    s.firewall = &firewall_system;
    s.elevation = &elevation_system;
    s.share = &share_system;
    s.suggest_machine_address = [](void*) { return wide_copy(L"192.168.1.50"); };
    s.documents_folder = [](void*) { return wide_copy(L"D:\\Data"); };
    s.connection_check_start = [](void* c, HWND owner, const wchar_t* address) {
        Recorder* r = static_cast<Recorder*>(c);
        r->owner = owner;
        r->calls.push_back("check " + narrow(address));
    };
    s.share_setup_start = [](void* c, HWND owner, const wchar_t* folder, const wchar_t* share, bool everyone,
                             const wchar_t* password) {
        Recorder* r = static_cast<Recorder*>(c);
        r->calls.push_back("setup " + narrow(folder) + " " + narrow(share) + (everyone ? " everyone" : " dedicated") +
                           " [" + narrow(password) + "]");
        ShareSetupResult* result = static_cast<ShareSetupResult*>(mem_alloc(sizeof(ShareSetupResult)));
        result->error = r->share_error;
        result->success = r->share_error == 0;
        assign(&result->folder, folder);
        assign(&result->share, share);
        assign(&result->computer, L"OFFICE-PC");
        assign(&result->ip, L"192.168.1.20");
        assign(&result->unc, L"\\\\OFFICE-PC\\ZanScans");
        assign(&result->user, L"scan");
        assign(&result->password, L"4821");
        report_add_fixed(&result->report, L"Create share: done");
        if (result->success) r->share.shares[share] = {folder, kShareRemark};
        if (!net_post_record(owner, WM_SHARE_SETUP_DONE, 0, result)) share_setup_result_free(result);
    };
    s.folder_watch_start = [](void* c, HWND, const wchar_t* folder) -> unsigned {
        static_cast<Recorder*>(c)->calls.push_back("watch " + narrow(folder));
        return 7;
    };
    s.folder_watch_stop_and_drain = [](void* c, HWND) { static_cast<Recorder*>(c)->calls.push_back("watch stop"); };
    s.shell_open = [](void* c, const wchar_t* target) {
        static_cast<Recorder*>(c)->calls.push_back("open " + narrow(target));
        return true;
    };
    s.load_saved = [](void*, SavedScanFolder*) {};
    s.save_setup = [](void* c, const ShareSetupResult& r) {
        static_cast<Recorder*>(c)->calls.push_back("save " + narrow(text_of(r.folder)));
        return true;
    };
    s.copy_text = [](void* c, HWND, const wchar_t* text) { static_cast<Recorder*>(c)->copied = text; };
    return s;
}

// ---- the mailbox

int g_freed = 0;
void count_free(void* record) {
    ++g_freed;
    mem_free(record);
}

TEST(NetDialogs, AClosedMailboxRefusesRecordsAndItsQueueIsFreed) {
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    void* a = mem_alloc(8);
    void* b = mem_alloc(8);
    EXPECT_TRUE(net_post_record(window, WM_APP + 60, 0, a));
    EXPECT_TRUE(net_post_record(window, WM_APP + 60, 0, b));
    net_mailbox_close(window);
    void* c = mem_alloc(8);
    EXPECT_FALSE(net_post_record(window, WM_APP + 60, 0, c));   // the sender still owns c
    mem_free(c);
    g_freed = 0;
    EXPECT_EQ(net_mailbox_drain(window, WM_APP + 60, count_free), 2);
    EXPECT_EQ(g_freed, 2);
    DestroyWindow(window);
    void* d = mem_alloc(8);
    EXPECT_FALSE(net_post_record(window, WM_APP + 60, 0, d));   // gone
    mem_free(d);
    EXPECT_FALSE(net_post_record(nullptr, WM_APP + 60, 0, d));
}

TEST(NetDialogs, ARealCheckFinishingAfterItsWindowClosedIsRefused) {
    // The worker of a real check, for an address it rejects at once, delivers to a window
    // whose mailbox is closed: nothing reaches the queue.
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    net_mailbox_close(window);
    ConnectionProbePlan plan = connection_plan_default();
    plan.port_count = 0;
    plan.echo = false;
    connection_check_start(window, L"not an address", plan);
    Sleep(500);
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, window, WM_CONNECTION_CHECK_DONE, WM_CONNECTION_CHECK_DONE, PM_NOREMOVE));
    DestroyWindow(window);
}

// ---- connection check

TEST(NetDialogs, TheConnectionCheckCannotCloseWhileACheckRuns) {
    set_interface_language(LANGUAGE_ENGLISH);
    Recorder rec;
    const NetDialogServices s = rec.services();
    bool open_while_running = false, button_disabled = false, button_back = false;
    std::string results_running, results_done, address;
    script({[&] {
                HWND d = top_dialog();
                address = item(d, 101);
                command(d, 31);
                command(d, 31);   // a second press while running starts nothing
                results_running = item(d, 102);
                button_disabled = !IsWindowEnabled(GetDlgItem(d, 31));
                command(d, IDCANCEL);
                command(d, IDOK);
                open_while_running = dialog_is_open(d);
            },
            [&] {
                ConnectionCheckResult* r = static_cast<ConnectionCheckResult*>(mem_alloc(sizeof(ConnectionCheckResult)));
                r->address_valid = 1;
                report_add_id(&r->report, 213);
                report_add_id(&r->report, 218);
                ASSERT_TRUE(net_post_record(rec.owner, WM_CONNECTION_CHECK_DONE, 0, r));
            },
            [&] {
                HWND d = top_dialog();
                results_done = item(d, 102);
                button_back = IsWindowEnabled(GetDlgItem(d, 31)) != FALSE;
                command(d, IDCANCEL);
            }});
    connection_check_dialog_with(nullptr, nullptr, &s);
    EXPECT_EQ(address, "192.168.1.50");
    EXPECT_EQ(rec.calls, std::vector<std::string>({"check 192.168.1.50"}));
    EXPECT_EQ(results_running, utf8(tr_in(LANGUAGE_ENGLISH, 212)));
    EXPECT_TRUE(button_disabled);
    EXPECT_TRUE(open_while_running);
    EXPECT_EQ(results_done, utf8(tr_in(LANGUAGE_ENGLISH, 213)) + "\r\n" + utf8(tr_in(LANGUAGE_ENGLISH, 218)));
    EXPECT_TRUE(button_back);
    EXPECT_FALSE(IsWindow(rec.owner));
    // A record for the closed dialog is refused (its worker then frees it).
    ConnectionCheckResult* late = static_cast<ConnectionCheckResult*>(mem_alloc(sizeof(ConnectionCheckResult)));
    EXPECT_FALSE(net_post_record(rec.owner, WM_CONNECTION_CHECK_DONE, 0, late));
    connection_check_result_free(late);
}

TEST(NetDialogs, AnEmptyAddressAsksForOneAndStartsNothing) {
    set_interface_language(LANGUAGE_ENGLISH);
    Recorder rec;
    const NetDialogServices s = rec.services();
    std::string warning;
    HWND main = nullptr;
    script({[&] {
                main = top_dialog();
                SetDlgItemTextW(main, 101, L"");
                PostMessageW(main, WM_COMMAND, MAKEWPARAM(31, 0), 0);
            },
            [&] {
                HWND box = top_dialog();
                warning = item(box, 100);
                command(box, IDOK);
            },
            [&] { command(main, IDCANCEL); }});
    connection_check_dialog_with(nullptr, L"10.0.0.9", &s);
    EXPECT_EQ(warning, utf8(tr_in(LANGUAGE_ENGLISH, 219)));
    EXPECT_TRUE(rec.calls.empty());
}

// ---- wizard

TEST(NetDialogs, TheWizardRefusesALetterInThePasswordThenSetsUpAndCopiesWhatItShows) {
    set_interface_language(LANGUAGE_ARABIC);
    Recorder rec;
    const NetDialogServices s = rec.services();
    HWND main = nullptr;
    std::string warning, explanation, status;
    bool copy_before = true, copy_after = false;
    script({[&] {
                main = top_dialog();
                copy_before = IsWindowEnabled(GetDlgItem(main, 33)) != FALSE;
                SetDlgItemTextW(main, 106, L"12a");
                PostMessageW(main, WM_COMMAND, MAKEWPARAM(32, 0), 0);
            },
            [&] {
                HWND box = top_dialog();
                warning = item(box, 100);
                command(box, IDOK);
            },
            [&] {
                SetDlgItemTextW(main, 106, L"12");
                command(main, 32);
            },
            [&] {
                copy_after = IsWindowEnabled(GetDlgItem(main, 33)) != FALSE;
                command(main, 33);
                explanation = item(main, 104);
                status = item(main, 105);
                command(main, IDCANCEL);
            }});
    share_wizard_entry_with(nullptr, &s);
    set_interface_language(LANGUAGE_ENGLISH);
    // The box shows the text inside a right-to-left embedding.
    EXPECT_NE(warning.find(utf8(tr_in(LANGUAGE_ARABIC, 275))), std::string::npos);
    const std::vector<std::string> expected = {"setup D:\\Data\\ZanGroup Scans ZanScans dedicated [12]",
                                               "save D:\\Data\\ZanGroup Scans", "open D:\\Data\\ZanGroup Scans",
                                               "watch stop"};
    EXPECT_EQ(rec.calls, expected);
    EXPECT_EQ(rec.share.calls, std::vector<std::string>({"ensure D:\\Data\\ZanGroup Scans"}));
    EXPECT_FALSE(copy_before);
    EXPECT_TRUE(copy_after);
    // The clipboard gets the details the explanation shows (less the view's sentence
    // embeddings), with the Latin values as typed.
    WideString details = {};
    share_details_text(L"D:\\Data\\ZanGroup Scans", L"OFFICE-PC", L"192.168.1.20", L"\\\\OFFICE-PC\\ZanScans", L"scan",
                       L"4821", false, false, LANGUAGE_ARABIC, &details);
    EXPECT_EQ(utf8(rec.copied.c_str()), utf8(details));
    WideString shown = net_view_text(rec.copied.c_str(), LANGUAGE_ARABIC);
    EXPECT_EQ(explanation, utf8(shown));
    release(&shown);
    shown = net_view_text(tr_in(LANGUAGE_ARABIC, 254), LANGUAGE_ARABIC);
    EXPECT_EQ(status, utf8(shown));
    release(&shown);
    release(&details);
}

TEST(NetDialogs, APasswordRefusedByPolicyIsExplainedTwice) {
    set_interface_language(LANGUAGE_ENGLISH);
    Recorder rec;
    rec.share_error = 2245;
    const NetDialogServices s = rec.services();
    HWND main = nullptr;
    std::string box_text, explanation, status;
    bool copy_enabled = true, create_enabled = false;
    script({[&] {
                main = top_dialog();
                PostMessageW(main, WM_COMMAND, MAKEWPARAM(32, 0), 0);
            },
            [&] {
                HWND box = top_dialog();
                box_text = item(box, 100);
                command(box, IDOK);
            },
            [&] {
                explanation = item(main, 104);
                status = item(main, 105);
                copy_enabled = IsWindowEnabled(GetDlgItem(main, 33)) != FALSE;
                create_enabled = IsWindowEnabled(GetDlgItem(main, 32)) != FALSE;
                command(main, IDCANCEL);
            }});
    share_wizard_entry_with(nullptr, &s);
    EXPECT_EQ(box_text, utf8(tr_in(LANGUAGE_ENGLISH, 274)));
    EXPECT_EQ(explanation, utf8(tr_in(LANGUAGE_ENGLISH, 274)) +
                               "\r\n\r\nShare setup did not complete: 2245\r\nCreate share: done");
    EXPECT_EQ(status, utf8(tr_in(LANGUAGE_ENGLISH, 260)));
    EXPECT_FALSE(copy_enabled);
    EXPECT_TRUE(create_enabled);
    EXPECT_EQ(rec.calls, std::vector<std::string>({"setup D:\\Data\\ZanGroup Scans ZanScans dedicated []", "watch stop"}));
}

}  // namespace
