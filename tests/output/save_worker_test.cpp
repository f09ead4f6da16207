// tests/output/save_worker_test.cpp
// The save worker with a recording receiver: the exact progress and result messages in
// order, exactly one result per job, one page pinned at a time, OCR on the unstamped
// page, saved_files, and failures that leave the earlier file and no part file. On
// Windows also the image formats, the stamp and save_start's thread with a real window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/file.h"
#include "core/heap.h"
#include "output/save_naming.h"
#include "output/save_worker.h"
#include "tests/test_temp_folder.h"
#include "tests/test_text.h"

#ifdef _WIN32
#include <windows.h>

#include "image/codec.h"
#endif

namespace {

struct Message {
    unsigned message;
    unsigned wparam;
    std::string text;   // "-" for none
    bool operator==(const Message& o) const { return message == o.message && wparam == o.wparam && text == o.text; }
};

std::ostream& operator<<(std::ostream& out, const Message& m) {
    return out << (m.message == SAVE_MESSAGE_DONE ? "done " : "progress ") << m.wparam << " " << m.text;
}

Message progress(unsigned percent, const std::string& text = "-") {
    return Message{SAVE_MESSAGE_PROGRESS, percent, text};
}

Message done(unsigned ok, const std::string& text) {
    return Message{SAVE_MESSAGE_DONE, ok, text};
}

struct Recording {
    std::vector<Message> messages;
    std::vector<std::string> log;
};

void record_post(void* context, unsigned message, unsigned wparam, WideString* text) {
    static_cast<Recording*>(context)->messages.push_back(Message{message, wparam, text ? utf8(*text) : "-"});
    save_message_text_free(text);
}

void record_log(void* context, const wchar_t* line) {
    static_cast<Recording*>(context)->log.push_back(utf8(line));
}

const wchar_t* english(void*, int id) {
    switch (id) {
    case SAVE_TEXT_SAVING: return L"Saving...";
    case SAVE_TEXT_RUNNING_OCR: return L"Running OCR...";
    case SAVE_TEXT_NO_OCR_TEXT: return L"No text was found on the pages.";
    case SAVE_TEXT_SAVING_PAGE: return L"Saving page";
    default: return L"?";
    }
}

// Pages in memory that count how many are pinned at once.
struct Pages {
    std::vector<PageImage*> pages;
    int pinned = 0;
    int most_pinned = 0;
    int fail_at = -1;
    ~Pages() {
        for (PageImage* p : pages) page_image_free(p);
    }
    void add(int width, int height, int bits, uint8_t fill = 255) {
        PageImage* p = page_image_new();
        EXPECT_TRUE(page_image_alloc(p, width, height, bits, 100));
        mem_fill(p->pixels, fill, (size_t)p->stride * (size_t)height);
        pages.push_back(p);
    }
};

const PageImage* pin(void* context, int index, WideString* error) {
    Pages* p = static_cast<Pages*>(context);
    if (index == p->fail_at) {
        format(error, L"page %d could not be read back", index + 1);
        return nullptr;
    }
    if (++p->pinned > p->most_pinned) p->most_pinned = p->pinned;
    return p->pages[(size_t)index];
}

void unpin(void* context, int) {
    --static_cast<Pages*>(context)->pinned;
}

// A stand-in OCR engine: one word per page, page 2 failing, and a note of what it saw.
struct OcrSeen {
    bool available = true;
    bool no_words = false;
    std::vector<int> depths;
};
OcrSeen g_ocr;

bool ocr_available() {
    return g_ocr.available;
}

bool ocr_recognize(const PageImage* page, const wchar_t*, OcrResult* result, WideString* error) {
    g_ocr.depths.push_back(page->bits_per_pixel);
    if (g_ocr.depths.size() == 2) {
        assign(error, L"boom");
        return false;
    }
    if (!g_ocr.no_words) ocr_result_add(result, L"word", 4, 10, 10, 40, 12);
    return true;
}

struct Save {
    TempFolder folder;
    Pages pages;
    Recording recording;
    SaveJob job = {};
    explicit Save(int format, const wchar_t* name) {
        job.receiver = SaveReceiver{&recording, record_post, record_log, english};
        job.target = folder.file(name);
        job.settings.format = format;
        job.settings.compression = 1;
        job.settings.watermark_opacity = 25;
        assign(&job.settings.ocr_lang, L"both");
        job.ocr = SaveOcr{ocr_available, ocr_recognize};
        g_ocr = OcrSeen{};
    }
    ~Save() {
        release(&job.target);
        save_settings_release(&job.settings);
    }
    bool run() {
        job.pages = SavePages{&pages, (int)pages.pages.size(), pin, unpin};
        const bool ok = save_run(&job);
        EXPECT_EQ(pages.pinned, 0);
        EXPECT_LE(pages.most_pinned, 1);
        return ok;
    }
    std::string target() const { return utf8(job.target); }
    std::string contents() const {
        ByteBuffer b = {};
        std::string s;
        if (read_whole_file(text_of(job.target), &b)) s.assign((const char*)b.data, (size_t)b.length);
        release(&b);
        return s;
    }
    std::vector<std::string> saved() const {
        std::vector<std::string> list;
        for (int k = 0; k < save_saved_file_count(); ++k) list.push_back(utf8(save_saved_file(k)));
        return list;
    }
};

}  // namespace

TEST(SaveWorker, TiffPostsSavingThenOneResult) {
    Save s(SAVE_FORMAT_TIFF, L"out.tif");
    s.pages.add(40, 30, 1, 0xF0);
    s.pages.add(40, 30, 8, 128);
    s.pages.add(40, 30, 24, 90);
    ASSERT_TRUE(s.run());
    EXPECT_EQ(s.recording.messages, (std::vector<Message>{progress(30, "Saving..."), done(1, s.target())}));
    EXPECT_EQ(s.contents().substr(0, 4), std::string("II*\0", 4));
    EXPECT_EQ(s.saved(), std::vector<std::string>{s.target()});
    EXPECT_EQ(s.folder.entries(), std::vector<std::string>{"out.tif"});
    EXPECT_TRUE(s.recording.log.empty());
}

TEST(SaveWorker, PdfProgressWithoutOcr) {
    Save s(SAVE_FORMAT_PDF, L"doc.pdf");
    s.job.settings.ocr = true;
    for (int k = 0; k < 3; ++k) s.pages.add(50, 70, 8, 200);
    g_ocr.available = false;   // asked for but absent: no OCR pass
    ASSERT_TRUE(s.run());
    EXPECT_EQ(s.recording.messages, (std::vector<Message>{progress(0, "Saving..."), progress(0), progress(33),
                                                          progress(66), done(1, s.target())}));
    EXPECT_TRUE(g_ocr.depths.empty());
    EXPECT_EQ(s.contents().substr(0, 8), "%PDF-1.5");
    EXPECT_EQ(s.saved(), std::vector<std::string>{s.target()});
}

TEST(SaveWorker, PdfWithOcrReportsBothPhasesAndLogsAFailedPage) {
    Save s(SAVE_FORMAT_PDF, L"ocr.pdf");
    s.job.settings.ocr = true;
    for (int k = 0; k < 3; ++k) s.pages.add(50, 70, 8, 200);
    ASSERT_TRUE(s.run());
    EXPECT_EQ(s.recording.messages,
              (std::vector<Message>{progress(0, "Running OCR...  1 / 3"), progress(18, "Running OCR...  2 / 3"),
                                    progress(36, "Running OCR...  3 / 3"), progress(55, "Saving..."), progress(55),
                                    progress(70), progress(85), done(1, s.target())}));
    EXPECT_EQ(s.recording.log, std::vector<std::string>{"OCR page 2 failed: boom"});
    EXPECT_NE(s.contents().find("ZanOcr"), std::string::npos);   // the text layer's font
}

TEST(SaveWorker, OcrWithoutAnyWordIsLogged) {
    Save s(SAVE_FORMAT_PDF, L"blank.pdf");
    s.job.settings.ocr = true;
    s.pages.add(50, 70, 8, 255);
    g_ocr.no_words = true;
    ASSERT_TRUE(s.run());
    EXPECT_EQ(s.recording.log, std::vector<std::string>{"No text was found on the pages."});
    EXPECT_EQ(s.contents().find("ZanOcr"), std::string::npos);
}

TEST(SaveWorker, AFailedSaveKeepsTheEarlierFileAndLeavesNoPartFile) {
    for (int format : {SAVE_FORMAT_PDF, SAVE_FORMAT_TIFF}) {
        Save s(format, L"kept.out");
        WideString earlier = s.folder.write(L"kept.out", "earlier");
        release(&earlier);
        for (int k = 0; k < 3; ++k) s.pages.add(30, 30, 24, 50);
        s.pages.fail_at = 1;
        EXPECT_FALSE(s.run());
        ASSERT_FALSE(s.recording.messages.empty());
        EXPECT_EQ(s.recording.messages.back(), done(0, "page 2 could not be read back"));
        int results = 0;
        for (const Message& m : s.recording.messages) results += m.message == SAVE_MESSAGE_DONE;
        EXPECT_EQ(results, 1);
        EXPECT_EQ(s.recording.log, std::vector<std::string>{"Save failed: page 2 could not be read back"});
        EXPECT_EQ(s.contents(), "earlier");
        EXPECT_EQ(s.folder.entries(), std::vector<std::string>{"kept.out"});
        EXPECT_TRUE(s.saved().empty());
    }
}

TEST(SaveWorker, NoPagesIsAnError) {
    Save s(SAVE_FORMAT_PDF, L"none.pdf");
    EXPECT_FALSE(s.run());
    EXPECT_EQ(s.recording.messages, std::vector<Message>{done(0, "no pages")});
    EXPECT_TRUE(s.folder.entries().empty());
}

TEST(SaveWorker, SettingsCopyIsDeep) {
    SaveSettings a = {};
    assign(&a.watermark, L"TRUE COPY");
    assign(&a.password, L"pw");
    SaveSettings b;
    ASSERT_TRUE(save_settings_copy(a, &b));
    assign(&a.watermark, L"changed");
    EXPECT_EQ(utf8(b.watermark), "TRUE COPY");
    EXPECT_EQ(utf8(b.password), "pw");
    save_settings_release(&a);
    save_settings_release(&b);
}

#ifndef _WIN32
TEST(SaveWorker, WithoutACodecOrRasteriserTheSaveFailsInsteadOfGoingOutPlain) {
    Save jpg(SAVE_FORMAT_JPG, L"a.jpg");
    jpg.pages.add(10, 10, 24);
    EXPECT_FALSE(jpg.run());
    EXPECT_EQ(jpg.recording.messages.back(), done(0, "GDI+ encode failed"));
    Save stamped(SAVE_FORMAT_TIFF, L"a.tif");
    assign(&stamped.job.settings.watermark, L"TRUE COPY");
    stamped.pages.add(10, 10, 24);
    EXPECT_FALSE(stamped.run());
    EXPECT_EQ(stamped.recording.messages.back(), done(0, "page 1: the watermark could not be drawn"));
    EXPECT_TRUE(stamped.folder.entries().empty());
}
#else
TEST(SaveWorker, SeveralPngPagesAreNumberedFiles) {
    ASSERT_TRUE(codec_startup());
    Save s(SAVE_FORMAT_PNG, L"Report.png");
    for (int k = 0; k < 3; ++k) s.pages.add(20, 20, 8, (uint8_t)(60 * k));
    ASSERT_TRUE(s.run());
    const std::string folder = utf8(s.folder.path) + "\\";
    EXPECT_EQ(s.recording.messages,
              (std::vector<Message>{progress(0, "Saving page 1 / 3"), progress(33, "Saving page 2 / 3"),
                                    progress(66, "Saving page 3 / 3"), done(1, s.target())}));
    EXPECT_EQ(s.saved(), (std::vector<std::string>{folder + "Report_001.png", folder + "Report_002.png",
                                                   folder + "Report_003.png"}));
    EXPECT_FALSE(file_exists(text_of(s.job.target)));   // the bare target is not written
    PageImage* back = codec_decode_file(save_saved_file(2));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->pixels[0], 120);
    page_image_free(back);
}

TEST(SaveWorker, OcrReadsThePageWithoutTheStamp) {
    ASSERT_TRUE(codec_startup());
    Save s(SAVE_FORMAT_PDF, L"stamped.pdf");
    s.job.settings.ocr = true;
    assign(&s.job.settings.watermark, L"TRUE COPY");
    s.pages.add(300, 400, 8, 255);
    ASSERT_TRUE(s.run());
    EXPECT_EQ(g_ocr.depths, std::vector<int>{8});   // the stamped copy would be 24-bit
    EXPECT_NE(s.contents().find("/DeviceRGB"), std::string::npos);
}

// ---- the thread, with a real (message-only) window

namespace {

HANDLE g_release_first_page = nullptr;

const PageImage* blocking_pin(void* context, int index, WideString* error) {
    if (index == 0) WaitForSingleObject(g_release_first_page, 10000);
    return pin(context, index, error);
}

}  // namespace

TEST(SaveStart, OneThreadAtATimeAndTheResultLast) {
    ASSERT_TRUE(codec_startup());
    TempFolder folder;
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    Pages pages;
    pages.add(64, 64, 24, 200);
    pages.add(64, 64, 8, 100);
    const SavePages source = {&pages, 2, blocking_pin, unpin};
    SaveSettings settings = {};
    settings.format = SAVE_FORMAT_TIFF;
    WideString target = folder.file(L"thread.tif");
    g_release_first_page = CreateEventW(nullptr, TRUE, FALSE, nullptr);

    ASSERT_TRUE(save_start(window, source, settings, text_of(target), nullptr, nullptr));
    EXPECT_TRUE(save_is_running());
    EXPECT_FALSE(save_start(window, source, settings, text_of(target), nullptr, nullptr));   // ignored
    SetEvent(g_release_first_page);

    std::vector<Message> seen;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 20000 && (seen.empty() || seen.back().message != SAVE_MESSAGE_DONE)) {
        MSG msg;
        if (!PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) {
            Sleep(5);
            continue;
        }
        WideString* text = reinterpret_cast<WideString*>(msg.lParam);
        seen.push_back(Message{msg.message, (unsigned)msg.wParam, text ? utf8(*text) : "-"});
        save_message_text_free(text);
    }
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen, (std::vector<Message>{progress(30, ""), done(1, utf8(target))}));
    EXPECT_FALSE(save_is_running());
    EXPECT_TRUE(file_exists(text_of(target)));

    CloseHandle(g_release_first_page);
    release(&target);
    DestroyWindow(window);
}
#endif
