// tests/app/save_setup_test.cpp
// The save job's copy of the settings is its own, and the naming's changes reach the record.
#include <gtest/gtest.h>

#include "app/save_setup.h"
#include "tests/test_text.h"

TEST(SaveSetup, TheJobOwnsItsCopyOfTheSettings) {
    AppSettings s = {};
    s.Format = 3;
    s.Compression = 2;
    s.Ocr = true;
    assign(&s.OcrLang, L"ar");
    assign(&s.Watermark, L"TRUE COPY");
    s.WatermarkOpacity = 40;
    s.PdfPasswordOn = true;
    assign(&s.PdfPassword, L"secret");
    s.PdfCipher = 1;
    SaveSettings copy;
    ASSERT_TRUE(save_settings_of(s, &copy));
    assign(&s.Watermark, L"changed later");
    assign(&s.PdfPassword, L"");
    EXPECT_EQ(copy.format, 3);
    EXPECT_EQ(copy.compression, 2);
    EXPECT_TRUE(copy.ocr);
    EXPECT_EQ(utf8(copy.ocr_lang), "ar");
    EXPECT_EQ(utf8(copy.watermark), "TRUE COPY");
    EXPECT_EQ(copy.watermark_opacity, 40);
    EXPECT_TRUE(copy.protect);
    EXPECT_EQ(utf8(copy.password), "secret");
    EXPECT_EQ(copy.cipher, 1);
    save_settings_release(&copy);
    release(&s.OcrLang);
    release(&s.Watermark);
    release(&s.PdfPassword);
}

TEST(SaveSetup, NamingRequestAndWhatComesBack) {
    AppSettings s = {};
    assign(&s.SaveDir, L"C:\\Scans");
    assign(&s.NamePrefix, L"Contract");
    s.Format = 1;
    s.NamingMode = 2;
    s.Counter = 12;
    s.FixedFolder = true;
    const SaveNamingRequest r = save_naming_request_of(s, 5);
    EXPECT_EQ(utf8(r.folder), "C:\\Scans");
    EXPECT_EQ(utf8(r.prefix), "Contract");
    EXPECT_EQ(r.format, 1);
    EXPECT_EQ(r.naming_mode, 2);
    EXPECT_EQ(r.counter, 12);
    EXPECT_TRUE(r.fixed_folder);
    EXPECT_EQ(r.page_count, 5);
    EXPECT_GE(r.now.year, 2020);

    SaveNamingResult result = {};
    result.counter = 14;
    save_store_naming_result(&s, result);   // no folder chosen: SaveDir stays
    EXPECT_EQ(s.Counter, 14);
    EXPECT_EQ(utf8(s.SaveDir), "C:\\Scans");
    assign(&result.folder, L"D:\\Elsewhere");
    save_store_naming_result(&s, result);
    EXPECT_EQ(utf8(s.SaveDir), "D:\\Elsewhere");
    save_naming_result_release(&result);
    release(&s.SaveDir);
    release(&s.NamePrefix);
}
