// tests/scan/wia_scan_test.cpp
// One WIA scan against the stand-in device manager: the item choice and its fallback, the
// property writes with their values and order, pages as BMP (also with a gap before the
// rows), PNG and undecodable streams, streaming from the service's own thread, cancel,
// paper jam and empty feeder, refusals, and the release of each page's stream.
#include "scan/wia.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/log.h"
#include "app/strings.h"
#include "core/heap.h"
#include "image/codec.h"
#include "scan/twain_host.h"
#include "scan/twain_session.h"
#include "tests/test_temp_folder.h"
#include "tests/test_text.h"
#include "tools/wia_standin/wia_standin.h"

static std::vector<PageImage*> g_pages;
static std::vector<std::string> g_status;
static int g_cancel_after = -1;
static volatile LONG g_cancel = 0;

static LRESULT CALLBACK collector(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_SCAN_PAGE) {
        g_pages.push_back(reinterpret_cast<PageImage*>(lparam));
        if (g_cancel_after >= 0 && (int)g_pages.size() >= g_cancel_after) InterlockedExchange(&g_cancel, 1);
        return 0;
    }
    if (message == WM_SCAN_STATUS) {
        WideString* text = reinterpret_cast<WideString*>(lparam);
        g_status.push_back(utf8(*text));
        release(text);
        mem_free(text);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

static HRESULT standin(IWiaDevMgr2** manager) {
    return zan_wia_standin_create(reinterpret_cast<void**>(manager));
}

static std::string read_text(const wchar_t* path) {
    ByteBuffer b = {};
    read_whole_file(path, &b);
    std::string s(b.data ? reinterpret_cast<const char*>(b.data) : "", (size_t)b.length);
    release(&b);
    std::string out;
    for (char c : s) {
        if (c != '\r') out += c;
    }
    return out;
}

static std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Log lines without their time and thread prefix.
static std::vector<std::string> log_lines(const wchar_t* path) {
    std::vector<std::string> out;
    for (const std::string& line : lines_of(read_text(path))) {
        const size_t cut = line.find("] ");
        out.push_back(cut == std::string::npos ? line : line.substr(cut + 2));
    }
    return out;
}

static int count_of(const std::vector<std::string>& lines, const std::string& wanted) {
    int n = 0;
    for (const std::string& l : lines) n += l == wanted ? 1 : 0;
    return n;
}

// A grey PNG of width x height in folder; its path, or "" when it could not be written.
static std::string write_png(const TempFolder& folder, int width, int height) {
    PageImage* page = page_image_new();
    std::string path;
    ByteBuffer png = {};
    if (page_image_alloc(page, width, height, 24, 150)) {
        mem_fill(page->pixels, 0x99, (size_t)page->stride * (size_t)height);
        WideString file = folder.file(L"page.png");
        if (codec_encode_page(page, CODEC_FORMAT_PNG, 0, &png) && write_whole_file(text_of(file), png.data, png.length))
            path = utf8(file);
        release(&file);
    }
    release(&png);
    page_image_free(page);
    return path;
}

class WiaScan : public ::testing::Test {
protected:
    TempFolder folder;
    WideString script = {};
    WideString trace = {};
    WideString log = {};
    HWND window = nullptr;
    WideString text = {};

    void SetUp() override {
        set_interface_language(LANGUAGE_ENGLISH);
        codec_startup();
        script = folder.file(L"wia.ini");
        trace = folder.file(L"trace.txt");
        log = folder.file(L"scan.log");
        open_log(text_of(log));
        SetEnvironmentVariableW(L"ZAN_WIA_SCRIPT", text_of(script));
        wia_set_manager_factory(standin);
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = collector;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"ZanWiaTest";
        RegisterClassExW(&wc);
        window = CreateWindowExW(0, L"ZanWiaTest", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        g_cancel_after = -1;
        g_cancel = 0;
    }

    void TearDown() override {
        for (PageImage* p : g_pages) page_image_free(p);
        g_pages.clear();
        g_status.clear();
        DestroyWindow(window);
        wia_set_manager_factory(nullptr);
        release(&script);
        release(&trace);
        release(&log);
        release(&text);
    }

    // A one-device script: device lines after the manager's.
    void write_script(const std::string& device_lines) {
        std::string ini = "[Manager]\r\nTrace=" + utf8(trace) + "\r\nDevices=1\r\n[Device1]\r\nId=dev-1\r\n" +
                          device_lines;
        write_whole_file(text_of(script), ini.data(), (int)ini.size());
    }

    bool scan(int source, int paper, int dpi, int brightness = 0, int colour = 0) {
        ScanJob job = {};
        job.device.kind = DEVICE_KIND_WIA;
        assign(&job.device.wia_device_id, L"dev-1");
        job.settings.Source = source;
        job.settings.Paper = paper;
        job.settings.Dpi = dpi;
        job.settings.Brightness = brightness;
        job.settings.ColorMode = colour;
        job.settings.Threshold = 128;
        const bool ok = wia_scan(job, window, &text, &g_cancel);
        device_entry_release(&job.device);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        return ok;
    }

    std::vector<std::string> traced() { return lines_of(read_text(text_of(trace))); }
    std::vector<std::string> logged() { return log_lines(text_of(log)); }
};

TEST_F(WiaScan, LetterOnABedWritesTheBedHeightAndScalesBrightness) {
    write_script("Items=flatbed\r\nBedWidth=8500\r\nBedHeight=11690\r\nBrightnessRange=0,1000\r\n");
    ASSERT_TRUE(scan(0, 3, 300, 50));   // Legal is taller than the bed
    const std::vector<std::string> t = traced();
    EXPECT_EQ(count_of(t, "write flatbed 6151=2550 hr=0x00000000"), 1);
    EXPECT_EQ(count_of(t, "write flatbed 6152=3507 hr=0x00000000"), 1);
    EXPECT_EQ(count_of(t, "write flatbed 6154=750 hr=0x00000000"), 1);
    EXPECT_EQ(count_of(logged(), "  WIA BRIGHTNESS=750 (range 0..1000) hr=0x00000000"), 1);
    EXPECT_EQ(utf8(text), "");
    ASSERT_EQ(g_pages.size(), 1u);
}

TEST_F(WiaScan, WritesEveryPropertyInOrder) {
    write_script("Items=feeder\r\nFeedWidth=8500\r\nFeedHeight=14000\r\nBrightnessRange=-1000,1000\r\n"
                 "ContrastRange=0,100\r\nThresholdRange=0,255\r\n");
    ASSERT_TRUE(scan(2, 4, 200, -100, 2));   // two-sided, Letter, black and white
    std::vector<std::string> writes;
    for (const std::string& l : traced()) {
        if (l.rfind("write ", 0) == 0) writes.push_back(l);
    }
    const std::vector<std::string> expected = {
        "write feeder 3088=5 hr=0x00000000",    "write root 3096=0 hr=0x00000000",
        "write feeder 6147=200 hr=0x00000000",  "write feeder 6148=200 hr=0x00000000",
        "write feeder 6149=0 hr=0x00000000",    "write feeder 6150=0 hr=0x00000000",
        "write feeder 6151=1700 hr=0x00000000", "write feeder 6152=2200 hr=0x00000000",
        "write feeder 4103=0 hr=0x00000000",    "write feeder 4104=1 hr=0x00000000",
        "write feeder 6154=-1000 hr=0x00000000", "write feeder 6159=128 hr=0x00000000",
        "write feeder 4106=BMP hr=0x00000000"};
    // The item refuses PAGES (only the root knows it): that refusal comes first.
    ASSERT_EQ(writes.size(), expected.size() + 1);
    EXPECT_EQ(writes[1], "write feeder 3096=0 hr=0x80070057");
    writes.erase(writes.begin() + 1);
    EXPECT_EQ(writes, expected);
    EXPECT_EQ(count_of(logged(), "  WIA CONTRAST: no range, skipped"), 0);   // contrast 0 is not sent
}

TEST_F(WiaScan, BrightnessWithoutARangeIsSkipped) {
    write_script("Items=flatbed\r\n");
    ASSERT_TRUE(scan(0, 0, 150, 50));
    EXPECT_EQ(count_of(logged(), "  WIA BRIGHTNESS: no range, skipped"), 1);
    for (const std::string& l : traced()) EXPECT_EQ(l.find("write flatbed 6154="), std::string::npos) << l;
}

TEST_F(WiaScan, FlatbedOnlyDeviceAskedForTheFeederScansTheGlass) {
    write_script("Items=flatbed\r\nPages=bmp,bmp,bmp\r\n");
    ASSERT_TRUE(scan(1, 0, 150));
    EXPECT_EQ(count_of(logged(), "WIA: no feeder item, falling back to flatbed"), 1);
    EXPECT_EQ(count_of(logged(), "  WIA DOC_HANDLING_SELECT=2 hr=0x00000000"), 1);
    EXPECT_EQ(count_of(traced(), "write root 3088=2 hr=0x00000000"), 1);
    EXPECT_EQ(count_of(traced(), "download flatbed"), 1);
    EXPECT_EQ(g_pages.size(), 1u);   // the glass holds one page
}

TEST_F(WiaScan, BmpPngAndGarbageGiveTwoPagesAndOneDecodeFailure) {
    TempFolder pictures;
    const std::string png = write_png(pictures, 30, 20);
    ASSERT_FALSE(png.empty());
    write_script("Items=feeder\r\nThread=1\r\nPages=bmp,file:" + png + ",garbage\r\n");
    ASSERT_TRUE(scan(1, 0, 200));
    ASSERT_EQ(g_pages.size(), 2u);
    EXPECT_EQ(g_pages[0]->width, 40);
    EXPECT_EQ(g_pages[1]->width, 30);
    EXPECT_EQ(g_pages[1]->height, 20);
    const std::vector<std::string> l = logged();
    EXPECT_EQ(count_of(l, "WIA: could not decode a page stream (300 bytes)"), 1);
    EXPECT_EQ(count_of(l, "WIA Download hr=0x00000000 pages=2 streams=3"), 1);
    EXPECT_EQ(count_of(std::vector<std::string>(g_status.begin(), g_status.end()), "Scanning... page 2..."), 1);
}

TEST_F(WiaScan, EachStreamIsReleasedOnceDecoded) {
    write_script("Items=feeder\r\nPages=bmp,bmp,garbage,bmp\r\n");
    ASSERT_TRUE(scan(1, 0, 150));
    const std::vector<std::string> t = traced();
    for (int page = 1; page <= 4; ++page)
        EXPECT_EQ(count_of(t, "page " + std::to_string(page) + " released, 0 left"), 1) << page;
}

TEST_F(WiaScan, BmpRowsStartAtTheirOffset) {
    write_script("Items=flatbed\r\nPages=bmp-gap\r\nPageWidth=4\r\nPageHeight=2\r\n");
    ASSERT_TRUE(scan(0, 0, 150));
    ASSERT_EQ(g_pages.size(), 1u);
    const PageImage* p = g_pages[0];
    ASSERT_EQ(p->bits_per_pixel, 24);
    // Top row is the stand-in's last row (bottom-up file): green 255; blue climbs with x.
    EXPECT_EQ(p->pixels[0], 0);
    EXPECT_EQ(p->pixels[1], 255);
    EXPECT_EQ(p->pixels[2], 0x80);
    EXPECT_EQ(p->pixels[3 * 3], 255);
}

TEST_F(WiaScan, DeviceThatRefusesBmpStillDeliversPages) {
    TempFolder pictures;
    const std::string png = write_png(pictures, 12, 9);
    ASSERT_FALSE(png.empty());
    write_script("Items=flatbed\r\nFormats=png\r\nPages=file:" + png + "\r\n");
    ASSERT_TRUE(scan(0, 0, 150));
    EXPECT_EQ(count_of(logged(), "  (device may only deliver other formats; decoder falls back to GDI+)"), 1);
    ASSERT_EQ(g_pages.size(), 1u);
    EXPECT_EQ(g_pages[0]->width, 12);
}

TEST_F(WiaScan, CancelKeepsThePagesScanned) {
    // Cancel is pressed when the second page shows; the device hears it at its next
    // callback, after the page it was feeding: that page is kept too, none after it.
    write_script("Items=feeder\r\nPages=bmp,bmp,bmp,bmp,bmp\r\n");
    g_cancel_after = 2;
    EXPECT_TRUE(scan(1, 0, 150));
    EXPECT_EQ(utf8(text), "Scan cancelled.");
    EXPECT_EQ(g_pages.size(), 3u);
    EXPECT_EQ(count_of(traced(), "cancelled by the application after 3 pages"), 1);
}

TEST_F(WiaScan, ResultsWithoutPages) {
    write_script("Items=feeder\r\nResult=empty\r\n");
    EXPECT_FALSE(scan(1, 0, 150));
    EXPECT_EQ(utf8(text), "No paper in the ADF, or the device is not ready.");

    write_script("Items=feeder\r\nPages=\r\n");
    EXPECT_FALSE(scan(1, 0, 150));
    EXPECT_EQ(utf8(text), "WIA scan failed (0x80210001)");

    write_script("Items=flatbed\r\nCreateResult=0x80210006\r\n");
    EXPECT_FALSE(scan(0, 0, 150));
    EXPECT_EQ(utf8(text), "The device denied the request (busy or locked).");
    EXPECT_EQ(count_of(logged(), "WIA scan: CreateDevice failed 0x80210006"), 1);

    write_script("Items=flatbed\r\nNoTransfer=1\r\n");
    EXPECT_FALSE(scan(0, 0, 150));
    EXPECT_EQ(count_of(logged(), "WIA: IWiaTransfer not available 0x80004002"), 1);
    EXPECT_TRUE(g_pages.empty());
}

TEST_F(WiaScan, PaperJamAfterPagesKeepsThem) {
    write_script("Items=feeder\r\nPages=bmp,bmp,bmp\r\nResult=jam\r\nThread=1\r\n");
    EXPECT_TRUE(scan(1, 0, 150));
    EXPECT_EQ(g_pages.size(), 3u);
    EXPECT_EQ(count_of(logged(), "WIA transfer msg=1 hrError=0x80210002"), 1);
}

TEST_F(WiaScan, NoItemToScan) {
    write_script("Items=\r\n");
    EXPECT_FALSE(scan(0, 0, 150));
    EXPECT_EQ(utf8(text), "WIA scan failed");
    EXPECT_EQ(count_of(logged(), "WIA scan: no scan item found"), 1);
}

TEST_F(WiaScan, EnumerationFiltersByType) {
    // Types as the service reports them: STI type in the high word, driver subtype low.
    std::string ini = "[Manager]\r\nDevices=3\r\n[Device1]\r\nId=a\r\nName=Scanner A\r\nVendor=V\r\n"
                      "Description=D\r\nType=0x10000\r\n[Device2]\r\nId=b\r\nName=Camera B\r\nType=0x20001\r\n"
                      "[Device3]\r\nId=c\r\nName=Odd C\r\nTypeIsText=1\r\n";
    write_whole_file(text_of(script), ini.data(), (int)ini.size());
    DeviceList* list = device_list_new();
    EXPECT_EQ(wia_enumerate(false, list), 1);
    ASSERT_EQ(list->count, 1);
    EXPECT_EQ(utf8(list->entries[0].device_key), "WIA:a");
    EXPECT_EQ(utf8(list->entries[0].display_name), "Scanner A");
    EXPECT_EQ(utf8(list->entries[0].manufacturer), "V");
    EXPECT_EQ(utf8(list->entries[0].product_name), "D");
    EXPECT_EQ(utf8(list->entries[0].detail_label), "WIA type=1");
    EXPECT_EQ(list->entries[0].kind, DEVICE_KIND_WIA);
    EXPECT_EQ(list->wia_count, 1);
    device_list_free(list);
    EXPECT_EQ(count_of(logged(), "WIA device skipped (type 2): Camera B"), 1);
    EXPECT_EQ(count_of(logged(), "WIA device skipped (type 0): Odd C"), 1);   // unreadable type counts as 0

    list = device_list_new();
    EXPECT_EQ(wia_enumerate(true, list), 3);
    ASSERT_EQ(list->count, 3);
    EXPECT_EQ(list->entries[1].wia_device_type, 2u);
    EXPECT_EQ(utf8(list->entries[1].detail_label), "WIA type=2");
    EXPECT_EQ(list->entries[2].wia_device_type, 0u);
    device_list_free(list);
}
