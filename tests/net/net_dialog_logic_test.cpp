// tests/net/net_dialog_logic_test.cpp
// What the network tool dialogs decide and where they put things, without a window: the
// layouts (the designed places, Arabic as the mirror, the wizard on a low screen), the
// firewall action over the recording stand-ins, the wizard's input rules and its reading
// of share and watch results, and that the Latin values of the share details read as
// typed when the bidirectional algorithm lays out a right-to-left line.
#include "net/net_dialog_logic.h"

#include <gtest/gtest.h>

#include <usp10.h>

#include <string>
#include <vector>

#include "app/strings.h"
#include "net/net_dialog_layout.h"
#include "ui/dialog_layout.h"
#include "tests/net/net_stand_ins.h"
#include "tests/test_text.h"

namespace {

using Lines = std::vector<std::string>;

std::string text(const WideString& s) {
    return utf8(s);
}

bool same(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string show(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

// ---- layouts

std::vector<RECT> controls(const WizardLayout& l) {
    return {l.title,  l.location_label, l.share_label,    l.location,      l.browse, l.share,       l.preview,
            l.ip_label, l.ip,           l.open_page,      l.mode_label,    l.dedicated, l.everyone, l.password_label,
            l.password_hint, l.password, l.create,        l.copy,          l.explanation, l.status, l.open_folder,
            l.watch,  l.close};
}

TEST(NetDialogLayout, ConnectionCheckFollowsItsTable) {
    const ConnectionDialogLayout l = connection_dialog_layout(660, 560, 96, LANGUAGE_ENGLISH);
    EXPECT_EQ(show(l.band), "0,0,660,62");
    EXPECT_EQ(show(l.icon), "18,15,50,47");
    EXPECT_EQ(show(l.title), "64,12,660,60");
    EXPECT_EQ(show(l.label), "20,78,320,102");
    EXPECT_EQ(show(l.address), "20,106,640,138");
    EXPECT_EQ(show(l.check), "20,150,200,186");
    EXPECT_EQ(show(l.open_page), "212,150,422,186");
    EXPECT_EQ(show(l.tip), "20,200,640,300");
    EXPECT_EQ(show(l.results), "20,312,640,496");
    EXPECT_EQ(show(l.close), "20,510,140,546");
    const ConnectionDialogLayout a = connection_dialog_layout(660, 560, 96, LANGUAGE_ARABIC);
    EXPECT_EQ(a.icon.left, 660 - 54);
    EXPECT_EQ(show(a.title), "0,12,596,60");
}

TEST(NetDialogLayout, FirewallAndSavedSetupFollowTheirTables) {
    const FirewallDialogLayout f = firewall_dialog_layout(620, 420, 96, LANGUAGE_ENGLISH, nullptr);
    EXPECT_EQ(show(f.icon), "20,16,62,58");
    EXPECT_EQ(show(f.status), "20,78,600,220");
    EXPECT_EQ(show(f.lock), "20,238,230,274");
    EXPECT_EQ(show(f.restore), "242,238,452,274");
    EXPECT_EQ(show(f.run_again), "20,288,180,324");
    EXPECT_EQ(show(f.note), "20,334,600,370");
    EXPECT_EQ(show(f.close), "480,370,600,406");
    EXPECT_EQ(firewall_dialog_layout(620, 420, 96, LANGUAGE_ARABIC, nullptr).icon.left, 620 - 66);
    // Captions wider than the design: Lock grows, Restore moves on and stops at the margin.
    const int needed[2] = {250, 400};
    const FirewallDialogLayout g = firewall_dialog_layout(620, 420, 96, LANGUAGE_ENGLISH, needed);
    EXPECT_EQ(show(g.lock), "20,238,270,274");
    EXPECT_EQ(show(g.restore), "282,238,600,274");
    const SavedSetupLayout s = saved_setup_layout(720, 560, 96, LANGUAGE_ENGLISH);
    EXPECT_EQ(show(s.details), "20,96,700,490");
    EXPECT_EQ(show(s.open_folder), "20,510,220,546");
    EXPECT_EQ(show(s.resetup), "232,510,412,546");
    EXPECT_EQ(show(s.close), "580,510,700,546");
}

TEST(NetDialogLayout, EveryArabicControlMirrorsTheEnglishOne) {
    for (int dpi : {96, 144}) {
        const int s = dpi * 10 / 96;
        auto check = [&](const std::vector<RECT>& en, const std::vector<RECT>& ar, int w, const char* name) {
            ASSERT_EQ(en.size(), ar.size());
            for (size_t i = 0; i < en.size(); ++i)
                EXPECT_TRUE(same(ar[i], mirror_rect(en[i], w))) << name << " control " << i << " at " << dpi;
        };
        const int cw = 66 * s, ch = 56 * s;
        const ConnectionDialogLayout ce = connection_dialog_layout(cw, ch, dpi, LANGUAGE_ENGLISH),
                                     ca = connection_dialog_layout(cw, ch, dpi, LANGUAGE_ARABIC);
        check({ce.title, ce.label, ce.address, ce.check, ce.open_page, ce.tip, ce.results, ce.close},
              {ca.title, ca.label, ca.address, ca.check, ca.open_page, ca.tip, ca.results, ca.close}, cw, "connection");
        const int fw = 62 * s, fh = 42 * s;
        const int grown[2] = {260 * s / 10, 250 * s / 10};
        const FirewallDialogLayout fe = firewall_dialog_layout(fw, fh, dpi, LANGUAGE_ENGLISH, grown),
                                   fa = firewall_dialog_layout(fw, fh, dpi, LANGUAGE_ARABIC, grown);
        check({fe.title, fe.status, fe.lock, fe.restore, fe.run_again, fe.note, fe.close},
              {fa.title, fa.status, fa.lock, fa.restore, fa.run_again, fa.note, fa.close}, fw, "firewall");
        const int ww = 78 * s, wh = 82 * s;
        const int needed[WIZARD_NEEDS] = {130 * s / 10, 230 * s / 10, 300 * s / 10};
        check(controls(wizard_layout(ww, wh, dpi, LANGUAGE_ENGLISH, needed)),
              controls(wizard_layout(ww, wh, dpi, LANGUAGE_ARABIC, needed)), ww, "wizard");
    }
}

bool overlap(const RECT& a, const RECT& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

TEST(NetDialogLayout, TheWizardOnALowScreenGivesUpExplanationHeightOnly) {
    // Designed size: the explanation is 210 high and the status starts at 668.
    const WizardLayout full = wizard_layout(780, 820, 96, LANGUAGE_ENGLISH, nullptr);
    EXPECT_EQ(full.explanation.bottom - full.explanation.top, 210);
    EXPECT_EQ(full.status.top, 668);
    EXPECT_EQ(full.close.top, 770);
    // A 768-pixel laptop screen leaves about 700; 144 DPI on 1024 pixels about 950.
    struct Case { int dpi, w, h; };
    const int wide[WIZARD_NEEDS] = {200, 400, 400};
    for (const Case c : {Case{96, 780, 700}, Case{96, 780, 630}, Case{144, 1170, 980}, Case{144, 1170, 940},
                         Case{96, 780, 820}, Case{144, 1170, 1230}}) {
        const WizardLayout l = wizard_layout(c.w, c.h, c.dpi, LANGUAGE_ENGLISH, wide);
        const std::vector<RECT> all = controls(l);
        for (size_t i = 0; i < all.size(); ++i) {
            EXPECT_LE(all[i].bottom, c.h) << "control " << i << " below the client at " << c.dpi << "/" << c.h;
            for (size_t j = i + 1; j < all.size(); ++j)
                EXPECT_FALSE(overlap(all[i], all[j])) << "controls " << i << " and " << j << " at " << c.dpi << "/" << c.h;
        }
        EXPECT_GE(l.explanation.bottom - l.explanation.top, 60 * c.dpi / 96);
        EXPECT_GE(l.status.bottom - l.status.top, 44 * c.dpi / 96);
        EXPECT_EQ(l.close.top, c.h - 50 * c.dpi / 96);
    }
}

TEST(NetDialogLayout, BrowseAndCopyGrowToTheirCaptions) {
    const int needed[WIZARD_NEEDS] = {130, 240, 280};
    const WizardLayout l = wizard_layout(780, 820, 96, LANGUAGE_ENGLISH, needed);
    EXPECT_EQ(show(l.browse), "348,72,478,108");
    EXPECT_EQ(show(l.share), "492,74,652,104");   // keeps its right edge
    EXPECT_EQ(show(l.copy), "312,400,552,436");
    EXPECT_EQ(show(l.watch), "232,770,512,806");
    // Browse never takes the share edit below 100 units.
    const int too_wide[WIZARD_NEEDS] = {400, 0, 900};
    const WizardLayout wide = wizard_layout(780, 820, 96, LANGUAGE_ENGLISH, too_wide);
    EXPECT_EQ(wide.watch.right, 780 - 152);   // stops 12 short of Close
    EXPECT_EQ(wide.share.right - wide.share.left, 100);
    EXPECT_EQ(wide.browse.right + 14, wide.share.left);
    // Nothing needed beyond the design: the designed places.
    const int small[WIZARD_NEEDS] = {80, 0, 0};
    const WizardLayout plain = wizard_layout(780, 820, 96, LANGUAGE_ENGLISH, small);
    EXPECT_EQ(show(plain.browse), "348,72,448,108");
    EXPECT_EQ(show(plain.copy), "312,400,502,436");
}

// ---- connection check

TEST(NetDialogLogic, ACheckShowsItsReportOnlyForAValidAddress) {
    ConnectionCheckResult r = {};
    WideString out = {};
    r.address_valid = 1;
    report_add_id(&r.report, 213);
    report_add_id_number(&r.report, 217, 80);
    connection_results_text(r, LANGUAGE_ENGLISH, &out);
    EXPECT_EQ(text(out), "The machine replied to ping.\r\nA network port is open: 80");
    r.address_valid = 0;
    connection_results_text(r, LANGUAGE_ENGLISH, &out);
    EXPECT_EQ(text(out), utf8(tr_in(LANGUAGE_ENGLISH, 219)));
    r.address_valid = 1;
    report_clear(&r.report);
    connection_results_text(r, LANGUAGE_ARABIC, &out);
    EXPECT_EQ(text(out), utf8(tr_in(LANGUAGE_ARABIC, 219)));
    report_release(&r.report);
    release(&out);
}

// ---- firewall

std::string outcome(FirewallAction action, bool ok, const NetReport& report) {
    NetMessage m = {};
    firewall_outcome_message(action, ok, report, LANGUAGE_ENGLISH, &m);
    const std::string kind = m.kind == NET_MESSAGE_INFORMATION ? "information: " : m.kind == NET_MESSAGE_WARNING ? "warning: " : "none";
    const std::string s = kind + text(m.text);
    net_message_release(&m);
    return s;
}

TEST(NetDialogLogic, ADeclinedFirewallChangeTouchesNothingAndSaysSo) {
    FakeFirewall fw;
    FakeElevation el;
    const FirewallSystem f = fw.system();
    const ElevationSystem e = el.system();
    NetReport report = {};
    EXPECT_FALSE(firewall_dialog_action(FIREWALL_LOCK, false, &f, &e, &report));
    EXPECT_TRUE(fw.calls.empty());
    EXPECT_TRUE(el.calls.empty());
    EXPECT_EQ(report_lines(report), Lines({"id:300"}));
    EXPECT_EQ(outcome(FIREWALL_LOCK, false, report),
              "warning: Firewall operation failed. Details: \r\nThe operation was cancelled; no firewall setting was changed.");
    report_release(&report);
}

TEST(NetDialogLogic, AConfirmedLockByAnAdministratorRunsInThisProcess) {
    FakeFirewall fw;
    FakeElevation el;
    const FirewallSystem f = fw.system();
    const ElevationSystem e = el.system();
    NetReport report = {};
    EXPECT_TRUE(firewall_dialog_action(FIREWALL_LOCK, true, &f, &e, &report));
    EXPECT_EQ(fw.calls, Lines({"open", "read 1", "read 2", "read 4", "close", "save 7", "open", "write 1 off",
                               "write 2 off", "write 4 off", "close", "open", "read 1", "read 2", "read 4", "close"}));
    EXPECT_TRUE(el.calls.empty());
    EXPECT_EQ(outcome(FIREWALL_LOCK, true, report), "information: " + utf8(tr_in(LANGUAGE_ENGLISH, 230)));
    report_release(&report);
}

TEST(NetDialogLogic, ARestoreWithoutRightsGoesThroughTheElevatedInstance) {
    FakeFirewall fw;
    FakeElevation el;
    el.admin = false;   // and the user declines the UAC prompt (1223)
    const FirewallSystem f = fw.system();
    const ElevationSystem e = el.system();
    NetReport report = {};
    EXPECT_FALSE(firewall_dialog_action(FIREWALL_RESTORE, true, &f, &e, &report));
    EXPECT_TRUE(fw.calls.empty());
    ASSERT_EQ(el.calls.size(), 1u);
    EXPECT_EQ(el.calls[0].rfind("runas --zan-admin=fwrestore \"", 0), 0u) << el.calls[0];
    EXPECT_EQ(report_lines(report), Lines({"id:234"}));
    EXPECT_EQ(outcome(FIREWALL_RESTORE, false, report),
              "warning: Firewall operation failed. Details: \r\n" + utf8(tr_in(LANGUAGE_ENGLISH, 234)));
    // Restore that succeeded, and a failure that left no report.
    EXPECT_EQ(outcome(FIREWALL_RESTORE, true, report), "information: " + utf8(tr_in(LANGUAGE_ENGLISH, 231)));
    report_clear(&report);
    EXPECT_EQ(outcome(FIREWALL_LOCK, false, report), "none");
    report_release(&report);
}

TEST(NetDialogLogic, TheFirewallStatusListsTheProfilesAndOneSummary) {
    FakeFirewall fw;
    fw.states[2] = 0;
    const FirewallSystem f = fw.system();
    WideString out = {};
    firewall_status_view(&f, LANGUAGE_ENGLISH, &out);
    EXPECT_EQ(text(out), "Domain: ON\r\nPrivate: ON\r\nPublic: OFF\r\n" + utf8(tr_in(LANGUAGE_ENGLISH, 229)));
    release(&out);
}

// ---- wizard input

TEST(NetDialogLogic, TheWizardAcceptsOnlyALocalFolderAndAPlainShareName) {
    EXPECT_EQ(wizard_input_problem(L"D:\\Data", L"ZanScans", false, L""), 0);
    EXPECT_EQ(wizard_input_problem(L"D:\\", L"Zan_Scans-2", true, L""), 0);
    EXPECT_EQ(wizard_input_problem(L"D:", L"ZanScans", false, L""), 267);
    EXPECT_EQ(wizard_input_problem(L"\\\\server\\data", L"ZanScans", false, L""), 267);
    EXPECT_EQ(wizard_input_problem(L"", L"ZanScans", false, L""), 267);
    EXPECT_EQ(wizard_input_problem(L"D:\\Data", L"", false, L""), 267);
    EXPECT_EQ(wizard_input_problem(L"D:\\Data", L"Zan Scans", false, L""), 267);
    EXPECT_EQ(wizard_input_problem(L"D:\\Data", L"Zan.Scans", false, L""), 267);
    EXPECT_EQ(wizard_input_problem(L"D:\\Data", L"Z\x00E9", false, L""), 267);
    // The password: digits only in dedicated mode, any length the edit allows.
    EXPECT_EQ(wizard_input_problem(L"D:\\Data", L"ZanScans", false, L"12a4"), 275);
    EXPECT_EQ(wizard_input_problem(L"D:\\Data", L"ZanScans", false, L"12"), 0);
    EXPECT_EQ(wizard_input_problem(L"D:\\Data", L"ZanScans", true, L"12a4"), 0);
    // The folder problem is reported before the password's.
    EXPECT_EQ(wizard_input_problem(L"D:", L"ZanScans", false, L"x"), 267);
}

TEST(NetDialogLogic, ThePreviewNamesTheFolderThatWillBeShared) {
    WideString out = {};
    wizard_preview_text(L"D:\\Data", LANGUAGE_ENGLISH, &out);
    EXPECT_EQ(text(out), utf8(tr_in(LANGUAGE_ENGLISH, 271)) + "\r\nFull scan folder path: D:\\Data\\ZanGroup Scans");
    WideString folder = wizard_full_folder(L"D:\\");
    EXPECT_EQ(text(folder), "D:\\ZanGroup Scans");
    release(&folder);
    release(&out);
}

// ---- share results

struct SettleCase {
    bool success;
    unsigned error;
    bool folder;
    const wchar_t* share_path;   // where the share points (null: no share)
    bool expect_success;
    unsigned expect_error;
    Lines expect_report;
};

TEST(NetDialogLogic, ASuccessIsKeptOnlyWhenFolderAndShareAreThere) {
    const wchar_t kAt[] = L"D:\\Data\\ZanGroup Scans";
    const SettleCase cases[] = {
        {true, 0, true, kAt, true, 0, {"fixed:step"}},
        {true, 0, true, L"D:\\Data\\ZanGroup Scans\\", true, 0, {"fixed:step"}},
        {true, 0, false, kAt, false, 3, {"fixed:step", "id:269"}},
        {true, 0, true, L"D:\\Old", false, 53, {"fixed:step", "id:279"}},
        {true, 0, true, nullptr, false, 53, {"fixed:step", "id:279"}},
        {false, 53, true, kAt, false, 53, {"fixed:step", "id:279"}},
        {false, 3, false, nullptr, false, 3, {"fixed:step", "id:269"}},
        {false, 5, true, kAt, false, 5, {"fixed:step"}},
    };
    for (const SettleCase& c : cases) {
        FakeShare fs;
        fs.folder = c.folder;
        if (c.share_path) fs.shares[L"ZanScans"] = {c.share_path, kShareRemark};
        const ShareSystem sys = fs.system();
        ShareSetupResult r = {};
        r.success = c.success;
        r.error = c.error;
        assign(&r.folder, kAt);
        assign(&r.share, L"ZanScans");
        report_add_fixed(&r.report, L"step");
        wizard_settle_result(&r, &sys);
        EXPECT_EQ(r.success != 0, c.expect_success) << c.error;
        EXPECT_EQ(r.error, c.expect_error);
        EXPECT_EQ(report_lines(r.report), c.expect_report);
        share_setup_result_clear(&r);
    }
}

TEST(NetDialogLogic, AFailedSetupExplainsItselfByItsError) {
    ShareSetupResult r = {};
    report_add_fixed(&r.report, L"Create share: 2245");
    r.error = 2245;
    WideString out = {};
    wizard_failure_explanation(r, LANGUAGE_ENGLISH, &out);
    EXPECT_EQ(text(out), utf8(tr_in(LANGUAGE_ENGLISH, 274)) + "\r\n\r\nShare setup did not complete: 2245\r\nCreate share: 2245");
    r.error = 740;
    wizard_failure_explanation(r, LANGUAGE_ENGLISH, &out);
    EXPECT_EQ(text(out), "Share setup did not complete: 740\r\nCreate share: 2245\r\n" + utf8(tr_in(LANGUAGE_ENGLISH, 266)));
    r.error = 5;
    wizard_failure_explanation(r, LANGUAGE_ENGLISH, &out);
    EXPECT_EQ(text(out), "Share setup did not complete: 5\r\nCreate share: 2245");
    for (unsigned code : {86u, 1325u, 2203u, 2244u, 2245u, 2246u, 2704u}) EXPECT_TRUE(password_rejected_by_policy(code));
    for (unsigned code : {0u, 5u, 53u, 740u, 1223u, 2224u}) EXPECT_FALSE(password_rejected_by_policy(code));
    share_setup_result_clear(&r);
    release(&out);
}

TEST(NetDialogLogic, TheWatchStatusFollowsTheResult) {
    FolderWatchResult r = {};
    WideString out = {};
    const std::pair<int, std::string> cases[] = {
        {WATCH_STOPPED, utf8(tr_in(LANGUAGE_ENGLISH, 260))},
        {WATCH_FILE_ARRIVED, utf8(tr_in(LANGUAGE_ENGLISH, 261)) + "scan0001.pdf"},
        {WATCH_TIMED_OUT, utf8(tr_in(LANGUAGE_ENGLISH, 262))},
        {WATCH_ERROR, "scan0001.pdf"},
    };
    assign(&r.text, L"scan0001.pdf");
    for (const auto& c : cases) {
        r.status = c.first;
        wizard_watch_status(r, LANGUAGE_ENGLISH, &out);
        EXPECT_EQ(text(out), c.second) << c.first;
    }
    // An error without a text of its own gets the system's message for its code.
    assign(&r.text, L"");
    r.error = 5;
    wizard_watch_status(r, LANGUAGE_ENGLISH, &out);
    WideString system = system_error_text(5);
    EXPECT_EQ(text(out), text(system));
    EXPECT_GT(out.length, 0);
    release(&system);
    folder_watch_result_free(nullptr);
    release(&r.text);
    release(&out);
}

TEST(NetDialogLogic, TheSavedSetupOpensFirstOnlyWhileItsShareStillFits) {
    FakeShare fs;
    fs.folder = true;
    fs.shares[L"ZanScans"] = {L"D:\\Data\\ZanGroup Scans", kShareRemark};
    const ShareSystem sys = fs.system();
    SavedScanFolder saved = {};
    saved.ready = true;
    assign(&saved.folder, L"D:\\Data\\ZanGroup Scans");
    assign(&saved.share, L"ZanScans");
    EXPECT_TRUE(wizard_entry_shows_saved(saved, &sys));
    fs.shares[L"ZanScans"].first = L"D:\\Elsewhere";
    EXPECT_FALSE(wizard_entry_shows_saved(saved, &sys));
    fs.shares[L"ZanScans"].first = L"D:\\Data\\ZanGroup Scans";
    fs.folder = false;
    EXPECT_FALSE(wizard_entry_shows_saved(saved, &sys));
    fs.folder = true;
    saved.ready = false;
    EXPECT_FALSE(wizard_entry_shows_saved(saved, &sys));
    saved.ready = true;
    assign(&saved.share, L"");
    EXPECT_FALSE(wizard_entry_shows_saved(saved, &sys));
    saved_scan_folder_release(&saved);
}

// ---- right-to-left lines

// The line as the bidirectional algorithm lays it out (Uniscribe: itemize with the
// paragraph level, then the visual order of the runs), written left to right.
std::wstring visual_line(const std::wstring& line, bool rtl_paragraph) {
    SCRIPT_ITEM items[128];
    int count = 0;
    SCRIPT_CONTROL control = {};
    SCRIPT_STATE state = {};
    state.uBidiLevel = rtl_paragraph ? 1 : 0;
    if (FAILED(ScriptItemize(line.c_str(), (int)line.size(), 127, &control, &state, items, &count))) return L"?";
    BYTE levels[128];
    int visual_to_logical[128], logical_to_visual[128];
    for (int i = 0; i < count; ++i) levels[i] = (BYTE)items[i].a.s.uBidiLevel;
    ScriptLayout(count, levels, visual_to_logical, logical_to_visual);
    std::wstring out;
    for (int v = 0; v < count; ++v) {
        const int run = visual_to_logical[v];
        const int from = items[run].iCharPos, to = items[run + 1].iCharPos;
        for (int k = 0; k < to - from; ++k) {
            const wchar_t c = line[(levels[run] & 1) ? to - 1 - k : from + k];
            if (c != 0x200E && c != 0x202A && c != 0x202B && c != 0x202C) out += c;
        }
    }
    return out;
}

std::vector<std::wstring> split_lines(const wchar_t* text) {
    std::vector<std::wstring> lines;
    std::wstring current;
    for (const wchar_t* p = text; *p; ++p) {
        if (*p == L'\r') continue;
        if (*p == L'\n') {
            lines.push_back(current);
            current.clear();
        } else {
            current += *p;
        }
    }
    lines.push_back(current);
    return lines;
}

const wchar_t* const kValues[] = {L"D:\\Data\\ZanGroup Scans", L"OFFICE-PC", L"192.168.1.20", L"\\\\OFFICE-PC\\Zan_Scans_",
                                  L"scan", L"4821"};

TEST(NetDialogLogic, ArabicDetailsShowEveryLatinValueAsTyped) {
    WideString ar = {};
    share_details_text(kValues[0], kValues[1], kValues[2], kValues[3], kValues[4], kValues[5], false, true,
                       LANGUAGE_ARABIC, &ar);
    WideString shown = net_view_text(text_of(ar), LANGUAGE_ARABIC);
    // Copied, and shown in a right-to-left view (Windows) or a left-to-right one (Wine's
    // edit control): value i sits on line i and reads exactly as typed.
    for (const WideString* variant : {&ar, &shown}) {
        const std::vector<std::wstring> lines = split_lines(text_of(*variant));
        ASSERT_GE(lines.size(), 6u);
        for (int i = 0; i < 6; ++i) {
            for (bool rtl : {true, false})
                EXPECT_NE(visual_line(lines[i], rtl).find(kValues[i]), std::wstring::npos)
                    << "value " << i << (rtl ? " right to left" : " left to right") << ": "
                    << utf8(visual_line(lines[i], rtl).c_str());
        }
    }
    // The check itself: without the marks, a right-to-left line moves the backslashes.
    std::wstring bare = std::wstring(tr_in(LANGUAGE_ARABIC, 250)) + L": " + kValues[3];
    EXPECT_EQ(visual_line(bare, true).find(kValues[3]), std::wstring::npos) << utf8(visual_line(bare, true).c_str());
    // The marks sit outside the values: selecting a value in pasted text selects exactly it.
    const std::wstring copied = text_of(ar);
    for (const wchar_t* value : kValues) EXPECT_NE(copied.find(std::wstring(L" ") + value), std::wstring::npos);
    EXPECT_EQ(copied.find(L"\x202A"), std::wstring::npos);
    EXPECT_EQ(copied.find(L"\x202B"), std::wstring::npos);
    release(&shown);
    release(&ar);
}

TEST(NetDialogLogic, ViewsEmbedSentencesButNotValueLines) {
    WideString en = {}, ar = {};
    share_details_text(kValues[0], kValues[1], kValues[2], kValues[3], kValues[4], kValues[5], true, false,
                       LANGUAGE_ENGLISH, &en);
    WideString shown = net_view_text(text_of(en), LANGUAGE_ENGLISH);
    EXPECT_EQ(text(shown), text(en));
    EXPECT_EQ(std::wstring(text_of(en)).find(L"\x200E"), std::wstring::npos);
    release(&shown);
    share_details_text(kValues[0], kValues[1], kValues[2], kValues[3], kValues[4], kValues[5], true, false,
                       LANGUAGE_ARABIC, &ar);
    shown = net_view_text(text_of(ar), LANGUAGE_ARABIC);
    const std::vector<std::wstring> lines = split_lines(text_of(shown));
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].empty()) continue;
        const bool value_line = i < 6;
        EXPECT_EQ(lines[i].front() == 0x202B, !value_line) << i;
        EXPECT_EQ(lines[i].back() == 0x202C, !value_line) << i;
    }
    release(&shown);
    release(&ar);
    release(&en);
}

}  // namespace
