#include "app/presets.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "core/file.h"
#include "core/path.h"
#include "tests/test_text.h"

namespace {

// Loads a fresh settings file in the temporary folder holding the given UTF-16 text.
struct PresetFile {
    std::wstring path;
    PresetFile(const wchar_t* name, const std::wstring& content) {
        WideString temp = temp_folder();
        WideString p = path_join(text_of(temp), name);
        path = text_of(p);
        release(&p);
        release(&temp);
        std::string bytes = "\xFF\xFE";
        bytes.append(reinterpret_cast<const char*>(content.data()), content.size() * 2);
        write_whole_file(path.c_str(), bytes.data(), (int)bytes.size());
        settings_load_from(path.c_str());
    }
    ~PresetFile() {
        settings_release();
        DeleteFileW(path.c_str());
    }
    std::string text() const {
        ByteBuffer b = {};
        read_whole_file(path.c_str(), &b);
        std::wstring w(b.length > 2 ? (size_t)(b.length - 2) / 2 : 0, L'\0');
        if (!w.empty()) memcpy(&w[0], b.data + 2, w.size() * 2);
        release(&b);
        return utf8(w.c_str());
    }
};

ScanPreset make_preset(const wchar_t* name, int dpi) {
    ScanPreset p = {};
    p.name = wide_copy(name);
    p.ColorMode = 1;
    p.Dpi = dpi;
    p.Source = 2;
    p.Paper = 3;
    p.Brightness = -10;
    p.Contrast = 20;
    p.Threshold = 140;
    p.AutoCrop = true;
    p.AutoDeskew = false;
    p.RemoveBlank = true;
    p.Format = 2;
    return p;
}

}  // namespace

TEST(PresetText, FormatAndParseRoundTrip) {
    ScanPreset p = make_preset(L"ID card", 300);
    WideString text = {};
    ASSERT_TRUE(preset_format(p, &text));
    EXPECT_EQ("ID card|1|300|2|3|-10|20|140|1|0|1|2", utf8(text));
    ScanPreset back = {};
    ASSERT_TRUE(preset_parse(text.data, &back));
    EXPECT_EQ("ID card", utf8(back.name));
    EXPECT_EQ(300, back.Dpi);
    EXPECT_EQ(-10, back.Brightness);
    EXPECT_TRUE(back.AutoCrop);
    EXPECT_FALSE(back.AutoDeskew);
    EXPECT_TRUE(back.RemoveBlank);
    EXPECT_EQ(2, back.Format);
    release(&text);
    release_preset(&back);
    release_preset(&p);
}

TEST(PresetText, DamagedEntriesAreRefused) {
    ScanPreset p = {};
    EXPECT_FALSE(preset_parse(L"", &p));
    EXPECT_FALSE(preset_parse(L"no bar", &p));
    EXPECT_FALSE(preset_parse(L"ten|1|2|3|4|5|6|7|8|9|10", &p));
    EXPECT_FALSE(preset_parse(L"letter|1|2|3|4|x|6|7|8|9|10|11", &p));
    EXPECT_FALSE(preset_parse(L"dash|1|2|3|4|-|6|7|8|9|10|11", &p));
    EXPECT_FALSE(preset_parse(L"gap|1|2|3|4|5|6|7|8|9|10 |11", &p));
    // The last value may be followed by anything.
    ASSERT_TRUE(preset_parse(L"tail|1|2|3|4|5|6|7|0|0|0|3 trailing", &p));
    EXPECT_EQ(3, p.Format);
    EXPECT_EQ("tail", utf8(p.name));
    release_preset(&p);
}

TEST(Presets, VerticalBarInNameIsStoredAsSlash) {
    PresetFile f(L"zan_presets_bar.ini", L"[Settings]\r\n");
    ScanPreset p = make_preset(L"A|B", 200);
    ASSERT_TRUE(save_preset(p));
    EXPECT_EQ(1, preset_count());
    ScanPreset back = {};
    ASSERT_TRUE(read_preset(0, &back));
    EXPECT_EQ("A/B", utf8(back.name));
    EXPECT_EQ(200, back.Dpi);
    EXPECT_NE(std::string::npos, f.text().find("P0=A/B|1|200|"));
    release_preset(&back);
    release_preset(&p);
}

TEST(Presets, SameNameInOtherCaseReplacesAndKeepsCount) {
    PresetFile f(L"zan_presets_case.ini", L"[Settings]\r\n");
    ScanPreset a = make_preset(L"Invoice", 200);
    ScanPreset b = make_preset(L"Receipt", 150);
    ScanPreset c = make_preset(L"INVOICE", 600);
    ASSERT_TRUE(save_preset(a));
    ASSERT_TRUE(save_preset(b));
    ASSERT_TRUE(save_preset(c));
    EXPECT_EQ(2, preset_count());
    ScanPreset back = {};
    ASSERT_TRUE(read_preset(0, &back));
    EXPECT_EQ("INVOICE", utf8(back.name));
    EXPECT_EQ(600, back.Dpi);
    release_preset(&back);
    release_preset(&a);
    release_preset(&b);
    release_preset(&c);
}

TEST(Presets, ArabicNamesSurvive) {
    PresetFile f(L"zan_presets_arabic.ini", L"[Settings]\r\n");
    const wchar_t* name = L"\x0628\x0637\x0627\x0642\x0629";
    ScanPreset p = make_preset(name, 300);
    ASSERT_TRUE(save_preset(p));
    ScanPreset back = {};
    ASSERT_TRUE(read_preset(0, &back));
    EXPECT_EQ(utf8(name), utf8(back.name));
    release_preset(&back);
    release_preset(&p);
}

TEST(Presets, DeletingTheOnlyPresetLeavesCountZero) {
    PresetFile f(L"zan_presets_delete_one.ini", L"[Settings]\r\nDpi=300\r\n");
    ScanPreset p = make_preset(L"Only", 300);
    ASSERT_TRUE(save_preset(p));
    EXPECT_TRUE(delete_preset(L"oNLY"));
    EXPECT_EQ(0, preset_count());
    const std::string text = f.text();
    EXPECT_NE(std::string::npos, text.find("[Presets]\r\nCount=0"));
    EXPECT_EQ(std::string::npos, text.find("P0="));
    EXPECT_NE(std::string::npos, text.find("Dpi=300"));  // other sections untouched
    release_preset(&p);
}

TEST(Presets, DeleteKeepsOrderAndDropsDamagedEntries) {
    PresetFile f(L"zan_presets_delete.ini",
                 L"[Presets]\r\nCount=4\r\nP0=One|0|300|0|0|0|0|128|0|0|0|0\r\nP1=broken\r\n"
                 L"P2=Two|1|200|0|0|0|0|128|0|0|0|1\r\nP3=Three|2|150|0|0|0|0|128|0|0|0|2\r\n");
    EXPECT_TRUE(delete_preset(L"two"));
    EXPECT_EQ(2, preset_count());
    ScanPreset p = {};
    ASSERT_TRUE(read_preset(0, &p));
    EXPECT_EQ("One", utf8(p.name));
    ASSERT_TRUE(read_preset(1, &p));
    EXPECT_EQ("Three", utf8(p.name));
    EXPECT_FALSE(read_preset(2, &p));
    release_preset(&p);
    EXPECT_FALSE(delete_preset(L"absent"));
}

TEST(Presets, ListEntriesSkipDamagedKeys) {
    PresetFile f(L"zan_presets_entries.ini",
                 L"[Presets]\r\nCount=3\r\nP0=broken\r\nP1=One|0|300|0|0|0|0|128|0|0|0|0\r\n"
                 L"P2=Two|1|200|0|0|0|0|128|0|0|0|1\r\n");
    EXPECT_EQ(1, preset_key_for_entry(0));
    EXPECT_EQ(2, preset_key_for_entry(1));
    EXPECT_EQ(-1, preset_key_for_entry(2));
    EXPECT_EQ(-1, preset_key_for_entry(-1));
    ScanPreset p = {};
    ASSERT_TRUE(apply_preset(preset_key_for_entry(1), &p));
    EXPECT_EQ("Two", utf8(p.name));
    EXPECT_EQ(200, app_settings()->Dpi);
    release_preset(&p);
}

TEST(Presets, CountIsBoundedOnReading) {
    {
        PresetFile f(L"zan_presets_huge.ini", L"[Presets]\r\nCount=99999999999999\r\n");
        EXPECT_EQ(PRESET_LIMIT, preset_count());
        ScanPreset p = make_preset(L"More", 300);
        EXPECT_FALSE(save_preset(p));  // beyond the limit it could never be listed
        release_preset(&p);
    }
    {
        PresetFile f(L"zan_presets_negative.ini", L"[Presets]\r\nCount=-1\r\n");
        EXPECT_EQ(0, preset_count());
        ScanPreset p = make_preset(L"First", 300);
        ASSERT_TRUE(save_preset(p));
        const std::string text = f.text();
        EXPECT_EQ(std::string::npos, text.find("P-1"));
        EXPECT_NE(std::string::npos, text.find("P0=First|"));
        EXPECT_NE(std::string::npos, text.find("Count=1"));
        release_preset(&p);
    }
}

TEST(Presets, ApplyingClampsHandEditedValues) {
    PresetFile f(L"zan_presets_apply.ini",
                 L"[Presets]\r\nCount=1\r\nP0=Wild|-5|99999|7|-2|-500|500|999|3|0|1|9\r\n");
    ScanPreset p = {};
    ASSERT_TRUE(apply_preset(0, &p));
    EXPECT_EQ("Wild", utf8(p.name));
    const AppSettings& s = *app_settings();
    EXPECT_EQ(0, s.ColorMode);
    EXPECT_EQ(1200, s.Dpi);
    EXPECT_EQ(2, s.Source);
    EXPECT_EQ(0, s.Paper);
    EXPECT_EQ(-100, s.Brightness);
    EXPECT_EQ(100, s.Contrast);
    EXPECT_EQ(255, s.Threshold);
    EXPECT_TRUE(s.AutoCrop);
    EXPECT_FALSE(s.AutoDeskew);
    EXPECT_TRUE(s.RemoveBlank);
    EXPECT_EQ(3, s.Format);
    release_preset(&p);
    EXPECT_FALSE(apply_preset(1, &p));
}

TEST(Presets, FromSettingsTakesTheElevenValues) {
    AppSettings s = {};
    s.ColorMode = 2;
    s.Dpi = 400;
    s.Threshold = 90;
    s.AutoDeskew = true;
    s.Format = 3;
    ScanPreset p = preset_from_settings(L"Mine", s);
    WideString text = {};
    ASSERT_TRUE(preset_format(p, &text));
    EXPECT_EQ("Mine|2|400|0|0|0|0|90|0|1|0|3", utf8(text));
    release(&text);
    release_preset(&p);
}

TEST(NearestDpi, SmallestDifferenceAndTiesGoToTheSmallerEntry) {
    EXPECT_EQ(3, nearest_dpi_index(250));  // 200
    EXPECT_EQ(4, nearest_dpi_index(300));
    EXPECT_EQ(4, nearest_dpi_index(301));
    EXPECT_EQ(0, nearest_dpi_index(0));
    EXPECT_EQ(0, nearest_dpi_index(INT_MIN));
    EXPECT_EQ(7, nearest_dpi_index(INT_MAX));
    EXPECT_EQ(6, nearest_dpi_index(900));  // tie between 600 and 1200
    EXPECT_EQ(1200, kDpiChoices[nearest_dpi_index(1000)]);
}
