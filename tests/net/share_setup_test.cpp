// tests/net/share_setup_test.cpp
// The share setup's steps over a recording stand-in of netapi32, the ACLs and the folder:
// the order of the steps, their codes, the repair of an existing share, and that what
// this program did not make is left alone.
#include "net/share_setup.h"

#include <gtest/gtest.h>

#include "core/file.h"
#include "app/settings.h"
#include "net/job_files.h"
#include "net/scan_folder.h"
#include "tests/test_temp_folder.h"
#include "tests/net/net_stand_ins.h"

using Lines = std::vector<std::string>;

static std::vector<std::string> step_lines(const ShareSetupResult& r) {
    std::vector<std::string> out;
    for (const std::string& l : report_lines(r.report)) out.push_back(l.substr(l.find(':') + 1));
    return out;
}

static const wchar_t kFolder[] = L"D:\\Data\\ZanGroup Scans";

// The privileged steps in dedicated mode with `password` (none: empty) on the stand-in.
static void run_setup(FakeShare* sh, FakeElevation* el, ShareSetupResult* r, const wchar_t* password, bool everyone = false) {
    const ShareSystem s = sh->system();
    const ElevationSystem e = el->system();
    if (password) assign(&r->password, password);
    share_setup_privileged(r, kFolder, L"ZanScans", everyone, &s, &e);
}

TEST(ShareSetup, AFirstDedicatedSetupCreatesTheAccountThenTheShare) {
    FakeShare sh;
    FakeElevation el;
    ShareSetupResult r = {};
    run_setup(&sh, &el, &r, L"4821");
    EXPECT_TRUE(r.success);
    EXPECT_EQ(r.error, 0u);
    EXPECT_EQ(std::wstring(text_of(r.unc)), L"\\\\OFFICE-PC\\ZanScans");
    EXPECT_EQ(std::wstring(text_of(r.user)), L"scan");
    EXPECT_EQ(sh.calls, (Lines{"ensure D:\\Data\\ZanGroup Scans", "user_get scan", "user_add scan 4821", "hide scan",
                               "users_group_add scan", "networks_to_private", "ensure D:\\Data\\ZanGroup Scans",
                               "account_sid", "dacl D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;GA;;;S-1-5-21-1-2-3-1001)",
                               "share_add ZanScans"}));
    EXPECT_EQ(el.calls,
              (Lines{"run netsh.exe advfirewall firewall set rule group=\"File and Printer Sharing\" new enable=Yes "
                     "profile=private limit=15000",
                     "run netsh.exe advfirewall set privateprofile state on limit=15000"}));
    EXPECT_EQ(step_lines(r), (Lines{"Create and verify destination folder: OK", "NetUserAdd(scan): OK",
                                    "Add scan to local Users: OK", "Set connected public networks to Private: OK",
                                    "Enable File and Printer Sharing (private): OK", "Create destination folder: OK",
                                    "Folder permissions: OK", "NetShareAdd: OK"}));
    share_setup_result_clear(&r);
}

TEST(ShareSetup, ASecondRunRepairsItsOwnShareAndUpdatesItsOwnAccount) {
    FakeShare sh;
    sh.user_state = 0;
    sh.shares[L"ZanScans"] = {L"d:/data/zangroup scans/", kShareRemark};
    FakeElevation el;
    ShareSetupResult r = {};
    run_setup(&sh, &el, &r, L"9911");
    EXPECT_TRUE(r.success);
    EXPECT_TRUE(r.existing_account);
    const Lines steps = step_lines(r);
    EXPECT_EQ(steps[1], "NetUserSetInfo(scan password): OK");
    EXPECT_EQ(steps[steps.size() - 3].substr(0, 18), "NetShareAdd: 2118 ");
    EXPECT_EQ(steps[steps.size() - 2], "Existing share path matches: OK");
    EXPECT_EQ(steps.back(), "NetShareSetInfo existing share: OK");
    EXPECT_EQ(sh.calls[2], "user_set_password scan 9911");
    share_setup_result_clear(&r);
}

TEST(ShareSetup, ItsOwnShareOnAnotherPathIsDeletedAndMadeAgain) {
    FakeShare sh;
    sh.shares[L"ZanScans"] = {L"C:\\Old", kShareRemark};
    FakeElevation el;
    ShareSetupResult r = {};
    run_setup(&sh, &el, &r, L"1234");
    EXPECT_TRUE(r.success);
    const Lines steps = step_lines(r);
    EXPECT_EQ(Lines(steps.end() - 3, steps.end()),
              (Lines{"Existing share path differs: OK", "NetShareDel old path: OK", "NetShareAdd after delete: OK"}));
    share_setup_result_clear(&r);
}

TEST(ShareSetup, AShareOrAccountThisProgramDidNotMakeIsNeverTouched) {
    FakeShare sh;
    sh.shares[L"ZanScans"] = {L"C:\\Finance", L"Accounts team"};
    FakeElevation el;
    ShareSetupResult r = {};
    run_setup(&sh, &el, &r, L"1234");
    EXPECT_FALSE(r.success);
    EXPECT_EQ(r.error, 2118u);
    for (const std::string& c : sh.calls) EXPECT_EQ(c.find("share_delete"), std::string::npos);
    for (const std::string& c : sh.calls) EXPECT_EQ(c.find("share_set"), std::string::npos);
    EXPECT_EQ(sh.shares[L"ZanScans"].first, L"C:\\Finance");

    FakeShare other;
    other.user_state = 0;
    other.user_comment = L"Copier account of the IT department";
    ShareSetupResult r2 = {};
    run_setup(&other, &el, &r2, L"1234");
    EXPECT_EQ(r2.error, 2224u);
    EXPECT_FALSE(r2.existing_account);
    for (const std::string& c : other.calls) EXPECT_EQ(c.find("user_set_password"), std::string::npos);
    for (const std::string& c : other.calls) EXPECT_EQ(c.find("share_add"), std::string::npos);
    share_setup_result_clear(&r);
    share_setup_result_clear(&r2);
}

TEST(ShareSetup, EveryoneModeHasNoUserAndGrantsEveryone) {
    FakeShare sh;
    FakeElevation el;
    ShareSetupResult r = {};
    run_setup(&sh, &el, &r, nullptr, true);
    EXPECT_TRUE(r.success);
    EXPECT_EQ(r.user.length, 0);
    EXPECT_EQ(r.password.length, 0);
    EXPECT_EQ(sh.calls[1], "guest_enable");
    EXPECT_EQ(sh.calls[2], "everyone_registry");
    bool everyone_dacl = false;
    for (const std::string& c : sh.calls) everyone_dacl = everyone_dacl || c == "dacl D:(A;;GA;;;WD)";
    EXPECT_TRUE(everyone_dacl);
    share_setup_result_clear(&r);
}

TEST(ShareSetup, AShareThatDoesNotPointAtTheFolderIsNotASuccess) {
    FakeShare sh;
    sh.share_add_applies = false;   // the call says yes, nothing is shared
    FakeElevation el;
    ShareSetupResult r = {};
    run_setup(&sh, &el, &r, L"1234");
    EXPECT_FALSE(r.success);
    EXPECT_EQ(r.error, 53u);
    EXPECT_EQ(step_lines(r).back().substr(0, 22), "Verify share path: 53 ");
    share_setup_result_clear(&r);
}

TEST(ShareSetup, MissingNetworkFunctionsAndAnEmptyPasswordStopEarly) {
    FakeShare sh;
    sh.loads = false;
    FakeElevation el;
    ShareSetupResult r = {};
    run_setup(&sh, &el, &r, nullptr);
    EXPECT_EQ(r.error, 1157u);
    EXPECT_TRUE(sh.calls.empty());
    share_setup_result_clear(&r);
    sh.loads = true;
    run_setup(&sh, &el, &r, nullptr);
    EXPECT_EQ(r.error, 86u);
    EXPECT_EQ(step_lines(r)[1].substr(0, 33), "Empty scan password rejected: 86 ");
    share_setup_result_clear(&r);
}

TEST(ShareSetup, GeneratedPasswordsHaveFourToSixDigitsAndNeverAllZero) {
    FakeShare sh;
    const ShareSystem s = sh.system();
    WideString password = {};
    sh.random = {7, 10, 21, 32, 43, 54};
    ASSERT_TRUE(generate_scan_password(&s, &password));
    EXPECT_EQ(std::wstring(text_of(password)), L"01234");
    sh.random = {3, 0, 10, 20, 30};
    ASSERT_TRUE(generate_scan_password(&s, &password));
    EXPECT_EQ(std::wstring(text_of(password)), L"0001");
    sh.random = {5, 1};
    EXPECT_FALSE(generate_scan_password(&s, &password));
    EXPECT_EQ(password.length, 0);
    release(&password);
}

TEST(ShareSetup, FolderPathsAndShareNames) {
    EXPECT_TRUE(same_folder_path(L"D:\\Scans\\", L"d:/scans"));
    WideString root = wide_copy(L"D:\\");
    normalize_folder_path(&root);
    EXPECT_EQ(std::wstring(text_of(root)), L"D:\\");
    release(&root);
    EXPECT_TRUE(share_name_valid(L"Zan_Scans-2"));
    EXPECT_FALSE(share_name_valid(L"Zan\\Scans"));
    EXPECT_FALSE(share_name_valid(L"Zan Scans"));
    EXPECT_FALSE(share_name_valid(L"Zan.Scans"));
    EXPECT_FALSE(share_name_valid(L""));
    EXPECT_TRUE(folder_path_acceptable(L"C:\\Users\\Office\\Documents\\ZanGroup Scans"));
    EXPECT_FALSE(folder_path_acceptable(L"Documents\\ZanGroup Scans"));
    EXPECT_FALSE(folder_path_acceptable(L"\\\\server\\share\\x"));
    EXPECT_FALSE(folder_path_acceptable(L"C:\\Users\\..\\Windows\\System32"));
    EXPECT_FALSE(folder_path_acceptable(L"C:"));
}

// ---- the worker's run without administrator rights: the handler as elevated instance.

static FakeShare* g_elevated_share = nullptr;

static unsigned run_share_handler(FakeElevation*, const wchar_t* parameters) {
    std::wstring p = parameters;
    const size_t open = p.find(L'"');
    const std::wstring job = p.substr(open + 1, p.rfind(L'"') - open - 1);
    FakeElevation admin;
    const ShareSystem s = g_elevated_share->system();
    const ElevationSystem e = admin.system();
    return (unsigned)share_job_handle_with(job.c_str(), &s, &e);
}

TEST(ShareSetupElevated, TheElevatedRunIsVerifiedAgainHere) {
    FakeShare elevated_side;
    g_elevated_share = &elevated_side;
    FakeShare here;   // this process sees no share: the elevated side's success is not trusted
    here.folder = true;
    FakeElevation el;
    el.admin = false;
    el.elevated = run_share_handler;
    const ShareSystem s = here.system();
    const ElevationSystem e = el.system();
    ShareSetupResult r = {};
    share_setup_run(&r, kFolder, L"ZanScans", false, L"5555", &s, &e);
    EXPECT_EQ(r.error, 53u);
    EXPECT_FALSE(r.success);
    EXPECT_EQ(std::wstring(text_of(r.password)), L"5555");
    EXPECT_EQ(std::wstring(text_of(r.computer)), L"OFFICE-PC");
    const Lines lines = report_lines(r.report);
    EXPECT_NE(lines.front().find("NetUserAdd(scan): OK"), std::string::npos);
    EXPECT_EQ(lines.back(), "fixed:Verify share path in parent: 53 ? system:53");
    share_setup_result_clear(&r);

    here.shares[L"ZanScans"] = {kFolder, kShareRemark};
    share_setup_run(&r, kFolder, L"ZanScans", false, L"5555", &s, &e);
    EXPECT_TRUE(r.success);
    share_setup_result_clear(&r);
}

TEST(ShareSetupElevated, HostileShareJobsAreRefusedBeforeAnyStep) {
    FakeShare sh;
    FakeElevation admin;
    const ShareSystem s = sh.system();
    const ElevationSystem e = admin.system();
    struct Case {
        const wchar_t* folder;
        const wchar_t* share;
        const wchar_t* everyone;
        const wchar_t* password;
    };
    const Case cases[] = {{L"Documents\\Scans", L"ZanScans", L"0", L"1234"},
                          {L"C:\\Scans", L"Zan\\Scans", L"0", L"1234"},
                          {L"C:\\Scans", L"ZanScans", L"yes", L"1234"},
                          {L"C:\\Scans", L"ZanScans", L"0", L"12a4"},
                          {L"C:\\Scans\\..\\Windows", L"ZanScans", L"0", L"1234"},
                          {L"C:\\Scans", L"", L"0", L"1234"}};
    for (const Case& c : cases) {
        WideString job = {}, result = {};
        ASSERT_TRUE(job_files_create(kTagShareJob, kTagShareResult, &job, &result));
        job_write(text_of(job), L"Job", L"Output", text_of(result));
        job_write(text_of(job), L"Job", L"Folder", c.folder);
        job_write(text_of(job), L"Job", L"Share", c.share);
        job_write(text_of(job), L"Job", L"Everyone", c.everyone);
        job_write(text_of(job), L"Job", L"Password", c.password);
        EXPECT_EQ(share_job_handle_with(text_of(job), &s, &e), 2) << narrow(c.folder) << " " << narrow(c.share);
        EXPECT_FALSE(file_exists(text_of(result)));
        delete_file(text_of(job));
        release(&job);
        release(&result);
    }
    EXPECT_TRUE(sh.calls.empty());
}

// ---- the saved setup and the details text

TEST(ScanFolder, ThePasswordIsKeptOnlyEncryptedForThisUser) {
    WideString hex = {}, back = {};
    ASSERT_TRUE(password_protect(L"48213", &hex));
    EXPECT_EQ(std::wstring(text_of(hex)).find(L"48213"), std::wstring::npos);
    ASSERT_TRUE(password_unprotect(text_of(hex), &back));
    EXPECT_EQ(std::wstring(text_of(back)), L"48213");
    EXPECT_FALSE(password_unprotect(L"zz", &back));
    EXPECT_EQ(back.length, 0);
    EXPECT_FALSE(password_unprotect(L"", &back));
    release(&hex);
    release(&back);
}

TEST(ScanFolder, SavedDetailsComeBackAndTheFileHoldsNoPlainPassword) {
    TempFolder t;
    WideString ini = t.file(L"ZanGroupScanner.ini");
    ASSERT_TRUE(settings_load_from(text_of(ini)));
    ShareSetupResult r = {};
    assign(&r.folder, kFolder);
    assign(&r.share, L"ZanScans");
    assign(&r.user, L"scan");
    assign(&r.password, L"739104");
    assign(&r.computer, L"OFFICE-PC");
    assign(&r.ip, L"192.168.1.20");
    assign(&r.unc, L"\\\\OFFICE-PC\\ZanScans");
    ASSERT_TRUE(scan_folder_save(r));
    ByteBuffer bytes = {};
    ASSERT_TRUE(read_whole_file(text_of(ini), &bytes));
    const std::string raw((const char*)bytes.data, (size_t)bytes.length);
    EXPECT_EQ(raw.find(std::string("7\0" "3\0" "9\0" "1\0" "0\0" "4\0", 12)), std::string::npos);
    SavedScanFolder saved = {};
    scan_folder_load(&saved);
    EXPECT_TRUE(saved.ready);
    EXPECT_FALSE(saved.everyone);
    EXPECT_EQ(std::wstring(text_of(saved.password)), L"739104");
    EXPECT_EQ(std::wstring(text_of(saved.unc)), L"\\\\OFFICE-PC\\ZanScans");
    saved_scan_folder_release(&saved);
    share_setup_result_clear(&r);
    settings_release();
    release(&bytes);
    release(&ini);
}

TEST(ScanFolder, ArabicDetailsKeepEachLatinValueLeftToRight) {
    WideString ar = {}, en = {};
    share_details_text(kFolder, L"OFFICE-PC", L"192.168.1.20", L"\\\\OFFICE-PC\\ZanScans", L"scan", L"4821", false, true,
                       LANGUAGE_ARABIC, &ar);
    share_details_text(kFolder, L"OFFICE-PC", L"192.168.1.20", L"\\\\OFFICE-PC\\ZanScans", L"scan", L"4821", false, true,
                       LANGUAGE_ENGLISH, &en);
    const std::wstring a = text_of(ar), e = text_of(en);
    for (const wchar_t* value : {L"\\\\OFFICE-PC\\ZanScans", L"OFFICE-PC", L"192.168.1.20", L"4821"})
        EXPECT_NE(a.find(std::wstring(L"\x200E ") + value + L"\r\n"), std::wstring::npos) << narrow(value);
    EXPECT_EQ(e.find(L"\x200E"), std::wstring::npos);
    EXPECT_EQ(e.rfind(L"Network path: \\\\OFFICE-PC\\ZanScans\r\n", 0), std::wstring::npos);
    EXPECT_NE(e.find(L"\r\nNetwork path: \\\\OFFICE-PC\\ZanScans\r\n"), std::wstring::npos);
    EXPECT_NE(e.find(tr_in(LANGUAGE_ENGLISH, 286)), std::wstring::npos);
    EXPECT_EQ(e.rfind(L"Full scan folder path: D:\\Data\\ZanGroup Scans\r\n", 0), 0u);
    release(&ar);
    release(&en);
}
