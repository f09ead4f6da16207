#include "pdftools/pdf_split.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/pdf_writer.h"
#include "pdftools/pdf_reader.h"
#include "tests/pdftools/pdf_test_files.h"
#include "tests/test_text.h"

using pdftest::read_all;
using pdftest::TempFolder;

namespace {
std::string ranges(const wchar_t* text, int pages) {
    PdfRangeList list = {};
    pdf_split_parse_ranges(text, pages, &list);
    std::string s;
    for (int i = 0; i < list.count; ++i) {
        s += (s.empty() ? "" : " ") + std::to_string(list.items[i].first) + "-" + std::to_string(list.items[i].last);
    }
    pdf_range_list_free(&list);
    return s;
}

std::vector<std::string> names(const PdfPathList& created) {
    std::vector<std::string> out;
    for (int i = 0; i < created.count; ++i) {
        WideString n = path_file_name(text_of(created.items[i]));
        out.push_back(utf8(n));
        release(&n);
    }
    return out;
}

// The "Page k" texts of a file's pages, in page order.
std::string page_texts(const wchar_t* path) {
    PdfDocument doc = {};
    PdfPageList pages = {};
    std::string s;
    if (pdf_read_document(path, &doc, &pages)) {
        for (int i = 0; i < pages.count; ++i) {
            const PdfObject* c = pdf_resolve(&doc, pdf_dict_get(pages.pages[i].dictionary, "Contents"));
            const std::string data = c ? std::string(reinterpret_cast<const char*>(c->data), c->data_length) : "";
            const size_t at = data.find("(Page ");
            s += (s.empty() ? "" : ",") + (at == std::string::npos ? "?" : data.substr(at + 6, data.find(')', at) - at - 6));
        }
    }
    pdf_page_list_free(&pages);
    pdf_document_free(&doc);
    return s;
}
}

TEST(PdfSplit, RangesText) {
    EXPECT_EQ("1-3 5-5 7-9", ranges(L"1-3,5,7-9", 10));
    EXPECT_EQ("8-10", ranges(L"8-", 10));
    EXPECT_EQ("1-2", ranges(L"-2", 10));
    EXPECT_EQ("", ranges(L"0", 10));
    EXPECT_EQ("", ranges(L"5-2", 10));
    EXPECT_EQ("3-3", ranges(L"3x", 10));
    EXPECT_EQ("9-10", ranges(L"9-20", 10));
    EXPECT_EQ("2-2 2-2", ranges(L" 2 ; 2 ", 10));
    EXPECT_EQ("", ranges(L"abc", 10));
    EXPECT_EQ("4-10", ranges(L"4 - 99999999999999999999", 10));
}

TEST(PdfSplit, EveryFourPages) {
    TempFolder t;
    WideString in = t.write(L"ten.pdf", pdftest::text_pdf(10));
    WideString dir = t.file(L"out");
    PdfPathList created = {};
    PdfMessage error = {};
    ASSERT_TRUE(pdf_split(in.data, dir.data, PDF_SPLIT_EVERY_N, 4, nullptr, &created, &error)) << error.id;
    EXPECT_EQ((std::vector<std::string>{"ten_p001-004.pdf", "ten_p005-008.pdf", "ten_p009-010.pdf"}), names(created));
    EXPECT_EQ("1,2,3,4", page_texts(created.items[0].data));
    EXPECT_EQ("5,6,7,8", page_texts(created.items[1].data));
    EXPECT_EQ("9,10", page_texts(created.items[2].data));
    // Each part holds only what its pages reach.
    EXPECT_EQ(std::string::npos, read_all(created.items[2].data).find("(Page 1)"));
    pdf_path_list_free(&created);
    for (WideString* w : {&in, &dir}) release(w);
    pdf_message_release(&error);
}

TEST(PdfSplit, SmallNMeansOneFilePerPageAndRepeatedRangesRepeatPaths) {
    TempFolder t;
    WideString in = t.write(L"three.pdf", pdftest::text_pdf(3));
    WideString dir = t.file(L"out");
    PdfPathList created = {};
    PdfMessage error = {};
    ASSERT_TRUE(pdf_split(in.data, dir.data, PDF_SPLIT_EVERY_N, 0, nullptr, &created, &error));
    EXPECT_EQ((std::vector<std::string>{"three_p001.pdf", "three_p002.pdf", "three_p003.pdf"}), names(created));
    pdf_path_list_free(&created);
    ASSERT_TRUE(pdf_split(in.data, dir.data, PDF_SPLIT_RANGES, 0, L"2,2", &created, &error));
    EXPECT_EQ((std::vector<std::string>{"three_p002.pdf", "three_p002.pdf"}), names(created));
    EXPECT_EQ("2", page_texts(created.items[1].data));
    pdf_path_list_free(&created);
    for (WideString* w : {&in, &dir}) release(w);
    pdf_message_release(&error);
}

TEST(PdfSplit, Failures) {
    TempFolder t;
    WideString in = t.write(L"ten.pdf", pdftest::text_pdf(10));
    WideString bad = t.write(L"bad.pdf", "%PDF-1.4 nothing here");
    WideString dir = t.file(L"out");
    PdfPathList created = {};
    PdfMessage error = {};
    EXPECT_FALSE(pdf_split(in.data, dir.data, PDF_SPLIT_RANGES, 0, L"abc", &created, &error));
    EXPECT_EQ(PDF_MESSAGE_NO_RANGE, error.id);
    EXPECT_EQ(10, error.number);
    EXPECT_EQ(0, created.count);
    EXPECT_FALSE(pdf_split(bad.data, dir.data, PDF_SPLIT_EACH_PAGE, 0, nullptr, &created, &error));
    EXPECT_EQ(PDF_MESSAGE_UNREADABLE, error.id);
    EXPECT_EQ(0, error.name.length);
    pdf_path_list_free(&created);
    for (WideString* w : {&in, &bad, &dir}) release(w);
    pdf_message_release(&error);
}

// A part that cannot be replaced is found before the first part is written: no file of
// the split appears, and the message names that part with the system's code.
TEST(PdfSplit, UnreplaceablePartStopsTheSplitBeforeAnyFileIsWritten) {
    TempFolder t;
    WideString in = t.write(L"three.pdf", pdftest::text_pdf(3));
    WideString dir = t.file(L"out");
    WideString blocker = t.file(L"out\\three_p003.pdf");
    ASSERT_TRUE(ensure_folder(blocker.data));
    PdfPathList created = {};
    PdfMessage error = {};
    EXPECT_FALSE(pdf_split(in.data, dir.data, PDF_SPLIT_EACH_PAGE, 0, nullptr, &created, &error));
    EXPECT_EQ(PDF_MESSAGE_CANNOT_CREATE, error.id);
    EXPECT_EQ(utf8(blocker), utf8(error.name));
    EXPECT_NE(0, error.number);
    EXPECT_EQ(0, created.count);
    WideString first = t.file(L"out\\three_p001.pdf");
    EXPECT_FALSE(file_exists(first.data));
    pdf_path_list_free(&created);
    pdf_message_release(&error);
    for (WideString* w : {&in, &dir, &blocker, &first}) release(w);
}

namespace {
int g_questions = 0;
bool cancel_at_third_question() {
    return ++g_questions >= 3;
}
}

// A split cancelled in its second part keeps the first, finished part and abandons the
// second; the message says it was cancelled.
TEST(PdfSplit, CancelledSplitKeepsTheFinishedParts) {
    TempFolder t;
    WideString in = t.write(L"four.pdf", pdftest::text_pdf(4));
    WideString dir = t.file(L"out");
    PdfPathList created = {};
    PdfMessage error = {};
    g_questions = 0;
    pdf_set_cancel_check(cancel_at_third_question);
    // Questions: before part 1, page 1, before part 2 (cancelled there).
    EXPECT_FALSE(pdf_split(in.data, dir.data, PDF_SPLIT_EACH_PAGE, 0, nullptr, &created, &error));
    pdf_set_cancel_check(nullptr);
    EXPECT_EQ(PDF_MESSAGE_CANCELLED, error.id);
    EXPECT_EQ((std::vector<std::string>{"four_p001.pdf"}), names(created));
    EXPECT_EQ("1", page_texts(created.items[0].data));
    WideString second = t.file(L"out\\four_p002.pdf");
    EXPECT_FALSE(file_exists(second.data));
    WideString english = {};
    pdf_message_text(&error, 1, nullptr, &english);
    EXPECT_EQ("cancelled", utf8(english));
    pdf_path_list_free(&created);
    pdf_message_release(&error);
    for (WideString* w : {&in, &dir, &second, &english}) release(w);
}
