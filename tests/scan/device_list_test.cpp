// tests/scan/device_list_test.cpp
#include "scan/device_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/strings.h"
#include "core/text.h"
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

// ---- choosing the entry after a refresh

static void add_wia(DeviceList* list, const char* name) {
    DeviceEntry* e = device_list_add(list);
    e->kind = DEVICE_KIND_WIA;
    e->display_name = multibyte_to_wide(name, -1, CODE_PAGE_UTF8);
    e->device_key = multibyte_to_wide((std::string("WIA:") + name).c_str(), -1, CODE_PAGE_UTF8);
}

TEST(DeviceChoice, SelectionKeyThenLastDeviceThenFirstScanner) {
    ListGuard g;
    add_wia(g.list, "Camera");
    device_list_add_twain(g.list, identity("Bullzip", "", "PDF Printer"), DSM_BIT_TWAIN32, false, nullptr);
    device_list_add_twain(g.list, identity("ACME", "", "Flatbed"), DSM_BIT_TWAIN32, false, nullptr);
    device_list_add_twain(g.list, identity("ACME", "", "Feeder"), DSM_BIT_TWAIN32, false, nullptr);
    // The printer-like source and the WIA entry are passed over when nothing is remembered.
    EXPECT_EQ(device_list_choose(g.list, nullptr, nullptr), 2);
    EXPECT_EQ(device_list_choose(g.list, nullptr, L""), 2);
    EXPECT_EQ(device_list_choose(g.list, nullptr, L"ACME||Feeder"), 3);
    // A user's choice in the selection dialog wins over the remembered device.
    EXPECT_EQ(device_list_choose(g.list, L"WIA:Camera", L"ACME||Feeder"), 0);
    // A selection that matches nothing falls back to the remembered device.
    EXPECT_EQ(device_list_choose(g.list, L"Gone||X", L"ACME||Feeder"), 3);
}

TEST(DeviceChoice, KeysCompareExactlyHere) {
    ListGuard g;
    device_list_add_twain(g.list, identity("ACME", "", "Flatbed"), DSM_BIT_TWAIN32, false, nullptr);
    device_list_add_twain(g.list, identity("ACME", "", "Feeder"), DSM_BIT_TWAIN32, false, nullptr);
    // Differing in letter case only: not the remembered device, so the automatic rule applies.
    EXPECT_EQ(device_list_choose(g.list, nullptr, L"acme||feeder"), 0);
    EXPECT_EQ(device_list_choose(g.list, L"ACME||FEEDER", nullptr), 0);
}

TEST(DeviceChoice, OnlyWiaOrOnlyPrintersSelectTheFirstAndEmptyListNone) {
    ListGuard wia;
    add_wia(wia.list, "One");
    add_wia(wia.list, "Two");
    EXPECT_EQ(device_list_choose(wia.list, nullptr, nullptr), 0);
    ListGuard printers;
    device_list_add_twain(printers.list, identity("X", "", "Fax"), DSM_BIT_TWAIN32, false, nullptr);
    device_list_add_twain(printers.list, identity("Y", "", "Printer"), DSM_BIT_TWAIN32, false, nullptr);
    EXPECT_EQ(device_list_choose(printers.list, nullptr, nullptr), 0);
    ListGuard empty;
    EXPECT_EQ(device_list_choose(empty.list, L"a", L"b"), -1);
    EXPECT_EQ(device_list_choose(nullptr, nullptr, nullptr), -1);
}

// ---- labels

TEST(DeviceLabels, ComboLineNamesTheKindAndMarksPrinters) {
    set_interface_language(LANGUAGE_ENGLISH);
    ListGuard g;
    add_wia(g.list, "Camera");
    device_list_add_twain(g.list, identity("ACME", "", "Flatbed"), DSM_BIT_TWAIN32, false, nullptr);
    device_list_add_twain(g.list, identity("Bullzip", "", "PDF Printer"), DSM_BIT_TWAIN32, false, nullptr);
    WideString a = device_combo_label(g.list->entries[0]);
    WideString b = device_combo_label(g.list->entries[1]);
    WideString c = device_combo_label(g.list->entries[2]);
    EXPECT_EQ(utf8(a), "Camera  (WIA)");
    EXPECT_EQ(utf8(b), "Flatbed  (TWAIN)");
    EXPECT_EQ(utf8(c), "PDF Printer  (TWAIN)  \xC2\xB7  printer/fax?");
    set_interface_language(LANGUAGE_ARABIC);
    WideString arabic = device_combo_label(g.list->entries[2]);
    EXPECT_EQ(arabic.data[arabic.length - 1], L'\x061F');  // the Arabic question mark of id 150
    set_interface_language(LANGUAGE_ENGLISH);
    release(&a);
    release(&b);
    release(&c);
    release(&arabic);
}

TEST(DeviceLabels, DriverLineNamesTheManagersAndTheMaker) {
    set_interface_language(LANGUAGE_ENGLISH);
    ListGuard g;
    device_list_add_twain(g.list, identity("ACME", "", "Both"), DSM_BIT_TWAIN32, false, nullptr);
    device_list_add_twain(g.list, identity("acme", "", "BOTH"), DSM_BIT_TWAINDSM, false, nullptr);
    device_list_add_twain(g.list, identity("ACME", "", "New"), DSM_BIT_TWAINDSM, false, nullptr);
    device_list_add_twain(g.list, identity("", "", "Old"), DSM_BIT_TWAIN32, false, nullptr);
    add_wia(g.list, "Camera");
    assign(&g.list->entries[3].manufacturer, L"Maker");
    const char* expected[] = {
        "TWAIN driver \xC2\xB7 DSM 1.x + 2.x \xC2\xB7 ACME",
        "TWAIN driver \xC2\xB7 TWAIN DSM 2.x \xC2\xB7 ACME",
        "TWAIN driver \xC2\xB7 twain_32",
        "WIA driver \xC2\xB7 Maker",
    };
    ASSERT_EQ(g.list->count, 4);
    for (int i = 0; i < 4; ++i) {
        WideString line = device_driver_label(&g.list->entries[i]);
        EXPECT_EQ(utf8(line), expected[i]) << i;
        release(&line);
    }
    WideString none = device_driver_label(nullptr);
    EXPECT_EQ(utf8(none), "No scanner found \xE2\x80\x94 install the driver, then refresh");
    release(&none);
}

TEST(DeviceLabels, StatusLineCountsOrNamesTheHint) {
    set_interface_language(LANGUAGE_ENGLISH);
    ListGuard g;
    WideString none = device_list_status_text(*g.list);
    EXPECT_EQ(utf8(none), "No devices \xE2\x80\x94 No scanner found \xE2\x80\x94 install the driver, then refresh");
    assign(&g.list->driver_hint, L"2 driver file(s) in twain_32 but none listed");
    WideString hinted = device_list_status_text(*g.list);
    EXPECT_EQ(utf8(hinted), "No devices \xE2\x80\x94 No scanner found \xE2\x80\x94 install the driver, then refresh"
                            "  (2 driver file(s) in twain_32 but none listed)");
    add_wia(g.list, "One");
    add_wia(g.list, "Two");
    WideString found = device_list_status_text(*g.list);
    EXPECT_EQ(utf8(found), "Found 2 device(s)");
    release(&none);
    release(&hinted);
    release(&found);
}
