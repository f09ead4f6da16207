#include "app/options.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/test_text.h"

namespace {
struct Args {
    std::vector<const wchar_t*> v;
    Args(std::initializer_list<const wchar_t*> list) : v{L"ZanGroupScanner.exe"} { v.insert(v.end(), list); }
    int argc() const { return (int)v.size(); }
    wchar_t** argv() { return const_cast<wchar_t**>(v.data()); }
};

StartOptions parse(Args a) {
    StartOptions o = {};
    parse_options(a.argc(), a.argv(), &o);
    return o;
}
}

TEST(AdminRole, PrefixIgnoresCaseButJobNamesDoNot) {
    Args upper{L"--ZAN-ADMIN=share", L"job.ini"};
    EXPECT_EQ(1, find_admin_argument(upper.argc(), upper.argv()));
    EXPECT_EQ(ADMIN_JOB_SHARE, admin_job_kind(upper.argv()[1] + 12));
    EXPECT_EQ(0, admin_job_refusal(ADMIN_JOB_SHARE, upper.argc()));
    Args wrong_case{L"--zan-admin=SHARE", L"job.ini"};
    EXPECT_EQ(ADMIN_JOB_NONE, admin_job_kind(wrong_case.argv()[1] + 12));
    EXPECT_EQ(1, admin_job_refusal(ADMIN_JOB_NONE, wrong_case.argc()));
    Args none{L"--lang=en", L"--zan-admin"};
    EXPECT_EQ(-1, find_admin_argument(none.argc(), none.argv()));
}

TEST(AdminRole, MissingJobFileCodes) {
    EXPECT_EQ(87, admin_job_refusal(admin_job_kind(L"fwlock"), 2));
    EXPECT_EQ(87, admin_job_refusal(admin_job_kind(L"fwrestore"), 2));
    EXPECT_EQ(1, admin_job_refusal(admin_job_kind(L"share"), 2));
    EXPECT_EQ(0, admin_job_refusal(admin_job_kind(L"fwlock"), 3));
    // The job file is the third argument even when the option comes later.
    Args late{L"job.ini", L"--zan-admin=fwlock"};
    EXPECT_EQ(2, find_admin_argument(late.argc(), late.argv()));
    EXPECT_EQ(0, admin_job_refusal(ADMIN_JOB_FIREWALL, late.argc()));
}

TEST(Options, LastLanguageWins) {
    StartOptions o = parse({L"--lang=en", L"--lang=ar"});
    EXPECT_TRUE(o.language_given);
    EXPECT_EQ(0, o.language);
    StartOptions e = parse({L"--lang=EN"});
    EXPECT_FALSE(e.language_given);
}

TEST(Options, ValueOptionsTakeTheNextArgumentVerbatim) {
    StartOptions o = parse({L"--test-scan", L"--demo", L"x.png"});
    EXPECT_EQ("--demo", utf8(o.test_scan));
    EXPECT_EQ(0, o.demo_image.length);
    EXPECT_EQ(0, o.demo_pages);
    release_options(&o);
    StartOptions last = parse({L"--test-enum", L"--test-scan"});
    EXPECT_TRUE(last.test_enum);
    EXPECT_EQ(0, last.test_scan.length);
    StartOptions demo = parse({L"--tmp-settings", L"--demo", L"page.jpg", L"--bogus"});
    EXPECT_EQ("page.jpg", utf8(demo.demo_image));
    EXPECT_EQ(4, demo.demo_pages);
    release_options(&demo);
}

TEST(Options, ShowNeedsANameAndExactCase) {
    EXPECT_EQ(nullptr, parse({L"--show="}).show);
    StartOptions o = parse({L"--show=help"});
    ASSERT_NE(nullptr, o.show);
    EXPECT_EQ("help", utf8(o.show));
    EXPECT_EQ(102, show_page_command(o.show));
    EXPECT_EQ(0, show_page_command(L"HELP"));
    EXPECT_EQ(225, show_page_command(L"folder"));
    EXPECT_EQ(204, show_page_command(L"diag"));
    EXPECT_EQ(0, show_page_command(nullptr));
}

TEST(Options, ScreenDpiIsNeverBelow96) {
    EXPECT_EQ(96, choose_screen_dpi(0, 72));
    EXPECT_EQ(96, choose_screen_dpi(0, 96));
    EXPECT_EQ(120, choose_screen_dpi(0, 120));
    EXPECT_EQ(144, choose_screen_dpi(144, 96));
    EXPECT_EQ(96, choose_screen_dpi(72, 72));
}
