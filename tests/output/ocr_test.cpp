// tests/output/ocr_test.cpp
// The OCR rules with a scripted engine: which engines run, the size limit and the scale
// factor, the word filter and the merge of Arabic and English results.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/ocr.h"
#include "tests/test_text.h"

struct ScriptedWord {
    const wchar_t* text;
    float x, y, w, h;
};

struct Script {
    bool has_arabic = true, has_english_us = true, has_english = true;
    bool arabic_fails = false, english_fails = false;
    bool says_limit = true;
    int limit = 0;
    std::vector<ScriptedWord> arabic_words, english_words;
    std::vector<std::string> created;     // tags asked for, in order
    std::vector<int> seen_width;          // image width each run got
    int released = 0;
};

struct EngineState {
    Script* script;
    bool arabic;
};

static bool scripted_recognize(void* state, const PageImage* grey, OcrResult* words, WideString* error) {
    EngineState* e = static_cast<EngineState*>(state);
    e->script->seen_width.push_back(grey->bits_per_pixel == 8 ? grey->width : -1);
    if (e->arabic ? e->script->arabic_fails : e->script->english_fails) {
        assign(error, e->arabic ? L"arabic broke" : L"english broke");
        return false;
    }
    for (const ScriptedWord& w : e->arabic ? e->script->arabic_words : e->script->english_words) {
        int n = 0;
        while (w.text[n]) ++n;
        ocr_result_add(words, w.text, n, w.x, w.y, w.w, w.h);
    }
    return true;
}

static bool scripted_create(void* state, const wchar_t* tag, OcrEngine* engine) {
    Script* s = static_cast<Script*>(state);
    const std::string t = utf8(tag);
    s->created.push_back(t);
    const bool have = (t == "ar" && s->has_arabic) || (t == "en-US" && s->has_english_us) || (t == "en" && s->has_english);
    if (!have) return false;
    engine->state = new EngineState{s, t == "ar"};
    engine->recognize = scripted_recognize;
    return true;
}

static void scripted_release(void* state, OcrEngine* engine) {
    static_cast<Script*>(state)->released++;
    delete static_cast<EngineState*>(engine->state);
}

static bool scripted_limit(void* state, int* limit) {
    Script* s = static_cast<Script*>(state);
    *limit = s->limit;
    return s->says_limit;
}

static std::vector<std::string> run(Script& s, const wchar_t* language, int width = 100, int height = 100,
                                    bool expect_ok = true, std::string* error_text = nullptr,
                                    OcrResult* keep = nullptr) {
    PageImage* page = page_image_new();
    EXPECT_TRUE(page_image_alloc(page, width, height, 24, 300));
    for (int64_t k = 0; k < (int64_t)page->stride * height; ++k) page->pixels[k] = 255;
    const OcrBackend backend = {&s, scripted_create, scripted_release, scripted_limit};
    OcrResult r = {};
    WideString error = {};
    EXPECT_EQ(ocr_recognize_with(&backend, page, language, &r, &error), expect_ok);
    if (error_text) *error_text = utf8(error);
    std::vector<std::string> words;
    for (int k = 0; k < r.count; ++k) words.push_back(utf8(r.items[k].text));
    if (keep)
        *keep = r;
    else
        ocr_result_release(&r);
    release(&error);
    page_image_free(page);
    return words;
}

TEST(OcrRules, LanguagesChooseTheEngines) {
    Script s;
    run(s, L"ar");
    EXPECT_EQ(s.created, (std::vector<std::string>{"ar"}));
    s = Script();
    run(s, L"en");
    EXPECT_EQ(s.created, (std::vector<std::string>{"en-US"}));
    s = Script();
    s.has_english_us = false;
    run(s, L"both");
    EXPECT_EQ(s.created, (std::vector<std::string>{"ar", "en-US", "en"}));
    EXPECT_EQ(s.released, 2);
    s = Script();
    run(s, L"something else");
    EXPECT_EQ(s.created, (std::vector<std::string>{"ar", "en-US"}));
}

TEST(OcrRules, NoEngineGivesTheNotAvailableText) {
    Script s;
    s.has_arabic = s.has_english = s.has_english_us = false;
    std::string error;
    run(s, L"both", 100, 100, false, &error);
    EXPECT_EQ(error, "Not available on this Windows (needs Windows 10+ with the OCR language installed)");
}

TEST(OcrRules, OnlyArabicInstalledKeepsAllItsWordsIncludingLatin) {
    Script s;
    s.has_english = s.has_english_us = false;
    s.arabic_words = {{L"\x0645\x0631\x062D\x0628\x0627", 0, 0, 10, 10}, {L"Total", 20, 0, 10, 10}};
    EXPECT_EQ(run(s, L"both"), (std::vector<std::string>{"\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7", "Total"}));
}

TEST(OcrRules, BothEnginesMergeWithoutDoubles) {
    Script s;
    s.arabic_words = {{L"\x0645\x0631", 0, 0, 100, 20}, {L"Latin", 300, 0, 50, 20}};
    s.english_words = {
        {L"dup", 40, 5, 20, 10},         // centre (50, 10) inside the Arabic word: dropped
        {L"edge", 90, 10, 20, 20},       // centre (100, 20) on the box's corner: dropped
        {L"Invoice", 200, 0, 50, 20},    // kept
        {L"again", 210, 5, 20, 10},      // centre inside "Invoice", taken just before: dropped
        {L"\x0645x", 500, 0, 10, 10},    // Arabic letter from the English engine: dropped
        {L"caf\x00E9", 600, 0, 10, 10},  // Latin-1 letters are Latin: kept
    };
    EXPECT_EQ(run(s, L"both"), (std::vector<std::string>{"\xD9\x85\xD8\xB1", "Invoice", "caf\xC3\xA9"}));
}

TEST(OcrRules, WordsWithoutTextOrAreaNeverArrive) {
    Script s;
    s.english_words = {{L"", 0, 0, 10, 10}, {L"a", 0, 0, 0, 10}, {L"b", 0, 0, 10, 0}, {L"c", 0, 0, 1, 1}};
    EXPECT_EQ(run(s, L"en"), (std::vector<std::string>{"c"}));
}

TEST(OcrRules, LargePagesAreShrunkAndBoxesScaledBack) {
    Script s;
    s.limit = 5000;
    s.english_words = {{L"w", 10, 20, 30, 40}};
    OcrResult r = {};
    run(s, L"en", 6000, 8000, true, nullptr, &r);
    ASSERT_EQ(s.seen_width, (std::vector<int>{3750}));
    ASSERT_EQ(r.count, 1);
    EXPECT_FLOAT_EQ(r.items[0].x, 16);
    EXPECT_FLOAT_EQ(r.items[0].y, 32);
    EXPECT_FLOAT_EQ(r.items[0].width, 48);
    EXPECT_FLOAT_EQ(r.items[0].height, 64);
    ocr_result_release(&r);
}

TEST(OcrRules, LimitDefaultsAndCap) {
    Script s;
    s.says_limit = false;
    run(s, L"en", 4500, 100);
    EXPECT_EQ(s.seen_width, (std::vector<int>{4000}));
    s = Script();
    s.limit = 100;   // below 101: the default 4000
    run(s, L"en", 4100, 10);
    EXPECT_EQ(s.seen_width, (std::vector<int>{4000}));
    s = Script();
    s.limit = 9000;  // capped at 5000
    run(s, L"en", 5200, 10);
    EXPECT_EQ(s.seen_width, (std::vector<int>{5000}));
    s = Script();
    s.limit = 5000;
    run(s, L"en", 300, 200);
    EXPECT_EQ(s.seen_width, (std::vector<int>{300}));   // never enlarged
}

TEST(OcrRules, FailureOnlyWhenNothingFoundAndARunFailed) {
    Script s;
    s.arabic_fails = true;
    s.english_words = {{L"ok", 0, 0, 5, 5}};
    EXPECT_EQ(run(s, L"both"), (std::vector<std::string>{"ok"}));
    s = Script();
    s.arabic_fails = true;
    s.english_fails = true;
    std::string error;
    run(s, L"both", 100, 100, false, &error);
    EXPECT_EQ(error, "arabic broke");
    s = Script();
    s.english_fails = true;
    run(s, L"both", 100, 100, false, &error);
    EXPECT_EQ(error, "english broke");
    s = Script();
    EXPECT_TRUE(run(s, L"both").empty());   // nothing found, every run fine: success
}

TEST(OcrSystemEngine, AbsentInTheNativeBuildOrUnderWine) {
    EXPECT_FALSE(ocr_is_available());
    EXPECT_FALSE(ocr_is_available());   // decided once, still false
    PageImage* page = page_image_new();
    ASSERT_TRUE(page_image_alloc(page, 10, 10, 8, 300));
    OcrResult r = {};
    WideString error = {};
    EXPECT_FALSE(ocr_recognize_page(page, L"both", &r, &error));
    EXPECT_EQ(utf8(error), "Not available on this Windows (needs Windows 10+ with the OCR language installed)");
    EXPECT_EQ(r.count, 0);
    release(&error);
    page_image_free(page);
}
