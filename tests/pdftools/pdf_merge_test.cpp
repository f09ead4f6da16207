#include "pdftools/pdf_merge.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/heap.h"
#include "output/pdf_document.h"
#include "tests/pdftools/pdf_test_files.h"
#include "tests/test_text.h"

using pdftest::build_pdf;
using pdftest::count_of;
using pdftest::read_all;
using pdftest::TempFolder;

namespace {
// Page count of a written file, through the reader.
int page_count(const wchar_t* path) {
    PdfDocument doc = {};
    PdfPageList pages = {};
    const int n = pdf_read_document(path, &doc, &pages) ? pages.count : -1;
    pdf_page_list_free(&pages);
    pdf_document_free(&doc);
    return n;
}

// The smallest byte sequence the JPEG header check accepts: SOI, an optional JFIF APP0 with
// the given unit and density, a baseline frame header, EOI.
std::string jpeg(int width, int height, int components, int unit, int density) {
    std::string s = "\xFF\xD8";
    if (unit >= 0) {
        s += std::string("\xFF\xE0\x00\x10JFIF\x00\x01\x02", 11);
        s += (char)unit;
        s += (char)(density >> 8);
        s += (char)(density & 255);
        s += (char)(density >> 8);
        s += (char)(density & 255);
        s += std::string("\x00\x00", 2);
    }
    s += std::string("\xFF\xC0\x00", 3);
    s += (char)(8 + 3 * components);
    s += '\x08';
    s += (char)(height >> 8);
    s += (char)(height & 255);
    s += (char)(width >> 8);
    s += (char)(width & 255);
    s += (char)components;
    for (int c = 0; c < components; ++c) s += std::string("\x01\x11\x00", 3);
    s += "\xFF\xD9";
    return s;
}

bool merge(const std::vector<WideString>& inputs, const WideString& output, PdfMessage* error,
           const PdfImageDecoder* decoder = nullptr) {
    std::vector<const wchar_t*> paths;
    for (const WideString& w : inputs) paths.push_back(text_of(w));
    return pdf_merge_with(paths.data(), (int)paths.size(), text_of(output), decoder, error);
}

// A stand-in codec: every file is an image of three frames, frame k 8 x (4 + k) px at 72 dpi.
int g_opened = 0;
int g_open_now = 0;
int g_frames_decoded = 0;
void* open_three(const uint8_t*, size_t, int* frame_count) {
    ++g_opened;
    ++g_open_now;
    *frame_count = 3;
    return &g_open_now;
}
PageImage* decode_frame(void* image, int frame) {
    EXPECT_EQ(image, &g_open_now);
    EXPECT_EQ(1, g_open_now);
    PageImage* page = static_cast<PageImage*>(mem_alloc(sizeof(PageImage)));
    page->width = 8;
    page->height = 4 + frame;
    page->bits_per_pixel = 8;
    page->stride = 8;
    page->dpi = 72;
    page->pixels = static_cast<uint8_t*>(mem_alloc(8 * (size_t)page->height));
    ++g_frames_decoded;
    return page;
}
void close_image(void*) {
    --g_open_now;
}
const PdfImageDecoder kThreeFrames = {open_three, decode_frame, close_image};

std::string english(const PdfMessage& m) {
    WideString text = {};
    pdf_message_text(&m, 1, nullptr, &text);
    const std::string s = utf8(text);
    release(&text);
    return s;
}
}

TEST(PdfMerge, PagesOfEveryInputInOrderWithSharedObjectsOnce) {
    TempFolder t;
    WideString a = t.write(L"a.pdf", pdftest::text_pdf(3));
    WideString b = t.write(L"b.pdf", pdftest::text_pdf(2));
    WideString out = t.file(L"out.pdf");
    PdfMessage error = {};
    ASSERT_TRUE(merge({a, b}, out, &error)) << english(error);
    EXPECT_EQ(5, page_count(out.data));
    const std::string bytes = read_all(out.data);
    // One font per source document, although every page uses it.
    EXPECT_EQ(2u, count_of(bytes, "/BaseFont /Helvetica"));
    // The page tree's direct /Resources is written once per source and referenced by each page.
    EXPECT_EQ(2u, count_of(bytes, "<</Font <</F1 "));
    EXPECT_LT(bytes.find("(Page 3)"), bytes.find("(Page 2)", bytes.find("(Page 3)")));
    EXPECT_NE(std::string::npos, bytes.find("<</Producer(Zan Group Scanner 2.0.0)>>"));
    EXPECT_NE(std::string::npos, bytes.find("/Type/Pages/Count 5/Kids["));
    for (WideString* w : {&a, &b, &out}) release(w);
    pdf_message_release(&error);
}

TEST(PdfMerge, OutputThatIsAnInputIsRefusedAndTheInputKept) {
    TempFolder t;
    const std::string original = pdftest::text_pdf(2);
    WideString a = t.write(L"a.pdf", original);
    WideString b = t.write(L"b.pdf", pdftest::text_pdf(1));
    // The same file under another spelling.
    WideString same = t.file(L"sub\\..\\a.pdf");
    PdfMessage error = {};
    WideString sub = t.file(L"sub");
    ensure_folder(sub.data);
    EXPECT_FALSE(merge({a, b}, same, &error));
    EXPECT_EQ(PDF_MESSAGE_OUTPUT_IS_INPUT, error.id);
    EXPECT_EQ(utf8(same), utf8(error.name));
    EXPECT_EQ(original, read_all(a.data));
    for (WideString* w : {&a, &b, &same, &sub}) release(w);
    pdf_message_release(&error);
}

TEST(PdfMerge, EncryptedInputStopsWithTheReaderMessageAndLeavesNoFile) {
    TempFolder t;
    WideString a = t.write(L"a.pdf", pdftest::text_pdf(1));
    WideString locked = t.write(L"locked.PDF", build_pdf({"<</Type/Catalog/Pages 2 0 R>>",
                                                          "<</Type/Pages/Kids[3 0 R]>>", "<</Type/Page>>"},
                                                         "/Encrypt 3 0 R"));
    WideString out = t.file(L"out.pdf");
    PdfMessage error = {};
    EXPECT_FALSE(merge({a, locked}, out, &error));
    EXPECT_EQ(PDF_MESSAGE_PROTECTED, error.id);
    EXPECT_EQ("locked.PDF", utf8(error.name));
    EXPECT_FALSE(file_exists(out.data));
    for (WideString* w : {&a, &locked, &out}) release(w);
    pdf_message_release(&error);
}

TEST(PdfMerge, JfifJpegIsEmbeddedUnchangedAtItsPhysicalSize) {
    TempFolder t;
    const std::string image = jpeg(2550, 3300, 3, 1, 300);
    WideString j = t.write(L"scan.jpg", image);
    WideString out = t.file(L"out.pdf");
    PdfMessage error = {};
    ASSERT_TRUE(merge({j}, out, &error)) << english(error);
    const std::string bytes = read_all(out.data);
    EXPECT_NE(std::string::npos, bytes.find("/MediaBox[0 0 612 792]"));
    EXPECT_NE(std::string::npos, bytes.find("/Width 2550/Height 3300/BitsPerComponent 8/ColorSpace/DeviceRGB/Filter/DCTDecode"));
    EXPECT_NE(std::string::npos, bytes.find("stream\n" + image + "\nendstream"));
    EXPECT_NE(std::string::npos, bytes.find("q 612 0 0 792 0 0 cm /Im0 Do Q\n"));
    EXPECT_EQ(1, page_count(out.data));
    for (WideString* w : {&j, &out}) release(w);
    pdf_message_release(&error);
}

TEST(PdfMerge, JfifResolution) {
    const std::string inch = jpeg(10, 10, 1, 1, 300);
    EXPECT_EQ(300, pdf_jpeg_file_dpi(reinterpret_cast<const uint8_t*>(inch.data()), inch.size()));
    const std::string cm = jpeg(10, 10, 1, 2, 118);
    EXPECT_EQ(299, pdf_jpeg_file_dpi(reinterpret_cast<const uint8_t*>(cm.data()), cm.size()));
    // 2000 dots per centimetre would be 5080 dpi: outside 20..4800, so the default.
    const std::string dense = jpeg(10, 10, 1, 2, 2000);
    EXPECT_EQ(150, pdf_jpeg_file_dpi(reinterpret_cast<const uint8_t*>(dense.data()), dense.size()));
    const std::string sparse = jpeg(10, 10, 1, 2, 7);
    EXPECT_EQ(150, pdf_jpeg_file_dpi(reinterpret_cast<const uint8_t*>(sparse.data()), sparse.size()));
    const std::string aspect = jpeg(10, 10, 1, 0, 300);
    EXPECT_EQ(150, pdf_jpeg_file_dpi(reinterpret_cast<const uint8_t*>(aspect.data()), aspect.size()));
    const std::string bare = jpeg(10, 10, 1, -1, 0);
    EXPECT_EQ(150, pdf_jpeg_file_dpi(reinterpret_cast<const uint8_t*>(bare.data()), bare.size()));
}

TEST(PdfMerge, EveryFrameOfAMultiPageImageBecomesAPage) {
    TempFolder t;
    WideString tif = t.write(L"pages.tif", "II*\0");
    WideString out = t.file(L"out.pdf");
    PdfMessage error = {};
    g_opened = g_frames_decoded = 0;
    ASSERT_TRUE(merge({tif}, out, &error, &kThreeFrames)) << english(error);
    // The file is opened once and each frame decoded from it; nothing stays open.
    EXPECT_EQ(1, g_opened);
    EXPECT_EQ(3, g_frames_decoded);
    EXPECT_EQ(0, g_open_now);
    EXPECT_EQ(3, page_count(out.data));
    const std::string bytes = read_all(out.data);
    EXPECT_NE(std::string::npos, bytes.find("/MediaBox[0 0 8 6]"));  // third frame: 8 x 6 px at 72 dpi
    for (WideString* w : {&tif, &out}) release(w);
    pdf_message_release(&error);
}

TEST(PdfMerge, TiffFramesAreFoundAndSelected) {
    // Three empty IFDs chained at 8, 14 and 20 (little-endian), then the same in big-endian
    // with the last one pointing back to the first.
    std::string le("II*\0\x08\0\0\0", 8);
    le += std::string("\0\0\x0E\0\0\0", 6) + std::string("\0\0\x14\0\0\0", 6) + std::string("\0\0\0\0\0\0", 6);
    std::vector<uint8_t> data(le.begin(), le.end());
    EXPECT_EQ(3, pdf_tiff_frame_count(data.data(), data.size()));
    ASSERT_TRUE(pdf_tiff_select_frame(data.data(), data.size(), 2));
    EXPECT_EQ(20, data[4]);
    EXPECT_EQ(1, pdf_tiff_frame_count(data.data(), data.size()));  // frame 2 now comes first and ends the chain
    EXPECT_FALSE(pdf_tiff_select_frame(data.data(), data.size(), 1));
    std::string be("MM\0*\0\0\0\x08", 8);
    be += std::string("\0\0\0\0\0\x0E", 6) + std::string("\0\0\0\0\0\x08", 6);
    EXPECT_EQ(2, pdf_tiff_frame_count(reinterpret_cast<const uint8_t*>(be.data()), be.size()));
    // A chain that leaves the data, and files that are no TIFF.
    EXPECT_EQ(0, pdf_tiff_frame_count(reinterpret_cast<const uint8_t*>(be.data()), 12));
    EXPECT_EQ(0, pdf_tiff_frame_count(reinterpret_cast<const uint8_t*>("\xFF\xD8\xFF\xE0xxxx"), 8));
}

TEST(PdfMerge, UnreadableImageNamesThePath) {
    TempFolder t;
    WideString png = t.write(L"broken.png", "not an image");
    WideString out = t.file(L"out.pdf");
    PdfMessage error = {};
    EXPECT_FALSE(merge({png}, out, &error));
    EXPECT_EQ(PDF_MESSAGE_IMAGE_UNREADABLE, error.id);
    EXPECT_EQ(utf8(png), utf8(error.name));
    EXPECT_FALSE(file_exists(out.data));
    EXPECT_FALSE(pdf_merge_with(nullptr, 0, out.data, nullptr, &error));
    EXPECT_EQ(PDF_MESSAGE_ADD_FILES, error.id);
    EXPECT_EQ(0, error.name.length);
    for (WideString* w : {&png, &out}) release(w);
    pdf_message_release(&error);
}

TEST(PdfMerge, CopiedValuesAreRewrittenSafely) {
    TempFolder t;
    WideString src = t.write(L"odd.pdf",
        build_pdf({"<</Type/Catalog/Pages 2 0 R>>", "<</Type/Pages/Kids[3 0 R]>>",
                   "<</Type/Page/Contents 4 0 R/Annots[5 0 R]/Group<</S/Transparency/S/Other/N -/M 1.2.3"
                   "/Name/A#20#28x#29/Str (a\\)b)/Far 999 0 R>>>>",
                   pdftest::stream_body("/Filter/FlateDecode/Length 99", "raw")}));
    WideString out = t.file(L"out.pdf");
    PdfMessage error = {};
    ASSERT_TRUE(merge({src}, out, &error)) << english(error);
    const std::string bytes = read_all(out.data);
    EXPECT_NE(std::string::npos, bytes.find("/S /Transparency /N null /M 1.2 /Name /A#20#28x#29 /Str <612962> /Far null"))
        << bytes;
    EXPECT_EQ(std::string::npos, bytes.find("/S /Other"));
    EXPECT_EQ(std::string::npos, bytes.find("Annots"));
    // No inherited MediaBox or Resources: the defaults.
    EXPECT_NE(std::string::npos, bytes.find("/Resources<<>> /MediaBox[0 0 612 792] >>"));
    EXPECT_NE(std::string::npos, bytes.find("<</Filter /FlateDecode /Length 3>>\nstream\nraw\nendstream"));
    for (WideString* w : {&src, &out}) release(w);
    pdf_message_release(&error);
}

TEST(PdfMerge, InheritedRotateAndCropBoxReachEveryCopiedPage) {
    TempFolder t;
    WideString src = t.write(L"turned.pdf",
        build_pdf({"<</Type/Catalog/Pages 2 0 R>>",
                   "<</Type/Pages/Kids[3 0 R 4 0 R]/Rotate 90/CropBox[10 20 300 400]/MediaBox[0 0 612 792]>>",
                   "<</Type/Page/Parent 2 0 R>>", "<</Type/Page/Parent 2 0 R/Rotate 180>>"}));
    WideString out = t.file(L"out.pdf");
    PdfMessage error = {};
    ASSERT_TRUE(merge({src}, out, &error)) << english(error);
    PdfDocument doc = {};
    PdfPageList pages = {};
    ASSERT_TRUE(pdf_read_document(out.data, &doc, &pages));
    ASSERT_EQ(2, pages.count);
    for (int i = 0; i < 2; ++i) {
        // Each page carries the values itself: the output's page tree has none to inherit.
        const PdfObject* rotate = pdf_resolve(&doc, pdf_dict_get(pages.pages[i].dictionary, "Rotate"));
        ASSERT_NE(nullptr, rotate);
        EXPECT_EQ(i == 0 ? 90 : 180, rotate->value);
        const PdfObject* crop = pdf_resolve(&doc, pdf_dict_get(pages.pages[i].dictionary, "CropBox"));
        ASSERT_NE(nullptr, crop);
        ASSERT_EQ(4, crop->count);
        EXPECT_EQ(400, crop->items[3]->value);
    }
    pdf_page_list_free(&pages);
    pdf_document_free(&doc);
    for (WideString* w : {&src, &out}) release(w);
    pdf_message_release(&error);
}

// A CMYK JPEG would show inverted or wrong colours as DeviceRGB/DeviceGray: it goes through
// the codec and is encoded again instead of being copied byte for byte.
TEST(PdfMerge, CmykJpegIsDecodedAndEncodedAgain) {
    TempFolder t;
    const std::string image = jpeg(8, 4, 4, 1, 72);
    WideString j = t.write(L"cmyk.jpg", image);
    WideString out = t.file(L"out.pdf");
    PdfMessage error = {};
    g_opened = g_frames_decoded = 0;
    ASSERT_TRUE(merge({j}, out, &error, &kThreeFrames)) << english(error);
    EXPECT_EQ(1, g_opened);
    const std::string bytes = read_all(out.data);
    EXPECT_EQ(std::string::npos, bytes.find(image));
    EXPECT_EQ(std::string::npos, bytes.find("/DeviceCMYK"));
    EXPECT_NE(std::string::npos, bytes.find("/Width 8/Height 4/BitsPerComponent 8"));
    for (WideString* w : {&j, &out}) release(w);
    pdf_message_release(&error);
}

TEST(PdfMerge, OutputCarriesTheLatestSourceVersion) {
    TempFolder t;
    WideString old14 = t.write(L"old.pdf", pdftest::text_pdf(1));
    WideString new17 = t.write(L"new.pdf", build_pdf({"<</Type/Catalog/Pages 2 0 R/Version/1.7>>",
                                                       "<</Type/Pages/Kids[3 0 R]>>", "<</Type/Page>>"}));
    WideString out = t.file(L"out.pdf");
    PdfMessage error = {};
    ASSERT_TRUE(merge({old14}, out, &error)) << english(error);
    std::string bytes = read_all(out.data);
    EXPECT_EQ(0u, bytes.find("%PDF-1.5\n"));
    EXPECT_NE(std::string::npos, bytes.find("1 0 obj\n<</Type/Catalog/Pages 2 0 R>>\n"));
    ASSERT_TRUE(merge({old14, new17}, out, &error)) << english(error);
    bytes = read_all(out.data);
    EXPECT_NE(std::string::npos, bytes.find("1 0 obj\n<</Type/Catalog/Pages 2 0 R/Version/1.7>>\n"));
    PdfDocument doc = {};
    PdfPageList pages = {};
    ASSERT_TRUE(pdf_read_document(out.data, &doc, &pages));
    EXPECT_EQ(17, doc.version);
    pdf_page_list_free(&pages);
    pdf_document_free(&doc);
    for (WideString* w : {&old14, &new17, &out}) release(w);
    pdf_message_release(&error);
}

// Two searchable scans with different words: their generated fonts differ (glyph ids and
// ToUnicode maps), so they must not meet under one font name in the merged file.
TEST(PdfMerge, SearchableScansKeepDistinctFontNames) {
    TempFolder t;
    WideString a = t.file(L"a.pdf");
    WideString b = t.file(L"b.pdf");
    PageImage* page = page_image_new();
    ASSERT_TRUE(page_image_alloc(page, 40, 40, 8, 72));
    for (int64_t k = 0; k < (int64_t)page->stride * page->height; ++k) page->pixels[k] = 200;
    PdfSaveOptions options = {};
    WideString message = {};
    OcrResult words_a = {}, words_b = {};
    ocr_result_add(&words_a, L"Invoice", 7, 1, 1, 30, 10);
    ocr_result_add(&words_b, L"Receipt", 7, 1, 1, 30, 10);
    const PdfPageInput in_a[1] = {{page, &words_a}};
    const PdfPageInput in_b[1] = {{page, &words_b}};
    ASSERT_TRUE(pdf_write_document(a.data, in_a, 1, &options, &message)) << utf8(message);
    ASSERT_TRUE(pdf_write_document(b.data, in_b, 1, &options, &message)) << utf8(message);
    WideString out = t.file(L"out.pdf");
    PdfMessage error = {};
    ASSERT_TRUE(merge({a, b}, out, &error)) << english(error);
    const std::string bytes = read_all(out.data);
    std::vector<std::string> names;
    for (size_t at = bytes.find("/BaseFont /"); at != std::string::npos; at = bytes.find("/BaseFont /", at + 1)) {
        const std::string name = bytes.substr(at + 11, 13);
        if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
    ASSERT_EQ(2u, names.size());
    EXPECT_EQ("+ZanOcr", names[0].substr(6));
    EXPECT_EQ("+ZanOcr", names[1].substr(6));
    EXPECT_NE(names[0], names[1]);
    ocr_result_release(&words_a);
    ocr_result_release(&words_b);
    page_image_free(page);
    for (WideString* w : {&a, &b, &out, &message}) release(w);
    pdf_message_release(&error);
}

// A target that cannot be replaced is found before any input is read or any page written.
TEST(PdfMerge, UnreplaceableTargetIsFoundBeforeTheWork) {
    TempFolder t;
    WideString a = t.write(L"a.pdf", pdftest::text_pdf(1));
    WideString folder = t.file(L"out.pdf");
    ASSERT_TRUE(ensure_folder(folder.data));
    PdfMessage error = {};
    g_opened = 0;
    WideString tif = t.write(L"pages.tif", "II*\0");
    EXPECT_FALSE(merge({tif, a}, folder, &error, &kThreeFrames));
    EXPECT_EQ(PDF_MESSAGE_CANNOT_CREATE, error.id);
    EXPECT_EQ(utf8(folder), utf8(error.name));
    EXPECT_NE(0, error.number);
    EXPECT_EQ(0, g_opened);
    EXPECT_TRUE(folder_exists(folder.data));
    WideString text = {};
    pdf_message_text(&error, 1, nullptr, &text);
    EXPECT_EQ("cannot create " + utf8(folder) + " (error " + std::to_string(error.number) + ")", utf8(text));
    for (WideString* w : {&a, &folder, &tif, &text}) release(w);
    pdf_message_release(&error);
}

namespace {
// A cancel check that says yes from its limit-th question on.
int g_questions = 0;
int g_cancel_from = 0;
bool cancel_from_limit() {
    return ++g_questions >= g_cancel_from;
}
}

// Cancelling between inputs or between the pages of one input leaves the target as it was
// (here: an older file of the same name) and says why; without a request the merge runs on.
TEST(PdfMerge, CancelledMergeKeepsTheTargetAsItWas) {
    TempFolder t;
    WideString a = t.write(L"a.pdf", pdftest::text_pdf(3));
    WideString b = t.write(L"b.pdf", pdftest::text_pdf(2));
    WideString out = t.write(L"out.pdf", "older file");
    for (int limit : {1, 2, 4, 5}) {
        g_questions = 0;
        g_cancel_from = limit;
        pdf_set_cancel_check(cancel_from_limit);
        PdfMessage error = {};
        EXPECT_FALSE(merge({a, b}, out, &error)) << limit;
        pdf_set_cancel_check(nullptr);
        EXPECT_EQ(PDF_MESSAGE_CANCELLED, error.id) << limit;
        EXPECT_EQ("older file", read_all(out.data)) << limit;
        EXPECT_EQ((std::vector<std::string>{"a.pdf", "b.pdf", "out.pdf"}), [&] {
            auto names = t.entries();
            std::sort(names.begin(), names.end());
            return names;
        }()) << "no temporary file is left, limit " << limit;
        pdf_message_release(&error);
    }
    g_questions = 0;
    g_cancel_from = 1000;
    pdf_set_cancel_check(cancel_from_limit);
    PdfMessage error = {};
    EXPECT_TRUE(merge({a, b}, out, &error));
    pdf_set_cancel_check(nullptr);
    EXPECT_EQ(5, page_count(out.data));
    // Asked before each input and each page.
    EXPECT_EQ(2 + 5, g_questions);
    for (WideString* w : {&a, &b, &out}) release(w);
    pdf_message_release(&error);
}
