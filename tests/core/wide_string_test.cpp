#include "core/wide_string.h"

#include <gtest/gtest.h>

#include <climits>

#include "core/heap.h"
#include "tests/test_text.h"

TEST(WideString, EmptyAssignAllocatesFirstBlockAndTerminates) {
    WideString s = {};
    EXPECT_STREQ("", utf8(s).c_str());
    ASSERT_TRUE(append(&s, L""));
    ASSERT_NE(nullptr, s.data);
    EXPECT_EQ(16, s.capacity);
    EXPECT_EQ(0, s.length);
    EXPECT_EQ(0, s.data[0]);
    release(&s);
    ASSERT_TRUE(assign(&s, L"", 0));
    EXPECT_EQ(16, s.capacity);
    release(&s);
}

TEST(WideString, AssignFromOwnTailIsSafe) {
    WideString s = wide_copy(L"hello world, this string is longer than sixteen");
    ASSERT_TRUE(assign(&s, s.data + 6));
    EXPECT_EQ("world, this string is longer than sixteen", utf8(s));
    // Appending itself forces a reallocation while the source is the old block.
    ASSERT_TRUE(append(&s, s.data, s.length));
    EXPECT_EQ("world, this string is longer than sixteenworld, this string is longer than sixteen", utf8(s));
    EXPECT_LT(s.length, s.capacity);
    release(&s);
}

TEST(WideString, GrowthDoublesAndKeepsTerminator) {
    WideString s = {};
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(append_char(&s, (wchar_t)(L'a' + i % 26)));
    EXPECT_EQ(100, s.length);
    EXPECT_EQ(128, s.capacity);
    EXPECT_EQ(0, s.data[100]);
    ASSERT_TRUE(reserve(&s, 500));
    EXPECT_EQ(501, s.capacity);  // doubling (256) is not enough: raised to n + 1
    release(&s);
}

TEST(WideString, ImpossibleSizesFailAndKeepTheOldText) {
    WideString s = wide_copy(L"keep");
    EXPECT_FALSE(reserve(&s, INT_MAX));
    EXPECT_FALSE(reserve(&s, -1));
    EXPECT_EQ("keep", utf8(s));
    EXPECT_FALSE(append(&s, L"x", INT_MAX - 2));
    EXPECT_EQ("keep", utf8(s));
    release(&s);
}

TEST(WideString, AppendNullChangesNothingAndAssignNullEmpties) {
    WideString s = wide_copy(L"abc");
    ASSERT_TRUE(append(&s, nullptr));
    EXPECT_EQ("abc", utf8(s));
    ASSERT_TRUE(assign(&s, nullptr));
    EXPECT_EQ(0, s.length);
    EXPECT_EQ("", utf8(s));
    release(&s);
}

TEST(WideString, FormatAndAppendInt) {
    WideString s = {};
    ASSERT_TRUE(format(&s, L"%s=%d [%04x] %u%%", L"key", -42, 0x1ab, 7u));
    EXPECT_EQ("key=-42 [01ab] 7%", utf8(s));
    ASSERT_TRUE(append_int(&s, INT_MIN));
    EXPECT_EQ("key=-42 [01ab] 7%-2147483648", utf8(s));
    release(&s);
}

TEST(WideString, FormatCutsLongResultsAtTheFormatterLimit) {
    std::u16string big(3000, u'x');
    WideString s = {};
    ASSERT_TRUE(format(&s, L"%s%s", reinterpret_cast<const wchar_t*>(big.c_str()), L"tail"));
    EXPECT_EQ(1023, s.length);
    EXPECT_EQ(0, s.data[1023]);
    EXPECT_EQ(L'x', s.data[1022]);
    release(&s);
}

TEST(ByteBuffer, GrowthAppendsAndInt64) {
    ByteBuffer b = {};
    ASSERT_TRUE(append_text(&b, "PDF"));
    EXPECT_EQ(256, b.capacity);
    EXPECT_EQ(0, b.data[b.length]);
    ASSERT_TRUE(append_int64(&b, INT64_MIN));
    ASSERT_TRUE(append_int64(&b, 0));
    ASSERT_TRUE(append_int64(&b, 9007199254740993LL));
    EXPECT_EQ(std::string("PDF-922337203685477580809007199254740993"),
              std::string(reinterpret_cast<char*>(b.data), (size_t)b.length));
    EXPECT_TRUE(append_bytes(&b, "x", 0));
    EXPECT_TRUE(append_bytes(&b, "x", -5));
    EXPECT_EQ(40, b.length);
    release(&b);
}

TEST(ByteBuffer, AppendOwnContentAcrossReallocation) {
    ByteBuffer b = {};
    std::string chunk(200, 'q');
    ASSERT_TRUE(append_bytes(&b, chunk.data(), (int)chunk.size()));
    ASSERT_TRUE(append_bytes(&b, b.data, b.length));  // 400 bytes: grows past 256
    EXPECT_EQ(400, b.length);
    for (int i = 0; i < b.length; ++i) ASSERT_EQ('q', b.data[i]);
    release(&b);
}

TEST(ByteBuffer, ImpossibleSizeFailsAndKeepsContent) {
    ByteBuffer b = {};
    ASSERT_TRUE(append_text(&b, "abc"));
    EXPECT_FALSE(append_bytes(&b, "x", INT_MAX - 2));
    EXPECT_FALSE(reserve(&b, -3));
    EXPECT_EQ(3, b.length);
    EXPECT_EQ('a', b.data[0]);
    release(&b);
}

TEST(Heap, ZeroFilledBlocksAndCheckedArithmetic) {
    unsigned char* p = static_cast<unsigned char*>(mem_alloc(0));
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(0, p[0]);
    p = static_cast<unsigned char*>(mem_realloc(p, 4096));
    ASSERT_NE(nullptr, p);
    for (int i = 0; i < 4096; ++i) ASSERT_EQ(0, p[i]) << i;
    mem_free(p);
    mem_free(nullptr);
    EXPECT_EQ(nullptr, mem_alloc_array((size_t)-1 / 2, 4));
    size_t out = 0;
    EXPECT_FALSE(size_add((size_t)-1, 1, &out));
    EXPECT_FALSE(size_mul((size_t)1 << (sizeof(size_t) * 4), (size_t)1 << (sizeof(size_t) * 4), &out));
    EXPECT_TRUE(size_mul(0, (size_t)-1, &out));
    EXPECT_EQ(0u, out);
}
