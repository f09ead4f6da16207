#include "pdftools/pdf_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/zlib_buffer.h"
#include "tests/pdftools/pdf_test_files.h"
#include "tests/test_text.h"

using pdftest::build_pdf;
using pdftest::stream_body;

namespace {
// A loaded document that frees itself.
struct Loaded {
    PdfDocument doc = {};
    PdfPageList pages = {};
    bool ok = false;
    explicit Loaded(const std::string& bytes) { ok = pdf_read_memory(bytes.data(), bytes.size(), &doc, &pages); }
    ~Loaded() {
        pdf_page_list_free(&pages);
        pdf_document_free(&doc);
    }
    PdfObject* get(int number, const char* key) { return pdf_resolve(&doc, pdf_dict_get(pdf_object_at(&doc, number), key)); }
    std::string text(const PdfObject* o) { return o ? std::string(reinterpret_cast<const char*>(o->text), (size_t)o->length) : "<null>"; }
};

const char* kCatalog = "<</Type/Catalog/Pages 2 0 R>>";

std::string deflate(const std::string& data) {
    ByteBuffer out = {};
    deflate_buffer(data.data(), (int)data.size(), 6, &out);
    std::string s(reinterpret_cast<char*>(out.data), (size_t)out.length);
    release(&out);
    return s;
}
}

TEST(PdfReader, WrongXrefOffsetsAndInheritedAttributes) {
    Loaded f(build_pdf({kCatalog, "<</Type/Pages/Kids[3 0 R 4 0 R]/Count 2/MediaBox[0 0 100 200]/Rotate 90>>",
                        "<</Type/Page/Parent 2 0 R>>", "<</Type/Page/Parent 2 0 R/MediaBox[0 0 5 6]>>"},
                       "", false));
    ASSERT_TRUE(f.ok) << f.doc.error_id;
    ASSERT_EQ(2, f.pages.count);
    EXPECT_EQ(pdf_object_at(&f.doc, 3), f.pages.pages[0].dictionary);
    EXPECT_EQ(4, f.pages.pages[0].media_box->count);
    EXPECT_EQ("100", f.text(f.pages.pages[0].media_box->items[2]));
    EXPECT_EQ("5", f.text(f.pages.pages[1].media_box->items[2]));
    EXPECT_EQ(90, f.pages.pages[1].rotate->value);
    EXPECT_EQ(nullptr, f.pages.pages[0].crop_box);
    EXPECT_EQ(nullptr, f.pages.pages[0].resources);
}

TEST(PdfReader, IncrementalUpdateUsesTheLaterDefinition) {
    std::string s = build_pdf({kCatalog, "<</Type/Pages/Kids[3 0 R]/Count 1>>", "<</Type/Page/Rotate 0>>"});
    s += "3 0 obj <</Type/Page/Rotate 180>> endobj\ntrailer <</Root 1 0 R>>\n";
    Loaded f(s);
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(180, f.get(3, "Rotate")->value);
}

TEST(PdfReader, CatalogFoundWithoutTrailer) {
    Loaded f("%PDF-1.4\n1 0 obj<</Type/Pages/Kids[2 0 R]>>endobj 2 0 obj<</Type/Page>>endobj "
             "3 0 obj<</Type/Catalog/Pages 1 0 R>>endobj");
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(3, f.doc.root);
    EXPECT_EQ(1, f.pages.count);
}

TEST(PdfReader, KidsCycleGivesEachPageOnce) {
    Loaded f(build_pdf({kCatalog, "<</Type/Pages/Kids[3 0 R 2 0 R 4 0 R 3 0 R]>>", "<</Type/Page>>",
                        "<</Type/Pages/Kids[2 0 R]>>"}));
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(1, f.pages.count);
}

TEST(PdfReader, MissingKidFailsInsteadOfDroppingThePage) {
    Loaded f(build_pdf({kCatalog, "<</Type/Pages/Kids[3 0 R 9 0 R]>>", "<</Type/Page>>"}));
    EXPECT_FALSE(f.ok);
    EXPECT_EQ(PDF_ERROR_UNREADABLE, f.doc.error_id);
}

TEST(PdfReader, KidWithTypePageIsAPage) {
    Loaded f(build_pdf({kCatalog, "<</Type/Pages/Kids[3 0 R]>>", "<</Type/Page/Kids[4 0 R]>>", "<</Type/Page>>"}));
    ASSERT_TRUE(f.ok);
    ASSERT_EQ(1, f.pages.count);
    EXPECT_EQ(pdf_object_at(&f.doc, 3), f.pages.pages[0].dictionary);
}

TEST(PdfReader, EncryptedFilesAreRefused) {
    Loaded named(build_pdf({kCatalog, "<</Type/Pages/Kids[3 0 R]>>", "<</Type/Page>>"}, "/Encrypt 9 0 R"));
    EXPECT_FALSE(named.ok);
    EXPECT_EQ(PDF_ERROR_PROTECTED, named.doc.error_id);
    // A cross-reference stream names /Encrypt like a trailer does.
    Loaded xref_stream("%PDF-1.5\n1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n2 0 obj<</Type/Pages/Kids[3 0 R]>>"
                       "endobj\n3 0 obj<</Type/Page>>endobj\n5 0 obj<</Type/XRef/Root 1 0 R/Size 6/Encrypt 4 0 R"
                       "/ID[<00><00>]/Length 0>>stream\n\nendstream endobj\n");
    EXPECT_FALSE(xref_stream.ok);
    EXPECT_EQ(PDF_ERROR_PROTECTED, xref_stream.doc.error_id);
    // The trailer is lost, but the security handler's dictionary is still in the file.
    Loaded orphan("1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj 2 0 obj<</Type/Pages/Kids[3 0 R]>>endobj "
                  "3 0 obj<</Type/Page>>endobj 4 0 obj<</Filter/Standard/V 2/R 3/O<00>/U<00>/P -4>>endobj");
    EXPECT_FALSE(orphan.ok);
    EXPECT_EQ(PDF_ERROR_PROTECTED, orphan.doc.error_id);
}

TEST(PdfReader, LexerNamesStringsAndNumbers) {
    Loaded f(build_pdf({kCatalog, "<</Type/Pages/Kids[3 0 R]>>",
                        "<</Type/Page/N /A#20B/S (a\\(b\\)\\101\\\ncd\\q) /H <41 4a6/>/Big 1234567890123456789012345"
                        "/Neg -/Dot ./Real -1.2.3/Ok 12/Ref 4 0 R/T true/F false/W xyz>>"}));
    ASSERT_TRUE(f.ok);
    EXPECT_EQ("A B", f.text(f.get(3, "N")));
    EXPECT_EQ("a(b)Acdq", f.text(f.get(3, "S")));
    EXPECT_EQ(std::string("AJ`", 3), f.text(f.get(3, "H")));
    const PdfObject* big = f.get(3, "Big");
    ASSERT_NE(nullptr, big);
    EXPECT_EQ(INT64_MAX, big->value);
    EXPECT_EQ("9223372036854775807", f.text(big));
    EXPECT_EQ(nullptr, pdf_dict_get(pdf_object_at(&f.doc, 3), "Neg"));
    EXPECT_EQ(nullptr, pdf_dict_get(pdf_object_at(&f.doc, 3), "Dot"));
    EXPECT_EQ("-1.2", f.text(f.get(3, "Real")));
    EXPECT_EQ(12, f.get(3, "Ok")->value);
    EXPECT_EQ(PDF_REFERENCE, pdf_dict_get(pdf_object_at(&f.doc, 3), "Ref")->kind);
    EXPECT_EQ(1, f.get(3, "T")->value);
    EXPECT_EQ(0, f.get(3, "F")->value);
    EXPECT_EQ(nullptr, pdf_dict_get(pdf_object_at(&f.doc, 3), "W"));
}

TEST(PdfReader, DuplicateKeysLookUpTheFirst) {
    Loaded f(build_pdf({kCatalog, "<</Type/Pages/Kids[3 0 R]>>", "<</Type/Page/Rotate 90/Rotate 180>>"}));
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(90, f.get(3, "Rotate")->value);
}

TEST(PdfReader, StreamLengths) {
    const std::string data = "0123456789endstream-inside";
    std::string s = "%PDF-1.4\n1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n"
                    "2 0 obj<</Type/Pages/Kids[3 0 R]>>endobj\n3 0 obj<</Type/Page>>endobj\n"
                    "9 0 obj 26 endobj\n"
                    "5 0 obj<</Length 9 0 R>>stream\n" + data + "\nendstream endobj\n"
                    "6 0 obj<</Length 10 0 R>>stream\r\nabc\r\nendstream endobj\n"
                    "7 0 obj<</Length 2>>stream\nabcdef\nendstream endobj\n"
                    "10 0 obj 3 endobj\n";
    Loaded f(s);
    ASSERT_TRUE(f.ok);
    const PdfObject* defined_before = pdf_object_at(&f.doc, 5);
    ASSERT_EQ(PDF_STREAM, defined_before->kind);
    EXPECT_EQ(data, std::string(reinterpret_cast<const char*>(defined_before->data), defined_before->data_length));
    const PdfObject* defined_after = pdf_object_at(&f.doc, 6);
    EXPECT_EQ("abc", std::string(reinterpret_cast<const char*>(defined_after->data), defined_after->data_length));
    const PdfObject* wrong = pdf_object_at(&f.doc, 7);
    EXPECT_EQ("abcdef", std::string(reinterpret_cast<const char*>(wrong->data), wrong->data_length));
}

TEST(PdfReader, UnterminatedDictionaryStopsAtEndobj) {
    Loaded f("1 0 obj<</Type/Catalog/Pages 2 0 R endobj\n2 0 obj<</Type/Pages/Kids[3 0 R]>>endobj\n"
             "3 0 obj<</Type/Page/X (unbalanced>>endobj\n4 0 obj [1 2 endobj 5 0 obj 7 endobj");
    // An unterminated string runs to the end of the data and takes the later objects with it.
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(nullptr, pdf_object_at(&f.doc, 5));
    Loaded g("1 0 obj<</Type/Catalog/Pages 2 0 R endobj\n2 0 obj<</Type/Pages/Kids[3 0 R]>>endobj\n"
             "3 0 obj<</Type/Page/X ) ] } /Y 4>>endobj 4 0 obj [1 2 endobj 5 0 obj 7 endobj");
    ASSERT_TRUE(g.ok);
    EXPECT_EQ(4, g.get(3, "Y")->value);
    EXPECT_EQ(2, pdf_object_at(&g.doc, 4)->count);
    EXPECT_EQ(7, pdf_object_at(&g.doc, 5)->value);
}

TEST(PdfReader, DeepNestingIsSkippedNotRecursed) {
    std::string deep(300, '[');
    deep += std::string(300, ']');
    std::string very_deep(100000, '[');
    Loaded f(build_pdf({kCatalog, "<</Type/Pages/Kids[3 0 R]>>", "<</Type/Page/A " + deep + "/B 5>>",
                        very_deep + " endobj 5 0 obj 9"}));
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(5, f.get(3, "B")->value);
    const PdfObject* a = f.get(3, "A");
    int depth = 0;
    while (a && a->kind == PDF_ARRAY && a->count == 1) {
        a = a->items[0];
        ++depth;
    }
    EXPECT_EQ(PDF_MAX_NESTING, depth);  // levels beyond the limit became one skipped (null) value
    EXPECT_EQ(9, pdf_object_at(&f.doc, 5)->value);
}

TEST(PdfReader, ObjectStreamsAreUnpacked) {
    const std::string two = "<</Type/Pages/Kids[3 0 R 4 0 R]>> ";
    const std::string three = "<</Type/Page>> ";
    const std::string header = "2 0 3 " + std::to_string(two.size()) + " 4 " + std::to_string(two.size() + three.size()) + " ";
    const std::string body = header + two + three + "<</Type/Page/Rotate 270>>";
    std::string s = "%PDF-1.5\n1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n5 0 obj" +
                    stream_body("/Type/ObjStm/N 3/First " + std::to_string(header.size()) + "/Filter[/FlateDecode]",
                                deflate(body)) +
                    " endobj\n6 0 obj<</Type/XRef/Root 1 0 R/Size 7>>stream\nendstream endobj\n";
    Loaded f(s);
    ASSERT_TRUE(f.ok) << f.doc.error_id;
    ASSERT_EQ(2, f.pages.count);
    EXPECT_EQ(270, f.get(4, "Rotate")->value);
}

TEST(PdfReader, ObjectStreamBombIsSkipped) {
    // 65 MiB of spaces before the objects: inflating it passes the 64 MiB cap.
    const std::string header = "2 0 3 34 ";
    std::string body = header + "<</Type/Pages/Kids[3 0 R]>>       <</Type/Page>>";
    body.append((size_t)65 << 20, ' ');
    std::string s = "1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n5 0 obj" +
                    stream_body("/Type/ObjStm/N 2/First " + std::to_string(header.size()) + "/Filter/FlateDecode",
                                deflate(body)) + " endobj";
    Loaded f(s);
    EXPECT_FALSE(f.ok);
    EXPECT_EQ(PDF_ERROR_UNREADABLE, f.doc.error_id);
    EXPECT_EQ(nullptr, pdf_object_at(&f.doc, 2));
}

TEST(PdfReader, ObjectStreamPairsOutsideTheDataAreIgnored) {
    const std::string header = "2 0 3 99999999999 3 27 ";
    const std::string body = header + "<</Type/Pages/Kids[3 0 R]>><</Type/Page>>";
    std::string s = "1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n5 0 obj" +
                    stream_body("/Type/ObjStm/N 99999999999999999999/First " + std::to_string(header.size()), body) +
                    " endobj";
    Loaded f(s);
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(1, f.pages.count);
}

TEST(PdfReader, ObjectStreamOffsetSharedByPairsDefinesOnlyTheFirst) {
    const std::string header = "2 0 7 0 3 27 8 27 9 27 ";
    const std::string body = header + "<</Type/Pages/Kids[3 0 R]>><</Type/Page>>";
    std::string s = "1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n8 0 obj 42 endobj\n5 0 obj" +
                    stream_body("/Type/ObjStm/N 5/First " + std::to_string(header.size()), body) + " endobj";
    Loaded f(s);
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(nullptr, pdf_object_at(&f.doc, 7));
    EXPECT_EQ(nullptr, pdf_object_at(&f.doc, 9));
    EXPECT_EQ(42, pdf_object_at(&f.doc, 8)->value);  // not replaced by a shared value
    EXPECT_EQ(pdf_object_at(&f.doc, 3), f.pages.pages[0].dictionary);
}

TEST(PdfReader, TruncatedFilesLoadOrFailCleanly) {
    const std::string whole = pdftest::text_pdf(6);
    for (size_t cut = 0; cut < whole.size(); cut += 7) {
        Loaded f(whole.substr(0, cut));
        if (!f.ok) {
            EXPECT_EQ(PDF_ERROR_UNREADABLE, f.doc.error_id);
        }
    }
}

TEST(PdfReader, UnreadableFileGivesTheReaderMessage) {
    PdfDocument doc = {};
    PdfPageList pages = {};
    EXPECT_FALSE(pdf_read_document(L"no_such_file_anywhere.pdf", &doc, &pages));
    EXPECT_EQ(PDF_ERROR_UNREADABLE, doc.error_id);
    pdf_page_list_free(&pages);
    pdf_document_free(&doc);
}

namespace {
// One page whose resources hold a font and an array of `items` numbers.
std::string page_with_big_resources(int items) {
    std::string big = "[";
    for (int i = 0; i < items; ++i) big += std::to_string(i) + " ";
    big += "]";
    return build_pdf({kCatalog, "<</Type/Pages/Kids[3 0 R]>>",
                      "<</Type/Page/Resources<</Font<</F1 4 0 R>>/Big " + big + ">>>>",
                      "<</Type/Font/Subtype/Type1/BaseFont/Helvetica>>"});
}

bool load_limited(const std::string& bytes, const PdfReaderLimits& limits, int* error_id) {
    PdfDocument doc = {};
    PdfPageList pages = {};
    const bool ok = pdf_read_memory_limited(bytes.data(), bytes.size(), &limits, &doc, &pages);
    *error_id = doc.error_id;
    pdf_page_list_free(&pages);
    pdf_document_free(&doc);
    return ok;
}
}

// Objects the arena has no room for would be nulls: a blank page or a lost font in what
// merge and split write. The load fails instead.
TEST(PdfReader, ArenaCapFailsTheLoad) {
    const std::string bytes = page_with_big_resources(40000);
    PdfReaderLimits limits = pdf_reader_default_limits();
    int error_id = 0;
    EXPECT_TRUE(load_limited(bytes, limits, &error_id));
    limits.arena = 1 << 20;   // 40000 numbers take about 2.5 MB of objects
    EXPECT_FALSE(load_limited(bytes, limits, &error_id));
    EXPECT_EQ(PDF_ERROR_UNREADABLE, error_id);
}

TEST(PdfReader, DocumentInflateBudgetFailsTheLoad) {
    // Two object streams: the page tree in the first, the page's font in the second.
    const std::string h1 = "2 0 3 27 ";
    const std::string b1 = h1 + "<</Type/Pages/Kids[3 0 R]>><</Type/Page/Resources<</Font<</F1 4 0 R>>>>>>";
    const std::string h2 = "4 0 ";
    const std::string b2 = h2 + "<</Type/Font/Subtype/Type1/BaseFont/Helvetica>>" + std::string(4000, ' ');
    const std::string s = "%PDF-1.5\n1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n5 0 obj" +
                          stream_body("/Type/ObjStm/N 2/First " + std::to_string(h1.size()) + "/Filter/FlateDecode",
                                      deflate(b1)) +
                          " endobj\n6 0 obj" +
                          stream_body("/Type/ObjStm/N 1/First " + std::to_string(h2.size()) + "/Filter/FlateDecode",
                                      deflate(b2)) +
                          " endobj\ntrailer<</Root 1 0 R>>\n";
    PdfReaderLimits limits = pdf_reader_default_limits();
    int error_id = 0;
    EXPECT_TRUE(load_limited(s, limits, &error_id));
    limits.document_inflate = (int64_t)b1.size() + 1000;   // room for the first stream only
    EXPECT_FALSE(load_limited(s, limits, &error_id));
    EXPECT_EQ(PDF_ERROR_UNREADABLE, error_id);
}

TEST(PdfReader, VersionIsTheHeaderOrTheLaterCatalogVersion) {
    Loaded plain(pdftest::text_pdf(1));   // %PDF-1.4
    ASSERT_TRUE(plain.ok);
    EXPECT_EQ(14, plain.doc.version);
    Loaded declared(build_pdf({"<</Type/Catalog/Pages 2 0 R/Version/1.7>>", "<</Type/Pages/Kids[3 0 R]>>",
                               "<</Type/Page>>"}));
    ASSERT_TRUE(declared.ok);
    EXPECT_EQ(17, declared.doc.version);
    Loaded older(build_pdf({"<</Type/Catalog/Pages 2 0 R/Version/1.2>>", "<</Type/Pages/Kids[3 0 R]>>",
                            "<</Type/Page>>"}));
    ASSERT_TRUE(older.ok);
    EXPECT_EQ(14, older.doc.version);
}
