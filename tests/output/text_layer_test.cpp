// tests/output/text_layer_test.cpp
// Glyph numbering, display order of Arabic with digits, the text operators and the
// ToUnicode map.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/text_layer.h"

static std::string block_for(OcrResult* words, GlyphList* glyphs, int dpi = 300, double height_pt = 841.92) {
    PageImage page = {};
    page.width = 2480;
    page.height = 3508;
    page.bits_per_pixel = 8;
    page.dpi = dpi;
    ByteBuffer b = {};
    EXPECT_TRUE(text_layer_append_block(&b, &page, height_pt, words, glyphs));
    std::string s(b.data ? (const char*)b.data : "", (size_t)b.length);
    release(&b);
    return s;
}

static std::vector<uint32_t> units(const wchar_t* text) {
    std::vector<uint32_t> v;
    for (int k = 0; text[k]; ++k) v.push_back((uint16_t)text[k]);
    return v;
}

TEST(GlyphList, InvoiceGetsIdsInOrderOfFirstUse) {
    OcrResult r = {};
    ocr_result_add(&r, L"Invoice", 7, 100, 100, 100, 40);
    ocr_result_add(&r, L"to", 2, 300, 100, 50, 40);
    GlyphList g = {};
    const std::string text = block_for(&r, &g);
    // I n v o i c e -> 1 2 3 4 5 6 7; "to": t is new (8), o is 4 again.
    EXPECT_NE(text.find("<0001000200030004000500060007> Tj\n"), std::string::npos) << text;
    EXPECT_NE(text.find("<00080004> Tj\n"), std::string::npos) << text;
    EXPECT_EQ(g.count, 8);
    glyph_list_release(&g);
    ocr_result_release(&r);
}

TEST(GlyphList, FullListGivesGlyphOne) {
    GlyphList g = {};
    for (int k = 0; k < GLYPH_LIST_MAX; ++k) ASSERT_EQ(glyph_list_id(&g, (uint16_t)(k + 1)), k + 1);
    EXPECT_EQ(glyph_list_id(&g, 0xFFF0), 1);
    EXPECT_EQ(glyph_list_id(&g, 500), 500);
    EXPECT_EQ(g.count, GLYPH_LIST_MAX);
    glyph_list_release(&g);
}

TEST(VisualOrder, LatinUnchangedArabicReversedDigitsKeptInOrder) {
    uint32_t out[TEXT_LAYER_MAX_WORD];
    int n = text_layer_visual_order(L"Invoice", 7, out);
    EXPECT_EQ(std::vector<uint32_t>(out, out + n), units(L"Invoice"));
    // alef, lam, meem + "2024": the letters reversed, the number keeps 2 0 2 4.
    n = text_layer_visual_order(L"\x0627\x0644\x0645" L"2024", 7, out);
    EXPECT_EQ(std::vector<uint32_t>(out, out + n), units(L"2024\x0645\x0644\x0627"));
    n = text_layer_visual_order(L"\x0628 AB-12", 7, out);
    EXPECT_EQ(std::vector<uint32_t>(out, out + n), units(L"12-AB \x0628"));
}

TEST(VisualOrder, LongWordsAreCutAt512Units) {
    std::vector<wchar_t> word(600, L'a');
    uint32_t out[TEXT_LAYER_MAX_WORD];
    EXPECT_EQ(text_layer_visual_order(word.data(), 600, out), 512);
}

// U+1D400 (mathematical bold capital A) is the surrogate pair D835 DC00; U+1F600 is D83D DE00.
TEST(VisualOrder, SurrogatePairsAreOneCharacterAndStayWholeInRightToLeftWords) {
    uint32_t out[TEXT_LAYER_MAX_WORD];
    int n = text_layer_visual_order(L"x\xD835\xDC00" L"y", 4, out);
    EXPECT_EQ(std::vector<uint32_t>(out, out + n), (std::vector<uint32_t>{'x', 0x1D400, 'y'}));
    // alef, an emoji, beh: reversed as three characters, the pair not torn apart.
    n = text_layer_visual_order(L"\x0627\xD83D\xDE00\x0628", 4, out);
    EXPECT_EQ(std::vector<uint32_t>(out, out + n), (std::vector<uint32_t>{0x0628, 0x1F600, 0x0627}));
    // An unpaired surrogate stands for itself.
    n = text_layer_visual_order(L"\xDC00" L"a", 2, out);
    EXPECT_EQ(std::vector<uint32_t>(out, out + n), (std::vector<uint32_t>{0xDC00, 'a'}));
    // The cut at 512 units leaves out a pair it would split.
    std::vector<wchar_t> word(600, L'a');
    word[511] = 0xD835;
    word[512] = 0xDC00;
    EXPECT_EQ(text_layer_visual_order(word.data(), 600, out), 511);
}

TEST(TextBlock, SurrogatePairIsOneGlyphWithItsPairInTheToUnicodeMap) {
    OcrResult r = {};
    ocr_result_add(&r, L"\x0627\xD83D\xDE00", 3, 300, 1000, 100, 40);
    GlyphList g = {};
    const std::string text = block_for(&r, &g);
    // Two characters: the width is spread over two glyphs, 24 / (2 x 0.5 x 8.16) x 100.
    EXPECT_NE(text.find("/F1 8.16 Tf 294.1176 Tz"), std::string::npos) << text;
    // Right to left: the emoji comes first and so gets glyph 1.
    EXPECT_NE(text.find("<00010002> Tj"), std::string::npos) << text;
    ASSERT_EQ(g.count, 2);
    ByteBuffer b = {};
    ASSERT_TRUE(text_layer_to_unicode(&g, &b));
    const std::string map((const char*)b.data, (size_t)b.length);
    EXPECT_NE(map.find("2 beginbfchar\n<0001> <D83DDE00>\n<0002> <0627>\nendbfchar\n"), std::string::npos) << map;
    release(&b);
    glyph_list_release(&g);
    ocr_result_release(&r);
}

TEST(SubsetTag, SixCapitalsThatFollowTheGlyphList) {
    GlyphList a = {}, b = {}, c = {};
    for (uint32_t ch : {'I', 'n', 'v'}) {
        glyph_list_id(&a, ch);
        glyph_list_id(&b, ch);
    }
    glyph_list_id(&c, 'Q');
    char ta[7], tb[7], tc[7];
    text_layer_subset_tag(&a, ta);
    text_layer_subset_tag(&b, tb);
    text_layer_subset_tag(&c, tc);
    EXPECT_EQ(std::string(ta), std::string(tb));
    EXPECT_NE(std::string(ta), std::string(tc));
    for (const char* t : {ta, tc}) {
        ASSERT_EQ(std::string(t).size(), 6u);
        for (int i = 0; i < 6; ++i) EXPECT_TRUE(t[i] >= 'A' && t[i] <= 'Z') << t;
    }
    glyph_list_release(&a);
    glyph_list_release(&b);
    glyph_list_release(&c);
}

TEST(TextBlock, SizeScalingAndPositionOfOneWord) {
    // 100 x 40 px at 300 dpi, 5 letters: size 8.16, scaling 117.6471.
    OcrResult r = {};
    ocr_result_add(&r, L"Hello", 5, 300, 1000, 100, 40);
    GlyphList g = {};
    const std::string text = block_for(&r, &g);
    // x = 72, y = 841.92 - 1040 * 0.24 + 0.2 * 9.6 = 594.24
    EXPECT_EQ(text, "BT 3 Tr\n/F1 8.16 Tf 117.6471 Tz 1 0 0 1 72 594.24 Tm <00010002000300030004> Tj\nET\n");
    glyph_list_release(&g);
    ocr_result_release(&r);
}

TEST(TextBlock, EmptyWordsAndBoxesAreSkippedScalingIsLimited) {
    OcrResult r = {};
    ocr_result_add(&r, L"", 0, 0, 0, 10, 10);
    ocr_result_add(&r, L"x", 1, 0, 0, 0, 10);
    ocr_result_add(&r, L"y", 1, 0, 0, 10, -1);
    ocr_result_add(&r, L"wide", 4, 0, 0, 100000, 1);   // tiny height: size 1, scaling capped
    ocr_result_add(&r, L"narrow", 6, 0, 0, 0.001f, 400);
    GlyphList g = {};
    const std::string text = block_for(&r, &g);
    EXPECT_NE(text.find("/F1 1 Tf 2000 Tz"), std::string::npos) << text;
    EXPECT_NE(text.find(" Tf 1 Tz"), std::string::npos) << text;
    EXPECT_EQ(text.find("<0001> Tj"), std::string::npos) << text;   // x and y never placed
    EXPECT_EQ(g.count, 8);   // w i d e n a r o
    glyph_list_release(&g);
    ocr_result_release(&r);
}

TEST(ToUnicode, BlocksOfAtMost100Entries) {
    GlyphList g = {};
    for (int k = 0; k < 150; ++k) glyph_list_id(&g, (uint16_t)(0x0600 + k));
    ByteBuffer b = {};
    ASSERT_TRUE(text_layer_to_unicode(&g, &b));
    const std::string map((const char*)b.data, (size_t)b.length);
    const std::string head =
        "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n/CIDSystemInfo<</Registry(Adobe)"
        "/Ordering(UCS)/Supplement 0>> def\n/CMapName/Adobe-Identity-UCS def\n/CMapType 2 def\n"
        "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    EXPECT_EQ(map.substr(0, head.size()), head);
    const size_t first = map.find("100 beginbfchar\n<0001> <0600>\n<0002> <0601>\n");
    EXPECT_EQ(first, head.size());
    EXPECT_NE(map.find("<0064> <0663>\nendbfchar\n50 beginbfchar\n<0065> <0664>\n"), std::string::npos);
    const std::string tail = "<0096> <0695>\nendbfchar\nendcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    EXPECT_EQ(map.substr(map.size() - tail.size()), tail);
    release(&b);
    glyph_list_release(&g);
}
