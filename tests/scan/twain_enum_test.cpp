// tests/scan/twain_enum_test.cpp
// One manager's listing against a scripted DSM_Entry: the end of the list, the
// GETDEFAULT fallback, the 512-source limit and the merge with the other manager.
#include "scan/twain_enum.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "tests/test_text.h"

struct FakeManager {
    int sources;            // sources listed before the list ends
    TW_UINT16 end_rc;       // what GETNEXT answers after the last source
    bool has_default;
    int calls_getdefault;
};
static FakeManager g_fake;
static int g_position;

static void name_source(TW_IDENTITY* id, int n) {
    std::memset(id, 0, sizeof(*id));
    id->Id = (TW_UINT32)(n + 1);
    std::strcpy(id->Manufacturer, "Acme");
    std::strcpy(id->ProductFamily, "Fam");
    std::snprintf(id->ProductName, sizeof(id->ProductName), "Scanner %d", n);
}

static TW_UINT16 __stdcall fake_entry(TW_IDENTITY*, TW_IDENTITY*, TW_UINT32, TW_UINT16 dat, TW_UINT16 msg,
                                      TW_MEMREF data) {
    if (dat == DAT_STATUS) {
        static_cast<TW_STATUS*>(data)->ConditionCode = TWCC_BUMMER;
        return TWRC_SUCCESS;
    }
    TW_IDENTITY* id = static_cast<TW_IDENTITY*>(data);
    if (msg == MSG_GETFIRST) g_position = 0;
    if (msg == MSG_GETFIRST || msg == MSG_GETNEXT) {
        if (g_position >= g_fake.sources) return g_fake.end_rc;
        name_source(id, g_position++);
        return TWRC_SUCCESS;
    }
    if (msg == MSG_GETDEFAULT) {
        g_fake.calls_getdefault++;
        if (!g_fake.has_default) return TWRC_FAILURE;
        name_source(id, 99);
        std::strcpy(id->ProductName, "Default Fax");
        return TWRC_SUCCESS;
    }
    return TWRC_FAILURE;
}

static DsmConnection fake_connection(int dsm_number) {
    DsmConnection dsm = {};
    dsm.entry = fake_entry;
    dsm.dsm_number = dsm_number;
    return dsm;
}

struct ListGuard {
    DeviceList* list = device_list_new();
    ~ListGuard() { device_list_free(list); }
};

TEST(TwainEnum, ListsUntilEndOfListWithoutAskingForTheDefault) {
    g_fake = FakeManager{3, TWRC_ENDOFLIST, true, 0};
    ListGuard g;
    DsmConnection dsm = fake_connection(DSM_TWAIN32);
    EXPECT_EQ(twain_list_sources(&dsm, g.list), 3);
    ASSERT_EQ(g.list->count, 3);
    EXPECT_EQ(utf8(g.list->entries[2].device_key), "Acme|Fam|Scanner 2");
    EXPECT_EQ(g.list->entries[2].twain_id, 3u);
    EXPECT_EQ(g_fake.calls_getdefault, 0);
}

TEST(TwainEnum, FailingListFallsBackToTheDefaultSource) {
    g_fake = FakeManager{0, TWRC_FAILURE, true, 0};
    ListGuard g;
    DsmConnection dsm = fake_connection(DSM_TWAINDSM);
    EXPECT_EQ(twain_list_sources(&dsm, g.list), 1);
    ASSERT_EQ(g.list->count, 1);
    const DeviceEntry& e = g.list->entries[0];
    EXPECT_EQ(utf8(e.display_name), "Default Fax");
    EXPECT_EQ(e.looks_like_printer, 0);  // the printer rule is not applied to a default source
    EXPECT_EQ(e.detail_label.length, 0);
    EXPECT_EQ(e.dsm_mask, DSM_BIT_TWAINDSM);
}

TEST(TwainEnum, FailureAfterSourcesKeepsThemAndSkipsTheDefault) {
    g_fake = FakeManager{2, TWRC_FAILURE, true, 0};
    ListGuard g;
    DsmConnection dsm = fake_connection(DSM_TWAIN32);
    EXPECT_EQ(twain_list_sources(&dsm, g.list), 2);
    EXPECT_EQ(g.list->count, 2);
    EXPECT_EQ(g_fake.calls_getdefault, 0);
}

TEST(TwainEnum, NoListAndNoDefaultGivesNothing) {
    g_fake = FakeManager{0, TWRC_FAILURE, false, 0};
    ListGuard g;
    DsmConnection dsm = fake_connection(DSM_TWAIN32);
    EXPECT_EQ(twain_list_sources(&dsm, g.list), 0);
    EXPECT_EQ(g.list->count, 0);
    EXPECT_EQ(g_fake.calls_getdefault, 1);
}

TEST(TwainEnum, AtMost512SourcesPerManager) {
    g_fake = FakeManager{600, TWRC_ENDOFLIST, false, 0};
    ListGuard g;
    DsmConnection dsm = fake_connection(DSM_TWAIN32);
    EXPECT_EQ(twain_list_sources(&dsm, g.list), 512);
    EXPECT_EQ(g.list->count, 512);
}

TEST(TwainEnum, SecondManagerMergesIntoTheFirstManagersEntries) {
    g_fake = FakeManager{2, TWRC_ENDOFLIST, false, 0};
    ListGuard g;
    DsmConnection first = fake_connection(DSM_TWAIN32);
    DsmConnection second = fake_connection(DSM_TWAINDSM);
    EXPECT_EQ(twain_list_sources(&first, g.list), 2);
    EXPECT_EQ(twain_list_sources(&second, g.list), 2);
    ASSERT_EQ(g.list->count, 2);
    EXPECT_EQ(g.list->entries[0].dsm_mask, 3u);
    EXPECT_EQ(g.list->entries[1].dsm_mask, 3u);
}

TEST(TwainEnum, DriverHintPrefersTwain32AndIsEmptyWithoutFiles) {
    WideString hint = {};
    twain_driver_hint(0, 0, &hint);
    EXPECT_EQ(hint.length, 0);
    twain_driver_hint(0, 2, &hint);
    EXPECT_EQ(utf8(hint), "2 driver file(s) in twain_64 (64-bit drivers cannot be used by this 32-bit app)");
    twain_driver_hint(1, 2, &hint);
    EXPECT_EQ(utf8(hint), "1 driver file(s) in twain_32 but none listed");
    release(&hint);
}

static void make_file(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
}

TEST(TwainEnum, DriverFilesAreCountedThreeLevelsDeep) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring root = std::wstring(temp) + L"zan_ds_count_" + std::to_wstring(GetCurrentProcessId());
    const std::wstring levels[] = {root, root + L"\\a", root + L"\\a\\b", root + L"\\a\\b\\c", root + L"\\a\\b\\c\\d"};
    for (const std::wstring& dir : levels) CreateDirectoryW(dir.c_str(), nullptr);
    for (const std::wstring& dir : levels) make_file(dir + L"\\x.DS");  // the extension ignores case
    make_file(root + L"\\readme.txt");
    CreateDirectoryW((root + L"\\folder.ds").c_str(), nullptr);  // a folder is not a driver
    // The folder itself and three levels below it: the fifth level is too deep.
    EXPECT_EQ(twain_count_driver_files(root.c_str(), 3), 4);
    EXPECT_EQ(twain_count_driver_files(root.c_str(), 0), 1);
    EXPECT_EQ(twain_count_driver_files((root + L"\\missing").c_str(), 3), 0);
    for (const std::wstring& dir : levels) DeleteFileW((dir + L"\\x.DS").c_str());
    DeleteFileW((root + L"\\readme.txt").c_str());
    RemoveDirectoryW((root + L"\\folder.ds").c_str());
    for (int i = 4; i >= 0; --i) RemoveDirectoryW(levels[i].c_str());
}
