// output/ocr.h
// Words on a page from the system's OCR engine, for the searchable text layer. OcrResult
// owns its words and their texts (ocr_result_release). The engine is reached through the
// OcrBackend seam: ocr_win32.cpp supplies the Windows Runtime engine; the rules here
// (languages, size limit, word filter, combining Arabic and English) are portable.
#ifndef ZAN_OUTPUT_OCR_H
#define ZAN_OUTPUT_OCR_H

#include "core/wide_string.h"
#include "image/page_image.h"

// ---- words
struct OcrWord {
    WideString text;
    float x, y, width, height;   // pixels of the page as stored, origin top left, y down
};

struct OcrResult {
    OcrWord* items;
    int count;
    int capacity;                // grows by doubling from 8
};

// Appends a copy of the word. False when out of memory (the result is unchanged).
bool ocr_result_add(OcrResult* result, const wchar_t* text, int length, float x, float y, float width, float height);
// Frees every word's text and the array.
void ocr_result_release(OcrResult* result);

// ---- the engine seam
// One recognition engine for one language tag.
struct OcrEngine {
    void* state;
    // Appends the words found in an 8-bit grey image, boxes in that image's pixels.
    // False with a short error text when the run failed.
    bool (*recognize)(void* state, const PageImage* grey, OcrResult* words, WideString* error);
};

struct OcrBackend {
    void* state;
    // An engine for a language tag ("ar", "en-US", "en"); false when none is installed.
    bool (*create_engine)(void* state, const wchar_t* tag, OcrEngine* engine);
    void (*release_engine)(void* state, OcrEngine* engine);
    // The engine's largest image side; false when it does not say.
    bool (*max_image_dimension)(void* state, int* dimension);
};

// "Not available on this Windows (needs Windows 10+ with the OCR language installed)".
extern const wchar_t kOcrNotAvailable[];

// Recognises page for the OcrLang value ("ar", "en", "both"; anything but "en" asks for
// Arabic, anything but "ar" for English) and appends the kept words to result. True if
// a word was found or every engine run succeeded; otherwise error holds the first run's text.
bool ocr_recognize_with(const OcrBackend* backend, const PageImage* page, const wchar_t* language,
                        OcrResult* result, WideString* error);

// ---- the system engine (Windows 10 and later; never available elsewhere)
// Decided once per process.
bool ocr_is_available();
bool ocr_recognize_page(const PageImage* page, const wchar_t* language, OcrResult* result, WideString* error);

#endif
