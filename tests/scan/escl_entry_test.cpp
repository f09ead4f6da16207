// tests/scan/escl_entry_test.cpp
// eSCL copiers as device-list entries (names, keys, the list and driver lines) and the
// sentences of eSCL failures with their arguments.
#include "scan/escl.h"

#include <gtest/gtest.h>

#include <string>

#include "app/strings.h"
#include "scan/device_list.h"
#include "scan/scan_failure.h"
#include "tests/test_text.h"

namespace {

std::string take(WideString s) {
    const std::string text = utf8(s);
    release(&s);
    return text;
}

struct Entry {
    DeviceEntry entry = {};
    EsclAddress address = {};
    Entry(const wchar_t* text, const EsclCapabilities* caps, const wchar_t* name, const wchar_t* uuid) {
        EXPECT_TRUE(escl_parse_address(text, &address));
        EXPECT_TRUE(escl_fill_entry(&entry, address, caps, name, uuid));
    }
    ~Entry() {
        device_entry_release(&entry);
        escl_address_release(&address);
    }
};

std::string failure_text(int id, int number, const wchar_t* detail) {
    EsclFailure f = {};
    escl_failure_set(&f, id, number, detail);
    std::string text = take(escl_failure_text(f));
    escl_failure_release(&f);
    return text;
}

}  // namespace

TEST(EsclEntry, KeyIsTheUuidElseTheAddressAndTheListLinesNameTheKind) {
    set_interface_language(LANGUAGE_ENGLISH);
    EsclCapabilities caps = {};
    caps.make_and_model = wide_copy(L"Zan MFP 5000");
    caps.manufacturer = wide_copy(L"Zan Works");
    caps.uuid = wide_copy(L"urn:uuid:4509A320-00A0");
    {
        Entry e(L"127.0.0.1:8080", &caps, L"ignored", L"other");
        EXPECT_EQ(e.entry.kind, DEVICE_KIND_ESCL);
        EXPECT_EQ(utf8(e.entry.device_key), "eSCL:4509a320-00a0");
        EXPECT_EQ(utf8(e.entry.display_name), "Zan MFP 5000");
        EXPECT_EQ(utf8(e.entry.escl_url), "http://127.0.0.1:8080/eSCL");
        EXPECT_EQ(take(device_combo_label(e.entry)), "Zan MFP 5000  (eSCL)");
        EXPECT_EQ(take(device_driver_label(&e.entry)), "Network scanning (eSCL) \xC2\xB7 127.0.0.1:8080 \xC2\xB7 Zan Works");
        // The scan worker's copy keeps the URL.
        DeviceEntry copy = {};
        ASSERT_TRUE(device_entry_copy(&copy, e.entry));
        EXPECT_EQ(utf8(copy.escl_url), "http://127.0.0.1:8080/eSCL");
        device_entry_release(&copy);
    }
    {
        Entry e(L"copier.local", nullptr, L"Hall copier", L"");
        EXPECT_EQ(utf8(e.entry.device_key), "eSCL:copier.local");
        EXPECT_EQ(utf8(e.entry.display_name), "Hall copier");
        EXPECT_EQ(take(device_driver_label(&e.entry)), "Network scanning (eSCL) \xC2\xB7 copier.local:80");
    }
    {
        Entry e(L"https://10.0.0.5", nullptr, nullptr, L"ABC-1");
        EXPECT_EQ(utf8(e.entry.device_key), "eSCL:abc-1");
        EXPECT_EQ(utf8(e.entry.display_name), "10.0.0.5");
    }
    escl_capabilities_release(&caps);
}

TEST(EsclEntry, AnAddressKeyNamesTheCopier) {
    EsclAddress a = {};
    ASSERT_TRUE(escl_address_of_key(L"eSCL:127.0.0.1:9000", &a));
    EXPECT_EQ(a.port, 9000);
    escl_address_release(&a);
    EXPECT_FALSE(escl_address_of_key(L"WIA:127.0.0.1", &a));
    EXPECT_FALSE(escl_address_of_key(L"eSCL:", &a));
}

TEST(EsclFailureText, ArgumentsAreFilledInBothLanguages) {
    set_interface_language(LANGUAGE_ENGLISH);
    EXPECT_EQ(failure_text(ESCL_TEXT_UNAUTHORISED, 401, nullptr).find("(HTTP 401)") != std::string::npos, true);
    EXPECT_EQ(failure_text(ESCL_TEXT_NOT_JPEG, 3, nullptr),
              "Page 3 from the copier is not a picture this program can read. The pages received before it were kept.");
    EXPECT_EQ(failure_text(ESCL_TEXT_UNREACHABLE, 0, L"10.1.1.1:8080").find("The copier at 10.1.1.1:8080 could"), 0u);
    EXPECT_EQ(failure_text(154, 0, nullptr), "Paper jam. Clear the jam and try again.");
    EXPECT_EQ(failure_text(0, 0, nullptr), "Scan failed");
    set_interface_language(LANGUAGE_ARABIC);
    const std::string ar = failure_text(ESCL_TEXT_NOT_JPEG, 3, nullptr);
    EXPECT_NE(ar.find(" 3 "), std::string::npos);
    EXPECT_EQ(ar.find("%d"), std::string::npos);
    EXPECT_NE(failure_text(ESCL_TEXT_CERTIFICATE, 0, L"10.0.0.5").find("10.0.0.5"), std::string::npos);
    set_interface_language(LANGUAGE_ENGLISH);
}
