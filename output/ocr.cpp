// output/ocr.cpp
// The engine-independent half of recognition: which engines run, how large an image they
// get, which words survive, and how an Arabic and an English run are merged so that
// Latin text the Arabic engine already read is not placed twice.
#include "output/ocr.h"

#include "core/heap.h"
#include "core/text.h"

const wchar_t kOcrNotAvailable[] = L"Not available on this Windows (needs Windows 10+ with the OCR language installed)";

static const int kDefaultLimit = 4000;   // when the engine does not name its limit
static const int kHighestLimit = 5000;

bool ocr_result_add(OcrResult* result, const wchar_t* text, int length, float x, float y, float width, float height) {
    if (length < 0 || (length > 0 && !text)) return false;
    if (result->count == result->capacity) {
        const int capacity = result->capacity ? result->capacity * 2 : 8;
        if (capacity > 0x7FFFFFFF / (int)sizeof(OcrWord)) return false;
        OcrWord* grown = static_cast<OcrWord*>(mem_realloc(result->items, sizeof(OcrWord) * (size_t)capacity));
        if (!grown) return false;
        result->items = grown;
        result->capacity = capacity;
    }
    OcrWord word = {};
    if (!assign(&word.text, text ? text : L"", length)) return false;
    word.x = x;
    word.y = y;
    word.width = width;
    word.height = height;
    result->items[result->count++] = word;
    return true;
}

void ocr_result_release(OcrResult* result) {
    for (int k = 0; k < result->count; ++k) release(&result->items[k].text);
    mem_free(result->items);
    *result = OcrResult{};
}

static bool has_arabic(const WideString& text) {
    for (int k = 0; k < text.length; ++k)
        if (text.data[k] >= 0x0600 && text.data[k] <= 0x06FF) return true;
    return false;
}

// Latin script and ASCII only (U+0001 - U+024F): the English engine's reading of
// Arabic script is noise.
static bool is_latin(const WideString& text) {
    for (int k = 0; k < text.length; ++k)
        if (text.data[k] < 0x0001 || text.data[k] > 0x024F) return false;
    return true;
}

static bool centre_inside_taken(const OcrWord& word, const OcrResult& taken) {
    const float cx = word.x + word.width / 2;
    const float cy = word.y + word.height / 2;
    for (int k = 0; k < taken.count; ++k) {
        const OcrWord& t = taken.items[k];
        if (cx >= t.x && cx <= t.x + t.width && cy >= t.y && cy <= t.y + t.height) return true;
    }
    return false;
}

// Runs one engine on image and appends its usable words, scaled back to page pixels.
static bool run_engine(const OcrEngine& engine, const PageImage* image, float scale, OcrResult* words,
                       WideString* error) {
    OcrResult raw = {};
    const bool ok = engine.recognize(engine.state, image, &raw, error);
    for (int k = 0; k < raw.count; ++k) {
        const OcrWord& w = raw.items[k];
        if (w.text.length == 0 || !(w.width > 0) || !(w.height > 0)) continue;
        ocr_result_add(words, w.text.data, w.text.length, w.x * scale, w.y * scale, w.width * scale,
                       w.height * scale);
    }
    ocr_result_release(&raw);
    return ok;
}

static void copy_words(const OcrResult& from, OcrResult* to, bool (*keep)(const OcrWord&, const OcrResult&)) {
    for (int k = 0; k < from.count; ++k) {
        const OcrWord& w = from.items[k];
        if (!keep || keep(w, *to)) ocr_result_add(to, w.text.data, w.text.length, w.x, w.y, w.width, w.height);
    }
}

static bool keep_arabic(const OcrWord& w, const OcrResult&) {
    return has_arabic(w.text);
}

static bool keep_english(const OcrWord& w, const OcrResult& taken) {
    return is_latin(w.text) && !centre_inside_taken(w, taken);
}

bool ocr_recognize_with(const OcrBackend* backend, const PageImage* page, const wchar_t* language,
                        OcrResult* result, WideString* error) {
    if (!backend || !page || !page->pixels || !result) {
        assign(error, L"memory");
        return false;
    }
    const bool want_arabic = text_equals(language, L"en") != 0;
    const bool want_english = text_equals(language, L"ar") != 0;
    OcrEngine arabic = {}, english = {};
    const bool have_arabic = want_arabic && backend->create_engine(backend->state, L"ar", &arabic);
    bool have_english = false;
    if (want_english) {
        have_english = backend->create_engine(backend->state, L"en-US", &english) ||
                       backend->create_engine(backend->state, L"en", &english);
    }
    if (!have_arabic && !have_english) {
        assign(error, kOcrNotAvailable);
        return false;
    }

    bool ok = false;
    PageImage* grey = page_image_to_grey(page);
    PageImage* shrunk = nullptr;
    if (!grey) {
        assign(error, L"memory");
    } else {
        int limit = 0;
        if (!backend->max_image_dimension(backend->state, &limit) || limit < 101)
            limit = kDefaultLimit;
        else if (limit > kHighestLimit)
            limit = kHighestLimit;
        if (grey->width > limit || grey->height > limit) shrunk = page_image_scale_to_fit(grey, limit, limit);
        const PageImage* image = shrunk ? shrunk : grey;
        const float scale = (float)grey->width / (float)image->width;

        OcrResult arabic_words = {}, english_words = {};
        WideString arabic_error = {}, english_error = {};
        const bool arabic_ok = !have_arabic || run_engine(arabic, image, scale, &arabic_words, &arabic_error);
        const bool english_ok = !have_english || run_engine(english, image, scale, &english_words, &english_error);
        const int before = result->count;
        if (have_arabic && have_english) {
            OcrResult taken = {};
            copy_words(arabic_words, &taken, keep_arabic);
            copy_words(english_words, &taken, keep_english);
            copy_words(taken, result, nullptr);
            ocr_result_release(&taken);
        } else {
            copy_words(have_arabic ? arabic_words : english_words, result, nullptr);
        }
        ok = result->count > before || (arabic_ok && english_ok);
        if (!ok) assign(error, text_of(arabic_error.length ? arabic_error : english_error));
        ocr_result_release(&arabic_words);
        ocr_result_release(&english_words);
        release(&arabic_error);
        release(&english_error);
    }
    page_image_free(shrunk);
    page_image_free(grey);
    if (have_arabic) backend->release_engine(backend->state, &arabic);
    if (have_english) backend->release_engine(backend->state, &english);
    return ok;
}
