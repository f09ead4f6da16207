#include "pdftools/pdf_merge.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/heap.h"
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

bool merge(const std::vector<WideString>& inputs, const WideString& output, WideString* error,
           PdfImageDecoder decoder = nullptr) {
    std::vector<const wchar_t*> paths;
    for (const WideString& w : inputs) paths.push_back(text_of(w));
    return pdf_merge_with(paths.data(), (int)paths.size(), text_of(output), decoder, error);
}

int g_frames_decoded = 0;
PageImage* three_frames(const wchar_t*, int frame, int* frame_count) {
    *frame_count = 3;
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
}

TEST(PdfMerge, PagesOfEveryInputInOrderWithSharedObjectsOnce) {
    TempFolder t;
    WideString a = t.write(L"a.pdf", pdftest::text_pdf(3));
    WideString b = t.write(L"b.pdf", pdftest::text_pdf(2));
    WideString out = t.file(L"out.pdf");
    WideString error = {};
    ASSERT_TRUE(merge({a, b}, out, &error)) << utf8(error);
    EXPECT_EQ(5, page_count(out.data));
    const std::string bytes = read_all(out.data);
    // One font per source document, although every page uses it.
    EXPECT_EQ(2u, count_of(bytes, "/BaseFont /Helvetica"));
    // The page tree's direct /Resources is written once per source and referenced by each page.
    EXPECT_EQ(2u, count_of(bytes, "<</Font <</F1 "));
    EXPECT_LT(bytes.find("(Page 3)"), bytes.find("(Page 2)", bytes.find("(Page 3)")));
    EXPECT_NE(std::string::npos, bytes.find("<</Producer(Zan Group Scanner 2.0.0)>>"));
    EXPECT_NE(std::string::npos, bytes.find("/Type/Pages/Count 5/Kids["));
    for (WideString* w : {&a, &b, &out, &error}) release(w);
}

TEST(PdfMerge, OutputThatIsAnInputIsRefusedAndTheInputKept) {
    TempFolder t;
    const std::string original = pdftest::text_pdf(2);
    WideString a = t.write(L"a.pdf", original);
    WideString b = t.write(L"b.pdf", pdftest::text_pdf(1));
    // The same file under another spelling.
    WideString same = t.file(L"sub\\..\\a.pdf");
    WideString error = {};
    WideString sub = t.file(L"sub");
    ensure_folder(sub.data);
    EXPECT_FALSE(merge({a, b}, same, &error));
    EXPECT_NE(std::string::npos, utf8(error).find("one of the files"));
    EXPECT_EQ(original, read_all(a.data));
    for (WideString* w : {&a, &b, &same, &sub, &error}) release(w);
}

TEST(PdfMerge, EncryptedInputStopsWithTheReaderMessageAndLeavesNoFile) {
    TempFolder t;
    WideString a = t.write(L"a.pdf", pdftest::text_pdf(1));
    WideString locked = t.write(L"locked.PDF", build_pdf({"<</Type/Catalog/Pages 2 0 R>>",
                                                          "<</Type/Pages/Kids[3 0 R]>>", "<</Type/Page>>"},
                                                         "/Encrypt 3 0 R"));
    WideString out = t.file(L"out.pdf");
    WideString error = {};
    EXPECT_FALSE(merge({a, locked}, out, &error));
    EXPECT_EQ("locked.PDF\nThe file is password protected \xE2\x80\x94 remove the protection first.", utf8(error));
    EXPECT_FALSE(file_exists(out.data));
    for (WideString* w : {&a, &locked, &out, &error}) release(w);
}

TEST(PdfMerge, JfifJpegIsEmbeddedUnchangedAtItsPhysicalSize) {
    TempFolder t;
    const std::string image = jpeg(2550, 3300, 3, 1, 300);
    WideString j = t.write(L"scan.jpg", image);
    WideString out = t.file(L"out.pdf");
    WideString error = {};
    ASSERT_TRUE(merge({j}, out, &error)) << utf8(error);
    const std::string bytes = read_all(out.data);
    EXPECT_NE(std::string::npos, bytes.find("/MediaBox[0 0 612 792]"));
    EXPECT_NE(std::string::npos, bytes.find("/Width 2550/Height 3300/BitsPerComponent 8/ColorSpace/DeviceRGB/Filter/DCTDecode"));
    EXPECT_NE(std::string::npos, bytes.find("stream\n" + image + "\nendstream"));
    EXPECT_NE(std::string::npos, bytes.find("q 612 0 0 792 0 0 cm /Im0 Do Q\n"));
    EXPECT_EQ(1, page_count(out.data));
    for (WideString* w : {&j, &out, &error}) release(w);
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
    WideString error = {};
    g_frames_decoded = 0;
    ASSERT_TRUE(merge({tif}, out, &error, three_frames)) << utf8(error);
    EXPECT_EQ(3, g_frames_decoded);
    EXPECT_EQ(3, page_count(out.data));
    const std::string bytes = read_all(out.data);
    EXPECT_NE(std::string::npos, bytes.find("/MediaBox[0 0 8 6]"));  // third frame: 8 x 6 px at 72 dpi
    for (WideString* w : {&tif, &out, &error}) release(w);
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
    WideString error = {};
    EXPECT_FALSE(merge({png}, out, &error));
    EXPECT_EQ(utf8(png) + ": The image could not be read.", utf8(error));
    EXPECT_FALSE(file_exists(out.data));
    WideString none = {};
    EXPECT_FALSE(pdf_merge_with(nullptr, 0, out.data, nullptr, &none));
    EXPECT_EQ("Add at least one file.", utf8(none));
    for (WideString* w : {&png, &out, &error, &none}) release(w);
}

TEST(PdfMerge, CopiedValuesAreRewrittenSafely) {
    TempFolder t;
    WideString src = t.write(L"odd.pdf",
        build_pdf({"<</Type/Catalog/Pages 2 0 R>>", "<</Type/Pages/Kids[3 0 R]>>",
                   "<</Type/Page/Contents 4 0 R/Annots[5 0 R]/Group<</S/Transparency/S/Other/N -/M 1.2.3"
                   "/Name/A#20#28x#29/Str (a\\)b)/Far 999 0 R>>>>",
                   pdftest::stream_body("/Filter/FlateDecode/Length 99", "raw")}));
    WideString out = t.file(L"out.pdf");
    WideString error = {};
    ASSERT_TRUE(merge({src}, out, &error)) << utf8(error);
    const std::string bytes = read_all(out.data);
    EXPECT_NE(std::string::npos, bytes.find("/S /Transparency /N null /M 1.2 /Name /A#20#28x#29 /Str <612962> /Far null"))
        << bytes;
    EXPECT_EQ(std::string::npos, bytes.find("/S /Other"));
    EXPECT_EQ(std::string::npos, bytes.find("Annots"));
    // No inherited MediaBox or Resources: the defaults.
    EXPECT_NE(std::string::npos, bytes.find("/Resources<<>> /MediaBox[0 0 612 792] >>"));
    EXPECT_NE(std::string::npos, bytes.find("<</Filter /FlateDecode /Length 3>>\nstream\nraw\nendstream"));
    for (WideString* w : {&src, &out, &error}) release(w);
}
