// tests/output/pdf_writer_test.cpp
// Number text, object framing, hex strings, the cross-reference table and the safe
// replacement of the target file.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "core/file.h"
#include "core/path.h"
#include "output/pdf_crypt.h"
#include "output/pdf_writer.h"
#include "tests/test_text.h"

static std::string real(double v) {
    ByteBuffer b = {};
    EXPECT_TRUE(pdf_format_real(&b, v));
    std::string s(b.data ? (const char*)b.data : "", (size_t)b.length);
    release(&b);
    return s;
}

TEST(PdfFormatReal, ExamplesAndRounding) {
    EXPECT_EQ(real(612), "612");
    EXPECT_EQ(real(0.5), "0.5");
    EXPECT_EQ(real(595.27559), "595.2756");
    EXPECT_EQ(real(2.00004), "2");
    EXPECT_EQ(real(0.99996), "1");
    EXPECT_EQ(real(-3.25), "-3.25");
    EXPECT_EQ(real(0), "0");
    EXPECT_EQ(real(841.92), "841.92");
    EXPECT_EQ(real(117.647058823), "117.6471");
    EXPECT_EQ(real(0.0001), "0.0001");
    EXPECT_EQ(real(10.1), "10.1");
}

TEST(PdfFormatReal, NeverWritesInfinityOrNan) {
    EXPECT_EQ(real(std::numeric_limits<double>::infinity()), "0");
    EXPECT_EQ(real(-std::numeric_limits<double>::infinity()), "0");
    EXPECT_EQ(real(std::nan("")), "0");
    EXPECT_EQ(real(1e300), "0");
}

// A path in the temporary folder; the caller releases it. (No std::wstring: the native
// build's wchar_t is 16-bit and the C library's wide functions would misread it.)
static WideString temp_pdf(const wchar_t* name) {
    WideString folder = temp_folder();
    WideString path = path_join(text_of(folder), name);
    release(&folder);
    return path;
}

static std::string read_file(const WideString& path) {
    ByteBuffer b = {};
    if (!read_whole_file(text_of(path), &b)) return std::string("<unreadable>");
    std::string s(b.data ? (const char*)b.data : "", (size_t)b.length);
    release(&b);
    return s;
}

TEST(PdfWriter, ObjectsXrefAndTrailerByteForByte) {
    WideString path = temp_pdf(L"zan_writer_framing.pdf");
    PdfWriter w;
    PdfMessage error = {};
    ASSERT_TRUE(pdf_writer_open(&w, text_of(path), &error)) << error.id;
    for (int k = 0; k < 16; ++k) w.plain_id[k] = (uint8_t)(0xA0 + k);
    pdf_append_header(&w);
    EXPECT_EQ(pdf_reserve_object(&w), 1);
    EXPECT_EQ(pdf_reserve_object(&w), 2);
    EXPECT_EQ(pdf_reserve_object(&w), 3);
    pdf_write_stream_object(&w, 2, "/Filter/FlateDecode", 19, "abc", 3);
    pdf_write_dictionary_object(&w, 1, "<</Type/Catalog/Pages 2 0 R>>", 29);
    pdf_begin_object(&w, 3);
    pdf_append_text(&w, "<</Producer ");
    const uint8_t bytes[3] = {0x00, 0xAB, 0x5F};
    pdf_append_string(&w, 3, bytes, 3);
    pdf_append_text(&w, ">>\nendobj\n");
    ASSERT_TRUE(pdf_writer_finish(&w, &error));

    const std::string header = std::string("%PDF-1.5\n%\xE2\xE3\xCF\xD3\n", 15);
    const std::string o2 = "2 0 obj\n<</Filter/FlateDecode/Length 3>>\nstream\nabc\nendstream\nendobj\n";
    const std::string o1 = "1 0 obj\n<</Type/Catalog/Pages 2 0 R>>\nendobj\n";
    const std::string o3 = "3 0 obj\n<</Producer <00AB5F>>>\nendobj\n";
    const size_t at2 = header.size(), at1 = at2 + o2.size(), at3 = at1 + o1.size(), xref = at3 + o3.size();
    auto offset = [](size_t v) {
        std::string s = std::to_string(v);
        return std::string(10 - s.size(), '0') + s;
    };
    const std::string expected = header + o2 + o1 + o3 + "xref\n0 4\n0000000000 65535 f \n" + offset(at1) +
                                 " 00000 n \n" + offset(at2) + " 00000 n \n" + offset(at3) + " 00000 n \n" +
                                 "trailer\n<</Size 4/Root 1 0 R/Info 3 0 R/ID [<A0A1A2A3A4A5A6A7A8A9AAABACADAEAF>"
                                 "<A0A1A2A3A4A5A6A7A8A9AAABACADAEAF>]>>\nstartxref\n" +
                                 std::to_string(xref) + "\n%%EOF\n";
    EXPECT_EQ(read_file(path), expected);
    delete_file(text_of(path));
    release(&path);
    pdf_message_release(&error);
}

TEST(PdfWriter, LargeOutputIsFlushedInChunksAndOffsetsStayExact) {
    WideString path = temp_pdf(L"zan_writer_large.pdf");
    PdfWriter w;
    PdfMessage error = {};
    ASSERT_TRUE(pdf_writer_open(&w, text_of(path), &error));
    pdf_append_header(&w);
    std::string big(3 * 1024 * 1024 + 17, 'z');
    w.next_object = 4;
    pdf_write_stream_object(&w, 4, "", 0, big.data(), (int)big.size());
    EXPECT_LE(w.buffer.length, PDF_FLUSH_SIZE);
    pdf_write_dictionary_object(&w, 5, "null", 4);
    const uint64_t expected_offset_5 = 15 + 8 + 2 + 8 + std::to_string(big.size()).size() + 10 + big.size() + 18;
    EXPECT_EQ(w.offsets[4], expected_offset_5);
    ASSERT_TRUE(pdf_writer_finish(&w, &error));
    const std::string file = read_file(path);
    EXPECT_EQ(file.substr((size_t)expected_offset_5, 12), "5 0 obj\nnull");
    EXPECT_EQ((uint64_t)file.size(), (uint64_t)file_size(text_of(path)));
    delete_file(text_of(path));
    release(&path);
    pdf_message_release(&error);
}

TEST(PdfWriter, AbandonKeepsTheOldFileAndLeavesNoTemporaryFile) {
    WideString path = temp_pdf(L"zan_writer_keep.pdf");
    ASSERT_TRUE(write_whole_file(text_of(path), "old", 3));
    PdfWriter w;
    PdfMessage error = {};
    ASSERT_TRUE(pdf_writer_open(&w, text_of(path), &error));
    WideString temp = wide_copy(text_of(w.file.temp_path));
    pdf_append_header(&w);
    pdf_writer_abandon(&w);
    EXPECT_EQ(read_file(path), "old");
    EXPECT_FALSE(file_exists(text_of(temp)));
    delete_file(text_of(path));
    release(&path);
    release(&temp);
    pdf_message_release(&error);
}

TEST(PdfWriter, FailedWriteRefusesToReplaceTheTarget) {
    WideString path = temp_pdf(L"zan_writer_failed.pdf");
    ASSERT_TRUE(write_whole_file(text_of(path), "old", 3));
    PdfWriter w;
    PdfMessage error = {};
    ASSERT_TRUE(pdf_writer_open(&w, text_of(path), &error));
    WideString temp = wide_copy(text_of(w.file.temp_path));
    pdf_append_header(&w);
    w.write_failed = true;
    EXPECT_FALSE(pdf_writer_finish(&w, &error));
    EXPECT_EQ(read_file(path), "old");
    EXPECT_FALSE(file_exists(text_of(temp)));
    delete_file(text_of(path));
    release(&path);
    release(&temp);
    pdf_message_release(&error);
}

TEST(PdfWriter, UncreatableFileGivesTheMessageWithTheSystemCode) {
    WideString folder = temp_pdf(L"zan_writer_blocker");
    ASSERT_TRUE(write_whole_file(text_of(folder), "x", 1));   // a file where a folder is needed
    WideString path = wide_copy(text_of(folder));
    append(&path, L"/sub/out.pdf");
    PdfWriter w;
    PdfMessage error = {};
    EXPECT_FALSE(pdf_writer_open(&w, text_of(path), &error));
    EXPECT_EQ(error.id, PDF_MESSAGE_CANNOT_CREATE);
    EXPECT_EQ(utf8(error.name), utf8(path));
    EXPECT_NE(error.number, 0);
    WideString text = {};
    ASSERT_TRUE(pdf_message_text(&error, 1, nullptr, &text));
    EXPECT_EQ(utf8(text), "cannot create " + utf8(path) + " (error " + std::to_string(error.number) + ")");
    delete_file(text_of(folder));
    release(&text);
    pdf_message_release(&error);
    release(&folder);
    release(&path);
}

// A folder of the target's name is found when the writer opens, before any work is done,
// and reported with the system's code; the folder stays.
TEST(PdfWriter, TargetThatIsAFolderIsRefusedAtOpen) {
    WideString path = temp_pdf(L"zan_writer_folder.pdf");
    ASSERT_TRUE(ensure_folder(text_of(path)));
    PdfWriter w;
    PdfMessage error = {};
    EXPECT_FALSE(pdf_writer_open(&w, text_of(path), &error));
    EXPECT_EQ(error.id, PDF_MESSAGE_CANNOT_CREATE);
    EXPECT_EQ(utf8(error.name), utf8(path));
    EXPECT_NE(error.number, 0);
    EXPECT_TRUE(folder_exists(text_of(path)));
    pdf_message_release(&error);
    release(&path);
}

TEST(PdfWriter, HeaderSaysOnePointSixOnlyForAes) {
    PdfWriter w;
    pdf_writer_open_in_memory(&w);
    pdf_append_header(&w);
    EXPECT_EQ(std::string((const char*)w.buffer.data, 8), "%PDF-1.5");
    pdf_writer_abandon(&w);
    for (int cipher : {PDF_CIPHER_AES, PDF_CIPHER_RC4}) {
        pdf_writer_open_in_memory(&w);
        pdf_crypt_setup(&w.encryption, L"pw", cipher);
        pdf_append_header(&w);
        EXPECT_EQ(std::string((const char*)w.buffer.data, 8), cipher == PDF_CIPHER_AES ? "%PDF-1.6" : "%PDF-1.5");
        pdf_writer_abandon(&w);
    }
}

TEST(PdfWriter, MissingParentFoldersAreCreated) {
    WideString root = temp_pdf(L"zan_writer_tree");
    WideString path = wide_copy(text_of(root));
    append(&path, L"/a/b/out.pdf");
    PdfWriter w;
    PdfMessage error = {};
    ASSERT_TRUE(pdf_writer_open(&w, text_of(path), &error)) << error.id;
    pdf_append_header(&w);
    ASSERT_TRUE(pdf_writer_finish(&w, &error));
    EXPECT_TRUE(file_exists(text_of(path)));
    delete_file(text_of(path));
    release(&root);
    release(&path);
    pdf_message_release(&error);
}

static int g_calls[4];
static int g_count_seen;
static void record_progress(int index, int count) {
    if (index >= 0 && index < 4) g_calls[index]++;
    g_count_seen = count;
}

TEST(PdfWriter, ProgressCallbackOnlyWhenSet) {
    pdf_report_progress(0, 3);
    EXPECT_EQ(g_calls[0], 0);
    pdf_set_progress_callback(record_progress);
    pdf_report_progress(1, 3);
    pdf_set_progress_callback(nullptr);
    pdf_report_progress(2, 3);
    EXPECT_EQ(g_calls[1], 1);
    EXPECT_EQ(g_calls[2], 0);
    EXPECT_EQ(g_count_seen, 3);
}
