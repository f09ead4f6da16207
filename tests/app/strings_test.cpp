#include "app/strings.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/deployment.h"
#include "image/page_store.h"
#include "tests/test_text.h"

namespace {

// The %s/%d/%u placeholders of a text, in order.
std::string placeholders(const wchar_t* text) {
    std::string out;
    for (const wchar_t* p = text; *p; ++p)
        if (p[0] == L'%' && (p[1] == L's' || p[1] == L'd' || p[1] == L'u')) out += (char)p[1];
    return out;
}

int count_of(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t pos = text.find(part); pos != std::string::npos; pos = text.find(part, pos + part.size())) ++n;
    return n;
}

bool has_arabic_letter(const wchar_t* text) {
    for (const wchar_t* p = text; *p; ++p)
        if (*p >= 0x0621 && *p <= 0x064A) return true;
    return false;
}

}  // namespace

TEST(StringTable, EveryIdHasBothTextsWithMatchingPlaceholdersAndBreaks) {
    for (int id = 0; id < STRING_COUNT; ++id) {
        const wchar_t* ar = tr_in(LANGUAGE_ARABIC, id);
        const wchar_t* en = tr_in(LANGUAGE_ENGLISH, id);
        SCOPED_TRACE(id);
        EXPECT_NE(L'\0', ar[0]);
        EXPECT_NE(L'\0', en[0]);
        EXPECT_EQ(placeholders(en), placeholders(ar));
        EXPECT_EQ(count_of(utf8(en), "\r\n"), count_of(utf8(ar), "\r\n"));
        EXPECT_EQ(count_of(utf8(en), "\n"), count_of(utf8(ar), "\n"));
        // Fragments that callers complete keep their leading and trailing space.
        EXPECT_EQ(utf8(en).back() == ' ', utf8(ar).back() == ' ');
        EXPECT_EQ(utf8(en).front() == ' ', utf8(ar).front() == ' ');
    }
}

TEST(StringTable, ArabicTextsAreTranslations) {
    // Technical names that read the same in both languages, and the language button.
    const std::set<int> same = {44, 97, 98};
    for (int id = 0; id < STRING_COUNT; ++id) {
        SCOPED_TRACE(id);
        const wchar_t* ar = tr_in(LANGUAGE_ARABIC, id);
        if (same.count(id) != 0) continue;
        EXPECT_NE(utf8(tr_in(LANGUAGE_ENGLISH, id)), utf8(ar));
        if (id != 72) {
            EXPECT_TRUE(has_arabic_letter(ar));
        }
    }
}

const wchar_t* const kEnglishTexts[STRING_COUNT] = {
#include "tests/app/english_texts.inc"
};

TEST(StringTable, EveryEnglishTextAsTheProgramShowsIt) {
    for (int id = 0; id < STRING_COUNT; ++id) {
        if (id == 74) continue;  // composed from the service address, checked below
        EXPECT_EQ(utf8(kEnglishTexts[id]), utf8(tr_in(LANGUAGE_ENGLISH, id))) << "id " << id;
    }
}

// Invisible marks keep Latin values in Arabic lines in the order a user types them.
TEST(StringTable, DirectionMarksAroundLatinValuesInArabic) {
    const std::string lrm = "\xE2\x80\x8E", rlm = "\xE2\x80\x8F";
    const std::string call = utf8(tr_in(LANGUAGE_ARABIC, 75));
    EXPECT_EQ(lrm + " ", call.substr(call.size() - 4));
    EXPECT_NE(std::string::npos, utf8(tr_in(LANGUAGE_ARABIC, 124)).find(lrm + "1-3,5,7-9):"));
    EXPECT_NE(std::string::npos, utf8(tr_in(LANGUAGE_ARABIC, 290)).find("Windows" + rlm + " (NetFwPolicy2)"));
    for (int id : {169, 291, 292}) {
        const std::string text = utf8(tr_in(LANGUAGE_ARABIC, id));
        EXPECT_EQ(rlm, text.substr(text.size() - 3)) << "id " << id;
    }
}

TEST(StringTable, LanguageButtonNamesTheOtherLanguage) {
    EXPECT_EQ("\xD8\xA7\xD9\x84\xD8\xB9\xD8\xB1\xD8\xA8\xD9\x8A\xD8\xA9", utf8(tr_in(LANGUAGE_ENGLISH, 72)));
    EXPECT_EQ("English", utf8(tr_in(LANGUAGE_ARABIC, 72)));
}

TEST(StringTable, ServiceLinkFollowsTheDeploymentAddress) {
    EXPECT_EQ(utf8(kServiceWebAddress) + "  \xC2\xB7  click here", utf8(tr_in(LANGUAGE_ENGLISH, 74)));
    EXPECT_EQ(0u, utf8(tr_in(LANGUAGE_ARABIC, 74)).find(utf8(kServiceWebAddress) + "  \xC2\xB7  "));
}

TEST(StringTable, TableLayoutIsArabicThenEnglish) {
    EXPECT_EQ(utf8(kStringTable[147]), utf8(tr_in(LANGUAGE_ARABIC, 147)));
    EXPECT_EQ("Scan failed", utf8(kStringTable[STRING_COUNT + 147]));
}

TEST(Tr, FollowsTheInterfaceLanguage) {
    set_interface_language(LANGUAGE_ENGLISH);
    EXPECT_EQ("Ready to scan", utf8(tr(1)));
    set_interface_language(2);  // any non-zero value is English
    EXPECT_EQ(LANGUAGE_ENGLISH, interface_language());
    EXPECT_EQ("Ready to scan", utf8(tr(1)));
    set_interface_language(LANGUAGE_ARABIC);
    EXPECT_EQ(utf8(kStringTable[1]), utf8(tr(1)));
    EXPECT_NE("Ready to scan", utf8(tr(1)));
}

TEST(Tr, IdsOutsideTheTableGiveEmptyText) {
    for (int language : {LANGUAGE_ARABIC, LANGUAGE_ENGLISH}) {
        set_interface_language(language);
        EXPECT_EQ("", utf8(tr(STRING_COUNT)));
        EXPECT_EQ("", utf8(tr(-1)));
        EXPECT_EQ("", utf8(tr(INT_MIN)));
        EXPECT_NE(nullptr, tr(1000));
    }
    set_interface_language(LANGUAGE_ARABIC);
}

TEST(StringTable, ThePageStoreMessagesNameWhatHappened) {
    EXPECT_EQ(0u, utf8(tr_in(LANGUAGE_ENGLISH, PAGE_STORE_MESSAGE_NO_SPACE)).find("Out of memory while scanning."));
    EXPECT_NE(std::string::npos,
              utf8(tr_in(LANGUAGE_ENGLISH, PAGE_STORE_MESSAGE_READ_FAILED)).find("could not be read back"));
    EXPECT_NE(std::string::npos, utf8(tr_in(LANGUAGE_ARABIC, PAGE_STORE_MESSAGE_READ_FAILED)).find("الملف المؤقت"));
}
