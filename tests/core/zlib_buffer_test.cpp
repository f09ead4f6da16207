#include "core/zlib_buffer.h"

#include <gtest/gtest.h>

#include <string>

static std::string pattern(size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s.push_back((char)('a' + (i * 7 + i / 13) % 26));
    return s;
}

TEST(Zlib, RoundTrip) {
    const std::string text = pattern(300000);
    ByteBuffer packed = {};
    ASSERT_TRUE(append_text(&packed, "prefix"));
    ASSERT_TRUE(deflate_buffer(text.data(), (int)text.size(), 6, &packed));
    EXPECT_EQ(0x78, packed.data[6]);  // zlib header, not raw deflate
    ByteBuffer out = {};
    ASSERT_TRUE(inflate_buffer(packed.data + 6, packed.length - 6, &out, 1 << 20));
    ASSERT_EQ(text.size(), (size_t)out.length);
    EXPECT_EQ(text, std::string(reinterpret_cast<char*>(out.data), (size_t)out.length));
    release(&packed);
    release(&out);
}

TEST(Zlib, TruncatedStreamGivesWhatItHas) {
    const std::string text = pattern(200000);
    ByteBuffer packed = {};
    ASSERT_TRUE(deflate_buffer(text.data(), (int)text.size(), 9, &packed));
    ByteBuffer out = {};
    EXPECT_TRUE(inflate_buffer(packed.data, packed.length / 2, &out, 1 << 20));
    EXPECT_GT(out.length, 0);
    EXPECT_LT(out.length, (int)text.size());
    EXPECT_EQ(text.substr(0, (size_t)out.length), std::string(reinterpret_cast<char*>(out.data), (size_t)out.length));
    release(&packed);
    release(&out);
}

TEST(Zlib, GarbageAndBombsFail) {
    ByteBuffer out = {};
    EXPECT_FALSE(inflate_buffer("not zlib at all", 15, &out, 1000));
    release(&out);
    const std::string zeros(5 << 20, '\0');
    ByteBuffer packed = {};
    ASSERT_TRUE(deflate_buffer(zeros.data(), (int)zeros.size(), 9, &packed));
    EXPECT_LT(packed.length, 10000);
    EXPECT_FALSE(inflate_buffer(packed.data, packed.length, &out, 1 << 20));
    EXPECT_LE(out.length, 1 << 20);
    release(&out);
    // Exactly at the limit is still whole.
    EXPECT_TRUE(inflate_buffer(packed.data, packed.length, &out, 5 << 20));
    EXPECT_EQ(5 << 20, out.length);
    release(&out);
    release(&packed);
}
