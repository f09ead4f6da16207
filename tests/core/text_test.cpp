#include "core/text.h"

#include <gtest/gtest.h>

#include "core/text_platform.h"
#include "tests/test_text.h"

TEST(TextCompare, ExactComparisonSeesCase) {
    EXPECT_EQ(0, text_equals(L"share", L"share"));
    EXPECT_NE(0, text_equals(L"share", L"SHARE"));
    EXPECT_LT(text_equals(L"ab", L"abc"), 0);
    EXPECT_EQ(0, text_equals(nullptr, L""));
}

TEST(TextCompare, CaseIgnoringRules) {
    EXPECT_EQ(0, compare_no_case(L"Scan Preset", L"sCAN pRESET"));
    EXPECT_EQ(-1, compare_no_case(L"abc", L"abd"));
    EXPECT_EQ(1, compare_no_case(L"abcd", L"ABC"));
    EXPECT_EQ(0, compare_no_case(nullptr, L""));
    // Arabic has no case: equal only when identical.
    EXPECT_EQ(0, compare_no_case(L"\x0628\x0637\x0627\x0642\x0629", L"\x0628\x0637\x0627\x0642\x0629"));
    EXPECT_NE(0, compare_no_case(L"\x0628", L"\x062A"));
}

#ifdef _WIN32
// CompareStringW refuses a null text with a length; a refusal must never read as "equal"
// (two presets would then share one name).
TEST(TextCompare, FailedSystemComparisonIsNotEqual) {
    EXPECT_NE(0, compare_units_no_case(nullptr, 2, L"ab", 2));
    EXPECT_NE(0, compare_units_no_case(L"ab", 2, nullptr, 2));
}
#endif

TEST(TextCompare, PrefixTestNeedsTheWholePrefix) {
    EXPECT_TRUE(starts_with_no_case(L"--ZAN-ADMIN=share", L"--zan-admin="));
    EXPECT_TRUE(starts_with_no_case(L"--zan-admin=", L"--zan-admin="));
    EXPECT_FALSE(starts_with_no_case(L"--zan-admin", L"--zan-admin="));
    EXPECT_FALSE(starts_with_no_case(L"--zan", L"--zan-admin="));
    EXPECT_TRUE(starts_with_no_case(nullptr, L""));
    EXPECT_FALSE(starts_with_no_case(nullptr, L"-"));
}

TEST(TextCompare, ContainsSlidesOverEveryPosition) {
    EXPECT_TRUE(contains_no_case(L"Canon iR-ADV C5535 TWAIN", L"twain"));
    EXPECT_TRUE(contains_no_case(L"abc", L"C"));
    EXPECT_TRUE(contains_no_case(L"abc", nullptr));
    EXPECT_TRUE(contains_no_case(L"", L""));
    EXPECT_FALSE(contains_no_case(L"ab", L"abc"));
    EXPECT_FALSE(contains_no_case(L"abcabd", L"abe"));
}

TEST(TextCopy, BoundedCopyAlwaysTerminates) {
    wchar_t buffer[6];
    for (wchar_t& c : buffer) c = L'#';
    copy_bounded(buffer, 4, L"abcdef");
    EXPECT_EQ("abc", utf8(buffer));
    EXPECT_EQ(L'#', buffer[4]);
    copy_bounded(buffer, 0, L"zz");
    EXPECT_EQ("abc", utf8(buffer));
    copy_bounded(buffer, 6, nullptr);
    EXPECT_EQ("", utf8(buffer));
}

TEST(TextConvert, Utf8RoundTripWithArabicAndSurrogates) {
    const char* original = "Scan \xD9\x85\xD8\xB3\xD8\xAD \xF0\x9F\x93\x84 end";
    WideString w = multibyte_to_wide(original, -1, CODE_PAGE_UTF8);
    EXPECT_EQ(15, w.length);  // the emoji takes two UTF-16 units
    EXPECT_EQ(0x0645, w.data[5]);
    EXPECT_EQ(original, utf8(w));
    release(&w);
    WideString empty = multibyte_to_wide(nullptr, 5, CODE_PAGE_UTF8);
    EXPECT_EQ(0, empty.length);
    release(&empty);
}

TEST(TextConvert, CountLimitsTheInputAndAppendAddsNoTerminator) {
    WideString w = multibyte_to_wide("abcdef", 3, CODE_PAGE_UTF8);
    EXPECT_EQ("abc", utf8(w));
    release(&w);
    ByteBuffer b = {};
    ASSERT_TRUE(append_utf8(&b, L"a\x00e9"));
    ASSERT_TRUE(append_utf8(&b, nullptr));
    EXPECT_EQ(3, b.length);
    EXPECT_EQ(0xC3, b.data[1]);
    release(&b);
}

// A user's text that contains format directives is data, not a format.
TEST(TextFormat, DirectivesInsideArgumentsStayLiteral) {
    WideString s = {};
    ASSERT_TRUE(format(&s, L"%s", L"100%s %d %n"));
    EXPECT_EQ("100%s %d %n", utf8(s));
    ASSERT_TRUE(format(&s, L"[%-5s|%5s|%S|%c]", L"ab", L"cd", "ef", L'g'));
    EXPECT_EQ("[ab   |   cd|ef|g]", utf8(s));
    ASSERT_TRUE(format(&s, L"%08X %#x", 0xBEEFu, 255u));
    EXPECT_EQ("0000BEEF 0xff", utf8(s));
    release(&s);
}
