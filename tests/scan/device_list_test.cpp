// tests/scan/device_list_test.cpp
#include "scan/device_list.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/test_text.h"

static TW_IDENTITY identity(const char* manufacturer, const char* family, const char* product, unsigned id = 7) {
    TW_IDENTITY t = {};
    t.Id = id;
    t.ProtocolMajor = 2;
    t.ProtocolMinor = 1;
    std::strncpy(t.Manufacturer, manufacturer, 33);
    std::strncpy(t.ProductFamily, family, 33);
    std::strncpy(t.ProductName, product, 33);
    return t;
}

struct ListGuard {
    DeviceList* list = device_list_new();
    ~ListGuard() { device_list_free(list); }
};

TEST(DeviceList, KeyJoinsTheThreeNamesAndEmptyFamilyStaysEmpty) {
    ListGuard g;
    DeviceEntry* e = device_list_add_twain(g.list, identity("ACME", "", "Flatbed 1"), DSM_BIT_TWAIN32, false, nullptr);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(utf8(e->device_key), "ACME||Flatbed 1");
    EXPECT_EQ(utf8(e->display_name), "Flatbed 1");
    EXPECT_EQ(utf8(e->detail_label), "ACME | TWAIN 2.1");
    EXPECT_EQ(e->twain_id, 7u);
    EXPECT_EQ(e->dsm_mask, DSM_BIT_TWAIN32);
    EXPECT_EQ(e->kind, DEVICE_KIND_TWAIN);
}

TEST(DeviceList, NamelessSourceGetsPlaceholderAndFamilyIsSecondChoice) {
    ListGuard g;
    DeviceEntry* none = device_list_add_twain(g.list, identity("", "", ""), DSM_BIT_TWAIN32, false, nullptr);
    EXPECT_EQ(utf8(none->device_key), "||");
    EXPECT_EQ(utf8(none->display_name), "(TWAIN source)");
    DeviceEntry* family = device_list_add_twain(g.list, identity("X", "Fam", ""), DSM_BIT_TWAIN32, false, nullptr);
    EXPECT_EQ(utf8(family->display_name), "Fam");
}

TEST(DeviceList, NamesLoseTrailingBlanksAndStopAt34Bytes) {
    char field[34];
    std::memset(field, 'A', sizeof(field));  // no terminator at all
    EXPECT_EQ(utf8(twain_name(field)).size(), 34u);
    WideString trimmed = twain_name("Scan Pro \t \t");
    EXPECT_EQ(utf8(trimmed), "Scan Pro");
    release(&trimmed);
}

TEST(DeviceList, SightingsThroughBothManagersMergeIgnoringCase) {
    ListGuard g;
    bool merged = true;
    device_list_add_twain(g.list, identity("Acme", "Fam", "Scan", 3), DSM_BIT_TWAIN32, false, &merged);
    EXPECT_FALSE(merged);
    DeviceEntry* e = device_list_add_twain(g.list, identity("ACME", "FAM", "scan", 9), DSM_BIT_TWAINDSM, false, &merged);
    EXPECT_TRUE(merged);
    ASSERT_EQ(g.list->count, 1);
    EXPECT_EQ(e, &g.list->entries[0]);
    EXPECT_EQ(e->dsm_mask, 3u);
    EXPECT_EQ(e->twain_id, 3u);  // the first sighting's Id and names stay
    EXPECT_EQ(utf8(e->device_key), "Acme|Fam|Scan");
}

TEST(DeviceList, IdenticalScannersOfOneManagerStayApart) {
    ListGuard g;
    const TW_IDENTITY twin = identity("Acme", "Fam", "Twin");
    device_list_add_twain(g.list, twin, DSM_BIT_TWAIN32, false, nullptr);
    bool merged = true;
    DeviceEntry* second = device_list_add_twain(g.list, twin, DSM_BIT_TWAIN32, false, &merged);
    EXPECT_FALSE(merged);
    ASSERT_EQ(g.list->count, 2);
    EXPECT_EQ(utf8(second->device_key), "Acme|Fam|Twin #2");
    device_list_add_twain(g.list, twin, DSM_BIT_TWAIN32, false, nullptr);
    EXPECT_EQ(utf8(g.list->entries[2].device_key), "Acme|Fam|Twin #3");
    // The other manager's two sightings merge one by one, in order.
    device_list_add_twain(g.list, twin, DSM_BIT_TWAINDSM, false, nullptr);
    device_list_add_twain(g.list, twin, DSM_BIT_TWAINDSM, false, nullptr);
    ASSERT_EQ(g.list->count, 3);
    EXPECT_EQ(g.list->entries[0].dsm_mask, 3u);
    EXPECT_EQ(g.list->entries[1].dsm_mask, 3u);
    EXPECT_EQ(g.list->entries[2].dsm_mask, 1u);
}

TEST(DeviceList, SightingKeyNumbersOnlyRepeats) {
    WideString first = twain_sighting_key(L"A|B|C", 1);
    WideString third = twain_sighting_key(L"A|B|C", 3);
    EXPECT_EQ(utf8(first), "A|B|C");
    EXPECT_EQ(utf8(third), "A|B|C #3");
    release(&first);
    release(&third);
}

TEST(DeviceList, PrinterLikeNamesAreMarkedButListed) {
    ListGuard g;
    DeviceEntry* pdf = device_list_add_twain(g.list, identity("Soft", "Virtual", "PDF Print Driver"), DSM_BIT_TWAIN32,
                                             false, nullptr);
    EXPECT_EQ(pdf->looks_like_printer, 1);
    DeviceEntry* scanner = device_list_add_twain(g.list, identity("Acme", "Flat", "Scanner"), DSM_BIT_TWAIN32, false,
                                                 nullptr);
    EXPECT_EQ(scanner->looks_like_printer, 0);
    EXPECT_EQ(g.list->count, 2);
    EXPECT_TRUE(device_names_look_like_printer(L"", L"\x0637\x0627\x0628\x0639\x0629", L""));
    EXPECT_TRUE(device_names_look_like_printer(L"Microsoft", L"", L"XPS Document Writer"));
    EXPECT_FALSE(device_names_look_like_printer(L"Acme", L"Flatbed", L"S-200"));
}

TEST(DeviceList, DefaultSourceHasNoLabelAndNoPrinterCheck) {
    ListGuard g;
    DeviceEntry* e = device_list_add_twain(g.list, identity("Fax Co", "", "Fax Scanner"), DSM_BIT_TWAINDSM, true,
                                           nullptr);
    EXPECT_EQ(utf8(e->display_name), "Fax Scanner");
    EXPECT_EQ(e->detail_label.length, 0);
    EXPECT_EQ(e->looks_like_printer, 0);
}

TEST(DeviceList, GrowsToEightThenDoubles) {
    ListGuard g;
    device_list_add(g.list);
    EXPECT_EQ(g.list->capacity, 8);
    for (int i = 0; i < 8; ++i) device_list_add(g.list);
    EXPECT_EQ(g.list->count, 9);
    EXPECT_EQ(g.list->capacity, 16);
    EXPECT_EQ(g.list->entries[8].kind, 0);
    EXPECT_EQ(g.list->entries[8].device_key.data, nullptr);
}

TEST(DeviceList, CopyEntryIsDeep) {
    ListGuard from;
    ListGuard to;
    DeviceEntry* e = device_list_add_twain(from.list, identity("Acme", "Fam", "Printer X"), DSM_BIT_TWAINDSM, false,
                                           nullptr);
    e->wia_device_type = 5;
    ASSERT_TRUE(device_list_copy_entry(to.list, *e));
    assign(&e->device_key, L"changed");
    const DeviceEntry& c = to.list->entries[0];
    EXPECT_EQ(utf8(c.device_key), "Acme|Fam|Printer X");
    EXPECT_EQ(utf8(c.detail_label), "Acme | TWAIN 2.1");
    EXPECT_EQ(c.dsm_mask, DSM_BIT_TWAINDSM);
    EXPECT_EQ(c.wia_device_type, 5u);
    EXPECT_EQ(c.looks_like_printer, 1);
    EXPECT_NE(c.display_name.data, e->display_name.data);
}

TEST(DeviceList, KeysMatchIgnoringCaseOnly) {
    EXPECT_TRUE(device_key_matches_twain(L"Acme|F|Scan", L"ACME|f|scan"));
    EXPECT_FALSE(device_key_matches_twain(L"Acme|F|Scan", L"Acme|F|Scan #2"));
}
