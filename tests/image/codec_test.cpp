#include "image/codec.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core/file.h"
#include "core/zlib_buffer.h"
#include "tests/image/synthetic_page.h"

// Wine's GDI+ ignores the JPEG quality, writes 8-bit pages as palette PNGs and draws
// without anti-aliasing; tests of those three behaviours only mean something on Windows.
static bool running_under_wine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

class Codec : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(codec_startup()); }
    static void TearDownTestSuite() { codec_shutdown(); }
};

static std::vector<uint8_t> encode(const PageImage* page, int format, int quality) {
    ByteBuffer out = {};
    EXPECT_TRUE(codec_encode_page(page, format, quality, &out));
    std::vector<uint8_t> bytes(out.data, out.data + out.length);
    release(&out);
    return bytes;
}

// ---- hand-made files, so the decoder meets exactly the fields under test

static void png_chunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
    const uint32_t n = (uint32_t)data.size();
    for (int i = 3; i >= 0; --i) png.push_back((uint8_t)(n >> (8 * i)));
    const size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    const uint32_t crc = (uint32_t)crc32(0, png.data() + start, (uInt)(png.size() - start));
    for (int i = 3; i >= 0; --i) png.push_back((uint8_t)(crc >> (8 * i)));
}

// A 4 x 2 grey PNG, with a pHYs chunk when pels_per_metre > 0.
static std::vector<uint8_t> make_grey_png(uint32_t pels_per_metre) {
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    png_chunk(png, "IHDR", {0, 0, 0, 4, 0, 0, 0, 2, 8, 0, 0, 0, 0});
    if (pels_per_metre) {
        std::vector<uint8_t> phys(9, 0);
        for (int i = 0; i < 4; ++i) phys[3 - i] = phys[7 - i] = (uint8_t)(pels_per_metre >> (8 * i));
        phys[8] = 1;  // metres
        png_chunk(png, "pHYs", phys);
    }
    const uint8_t raw[] = {0, 0, 80, 160, 255, 0, 255, 255, 255, 255};
    ByteBuffer packed = {};
    EXPECT_TRUE(deflate_buffer(raw, sizeof raw, 6, &packed));
    png_chunk(png, "IDAT", std::vector<uint8_t>(packed.data, packed.data + packed.length));
    release(&packed);
    png_chunk(png, "IEND", {});
    return png;
}

// An uncompressed 16 x 2 black-and-white TIFF (white is zero), little-endian.
static std::vector<uint8_t> make_bilevel_tiff() {
    std::vector<uint8_t> t = {'I', 'I', 42, 0, 8, 0, 0, 0};
    struct Entry {
        uint16_t tag, type;
        uint32_t count, value;
    };
    const Entry entries[] = {
        {256, 3, 1, 16}, {257, 3, 1, 2},   {258, 3, 1, 1},  {259, 3, 1, 1},  {262, 3, 1, 0},
        {273, 4, 1, 0},  {277, 3, 1, 1},   {278, 3, 1, 2},  {279, 4, 1, 4},
    };
    const uint16_t n = sizeof entries / sizeof entries[0];
    const uint32_t data_at = 8 + 2 + n * 12 + 4;
    t.push_back((uint8_t)n);
    t.push_back(0);
    for (const Entry& e : entries) {
        const uint32_t value = e.tag == 273 ? data_at : e.value;
        const uint8_t bytes[12] = {(uint8_t)e.tag, (uint8_t)(e.tag >> 8), (uint8_t)e.type, 0,
                                   (uint8_t)e.count, 0, 0, 0,
                                   (uint8_t)value, (uint8_t)(value >> 8), (uint8_t)(value >> 16), (uint8_t)(value >> 24)};
        t.insert(t.end(), bytes, bytes + 12);
    }
    t.insert(t.end(), {0, 0, 0, 0});
    t.insert(t.end(), {0xFF, 0x00, 0x00, 0xFF});  // row 0: 8 black, 8 white; row 1: 8 white, 8 black
    return t;
}

static std::wstring temp_file(const wchar_t* name, const std::vector<uint8_t>& bytes) {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    std::wstring path = std::wstring(folder) + name;
    EXPECT_TRUE(write_whole_file(path.c_str(), bytes.data(), (int)bytes.size()));
    return path;
}

// ---- library and lookup

// The first JPEG of a scan worker and of a save worker can start the codec together.
TEST_F(Codec, StartupFromManyThreadsAtOnce) {
    for (int round = 0; round < 5; ++round) {
        codec_shutdown();
        std::atomic<int> ready{0};
        std::atomic<int> started{0};
        std::vector<std::thread> threads;
        for (int i = 0; i < 8; ++i)
            threads.emplace_back([&] {
                ++ready;
                while (ready.load() < 8) std::this_thread::yield();
                if (codec_startup()) ++started;
            });
        for (std::thread& t : threads) t.join();
        EXPECT_EQ(8, started.load());
        PageImage* page = make_plain_page(16, 16, 24, 90);
        EXPECT_FALSE(encode(page, CODEC_FORMAT_PNG, 0).empty());
        page_image_free(page);
    }
    // One stop ends what the concurrent starts began.
    codec_shutdown();
    GUID png = {};
    EXPECT_FALSE(codec_find_encoder(L"image/png", &png));
    EXPECT_TRUE(codec_startup());
}

TEST_F(Codec, StartupTwiceAndEncoderLookup) {
    EXPECT_TRUE(codec_startup());
    GUID jpeg = {}, png = {}, tiff = {}, none = {};
    EXPECT_TRUE(codec_find_encoder(L"image/jpeg", &jpeg));
    EXPECT_TRUE(codec_find_encoder(L"image/png", &png));
    EXPECT_TRUE(codec_find_encoder(L"image/tiff", &tiff));
    EXPECT_NE(0, memcmp(&jpeg, &png, sizeof(GUID)));
    EXPECT_FALSE(codec_find_encoder(L"IMAGE/JPEG", &none));
    EXPECT_FALSE(codec_find_encoder(L"image/jpe", &none));
    EXPECT_FALSE(codec_find_encoder(L"image/jpegx", &none));
}

// ---- encoding

TEST_F(Codec, ColourPngRoundTripsPixelsAndDpi) {
    PageImage* page = make_text_page(120, 90, 24);
    fill_rect(page, 10, 10, 5, 5, 77);
    page->dpi = 200;
    const std::vector<uint8_t> png = encode(page, CODEC_FORMAT_PNG, 0);
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(0x89, png[0]);
    PageImage* back = codec_decode_bytes(png.data(), png.size(), 123);
    ASSERT_NE(nullptr, back);
    EXPECT_EQ(24, back->bits_per_pixel);
    EXPECT_EQ(120, back->width);
    EXPECT_EQ(90, back->height);
    EXPECT_EQ(200, back->dpi);
    EXPECT_EQ(0, memcmp(page->pixels, back->pixels, (size_t)(page->stride * page->height)));
    page_image_free(page);
    page_image_free(back);
}

TEST_F(Codec, GreyAndBlackAndWhitePagesKeepTheirValues) {
    PageImage* grey = make_plain_page(16, 4, 8, 200);
    *pixel_at(grey, 3, 1) = 10;
    const std::vector<uint8_t> grey_png = encode(grey, CODEC_FORMAT_PNG, 0);
    PageImage* back = codec_decode_bytes(grey_png.data(), grey_png.size(), 300);
    ASSERT_NE(nullptr, back);
    EXPECT_EQ(10, pixel_at(back, 3, 1)[1]);
    EXPECT_EQ(200, pixel_at(back, 4, 1)[2]);
    page_image_free(back);

    PageImage* mono = page_image_threshold(grey, 128);
    const std::vector<uint8_t> png = encode(mono, CODEC_FORMAT_PNG, 0);
    ASSERT_GT(png.size(), 30u);
    EXPECT_EQ(1, png[24]);  // IHDR bit depth
    back = codec_decode_bytes(png.data(), png.size(), 300);
    ASSERT_NE(nullptr, back);
    EXPECT_EQ(0, pixel_at(back, 3, 1)[0]);
    EXPECT_EQ(255, pixel_at(back, 4, 1)[0]);
    page_image_free(back);
    page_image_free(grey);
    page_image_free(mono);
}

TEST_F(Codec, GreyPageBecomesGreyPng) {
    if (running_under_wine()) GTEST_SKIP() << "Wine's GDI+ writes 8-bit pages as palette PNGs";
    PageImage* grey = make_plain_page(16, 4, 8, 200);
    const std::vector<uint8_t> png = encode(grey, CODEC_FORMAT_PNG, 0);
    ASSERT_GT(png.size(), 30u);
    EXPECT_EQ(8, png[24]);  // bit depth
    EXPECT_EQ(0, png[25]);  // colour type grey
    page_image_free(grey);
}

TEST_F(Codec, JpegHonoursQuality) {
    if (running_under_wine()) GTEST_SKIP() << "Wine's GDI+ ignores the JPEG quality parameter";
    PageImage* page = make_text_page(400, 300, 24);
    EXPECT_GT(encode(page, CODEC_FORMAT_JPEG, 92).size(), encode(page, CODEC_FORMAT_JPEG, 65).size());
    page_image_free(page);
}

TEST_F(Codec, JpegIsWrittenAndPngIgnoresQuality) {
    PageImage* page = make_text_page(200, 150, 24);
    const std::vector<uint8_t> jpeg = encode(page, CODEC_FORMAT_JPEG, 80);
    ASSERT_GT(jpeg.size(), 2u);
    EXPECT_EQ(0xFF, jpeg[0]);
    EXPECT_EQ(0xD8, jpeg[1]);
    EXPECT_EQ(encode(page, 7, 10), encode(page, CODEC_FORMAT_PNG, 95));
    page_image_free(page);
}

TEST_F(Codec, EncodeAppendsAndFailureLeavesBufferAlone) {
    PageImage* page = make_plain_page(8, 8, 24, 9);
    ByteBuffer out = {};
    ASSERT_TRUE(append_text(&out, "head"));
    ASSERT_TRUE(codec_encode_page(page, CODEC_FORMAT_PNG, 0, &out));
    EXPECT_EQ(0, memcmp(out.data, "head\x89PNG", 8));
    const int length = out.length;
    EXPECT_FALSE(codec_encode_page(nullptr, CODEC_FORMAT_PNG, 0, &out));
    EXPECT_EQ(length, out.length);
    release(&out);
    page_image_free(page);
}

// ---- decoding

static std::vector<uint8_t> make_bmp(int32_t pels_per_metre) {
    DibFields s;
    s.width = 2;
    s.height = 1;
    s.pels_per_metre = pels_per_metre;
    s.rows = {1, 2, 3, 4, 5, 6, 0, 0};
    const std::vector<uint8_t> dib = build_dib(s);
    std::vector<uint8_t> bmp(14, 0);
    bmp[0] = 'B';
    bmp[1] = 'M';
    put32(bmp, 2, (uint32_t)(14 + dib.size()));
    put32(bmp, 10, 14 + 40);
    bmp.insert(bmp.end(), dib.begin(), dib.end());
    return bmp;
}

TEST_F(Codec, ResolutionStatedByTheFileIsKept) {
    // 2835 pixels per metre is 72 dpi.
    std::vector<uint8_t> png = make_grey_png(2835);
    PageImage* page = codec_decode_bytes(png.data(), png.size(), 300);
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(72, page->dpi);
    EXPECT_EQ(24, page->bits_per_pixel);
    EXPECT_EQ(80, pixel_at(page, 1, 0)[0]);
    EXPECT_EQ(160, pixel_at(page, 2, 0)[2]);
    page_image_free(page);

    const std::wstring path = temp_file(L"zan_codec_300.bmp", make_bmp(11811));
    page = codec_decode_file(path.c_str());
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(300, page->dpi);
    EXPECT_EQ(6, page->pixels[5]);
    page_image_free(page);
    delete_file(path.c_str());
}

TEST_F(Codec, MissingResolutionGivesTheDefault) {
    if (running_under_wine())
        GTEST_SKIP() << "Wine's GDI+ flags every decoded image as having a real resolution (96 dpi when the "
                        "file states none), so a missing resolution cannot be told from 96 dpi";
    // GDI+ says 96 for these; a stream gets the caller's value, a file 150.
    const std::vector<uint8_t> png = make_grey_png(0);
    PageImage* page = codec_decode_bytes(png.data(), png.size(), 240);
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(240, page->dpi);
    page_image_free(page);
    for (const std::vector<uint8_t>& bytes : {png, make_bmp(0)}) {
        const std::wstring path = temp_file(L"zan_codec_nodpi.img", bytes);
        page = codec_decode_file(path.c_str());
        ASSERT_NE(nullptr, page);
        EXPECT_EQ(150, page->dpi);
        page_image_free(page);
        delete_file(path.c_str());
    }
}

TEST_F(Codec, BilevelTiffDecodesToColourBlackAndWhite) {
    const std::vector<uint8_t> tiff = make_bilevel_tiff();
    const std::wstring path = temp_file(L"zan_codec_bilevel.tif", tiff);
    PageImage* page = codec_decode_file(path.c_str());
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(24, page->bits_per_pixel);
    EXPECT_EQ(16, page->width);
    EXPECT_EQ(0, pixel_at(page, 0, 0)[1]);
    EXPECT_EQ(255, pixel_at(page, 8, 0)[1]);
    EXPECT_EQ(255, pixel_at(page, 0, 1)[0]);
    EXPECT_EQ(0, pixel_at(page, 15, 1)[2]);
    page_image_free(page);
    delete_file(path.c_str());
}

TEST_F(Codec, UndecodableInputGivesNone) {
    const uint8_t garbage[] = "this is not a picture at all";
    EXPECT_EQ(nullptr, codec_decode_bytes(garbage, sizeof garbage, 300));
    std::vector<uint8_t> png = make_grey_png(0);
    png.resize(30);
    EXPECT_EQ(nullptr, codec_decode_bytes(png.data(), png.size(), 300));
    EXPECT_EQ(nullptr, codec_decode_file(L"Z:\\no\\such\\file.png"));
}

TEST_F(Codec, WrappedPageSharesPixels) {
    // The pixel functions of the codec's own library: a write through the bitmap must land
    // in the page, and a write to the page must be read through the bitmap.
    typedef int(WINAPI * SetPixelFn)(void*, int, int, unsigned);
    typedef int(WINAPI * GetPixelFn)(void*, int, int, unsigned*);
    HMODULE gdiplus = GetModuleHandleW(L"gdiplus.dll");
    ASSERT_NE(nullptr, gdiplus);
    const SetPixelFn set_pixel = reinterpret_cast<SetPixelFn>(reinterpret_cast<void*>(GetProcAddress(gdiplus, "GdipBitmapSetPixel")));
    const GetPixelFn get_pixel = reinterpret_cast<GetPixelFn>(reinterpret_cast<void*>(GetProcAddress(gdiplus, "GdipBitmapGetPixel")));
    ASSERT_TRUE(set_pixel && get_pixel);

    PageImage* colour = make_plain_page(8, 8, 24, 200);
    void* wrapped = codec_wrap_page(colour);
    ASSERT_NE(nullptr, wrapped);
    ASSERT_EQ(0, set_pixel(wrapped, 2, 3, 0xFF112233u));
    const uint8_t* p = colour->pixels + 3 * colour->stride + 2 * 3;
    EXPECT_EQ(0x33, p[0]);
    EXPECT_EQ(0x22, p[1]);
    EXPECT_EQ(0x11, p[2]);
    uint8_t* q = colour->pixels + 5 * colour->stride + 6 * 3;
    q[0] = 0x44;
    q[1] = 0x55;
    q[2] = 0x66;
    unsigned argb = 0;
    ASSERT_EQ(0, get_pixel(wrapped, 6, 5, &argb));
    EXPECT_EQ(0x665544u, argb & 0xFFFFFFu);
    codec_dispose(wrapped);
    page_image_free(colour);

    PageImage* page = make_plain_page(8, 8, 8, 1);
    void* bitmap = codec_wrap_page(page);
    EXPECT_NE(nullptr, bitmap);
    codec_dispose(bitmap);
    page->bits_per_pixel = 4;
    EXPECT_EQ(nullptr, codec_wrap_page(page));
    page->bits_per_pixel = 8;
    page_image_free(page);
}
