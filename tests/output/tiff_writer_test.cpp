// tests/output/tiff_writer_test.cpp
// The TIFF writer: LZW round trips through an independent decoder written here from the
// TIFF 6.0 description (so a shared misreading of the code-width rule cannot hide), the
// directory chain of a multi-page file, and failures that leave the target alone. Group 4
// data is decoded by libtiff in tests/e2e/save_test.sh.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/file.h"
#include "output/tiff_writer.h"
#include "tests/test_temp_folder.h"
#include "tests/test_text.h"

// ---- an LZW decoder after TIFF 6.0 section 13

static bool lzw_decode(const ByteBuffer& data, std::vector<uint8_t>* out) {
    std::vector<std::vector<uint8_t>> table;
    auto reset = [&] {
        table.assign(258, {});
        for (int k = 0; k < 256; ++k) table[k] = {(uint8_t)k};
    };
    reset();
    int width = 9;
    int64_t bit = 0;
    const int64_t bits = (int64_t)data.length * 8;
    auto read = [&](int* code) {
        if (bit + width > bits) return false;
        int v = 0;
        for (int k = 0; k < width; ++k, ++bit) v = v << 1 | ((data.data[bit >> 3] >> (7 - (bit & 7))) & 1);
        *code = v;
        return true;
    };
    int code = 0, old = -1;
    while (read(&code)) {
        if (code == 257) return true;
        if (code == 256) {
            reset();
            width = 9;
            old = -1;
            continue;
        }
        std::vector<uint8_t> entry;
        if (code < (int)table.size()) {
            entry = table[code];
            if (old >= 0) {
                std::vector<uint8_t> added = table[old];
                added.push_back(entry[0]);
                table.push_back(added);
            }
        } else if (code == (int)table.size() && old >= 0) {
            entry = table[old];
            entry.push_back(table[old][0]);
            table.push_back(entry);
        } else {
            return false;
        }
        out->insert(out->end(), entry.begin(), entry.end());
        old = code;
        // The decoder widens one code early: when the next entry will be 511, 1023, 2047.
        if ((int)table.size() + 1 >= (1 << width) && width < 12) ++width;
    }
    return false;
}

static void round_trip(const std::vector<uint8_t>& input) {
    ByteBuffer packed = {};
    ASSERT_TRUE(tiff_lzw_encode(input.data(), (int64_t)input.size(), &packed));
    std::vector<uint8_t> back;
    ASSERT_TRUE(lzw_decode(packed, &back));
    EXPECT_EQ(back, input);
    release(&packed);
}

TEST(TiffLzw, RoundTripsAcrossEveryCodeWidthAndTableReset) {
    round_trip({});
    round_trip({42});
    round_trip(std::vector<uint8_t>(100000, 7));   // long runs: deep prefixes
    std::vector<uint8_t> noise(300000);
    uint32_t x = 12345;
    for (auto& b : noise) {
        x = x * 1103515245 + 12345;
        b = (uint8_t)(x >> 24);
    }
    round_trip(noise);   // many table resets
    std::vector<uint8_t> text(200000);
    for (size_t k = 0; k < text.size(); ++k) text[k] = (uint8_t)("scanned page text "[k % 18] + (k / 5000) % 3);
    round_trip(text);
}

TEST(TiffLzw, CompressesRepetitiveRows) {
    std::vector<uint8_t> white(2480 * 3, 255);
    ByteBuffer packed = {};
    ASSERT_TRUE(tiff_lzw_encode(white.data(), (int64_t)white.size(), &packed));
    EXPECT_LT(packed.length, 200);
    release(&packed);
}

// ---- the file

static PageImage* page(int width, int height, int bits, int dpi, uint8_t fill) {
    PageImage* p = page_image_new();
    EXPECT_TRUE(page_image_alloc(p, width, height, bits, dpi));
    for (int64_t k = 0; k < (int64_t)p->stride * height; ++k) p->pixels[k] = (uint8_t)(fill + k % 3);
    return p;
}

static std::string read_all(const wchar_t* path) {
    ByteBuffer b = {};
    std::string s;
    if (read_whole_file(path, &b)) s.assign((const char*)b.data, (size_t)b.length);
    release(&b);
    return s;
}

static uint32_t u16(const std::string& s, size_t at) {
    return (uint8_t)s[at] | (uint8_t)s[at + 1] << 8;
}

static uint32_t u32(const std::string& s, size_t at) {
    return u16(s, at) | u16(s, at + 2) << 16;
}

struct Directory {
    std::vector<uint32_t> tags;
    uint32_t width = 0, height = 0, compression = 0, photometric = 0, samples = 0;
    uint32_t strip_offset = 0, strip_bytes = 0, dpi = 0, page = 0, pages = 0;
};

// Walks the directory chain; fails the test on anything out of place.
static std::vector<Directory> directories(const std::string& file) {
    std::vector<Directory> list;
    EXPECT_EQ(file.substr(0, 4), std::string("II*\0", 4));
    uint32_t at = u32(file, 4);
    while (at != 0 && list.size() < 100) {
        EXPECT_EQ(at % 2, 0u);
        EXPECT_LE(at + 2u, file.size());
        Directory d;
        const uint32_t n = u16(file, at);
        for (uint32_t k = 0; k < n; ++k) {
            const size_t e = at + 2 + 12 * k;
            const uint32_t tag = u16(file, e), type = u16(file, e + 2), value = type == 3 ? u16(file, e + 8) : u32(file, e + 8);
            if (!d.tags.empty()) {
                EXPECT_GT(tag, d.tags.back());
            }
            d.tags.push_back(tag);
            if (tag == 256) d.width = value;
            if (tag == 257) d.height = value;
            if (tag == 259) d.compression = value;
            if (tag == 262) d.photometric = value;
            if (tag == 277) d.samples = value;
            if (tag == 273) d.strip_offset = value;
            if (tag == 279) d.strip_bytes = value;
            if (tag == 282) d.dpi = u32(file, u32(file, e + 8)) / u32(file, u32(file, e + 8) + 4);
            if (tag == 297) {
                d.page = u16(file, e + 8);
                d.pages = u16(file, e + 10);
            }
        }
        EXPECT_LE((size_t)d.strip_offset + d.strip_bytes, file.size());
        list.push_back(d);
        at = u32(file, at + 2 + 12 * n);
    }
    return list;
}

TEST(TiffWriter, OnePagePerDirectoryWithItsCompression) {
    TempFolder folder;
    WideString path = folder.file(L"pages.tif");
    PageImage* pages[3] = {page(200, 100, 1, 300, 0xF0), page(64, 48, 8, 150, 200), page(33, 21, 24, 96, 10)};
    TiffWriter w;
    WideString error = {};
    ASSERT_TRUE(tiff_writer_open(&w, text_of(path), 3, &error));
    for (PageImage* p : pages) ASSERT_TRUE(tiff_writer_add_page(&w, p, &error)) << utf8(error);
    ASSERT_TRUE(tiff_writer_finish(&w, &error));
    const std::string file = read_all(text_of(path));
    const std::vector<Directory> d = directories(file);
    ASSERT_EQ(d.size(), 3u);
    EXPECT_EQ(d[0].compression, 4u);   // group 4
    EXPECT_EQ(d[0].photometric, 0u);   // white is zero
    EXPECT_EQ(d[1].compression, 5u);   // LZW
    EXPECT_EQ(d[1].photometric, 1u);
    EXPECT_EQ(d[2].compression, 5u);
    EXPECT_EQ(d[2].photometric, 2u);
    EXPECT_EQ(d[2].samples, 3u);
    EXPECT_EQ(d[0].width, 200u);
    EXPECT_EQ(d[2].height, 21u);
    EXPECT_EQ(d[0].dpi, 300u);
    EXPECT_EQ(d[1].dpi, 150u);
    EXPECT_EQ(d[2].page, 2u);
    EXPECT_EQ(d[2].pages, 3u);

    // The grey strip decodes to the page's rows without their padding.
    ByteBuffer strip = {};
    append_bytes(&strip, file.data() + d[1].strip_offset, (int)d[1].strip_bytes);
    std::vector<uint8_t> rows;
    ASSERT_TRUE(lzw_decode(strip, &rows));
    ASSERT_EQ(rows.size(), 64u * 48u);
    EXPECT_EQ(rows[64 * 5 + 3], pages[1]->pixels[pages[1]->stride * 5 + 3]);
    // The colour strip is red, green, blue.
    strip.length = 0;
    append_bytes(&strip, file.data() + d[2].strip_offset, (int)d[2].strip_bytes);
    rows.clear();
    ASSERT_TRUE(lzw_decode(strip, &rows));
    ASSERT_EQ(rows.size(), 33u * 21u * 3u);
    const uint8_t* px = pages[2]->pixels + pages[2]->stride * 4 + 3 * 7;
    EXPECT_EQ(rows[(4 * 33 + 7) * 3], px[2]);
    EXPECT_EQ(rows[(4 * 33 + 7) * 3 + 2], px[0]);
    release(&strip);
    for (PageImage* p : pages) page_image_free(p);
    release(&error);
    release(&path);
}

TEST(TiffWriter, AnUnfinishedFileNeverReplacesTheTarget) {
    TempFolder folder;
    WideString path = folder.write(L"kept.tif", "earlier file");
    PageImage* p = page(16, 16, 8, 100, 0);
    TiffWriter w;
    WideString error = {};
    // Two pages announced, one written.
    ASSERT_TRUE(tiff_writer_open(&w, text_of(path), 2, &error));
    ASSERT_TRUE(tiff_writer_add_page(&w, p, &error));
    EXPECT_FALSE(tiff_writer_finish(&w, &error));
    EXPECT_EQ(read_all(text_of(path)), "earlier file");
    // A page that cannot be encoded.
    ASSERT_TRUE(tiff_writer_open(&w, text_of(path), 1, &error));
    PageImage empty = {};
    EXPECT_FALSE(tiff_writer_add_page(&w, &empty, &error));
    EXPECT_EQ(utf8(error), "image encode failed");
    tiff_writer_abandon(&w);
    EXPECT_EQ(read_all(text_of(path)), "earlier file");
    // Only the target remains in the folder: no part file.
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"kept.tif"});
    // A folder that cannot be created.
    WideString blocked = folder.file(L"kept.tif\\x.tif");
    EXPECT_FALSE(tiff_writer_open(&w, text_of(blocked), 1, &error));
    EXPECT_EQ(utf8(error).find("cannot create"), 0u);
    release(&blocked);
    page_image_free(p);
    release(&error);
    release(&path);
}
