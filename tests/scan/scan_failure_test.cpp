// tests/scan/scan_failure_test.cpp
#include "scan/scan_failure.h"

#include <gtest/gtest.h>

#include "app/strings.h"
#include "tests/test_text.h"

class ScanFailure : public ::testing::Test {
protected:
    void SetUp() override { set_interface_language(LANGUAGE_ENGLISH); }
};

static std::string twain_text(int cc) {
    WideString s = twain_failure_text(cc);
    std::string r = utf8(s);
    release(&s);
    return r;
}

static std::string wia_text(uint32_t hr) {
    WideString s = wia_failure_text(hr);
    std::string r = utf8(s);
    release(&s);
    return r;
}

TEST_F(ScanFailure, NamesFollowTheTableAndUnknownsAreQuestionMarks) {
    EXPECT_EQ(utf8(twcc_name(0)), "SUCCESS");
    EXPECT_EQ(utf8(twcc_name(13)), "CAPUNSUPPORTED");
    EXPECT_EQ(utf8(twcc_name(20)), "PAPERJAM");
    EXPECT_EQ(utf8(twcc_name(29)), "NOMEDIA");
    for (int unnamed : {7, 8, 17, 18, 19, 22, 25, 28, 30, 1000, -1}) EXPECT_EQ(utf8(twcc_name(unnamed)), "?") << unnamed;
}

TEST_F(ScanFailure, CodesWithSentencesGetThem) {
    EXPECT_EQ(twain_text(2), "Out of memory while scanning. Save the current pages and scan a smaller batch, or lower the DPI.");
    EXPECT_EQ(twain_text(20), "Paper jam. Clear the jam and try again.");
    EXPECT_EQ(twain_text(29), "No paper in the ADF, or the device is not ready.");
    EXPECT_EQ(twain_text(23), "The device is offline or switched off. Check the cable and power.");
}

TEST_F(ScanFailure, OtherCodesGetTheGenericTextWithCodeAndName) {
    EXPECT_EQ(twain_text(22), "The device refused to start. Try enabling \"Show scanner driver screen\". (TWCC 22 / ?)");
    EXPECT_EQ(twain_text(-1), "The device refused to start. Try enabling \"Show scanner driver screen\". (TWCC -1 / ?)");
    EXPECT_EQ(twain_text(6), "The device refused to start. Try enabling \"Show scanner driver screen\". (TWCC 6 / BADCAP)");
}

TEST_F(ScanFailure, WiaResultsMapToSentences) {
    EXPECT_EQ(wia_text(0x80040154u), "The WIA service is not available on this computer.");
    EXPECT_EQ(wia_text(0x8021000Au), "The device is offline or switched off (WIA).");
    EXPECT_EQ(wia_text(0x8021000Du), "The device denied the request (busy or locked).");
    EXPECT_EQ(wia_text(0x80210001u), "WIA scan failed (0x80210001)");
}

TEST_F(ScanFailure, SentencesFollowTheInterfaceLanguage) {
    set_interface_language(LANGUAGE_ARABIC);
    const std::string arabic = twain_text(20);
    set_interface_language(LANGUAGE_ENGLISH);
    EXPECT_NE(arabic, twain_text(20));
    EXPECT_FALSE(arabic.empty());
}
