// tests/net/firewall_test.cpp
// Firewall lock and restore over the recording stand-ins: saved mask, verification,
// netsh fallback, and the elevated exchange with real job and result files.
#include "net/firewall.h"

#include <gtest/gtest.h>

#include "core/file.h"
#include "core/path.h"
#include "net/job_files.h"
#include "tests/net/net_stand_ins.h"

using Lines = std::vector<std::string>;

TEST(Firewall, LockSavesTheProfilesThatWereOnAndRestoreBringsBackExactlyThose) {
    FakeFirewall fw;
    fw.states[0] = 0;
    FakeElevation el;
    const FirewallSystem f = fw.system();
    const ElevationSystem e = el.system();
    NetReport report = {};
    ASSERT_TRUE(firewall_change(FIREWALL_LOCK, &f, &e, &report));
    EXPECT_EQ(fw.mask, 6u);
    EXPECT_EQ(report.count, 0);
    EXPECT_EQ(fw.calls, (Lines{"open", "read 1", "read 2", "read 4", "close", "save 6", "open", "write 1 off",
                               "write 2 off", "write 4 off", "close", "open", "read 1", "read 2", "read 4", "close"}));
    ASSERT_TRUE(firewall_change(FIREWALL_RESTORE, &f, &e, &report));
    EXPECT_EQ(fw.states[0], 0);
    EXPECT_EQ(fw.states[1], 1);
    EXPECT_EQ(fw.states[2], 1);
    report_release(&report);
}

TEST(Firewall, ASecondLockKeepsTheStateOfTheFirst) {
    FakeFirewall fw;
    fw.states[2] = 0;
    FakeElevation el;
    const FirewallSystem f = fw.system();
    const ElevationSystem e = el.system();
    NetReport report = {};
    ASSERT_TRUE(firewall_change(FIREWALL_LOCK, &f, &e, &report));
    ASSERT_TRUE(firewall_change(FIREWALL_LOCK, &f, &e, &report));
    EXPECT_EQ(fw.mask, 3u);
    ASSERT_TRUE(firewall_change(FIREWALL_RESTORE, &f, &e, &report));
    EXPECT_EQ(fw.states[0], 1);
    EXPECT_EQ(fw.states[1], 1);
    EXPECT_EQ(fw.states[2], 0);
    report_release(&report);
}

TEST(Firewall, RestoreWithoutAUsableSavedStateSwitchesAllProfilesOn) {
    for (int variant = 0; variant < 3; ++variant) {
        FakeFirewall fw;
        fw.states[0] = fw.states[1] = fw.states[2] = 0;
        fw.has_mask = variant != 0;
        fw.mask = variant == 1 ? 0 : 8;   // a stored 0, a value out of range
        FakeElevation el;
        const FirewallSystem f = fw.system();
        const ElevationSystem e = el.system();
        NetReport report = {};
        ASSERT_TRUE(firewall_change(FIREWALL_RESTORE, &f, &e, &report)) << variant;
        EXPECT_EQ(fw.states[0] + fw.states[1] + fw.states[2], 3) << variant;
        report_release(&report);
    }
}

TEST(Firewall, AFailedSaveChangesNothing) {
    FakeFirewall fw;
    fw.save_result = 5;
    FakeElevation el;
    const FirewallSystem f = fw.system();
    const ElevationSystem e = el.system();
    NetReport report = {};
    EXPECT_FALSE(firewall_change(FIREWALL_LOCK, &f, &e, &report));
    EXPECT_EQ(report_lines(report), (Lines{"id:295", "system:5"}));
    EXPECT_EQ(fw.states[0] + fw.states[1] + fw.states[2], 3);
    EXPECT_TRUE(el.calls.empty());
    report_release(&report);
}

TEST(Firewall, WithoutAdministratorRightsNothingIsTried) {
    FakeFirewall fw;
    FakeElevation el;
    el.admin = false;
    const FirewallSystem f = fw.system();
    const ElevationSystem e = el.system();
    NetReport report = {};
    EXPECT_FALSE(firewall_change(FIREWALL_LOCK, &f, &e, &report));
    EXPECT_EQ(report_lines(report), (Lines{"id:289"}));
    EXPECT_TRUE(fw.calls.empty());
    report_release(&report);
}

TEST(Firewall, AnUnreadableProfileAfterALockIsReportedWithAQuestionMark) {
    FakeFirewall fw;
    fw.states[0] = fw.states[1] = fw.states[2] = 0;
    fw.read_result[2] = (long)0x80070005;
    const FirewallSystem f = fw.system();
    const int wanted[3] = {0, 0, 0};
    NetReport report = {};
    EXPECT_FALSE(firewall_verify(wanted, &f, &report));
    EXPECT_EQ(report_lines(report), (Lines{"id:291(Public) (HRESULT 0x80070005)", "system:2147942405",
                                           "id:293(Public,OFF,?)", "id:294"}));
    report_release(&report);
}

TEST(Firewall, APolicyThatTurnsTheChangeBackIsCaughtAndNetshIsTried) {
    FakeFirewall fw;
    fw.writes_stick = false;
    FakeElevation el;
    el.netsh_codes = {0};
    const FirewallSystem f = fw.system();
    const ElevationSystem e = el.system();
    const int wanted[3] = {0, 0, 0};
    NetReport report = {};
    EXPECT_FALSE(firewall_set_profiles(FIREWALL_LOCK, wanted, &f, &e, &report));
    EXPECT_EQ(report_lines(report),
              (Lines{"id:293(Domain,OFF,ON)", "id:293(Private,OFF,ON)", "id:293(Public,OFF,ON)", "id:294", "id:296",
                     "id:293(Domain,OFF,ON)", "id:293(Private,OFF,ON)", "id:293(Public,OFF,ON)", "id:294"}));
    EXPECT_EQ(el.calls, (Lines{"run netsh.exe advfirewall set allprofiles state off limit=20000 captured"}));
    report_release(&report);
}

TEST(Firewall, WithThePolicyObjectMissingALockRunsNetshOnce) {
    FakeFirewall fw;
    fw.open_failures = 1;
    fw.open_result = (long)0x80040154;
    FakeElevation el;
    const FirewallSystem f = fw.system();
    // netsh really switches the profiles off.
    const ElevationSystem base = el.system();
    ElevationSystem e = base;
    static FakeFirewall* s_target = nullptr;
    s_target = &fw;
    e.run_hidden_process = [](void* c, const wchar_t* p, const wchar_t* a, WideString* o, unsigned l) -> unsigned {
        s_target->states[0] = s_target->states[1] = s_target->states[2] = 0;
        FakeElevation* self = static_cast<FakeElevation*>(c);
        return self->system().run_hidden_process(c, p, a, o, l);
    };
    const int wanted[3] = {0, 0, 0};
    NetReport report = {};
    EXPECT_TRUE(firewall_set_profiles(FIREWALL_LOCK, wanted, &f, &e, &report));
    EXPECT_EQ(report_lines(report), (Lines{"id:290 (HRESULT 0x80040154)", "system:2147746132", "id:296"}));
    EXPECT_EQ(el.calls.size(), 1u);
    report_release(&report);
}

TEST(Firewall, ARestoreWhoseNetshFailsForPrivateStillRunsPublic) {
    FakeFirewall fw;
    fw.write_result[1] = (long)0x80070005;
    FakeElevation el;
    el.netsh_codes = {0, 1, 0};
    el.netsh_output = "The requested operation requires elevation.";
    const FirewallSystem f = fw.system();
    const ElevationSystem e = el.system();
    const int wanted[3] = {1, 1, 1};
    NetReport report = {};
    EXPECT_FALSE(firewall_set_profiles(FIREWALL_RESTORE, wanted, &f, &e, &report));
    EXPECT_EQ(report_lines(report),
              (Lines{"id:292(Private) (HRESULT 0x80070005)", "system:2147942405", "id:296", "id:297(Private,1)",
                     "fixed:The requested operation requires elevation."}));
    EXPECT_EQ(el.calls, (Lines{"run netsh.exe advfirewall set domainprofile state on limit=20000 captured",
                               "run netsh.exe advfirewall set privateprofile state on limit=20000 captured",
                               "run netsh.exe advfirewall set publicprofile state on limit=20000 captured"}));
    report_release(&report);
}

TEST(Firewall, StatusListsTheProfilesAndOneSummary) {
    FakeFirewall fw;
    fw.states[1] = 0;
    const FirewallSystem f = fw.system();
    NetReport report = {};
    firewall_status(&f, &report);
    EXPECT_EQ(report_lines(report), (Lines{"fixed:Domain: ON", "fixed:Private: OFF", "fixed:Public: ON", "id:229"}));
    fw.states[0] = fw.states[2] = 0;
    firewall_status(&f, &report);
    EXPECT_EQ(report_lines(report).back(), "id:227");
    report_release(&report);
}

// ---- the elevated exchange, with the job handler run in this process as the
// "elevated instance" on real job and result files.

static FakeFirewall* g_elevated_firewall = nullptr;
static std::string g_job_text;

static std::wstring job_path_of(const wchar_t* parameters) {
    std::wstring p = parameters;
    const size_t open = p.find(L'"');
    return p.substr(open + 1, p.rfind(L'"') - open - 1);
}

static unsigned run_handler(FakeElevation*, const wchar_t* parameters) {
    const std::wstring job = job_path_of(parameters);
    ByteBuffer bytes = {};
    read_whole_file(job.c_str(), &bytes);
    g_job_text.clear();
    for (int i = 2; i + 1 < bytes.length; i += 2) g_job_text += (char)bytes.data[i];
    release(&bytes);
    FakeElevation admin;
    const FirewallSystem f = g_elevated_firewall->system();
    const ElevationSystem e = admin.system();
    return (unsigned)firewall_job_handle_with(job.c_str(), &f, &e);
}

TEST(FirewallElevated, TheElevatedInstanceLocksAndItsDetailComesBack) {
    FakeFirewall elevated_side;
    elevated_side.write_result[0] = (long)0x80070005;
    elevated_side.writes_stick = true;
    g_elevated_firewall = &elevated_side;
    FakeElevation el;
    el.admin = false;
    el.elevated = run_handler;
    const ElevationSystem e = el.system();
    set_interface_language(LANGUAGE_ENGLISH);
    NetReport report = {};
    const unsigned code = firewall_job_run_elevated(FIREWALL_LOCK, &e, &report);
    ASSERT_EQ(el.calls.size(), 1u);
    EXPECT_EQ(el.calls[0].rfind("runas --zan-admin=fwlock \"", 0), 0u) << el.calls[0];
    EXPECT_NE(g_job_text.find("Action=Lock"), std::string::npos);
    EXPECT_NE(g_job_text.find("Lang=1"), std::string::npos);
    // The Domain write was refused: netsh (the stand-in answers 0 without changing
    // anything) leaves Domain on, and the verification says so; several lines survive.
    EXPECT_EQ(code, 1u);
    const Lines lines = report_lines(report);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("Windows refused to write the Domain network profile"), std::string::npos);
    EXPECT_NE(lines[0].find("\r\n"), std::string::npos);
    const std::wstring job = job_path_of(std::wstring(el.calls[0].begin(), el.calls[0].end()).c_str());
    EXPECT_FALSE(file_exists(job.c_str()));
    report_release(&report);
}

TEST(FirewallElevated, ACancelledPromptReportsItAndLeavesNoFiles) {
    FakeElevation el;
    el.admin = false;
    const ElevationSystem e = el.system();
    NetReport report = {};
    EXPECT_EQ(firewall_job_run_elevated(FIREWALL_RESTORE, &e, &report), ELEVATION_CANCELLED);
    EXPECT_EQ(report_lines(report), (Lines{"id:234"}));
    const std::wstring job = job_path_of(std::wstring(el.calls[0].begin(), el.calls[0].end()).c_str());
    EXPECT_FALSE(file_exists(job.c_str()));
    EXPECT_EQ(el.calls[0].rfind("runas --zan-admin=fwrestore \"", 0), 0u);
    report_release(&report);
}

TEST(FirewallElevated, AnExitWithoutDetailExplainsTheCode) {
    FakeElevation el;
    el.admin = false;
    el.elevated = [](FakeElevation*, const wchar_t*) -> unsigned { return 5; };
    const ElevationSystem e = el.system();
    NetReport report = {};
    EXPECT_EQ(firewall_job_run_elevated(FIREWALL_LOCK, &e, &report), 5u);
    EXPECT_EQ(report_lines(report), (Lines{"id:299(5)", "id:288", "fixed:Exit code: 5"}));
    report_release(&report);
}

// A job file written by hand in the job folder; the caller deletes it.
static std::wstring write_job(const wchar_t* tag, const std::vector<std::pair<const wchar_t*, std::wstring>>& values,
                              std::wstring* result) {
    WideString job = {}, res = {};
    EXPECT_TRUE(job_files_create(tag, tag == std::wstring(kTagFirewallJob) ? kTagFirewallResult : kTagShareResult, &job,
                                 &res));
    for (const auto& v : values) job_write(text_of(job), L"Job", v.first, v.second.c_str());
    const std::wstring path = text_of(job);
    *result = text_of(res);
    release(&job);
    release(&res);
    return path;
}

TEST(FirewallElevated, HostileJobFilesAreRefusedWithoutAnyChange) {
    FakeFirewall fw;
    FakeElevation admin;
    const FirewallSystem f = fw.system();
    const ElevationSystem e = admin.system();
    std::wstring result;
    // An action with a trailing blank, another case, or another word.
    for (const wchar_t* action : {L"lock ", L"LOCK", L"restore", L"Unlock"}) {
        const std::wstring job = write_job(kTagFirewallJob, {{L"Action", action}}, &result);
        job_write(job.c_str(), L"Job", L"Output", result.c_str());
        EXPECT_EQ(firewall_job_handle_with(job.c_str(), &f, &e), 87) << narrow(action);
        EXPECT_FALSE(file_exists(result.c_str()));
        delete_file(job.c_str());
    }
    // A result path pointing elsewhere.
    WideString elsewhere = temp_folder();
    append(&elsewhere, L"zan_elsewhere_result.ini");
    delete_file(text_of(elsewhere));
    std::wstring job = write_job(kTagFirewallJob, {{L"Action", L"Lock"}, {L"Output", text_of(elsewhere)}}, &result);
    EXPECT_EQ(firewall_job_handle_with(job.c_str(), &f, &e), 87);
    EXPECT_FALSE(file_exists(text_of(elsewhere)));
    EXPECT_FALSE(file_exists(result.c_str()));
    delete_file(job.c_str());
    // A job file of another name, and a relative path.
    WideString other = temp_folder();
    append(&other, L"job.ini");
    job_file_create_new(text_of(other));
    job_write(text_of(other), L"Job", L"Action", L"Lock");
    EXPECT_EQ(firewall_job_handle_with(text_of(other), &f, &e), 87);
    EXPECT_EQ(firewall_job_handle_with(L"ZanGroupScanner_fwjob_1_00000000000000000000000000000000.ini", &f, &e), 87);
    delete_file(text_of(other));
    release(&other);
    release(&elsewhere);
    EXPECT_TRUE(fw.calls.empty());
}

TEST(JobFiles, NamesAreUnguessableAndLeftoversOfEndedInstancesGo) {
    WideString a = {}, ra = {}, b = {}, rb = {};
    ASSERT_TRUE(job_files_create(kTagShareJob, kTagShareResult, &a, &ra));
    ASSERT_TRUE(job_files_create(kTagShareJob, kTagShareResult, &b, &rb));
    EXPECT_NE(std::wstring(text_of(a)), std::wstring(text_of(b)));
    WideString derived = {};
    ASSERT_TRUE(job_result_path_for(text_of(a), kTagShareJob, kTagShareResult, &derived));
    EXPECT_EQ(std::wstring(text_of(derived)), std::wstring(text_of(ra)));
    EXPECT_FALSE(job_result_path_for(text_of(a), kTagFirewallJob, kTagFirewallResult, &derived));
    // A file of an instance that no longer runs (no process has id 4000000000).
    WideString folder = {};
    ASSERT_TRUE(job_folder_prepare(&folder));
    WideString stale = folder;
    folder = {};
    append(&stale, L"\\ZanGroupScanner_sharejob_4000000000_0123456789abcdef0123456789abcdef.ini");
    ASSERT_TRUE(job_file_create_new(text_of(stale)));
    EXPECT_GE(job_files_remove_leftovers(), 1);
    EXPECT_FALSE(file_exists(text_of(stale)));
    EXPECT_TRUE(file_exists(text_of(a)));
    delete_file(text_of(a));
    delete_file(text_of(b));
    WideString* all[] = {&a, &ra, &b, &rb, &derived, &stale};
    for (WideString* s : all) release(s);
}

TEST(JobFiles, ValuesOfSeveralLinesSurvive) {
    WideString job = {}, result = {};
    ASSERT_TRUE(job_files_create(kTagFirewallJob, kTagFirewallResult, &job, &result));
    const wchar_t* text = L"first 100%\r\nsecond %0A line\r\n\x0627\x0644\x0639\x0631\x0628\x064a\x0629";
    ASSERT_TRUE(job_write_lines(text_of(job), L"Result", L"Detail", text));
    WideString back = {};
    job_read_lines(text_of(job), L"Result", L"Detail", &back);
    EXPECT_EQ(std::wstring(text_of(back)), std::wstring(text));
    delete_file(text_of(job));
    release(&job);
    release(&result);
    release(&back);
}
