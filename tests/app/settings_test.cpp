#include "app/settings.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "app/presets.h"
#include "app/strings.h"
#include "core/file.h"
#include "core/path.h"
#include "tests/test_text.h"

namespace {

// A fresh, empty folder under the temporary folder for each test.
struct TempDir {
    std::wstring path;
    explicit TempDir(const wchar_t* name) {
        WideString temp = temp_folder();
        WideString p = path_join(text_of(temp), name);
        path = text_of(p);
        release(&p);
        release(&temp);
        remove_tree(path);
        CreateDirectoryW(path.c_str(), nullptr);
    }
    ~TempDir() { remove_tree(path); }
    std::wstring file(const wchar_t* name) const { return path + L"\\" + name; }
    static void remove_tree(const std::wstring& dir) {
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = fd.cFileName;
                if (name == L"." || name == L"..") continue;
                const std::wstring full = dir + L"\\" + name;
                if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    remove_tree(full);
                else
                    DeleteFileW(full.c_str());
            } while (FindNextFileW(h, &fd));
            FindClose(h);
        }
        RemoveDirectoryW(dir.c_str());
    }
};

std::string raw_bytes(const std::wstring& path) {
    ByteBuffer b = {};
    read_whole_file(path.c_str(), &b);
    std::string s(b.data ? reinterpret_cast<const char*>(b.data) : "", (size_t)b.length);
    release(&b);
    return s;
}

// The file as UTF-8 text, after checking and dropping its UTF-16LE byte-order mark.
std::string utf16_file_text(const std::wstring& path) {
    const std::string bytes = raw_bytes(path);
    EXPECT_GE(bytes.size(), 2u);
    EXPECT_EQ("\xFF\xFE", bytes.substr(0, 2));
    std::wstring w((bytes.size() - 2) / 2, L'\0');
    if (!w.empty()) memcpy(&w[0], bytes.data() + 2, w.size() * 2);
    return utf8(w.c_str());
}

void write_raw(const std::wstring& path, const std::string& bytes) {
    ASSERT_TRUE(write_whole_file(path.c_str(), bytes.data(), (int)bytes.size()));
}

void write_utf16(const std::wstring& path, const std::wstring& text) {
    std::string bytes = "\xFF\xFE";
    bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    write_raw(path, bytes);
}

// "Key=" lines of one section, in file order.
std::vector<std::string> keys_of_section(const std::string& text, const std::string& section) {
    std::vector<std::string> keys;
    bool inside = false;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(pos, end - pos);
        pos = end + 2;
        if (!line.empty() && line[0] == '[') {
            inside = line == "[" + section + "]";
            continue;
        }
        const size_t eq = line.find('=');
        if (inside && eq != std::string::npos) keys.push_back(line.substr(0, eq));
    }
    return keys;
}

std::wstring documents_scans() {
    WideString docs = documents_folder();
    WideString p = path_join(text_of(docs), L"ZanGroup Scans");
    std::wstring s = text_of(p);
    release(&p);
    release(&docs);
    return s;
}

}  // namespace

TEST(SettingsFile, NewFileHasTheExactTwentySixByteHeader) {
    TempDir dir(L"zan_settings_header");
    const std::wstring path = dir.file(L"sub\\ZanGroupScanner.ini");
    ASSERT_TRUE(settings_create_file(path.c_str()));
    const std::string expected("\xFF\xFE[\0S\0e\0t\0t\0i\0n\0g\0s\0]\0\r\0\n\0", 26);
    EXPECT_EQ(expected, raw_bytes(path));
}

TEST(SettingsFile, SaveWritesEveryKeyInOrderAndNoPassword) {
    TempDir dir(L"zan_settings_order");
    const std::wstring path = dir.file(L"ZanGroupScanner.ini");
    ASSERT_TRUE(settings_load_from(path.c_str()));
    EXPECT_EQ(26, file_size(path.c_str()));
    assign(&app_settings()->PdfPassword, L"Secret123");
    app_settings()->PdfPasswordOn = true;
    settings_save();
    const std::string text = utf16_file_text(path);
    EXPECT_EQ(0u, text.find("[Settings]\r\n"));
    const std::vector<std::string> expected = {
        "Language",   "LastDevice",  "ColorMode",   "Dpi",         "Source",        "Paper",
        "Brightness", "Contrast",    "Threshold",   "ShowDriverUi", "ShowAllWia",   "SaveDir",
        "Format",     "NamingMode",  "NamePrefix",  "Counter",     "FixedFolder",   "Ocr",
        "OcrLang",    "Compression", "AutoCrop",    "AutoDeskew",  "RemoveBlank",   "AppendBatch",
        "Watermark",  "WatermarkOpacity", "PdfPasswordOn", "PdfCipher", "AfterSave", "WinX",
        "WinY",       "WinW",        "WinH",        "Maximized",   "MergeDir"};
    EXPECT_EQ(expected, keys_of_section(text, "Settings"));
    EXPECT_EQ(std::string::npos, text.find("Secret123"));
    EXPECT_NE(std::string::npos, text.find("\r\nWinX=-2147483648\r\n"));
    EXPECT_NE(std::string::npos, text.find("\r\nDpi=300\r\n"));
    EXPECT_NE(std::string::npos, text.find("\r\nNamePrefix=Scan\r\n"));
    EXPECT_NE(std::string::npos, text.find("\r\nOcrLang=both\r\n"));
    EXPECT_NE(std::string::npos, text.find("\r\nPdfPasswordOn=1\r\n"));
    settings_release();
}

TEST(SettingsFile, DefaultsWhenKeysAreMissing) {
    TempDir dir(L"zan_settings_defaults");
    const std::wstring path = dir.file(L"ZanGroupScanner.ini");
    ASSERT_TRUE(settings_load_from(path.c_str()));
    const AppSettings& s = *app_settings();
    EXPECT_EQ(0, s.Language);
    EXPECT_EQ(300, s.Dpi);
    EXPECT_EQ(128, s.Threshold);
    EXPECT_EQ(1, s.Counter);
    EXPECT_EQ(25, s.WatermarkOpacity);
    EXPECT_EQ(INT_MIN, s.WinX);
    EXPECT_EQ(INT_MIN, s.WinY);
    EXPECT_EQ("Scan", utf8(s.NamePrefix));
    EXPECT_EQ("both", utf8(s.OcrLang));
    EXPECT_EQ(utf8(documents_scans().c_str()), utf8(s.SaveDir));
    EXPECT_EQ(LANGUAGE_ARABIC, interface_language());
    settings_release();
}

TEST(SettingsLoading, OutOfRangeAndNonNumericValuesAreRepaired) {
    TempDir dir(L"zan_settings_rules");
    const std::wstring path = dir.file(L"ZanGroupScanner.ini");
    write_utf16(path,
                L"[Settings]\r\nLanguage=2\r\nColorMode=7\r\nDpi=abc\r\nSource=-1\r\nPaper=9\r\n"
                L"Brightness=-150\r\nContrast=-99\r\nThreshold=300\r\nShowDriverUi=5\r\nFormat=4\r\n"
                L"NamingMode=3\r\nCounter=-4\r\nCompression=8\r\nWatermarkOpacity=3\r\nPdfCipher=-3\r\n"
                L"AfterSave=12\r\nWinX=-99999999999999999999\r\nWinY=99999999999\r\nWinW=12x\r\n"
                L"PdfPassword=leaked\r\n");
    ASSERT_TRUE(settings_load_from(path.c_str()));
    const AppSettings& s = *app_settings();
    EXPECT_EQ(0, s.Language);
    EXPECT_EQ(LANGUAGE_ARABIC, interface_language());
    EXPECT_EQ(2, s.ColorMode);
    EXPECT_EQ(50, s.Dpi);
    EXPECT_EQ(0, s.Source);
    EXPECT_EQ(4, s.Paper);
    EXPECT_EQ(-100, s.Brightness);
    EXPECT_EQ(-99, s.Contrast);
    EXPECT_EQ(255, s.Threshold);
    EXPECT_TRUE(s.ShowDriverUi);
    EXPECT_EQ(3, s.Format);
    EXPECT_EQ(2, s.NamingMode);
    EXPECT_EQ(1, s.Counter);
    EXPECT_EQ(2, s.Compression);
    EXPECT_EQ(5, s.WatermarkOpacity);
    EXPECT_EQ(0, s.PdfCipher);
    EXPECT_EQ(2, s.AfterSave);
    EXPECT_EQ(INT_MIN, s.WinX);
    EXPECT_EQ(INT_MAX, s.WinY);
    EXPECT_EQ(12, s.WinW);
    EXPECT_EQ("", utf8(s.PdfPassword));
    settings_release();
}

TEST(SettingsLoading, EdgeValuesStayAndEnglishIsSelectedByOne) {
    TempDir dir(L"zan_settings_edges");
    const std::wstring path = dir.file(L"ZanGroupScanner.ini");
    write_utf16(path,
                L"[Settings]\r\nLanguage=1\r\nDpi=5000\r\nWatermarkOpacity=6\r\nPdfCipher=9\r\n"
                L"Brightness=100\r\nCounter=7\r\n");
    ASSERT_TRUE(settings_load_from(path.c_str()));
    const AppSettings& s = *app_settings();
    EXPECT_EQ(1, s.Language);
    EXPECT_EQ(LANGUAGE_ENGLISH, interface_language());
    EXPECT_EQ(1200, s.Dpi);
    EXPECT_EQ(6, s.WatermarkOpacity);
    EXPECT_EQ(1, s.PdfCipher);
    EXPECT_EQ(100, s.Brightness);
    EXPECT_EQ(7, s.Counter);
    settings_release();
    set_interface_language(LANGUAGE_ARABIC);
}

TEST(SettingsLoading, DecimalParsingSaturates) {
    EXPECT_EQ(0, parse_decimal(L"abc"));
    EXPECT_EQ(0, parse_decimal(L"-"));
    EXPECT_EQ(0, parse_decimal(L""));
    EXPECT_EQ(12, parse_decimal(L"12abc"));
    EXPECT_EQ(-7, parse_decimal(L"-7|3"));
    EXPECT_EQ(INT_MIN, parse_decimal(L"-2147483648"));
    EXPECT_EQ(INT_MAX, parse_decimal(L"2147483647"));
    EXPECT_EQ(INT_MAX, parse_decimal(L"2147483648"));
    EXPECT_EQ(INT_MIN, parse_decimal(L"-2147483649"));
    EXPECT_EQ(INT_MAX, parse_decimal(L"99999999999999999999999999999"));
    EXPECT_EQ(INT_MIN, parse_decimal(L"-99999999999999999999999999999"));
}

TEST(SettingsLoading, MissingSaveDirFallsBackForThisRunOnly) {
    TempDir dir(L"zan_settings_savedir");
    const std::wstring path = dir.file(L"ZanGroupScanner.ini");
    const std::wstring gone = dir.file(L"unplugged\\Scans");
    write_utf16(path, L"[Settings]\r\nSaveDir=" + gone + L"\r\n");
    ASSERT_TRUE(settings_load_from(path.c_str()));
    EXPECT_EQ(utf8(documents_scans().c_str()), utf8(app_settings()->SaveDir));
    settings_save();
    EXPECT_NE(std::string::npos, utf16_file_text(path).find("\r\nSaveDir=" + utf8(gone.c_str()) + "\r\n"));

    // The drive is back: the stored folder is used again.
    CreateDirectoryW(dir.file(L"unplugged").c_str(), nullptr);
    CreateDirectoryW(gone.c_str(), nullptr);
    ASSERT_TRUE(settings_load_from(path.c_str()));
    EXPECT_EQ(utf8(gone.c_str()), utf8(app_settings()->SaveDir));
    settings_release();
}

TEST(SettingsLoading, ChosenFolderReplacesTheMissingOne) {
    TempDir dir(L"zan_settings_savedir2");
    const std::wstring path = dir.file(L"ZanGroupScanner.ini");
    write_utf16(path, L"[Settings]\r\nSaveDir=" + dir.file(L"missing") + L"\r\n");
    ASSERT_TRUE(settings_load_from(path.c_str()));
    assign(&app_settings()->SaveDir, dir.path.c_str());
    settings_save();
    EXPECT_NE(std::string::npos, utf16_file_text(path).find("\r\nSaveDir=" + utf8(dir.path.c_str()) + "\r\n"));
    settings_release();
}

TEST(SettingsLoading, ExplicitChoiceOfTheFallbackFolderIsKept) {
    TempDir dir(L"zan_settings_savedir3");
    const std::wstring path = dir.file(L"ZanGroupScanner.ini");
    const std::wstring gone = dir.file(L"missing");
    write_utf16(path, L"[Settings]\r\nSaveDir=" + gone + L"\r\n");
    ASSERT_TRUE(settings_load_from(path.c_str()));
    ASSERT_TRUE(settings_choose_save_dir(documents_scans().c_str()));
    settings_save();
    const std::string text = utf16_file_text(path);
    EXPECT_NE(std::string::npos, text.find("\r\nSaveDir=" + utf8(documents_scans().c_str()) + "\r\n"));
    EXPECT_EQ(std::string::npos, text.find(utf8(gone.c_str())));
    settings_release();
}

TEST(SettingsFile, Utf16FileWithoutByteOrderMarkKeepsItsValues) {
    TempDir dir(L"zan_settings_utf16");
    const std::wstring path = dir.file(L"ZanGroupScanner.ini");
    const std::wstring text = L"[Settings]\r\nDpi=600\r\nNamePrefix=\x0645\x0633\x062D\r\n";
    write_raw(path, std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2));
    ASSERT_TRUE(settings_load_from(path.c_str()));
    EXPECT_EQ(600, app_settings()->Dpi);
    EXPECT_EQ(utf8(L"\x0645\x0633\x062D"), utf8(app_settings()->NamePrefix));
    settings_release();
    EXPECT_NE(std::string::npos, utf16_file_text(path).find("[Settings]\r\nDpi=600\r\n"));
}

TEST(SettingsFile, ArabicTextSurvivesARoundTrip) {
    TempDir dir(L"zan_settings_arabic");
    const std::wstring path = dir.file(L"ZanGroupScanner.ini");
    ASSERT_TRUE(settings_load_from(path.c_str()));
    const wchar_t* arabic = L"\x0645\x0627\x0633\x062D \x0636\x0648\x0626\x064A";
    assign(&app_settings()->Watermark, arabic);
    settings_save();
    settings_release();
    ASSERT_TRUE(settings_load_from(path.c_str()));
    EXPECT_EQ(utf8(arabic), utf8(app_settings()->Watermark));
    settings_release();
}

TEST(SettingsFile, FileWithoutByteOrderMarkIsConvertedKeepingValues) {
    TempDir dir(L"zan_settings_convert");
    const std::wstring path = dir.file(L"ZanGroupScanner.ini");
    // A hand-edited file saved as UTF-8 without a mark, holding an Arabic prefix.
    write_raw(path, "[Settings]\r\nDpi=600\r\nNamePrefix=\xD9\x85\xD8\xB3\xD8\xAD\r\n[ScanFolder]\r\nShare=x\r\n");
    ASSERT_TRUE(settings_load_from(path.c_str()));
    EXPECT_EQ(600, app_settings()->Dpi);
    EXPECT_EQ("\xD9\x85\xD8\xB3\xD8\xAD", utf8(app_settings()->NamePrefix));
    const wchar_t* arabic = L"\x062C\x0647\x0627\x0632";
    assign(&app_settings()->LastDevice, arabic);
    settings_save();
    const std::string text = utf16_file_text(path);
    EXPECT_NE(std::string::npos, text.find("LastDevice=" + utf8(arabic)));
    EXPECT_NE(std::string::npos, text.find("[ScanFolder]\r\nShare=x"));
    settings_release();
}

TEST(SettingsFile, AnsiFileIsConvertedWithTheAnsiCodePage) {
    TempDir dir(L"zan_settings_ansi");
    const std::wstring path = dir.file(L"ZanGroupScanner.ini");
    write_raw(path, "[Settings]\r\nNamePrefix=Scan\xE9\r\n");  // not valid UTF-8
    ASSERT_TRUE(settings_convert_to_utf16(path.c_str()));
    WideString expected = multibyte_to_wide("Scan\xE9", -1, CODE_PAGE_ANSI);
    EXPECT_NE(std::string::npos, utf16_file_text(path).find("NamePrefix=" + utf8(expected)));
    release(&expected);
}

TEST(SettingsFile, LastLanguageOptionIsWrittenBack) {
    TempDir dir(L"zan_settings_lang");
    const std::wstring path = dir.file(L"ZanGroupScanner.ini");
    write_utf16(path, L"[Settings]\r\nLanguage=1\r\n");
    ASSERT_TRUE(settings_load_from(path.c_str()));
    settings_set_language(1);  // --lang=en
    settings_set_language(0);  // --lang=ar
    EXPECT_EQ(LANGUAGE_ARABIC, interface_language());
    settings_save();
    EXPECT_NE(std::string::npos, utf16_file_text(path).find("[Settings]\r\nLanguage=0\r\n"));
    settings_release();
}

TEST(SettingsLocation, PortableFolderWhenWritableElsePerUserFolder) {
    TempDir dir(L"zan_settings_locate");
    const std::wstring exe = dir.file(L"exe");
    const std::wstring appdata = dir.file(L"appdata");
    CreateDirectoryW(exe.c_str(), nullptr);

    WideString chosen = settings_locate(exe.c_str(), appdata.c_str());
    EXPECT_EQ(utf8((exe + L"\\ZanGroupScanner.ini").c_str()), utf8(chosen));
    EXPECT_EQ(26, file_size(chosen.data));
    release(&chosen);

    // A folder where nothing can be created: under a plain file.
    const std::wstring blocker = dir.file(L"blocker");
    write_raw(blocker, "x");
    chosen = settings_locate((blocker + L"\\bin").c_str(), appdata.c_str());
    const std::wstring per_user = appdata + L"\\ZanGroupScanner\\ZanGroupScanner.ini";
    EXPECT_EQ(utf8(per_user.c_str()), utf8(chosen));
    EXPECT_EQ(26, file_size(per_user.c_str()));
    release(&chosen);
}

TEST(SettingsRecord, ScanSettingsCopyTheEightScanValues) {
    AppSettings s = {};
    s.ColorMode = 1;
    s.Dpi = 600;
    s.Source = 2;
    s.Paper = 3;
    s.Brightness = -20;
    s.Contrast = 30;
    s.Threshold = 99;
    s.ShowDriverUi = true;
    const ScanSettings scan = scan_settings_of(s);
    EXPECT_EQ(1, scan.ColorMode);
    EXPECT_EQ(600, scan.Dpi);
    EXPECT_EQ(2, scan.Source);
    EXPECT_EQ(3, scan.Paper);
    EXPECT_EQ(-20, scan.Brightness);
    EXPECT_EQ(30, scan.Contrast);
    EXPECT_EQ(99, scan.Threshold);
    EXPECT_TRUE(scan.ShowDriverUi);
}

TEST(SettingsLocation, ExistingPortableFileWithoutMarkIsKeptAndConverted) {
    TempDir dir(L"zan_settings_locate_old");
    const std::wstring ini = dir.file(L"ZanGroupScanner.ini");
    write_raw(ini, "[Settings]\r\nDpi=600\r\nNamePrefix=\xD9\x85\r\n");
    WideString chosen = settings_locate(dir.path.c_str(), dir.file(L"appdata").c_str());
    EXPECT_EQ(utf8(ini.c_str()), utf8(chosen));
    ASSERT_TRUE(settings_load_from(chosen.data));
    EXPECT_EQ(600, app_settings()->Dpi);
    EXPECT_NE(std::string::npos, utf16_file_text(ini).find("NamePrefix=\xD9\x85\r\n"));
    release(&chosen);
    settings_release();
}

TEST(SettingsFile, RawAccessBeforeLoadingGivesDefaults) {
    settings_release();
    EXPECT_EQ(42, read_int(L"Dpi", L"Settings", 42));
    WideString text = {};
    ASSERT_TRUE(read_text(L"NamePrefix", L"Settings", L"fallback", &text));
    EXPECT_EQ("fallback", utf8(text));
    EXPECT_FALSE(write_text(L"Dpi", L"Settings", L"300"));
    release(&text);
}
