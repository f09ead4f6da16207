// tests/output/pdf_document_test.cpp
// Whole files: object numbering with and without a text layer, the exact object texts,
// the creation date, encryption placement, and the failures that must leave the target alone.
#include <gtest/gtest.h>

#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

#include "core/file.h"
#include "core/path.h"
#include "output/pdf_document.h"
#include "output/pdf_writer.h"
#include "tests/test_temp_folder.h"
#include "tests/test_text.h"

static WideString temp_path(const wchar_t* name) {
    WideString folder = temp_folder();
    WideString path = path_join(text_of(folder), name);
    release(&folder);
    return path;
}

static std::string read_all(const WideString& path) {
    ByteBuffer b = {};
    if (!read_whole_file(text_of(path), &b)) return std::string();
    std::string s(b.data ? (const char*)b.data : "", (size_t)b.length);
    release(&b);
    return s;
}

static PageImage* grey_page(int width, int height, int dpi) {
    PageImage* p = page_image_new();
    EXPECT_TRUE(page_image_alloc(p, width, height, 8, dpi));
    for (int64_t k = 0; k < (int64_t)p->stride * height; ++k) p->pixels[k] = 128;
    return p;
}

static std::string date_text(int offset_minutes, int hour = 9) {
    LocalTime t = {2024, 3, 15, hour, 30, 5, offset_minutes};
    ByteBuffer b = {};
    EXPECT_TRUE(pdf_format_creation_date(&t, &b));
    std::string s((const char*)b.data, (size_t)b.length);
    release(&b);
    return s;
}

TEST(PdfCreationDate, SignFollowsTheTimeZone) {
    EXPECT_EQ(date_text(120), "D:20240315093005+02'00'");
    EXPECT_EQ(date_text(0), "D:20240315093005+00'00'");
    EXPECT_EQ(date_text(-300), "D:20240315093005-05'00'");
    EXPECT_EQ(date_text(330), "D:20240315093005+05'30'");
    EXPECT_EQ(date_text(-570, 23), "D:20240315233005-09'30'");
}

TEST(PdfDocument, PagesWithoutWordsStartAtObjectFour) {
    WideString path = temp_path(L"zan_doc_plain.pdf");
    PageImage* a = grey_page(850, 1100, 100);
    PageImage* b = grey_page(200, 100, 72);
    PdfPageInput pages[2] = {{a, nullptr}, {b, nullptr}};
    PdfSaveOptions options = {};
    options.compression_level = 0;
    WideString error = {};
    ASSERT_TRUE(pdf_write_document(text_of(path), pages, 2, &options, &error)) << utf8(error);
    const std::string f = read_all(path);
    EXPECT_EQ(f.substr(0, 15), std::string("%PDF-1.5\n%\xE2\xE3\xCF\xD3\n", 15));
    EXPECT_NE(f.find("4 0 obj\n<</Type/Page/Parent 2 0 R/MediaBox[0 0 612 792]/Resources<</XObject<</Im0 6 0 R>>>>"
                     "/Contents 5 0 R>>\nendobj\n"),
              std::string::npos);
    EXPECT_NE(f.find("7 0 obj\n<</Type/Page/Parent 2 0 R/MediaBox[0 0 200 100]/Resources<</XObject<</Im0 9 0 R>>>>"
                     "/Contents 8 0 R>>\nendobj\n"),
              std::string::npos);
    // Short content streams are stored as they are.
    EXPECT_NE(f.find("5 0 obj\n<</Length 31>>\nstream\nq 612 0 0 792 0 0 cm /Im0 Do Q\n\nendstream\nendobj\n"),
              std::string::npos);
    // The platform codec may write a grey page as a three-component JPEG; the native build
    // has no codec and writes zlib grey samples.
    EXPECT_NE(f.find("6 0 obj\n<</Type/XObject/Subtype/Image/Width 850/Height 1100/BitsPerComponent 8"
                     "/ColorSpace/Device"),
              std::string::npos);
    EXPECT_NE(f.find("2 0 obj\n<</Type/Pages/Count 2/Kids[4 0 R 7 0 R ]>>\nendobj\n"), std::string::npos);
    EXPECT_NE(f.find("1 0 obj\n<</Type/Catalog/Pages 2 0 R>>\nendobj\n"), std::string::npos);
    EXPECT_NE(f.find("3 0 obj\n<</Producer <5A616E2047726F7570205363616E6E657220322E302E30>/CreationDate <443A"),
              std::string::npos);
    EXPECT_EQ(f.find("/Title"), std::string::npos);
    EXPECT_EQ(f.find("/Font"), std::string::npos);
    EXPECT_NE(f.find("xref\n0 10\n0000000000 65535 f \n"), std::string::npos);   // Size = 4 + 3 x pages
    EXPECT_NE(f.find("trailer\n<</Size 10/Root 1 0 R/Info 3 0 R/ID [<"), std::string::npos);
    EXPECT_EQ(f.substr(f.size() - 7), "\n%%EOF\n");
    // Every xref entry points at its object's header.
    const size_t xref = f.find("xref\n");
    for (int n = 1; n < 10; ++n) {
        const size_t offset = std::stoul(f.substr(xref + 9 + 20 * (size_t)n + 2, 10));
        EXPECT_EQ(f.substr(offset, std::to_string(n).size() + 6), std::to_string(n) + " 0 obj") << n;
    }
    release(&error);
    release(&path);
    page_image_free(a);
    page_image_free(b);
}

TEST(PdfDocument, TextLayerAddsFontObjectsAndF1OnEveryPage) {
    WideString path = temp_path(L"zan_doc_words.pdf");
    PageImage* a = grey_page(2480, 3508, 300);
    PageImage* b = grey_page(100, 100, 300);
    OcrResult words = {};
    ocr_result_add(&words, L"Invoice", 7, 100, 100, 400, 60);
    ocr_result_add(&words, L"\x0641\x0627\x062A\x0648\x0631\x0629", 6, 600, 100, 300, 60);
    PdfPageInput pages[2] = {{a, &words}, {b, nullptr}};
    PdfSaveOptions options = {};
    options.compression_level = 2;
    options.title = wide_copy(L"Scan \x0661");
    WideString error = {};
    ASSERT_TRUE(pdf_write_document(text_of(path), pages, 2, &options, &error)) << utf8(error);
    const std::string f = read_all(path);
    EXPECT_NE(f.find("9 0 obj\n<</Type/Page/Parent 2 0 R/MediaBox[0 0 595.2 841.92]/Resources<</XObject<</Im0 11 0 R>>"
                     "/Font<</F1 4 0 R>>>>/Contents 10 0 R>>\nendobj\n"),
              std::string::npos);
    EXPECT_NE(f.find("12 0 obj\n<</Type/Page/Parent 2 0 R/MediaBox[0 0 24 24]/Resources<</XObject<</Im0 14 0 R>>"
                     "/Font<</F1 4 0 R>>>>/Contents 13 0 R>>\nendobj\n"),
              std::string::npos);
    // The page with words has a long content stream: compressed.
    EXPECT_NE(f.find("10 0 obj\n<</Filter/FlateDecode/Length "), std::string::npos);
    EXPECT_NE(f.find("13 0 obj\n<</Length 29>>\nstream\nq 24 0 0 24 0 0 cm /Im0 Do Q\n\nendstream"), std::string::npos);
    EXPECT_NE(f.find("7 0 obj\n<</Filter/FlateDecode/Length1 "), std::string::npos);
    EXPECT_NE(f.find("8 0 obj\n<</Length "), std::string::npos);
    EXPECT_NE(f.find("13 beginbfchar\n<0001> <0049>\n"), std::string::npos);
    // The subset tag: six capitals derived from the glyph list, the same in all three objects.
    const size_t name_at = f.find("/FontName/");
    ASSERT_NE(name_at, std::string::npos);
    const std::string tag = f.substr(name_at + 10, 6);
    for (char c : tag) EXPECT_TRUE(c >= 'A' && c <= 'Z') << tag;
    EXPECT_NE(tag, "AAAAAA");
    EXPECT_NE(f.find("6 0 obj\n<</Type/FontDescriptor/FontName/" + tag + "+ZanOcr/Flags 4/FontBBox[0 -200 500 800]"
                     "/ItalicAngle 0/Ascent 800/Descent -200/CapHeight 700/StemV 80/FontFile2 7 0 R>>\nendobj\n"),
              std::string::npos);
    EXPECT_NE(f.find("5 0 obj\n<</Type/Font/Subtype/CIDFontType2/BaseFont/" + tag + "+ZanOcr/CIDSystemInfo<</Registry(Adobe)"
                     "/Ordering(Identity)/Supplement 0>>/FontDescriptor 6 0 R/DW 500/CIDToGIDMap/Identity>>\nendobj\n"),
              std::string::npos);
    EXPECT_NE(f.find("4 0 obj\n<</Type/Font/Subtype/Type0/BaseFont/" + tag + "+ZanOcr/Encoding/Identity-H/DescendantFonts"
                     "[5 0 R]/ToUnicode 8 0 R>>\nendobj\n"),
              std::string::npos);
    // Font objects come after the pages, in the order 7, 8, 6, 5, 4.
    const size_t at7 = f.find("7 0 obj"), at8 = f.find("\n8 0 obj"), at6 = f.find("\n6 0 obj"),
                 at5 = f.find("\n5 0 obj"), at4 = f.find("\n4 0 obj");
    EXPECT_LT(f.find("14 0 obj"), at7);
    EXPECT_LT(at7, at8);
    EXPECT_LT(at8, at6);
    EXPECT_LT(at6, at5);
    EXPECT_LT(at5, at4);
    EXPECT_NE(f.find("/Title <FEFF005300630061006E00200661>"), std::string::npos);
    EXPECT_NE(f.find("trailer\n<</Size 15/"), std::string::npos);
    release(&options.title);
    ocr_result_release(&words);
    release(&error);
    release(&path);
    page_image_free(a);
    page_image_free(b);
}

TEST(PdfDocument, EncryptionDictionaryIsTheLastObjectAndNamedInTheTrailer) {
    WideString path = temp_path(L"zan_doc_locked.pdf");
    PageImage* a = grey_page(50, 50, 100);
    PdfPageInput pages[1] = {{a, nullptr}};
    PdfSaveOptions options = {};
    options.protect = true;
    options.password = wide_copy(L"pw");
    options.cipher = 1;
    WideString error = {};
    ASSERT_TRUE(pdf_write_document(text_of(path), pages, 1, &options, &error)) << utf8(error);
    const std::string f = read_all(path);
    EXPECT_NE(f.find("7 0 obj\n<</Filter/Standard/V 2/R 3/Length 128/O <"), std::string::npos);
    EXPECT_NE(f.find("trailer\n<</Size 8/Root 1 0 R/Info 3 0 R/Encrypt 7 0 R/ID [<"), std::string::npos);
    // RC4 keeps lengths: the 29-byte content stream stays 29 bytes, but not readable.
    EXPECT_NE(f.find("5 0 obj\n<</Length 29>>\nstream\n"), std::string::npos);
    EXPECT_EQ(f.find("cm /Im0 Do Q"), std::string::npos);
    EXPECT_EQ(f.find("<5A616E2047726F7570"), std::string::npos);   // producer encrypted
    // Protection without a password is no protection.
    release(&options.password);
    ASSERT_TRUE(pdf_write_document(text_of(path), pages, 1, &options, &error));
    EXPECT_EQ(read_all(path).find("/Encrypt"), std::string::npos);
    delete_file(text_of(path));
    release(&error);
    release(&path);
    page_image_free(a);
}

TEST(PdfDocument, AesStreamLengthsIncludeIvAndPadding) {
    WideString path = temp_path(L"zan_doc_aes.pdf");
    PageImage* a = grey_page(50, 50, 100);
    PdfPageInput pages[1] = {{a, nullptr}};
    PdfSaveOptions options = {};
    options.protect = true;
    options.password = wide_copy(L"pw");
    options.cipher = 0;
    WideString error = {};
    ASSERT_TRUE(pdf_write_document(text_of(path), pages, 1, &options, &error)) << utf8(error);
    const std::string f = read_all(path);
    // "q 36 0 0 36 0 0 cm /Im0 Do Q\n" is 29 bytes: 16 + 32 when encrypted.
    EXPECT_NE(f.find("5 0 obj\n<</Length 48>>\nstream\n"), std::string::npos);
    EXPECT_NE(f.find("/CF<</StdCF<</CFM/AESV2/AuthEvent/DocOpen/Length 16>>>>"), std::string::npos);
    delete_file(text_of(path));
    release(&options.password);
    release(&error);
    release(&path);
    page_image_free(a);
}

TEST(PdfDocument, AesFilesSayPdfOnePointSix) {
    TempFolder t;
    WideString path = t.file(L"aes.pdf");
    PageImage* a = grey_page(50, 50, 100);
    PdfPageInput pages[1] = {{a, nullptr}};
    PdfSaveOptions options = {};
    options.protect = true;
    options.password = wide_copy(L"pw");
    WideString error = {};
    for (int cipher : {0, 1}) {
        options.cipher = cipher;
        ASSERT_TRUE(pdf_write_document(text_of(path), pages, 1, &options, &error)) << utf8(error);
        EXPECT_EQ(read_all(path).substr(0, 9), cipher == 0 ? "%PDF-1.6\n" : "%PDF-1.5\n");
    }
    release(&options.password);
    release(&error);
    release(&path);
    page_image_free(a);
}

TEST(PdfDocument, FailuresKeepTheOldFileAndLeaveNoTemporaryFile) {
    TempFolder t;
    WideString path = t.file(L"keep.pdf");
    ASSERT_TRUE(write_whole_file(text_of(path), "precious", 8));
    PageImage* good = grey_page(20, 20, 100);
    PageImage* bad = grey_page(20, 20, 0);   // no resolution
    PdfPageInput pages[2] = {{good, nullptr}, {bad, nullptr}};
    PdfSaveOptions options = {};
    WideString error = {};
    // The second page fails after the temporary file was created and the first page written.
    EXPECT_FALSE(pdf_write_document(text_of(path), pages, 2, &options, &error));
    EXPECT_EQ(utf8(error), "image encode failed");
    EXPECT_EQ(read_all(path), "precious");
    EXPECT_EQ(1u, t.entries().size());
    EXPECT_FALSE(pdf_write_document(text_of(path), pages, 0, &options, &error));
    EXPECT_EQ(utf8(error), "no pages");
    EXPECT_EQ(read_all(path), "precious");
    EXPECT_EQ(1u, t.entries().size());
    release(&error);
    release(&path);
    page_image_free(good);
    page_image_free(bad);
}

static int g_pages_started = 0;
static void count_pages(int, int) {
    ++g_pages_started;
}

// A target that cannot be replaced is reported before the first page is encoded, with the
// system's code, instead of "write error (disk full?)" after the last one.
TEST(PdfDocument, UnreplaceableTargetIsReportedBeforeAnyPage) {
    TempFolder t;
    WideString folder = t.file(L"folder.pdf");
    ASSERT_TRUE(ensure_folder(text_of(folder)));
    PageImage* a = grey_page(20, 20, 100);
    PdfPageInput pages[1] = {{a, nullptr}};
    PdfSaveOptions options = {};
    WideString error = {};
    g_pages_started = 0;
    pdf_set_progress_callback(count_pages);
    EXPECT_FALSE(pdf_write_document(text_of(folder), pages, 1, &options, &error));
    EXPECT_EQ(0, g_pages_started);
    const std::string prefix = "cannot create " + utf8(folder) + " (error ";
    EXPECT_EQ(utf8(error).substr(0, prefix.size()), prefix) << utf8(error);
    EXPECT_NE(utf8(error), prefix + "0)");
#ifdef _WIN32
    WideString locked = t.file(L"locked.pdf");
    ASSERT_TRUE(write_whole_file(text_of(locked), "old", 3));
    HANDLE viewer = CreateFileW(locked.data, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, viewer);
    EXPECT_FALSE(pdf_write_document(text_of(locked), pages, 1, &options, &error));
    EXPECT_EQ(utf8(error), "cannot create " + utf8(locked) + " (error 32)");
    CloseHandle(viewer);
    ASSERT_TRUE(SetFileAttributesW(locked.data, FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(pdf_write_document(text_of(locked), pages, 1, &options, &error));
    EXPECT_EQ(utf8(error), "cannot create " + utf8(locked) + " (error 5)");
    SetFileAttributesW(locked.data, FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(read_all(locked), "old");
    EXPECT_EQ(0, g_pages_started);
    release(&locked);
#endif
    pdf_set_progress_callback(nullptr);
    release(&error);
    release(&folder);
    page_image_free(a);
}

// ---- pages from the page store

// The file with its two random or time-dependent parts blanked: the document ID and the
// creation date.
static std::string without_id_and_date(std::string s) {
    for (const char* key : {"/CreationDate <", "/ID ["}) {
        const size_t at = s.find(key);
        if (at == std::string::npos) continue;
        const size_t end = s.find(key[1] == 'I' ? ']' : '>', at);
        for (size_t k = at + std::string(key).size(); k < end; ++k) s[k] = '0';
    }
    return s;
}

struct PinWatch {
    PdfPageSource inner;
    PageStore* store;
    int most_pinned;
};

static const OcrResult* watch_words(void* c, int k) {
    PinWatch* w = static_cast<PinWatch*>(c);
    return w->inner.words(w->inner.context, k);
}

static const PageImage* watch_pin(void* c, int k, PdfMessage* message) {
    PinWatch* w = static_cast<PinWatch*>(c);
    const PageImage* page = w->inner.pin(w->inner.context, k, message);
    const int pinned = page_store_stats(w->store).pinned;
    if (pinned > w->most_pinned) w->most_pinned = pinned;
    return page;
}

static void watch_unpin(void* c, int k) {
    PinWatch* w = static_cast<PinWatch*>(c);
    w->inner.unpin(w->inner.context, k);
}

TEST(PdfDocument, PagesFromTheStoreArePinnedOneAtATimeAndWrittenAsFromMemory) {
    PageImage* images[4];
    PdfPageInput inputs[4];
    for (int k = 0; k < 4; ++k) {
        images[k] = grey_page(300 + 20 * k, 200, 100);
        images[k]->pixels[k * 7] = 0;
        inputs[k] = {images[k], nullptr};
    }
    OcrResult words = {};
    ASSERT_TRUE(ocr_result_add(&words, L"store", 5, 10, 10, 60, 20));
    inputs[2].ocr = &words;
    WideString from_memory = temp_path(L"zan_doc_memory.pdf");
    WideString from_store = temp_path(L"zan_doc_store.pdf");
    PdfSaveOptions options = {};
    WideString error = {};
    ASSERT_TRUE(pdf_write_document(text_of(from_memory), inputs, 4, &options, &error)) << utf8(error);

    PageStoreOptions store_options = {};
    store_options.memory_budget = 1;   // every page parked until the writer pins it
    PageStore* store = page_store_open(&store_options);
    StoredPage* stored[4];
    for (int k = 0; k < 4; ++k) stored[k] = page_store_add(store, page_image_clone(images[k]));
    EXPECT_EQ(4, page_store_stats(store).parked);
    const OcrResult* ocr[4] = {nullptr, nullptr, &words, nullptr};
    PdfStorePages pages = {store, stored, ocr, 4, -1};
    PinWatch watch = {pdf_page_source_of_store(&pages), store, 0};
    const PdfPageSource source = {&watch, 4, watch_words, watch_pin, watch_unpin};
    ASSERT_TRUE(pdf_write_document_from(text_of(from_store), &source, &options, &error)) << utf8(error);
    EXPECT_EQ(1, watch.most_pinned);
    EXPECT_EQ(0, page_store_stats(store).pinned);
    EXPECT_EQ(0, pages.message_id);
    const std::string expected = without_id_and_date(read_all(from_memory));
    EXPECT_NE(std::string::npos, expected.find("/Font<</F1 4 0 R>>"));
    EXPECT_EQ(expected, without_id_and_date(read_all(from_store)));

    page_store_close(store);
    ocr_result_release(&words);
    for (PageImage* image : images) page_image_free(image);
    delete_file(text_of(from_memory));
    delete_file(text_of(from_store));
    release(&from_memory);
    release(&from_store);
    release(&error);
}

TEST(PdfDocument, APageThatCannotBeReadBackFailsTheSaveAndKeepsTheOldFile) {
    WideString path = temp_path(L"zan_doc_unreadable.pdf");
    ASSERT_TRUE(write_whole_file(text_of(path), "precious", 8));
    PageStoreOptions store_options = {};
    store_options.memory_budget = 1;
    PageStore* store = page_store_open(&store_options);
    StoredPage* stored[3];
    for (int k = 0; k < 3; ++k) stored[k] = page_store_add(store, grey_page(64, 64, 100));
    // Damage the second page's copy only (the pages lie in the file in order).
    const int64_t page_bytes = 64 * 64;
    ASSERT_TRUE(scratch_file_write_at(page_store_file(store), page_bytes + 100, "\x01\x02\x03", 3));
    PdfStorePages pages = {store, stored, nullptr, 3, 0};
    const PdfPageSource source = pdf_page_source_of_store(&pages);
    PdfSaveOptions options = {};
    WideString error = {};
    EXPECT_FALSE(pdf_write_document_from(text_of(path), &source, &options, &error));
    EXPECT_EQ("page 2 could not be read back", utf8(error));
    EXPECT_EQ(PAGE_STORE_MESSAGE_READ_FAILED, pages.message_id);
    EXPECT_EQ(0, page_store_stats(store).pinned);
    EXPECT_EQ("precious", read_all(path));
    page_store_close(store);
    delete_file(text_of(path));
    release(&path);
    release(&error);
}
