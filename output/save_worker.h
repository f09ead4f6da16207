// output/save_worker.h
// The save worker: the job that turns the pages into one PDF, separate JPG or PNG files
// or one multi-page TIFF, with OCR for the PDF text layer and the watermark stamped on
// each page just before it is written. It reports to the main window through
// SaveReceiver: progress (SAVE_MESSAGE_PROGRESS) and exactly one SAVE_MESSAGE_DONE per
// job. Pages come through SavePages one pinned at a time, so a save needs memory for
// about one page wherever the others are kept. save_start (save_worker_win32.cpp) runs
// a job on its own thread; save_run runs it on the caller's.
#ifndef ZAN_OUTPUT_SAVE_WORKER_H
#define ZAN_OUTPUT_SAVE_WORKER_H

#include <stdint.h>

#include "core/wide_string.h"
#include "image/page_image.h"
#include "output/ocr.h"
#include "output/pdf_document.h"

// ---- messages to the main window (WM_APP + 14 and + 15)
// done: wparam 1 success / 0 failure, text = the target path or the error text.
const unsigned SAVE_MESSAGE_DONE = 0x8000 + 14;
// progress: wparam percent 0..100, text null or the status line.
const unsigned SAVE_MESSAGE_PROGRESS = 0x8000 + 15;

// String-table ids the worker puts into its status texts.
const int SAVE_TEXT_SAVING = 57;         // "Saving..."
const int SAVE_TEXT_RUNNING_OCR = 58;    // "Running OCR..."
const int SAVE_TEXT_NO_OCR_TEXT = 198;   // "No text was found on the pages."
const int SAVE_TEXT_SAVING_PAGE = 199;   // "Saving page"

// ---- what a job is made of
// The settings of one save, copied from AppSettings when the job is made.
struct SaveSettings {
    int format;               // SAVE_FORMAT_* (output/save_naming.h)
    int compression;          // 0..2
    bool ocr;
    WideString ocr_lang;      // "ar", "en", "both"
    WideString watermark;     // empty: none
    int watermark_opacity;    // percent
    bool protect;             // PdfPasswordOn
    WideString password;
    int cipher;               // 0 AES 128, 1 RC4 128
};
// A deep copy; false (and *out empty) when out of memory.
bool save_settings_copy(const SaveSettings& from, SaveSettings* out);
void save_settings_release(SaveSettings* settings);

// The pages, taken one at a time: pin(index) gives pixels valid until unpin(index), or
// null with a technical error text (the save then fails with it).
struct SavePages {
    void* context;
    int count;
    const PageImage* (*pin)(void* context, int index, WideString* error);
    void (*unpin)(void* context, int index);
};
// Pages held in a caller's array (which must outlive the job).
SavePages save_pages_of_array(const PageImage* const* pages, int count);
// Pages of a page store in the order given (the record, output/pdf_document.h, must
// outlive the job; its ocr field is not used). A page that cannot be pinned fails the
// save with "page %d could not be read back" or "page %d: out of memory".
SavePages save_pages_of_store(PdfStorePages* pages);

// Where the job's messages go. post takes ownership of text (a new WideString or null;
// free it with save_message_text_free). text gives the interface text of a string id.
struct SaveReceiver {
    void* context;
    void (*post)(void* context, unsigned message, unsigned wparam, WideString* text);
    void (*log)(void* context, const wchar_t* line);
    const wchar_t* (*text)(void* context, int id);
};
void save_message_text_free(WideString* text);

// The OCR engine the PDF path uses; save_default_ocr() is the system's.
struct SaveOcr {
    bool (*available)();
    bool (*recognize)(const PageImage* page, const wchar_t* language, OcrResult* result, WideString* error);
};
SaveOcr save_default_ocr();

struct SaveJob {
    SaveReceiver receiver;
    WideString target;
    SavePages pages;
    SaveSettings settings;
    SaveOcr ocr;
};

// ---- running
// Runs the whole job on this thread and posts exactly one SAVE_MESSAGE_DONE. Leaves the
// job's strings to the caller. True on success.
bool save_run(SaveJob* job);

// ---- the files written by the most recent save (read by the e-mail action)
// Emptied when a save starts; each file written completely is added.
int save_saved_file_count();
const wchar_t* save_saved_file(int index);

// ---- platform part (save_worker_win32.cpp)
// Encodes one page as JPEG (format SAVE_FORMAT_JPG, quality 0..100) or PNG; the native
// build has no image codec and fails.
bool save_encode_image(const PageImage* page, int format, int quality, ByteBuffer* out);

// Starts a job on its own thread (with its own COM apartment) that posts its messages
// to owner. Does nothing and returns false while a save is running. Copies settings and
// target; pages must stay unchanged until SAVE_MESSAGE_DONE arrives. text gives the
// interface text of a string id, log writes a log line (either may be null). When the
// thread cannot start, SAVE_MESSAGE_DONE arrives with "CreateThread failed".
struct HWND__;
bool save_start(HWND__* owner, const SavePages& pages, const SaveSettings& settings, const wchar_t* target,
                const wchar_t* (*text)(int id), void (*log)(const wchar_t* line));
bool save_is_running();

#endif
