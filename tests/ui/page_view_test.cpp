// The preview and the page strip as real windows under a stand-in main window: mouse
// presses, drags, keys, the wheel and the scroll bar, in both reading directions, with
// the window busy or idle; what they draw is read back from the screen.
#include "ui/page_view.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/strings.h"
#include "ui/strip_geometry.h"
#include "ui/theme.h"
#include "tests/ui/ui_test_environment.h"

namespace {

class PageViewEnvironment : public UiEnvironment {
public:
    void SetUp() override {
        UiEnvironment::SetUp();
        ASSERT_TRUE(page_view_register(GetModuleHandleW(nullptr)));
    }
};
::testing::Environment* const g_env = ::testing::AddGlobalTestEnvironment(new PageViewEnvironment);

const COLORREF PAGE_COLOURS[] = {RGB(200, 30, 30), RGB(30, 160, 40), RGB(40, 60, 210), RGB(230, 180, 20)};

// A solid page whose width names it (pages 1, 2, 3... are 601, 602, 603... wide).
PageImage* make_page(int name, COLORREF colour) {
    PageImage* page = page_image_new();
    if (!page_image_alloc(page, 600 + name, 800, 24, 150)) {
        page_image_free(page);
        return nullptr;
    }
    for (int y = 0; y < page->height; ++y) {
        uint8_t* row = page->pixels + (size_t)y * page->stride;
        for (int x = 0; x < page->width; ++x) {
            row[3 * x] = GetBValue(colour);
            row[3 * x + 1] = GetGValue(colour);
            row[3 * x + 2] = GetRValue(colour);
        }
    }
    return page;
}

// What the main window gives the two windows: the page list, the busy state, and the
// delete command, which removes the selected page and refreshes as the real one does.
struct Host {
    PageList list = {};
    PageViewHost view = {};
    bool idle = true;
    int state_updates = 0;
    int deletes = 0;
};

bool host_is_idle(void* context) {
    return static_cast<Host*>(context)->idle;
}

void host_state_update(void* context) {
    static_cast<Host*>(context)->state_updates += 1;
}

void host_delete_selected(void* context) {
    Host* host = static_cast<Host*>(context);
    host->deletes += 1;
    page_list_delete(&host->list, host->list.selected);
    refresh_strip(true);
    refresh_preview();
    host->state_updates += 1;
}

LRESULT CALLBACK parent_proc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_ERASEBKGND) return 1;
    return DefWindowProcW(window, msg, wp, lp);
}

const int STRIP_W = 520;
const int STRIP_H = 150;
const int PREVIEW_H = 300;

class PageViewTest : public ::testing::Test {
protected:
    Host host;
    HWND parent = nullptr;
    HWND strip = nullptr;
    HWND preview = nullptr;

    void SetUp() override {
        set_interface_language(LANGUAGE_ENGLISH);
        PageStoreOptions options = {};
        options.release_thumbnail = page_view_release_thumbnail;
        ASSERT_TRUE(page_list_init(&host.list, &options));
        host.view = {&host.list, &host, host_is_idle, host_state_update, host_delete_selected};
        WNDCLASSW wc = {};
        wc.lpfnWndProc = parent_proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"PageViewTestParent";
        RegisterClassW(&wc);
    }

    void TearDown() override {
        if (parent) DestroyWindow(parent);
        page_list_free(&host.list);
        set_interface_language(LANGUAGE_ENGLISH);
    }

    // The windows in the given language, with `pages` pages and no selection.
    void open(int pages, int language = LANGUAGE_ENGLISH) {
        set_interface_language(language);
        for (int k = 1; k <= pages; ++k) {
            ASSERT_TRUE(page_list_append(&host.list, make_page(k, PAGE_COLOURS[(k - 1) % 4])));
            page_view_make_thumbnail(&host.list, k - 1);
        }
        // An Arabic main window is mirrored; the two views must not be.
        const DWORD layout = language == LANGUAGE_ARABIC ? WS_EX_LAYOUTRTL : 0;
        parent = CreateWindowExW(WS_EX_TOPMOST | layout, L"PageViewTestParent", L"strip", WS_POPUP | WS_VISIBLE, 0, 0, STRIP_W,
                                 PREVIEW_H + STRIP_H, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(parent, nullptr);
        preview = create_preview(parent, 1, &host.view);
        strip = create_strip(parent, 2, &host.view);
        ASSERT_NE(preview, nullptr);
        ASSERT_NE(strip, nullptr);
        MoveWindow(preview, 0, 0, STRIP_W, PREVIEW_H, TRUE);
        MoveWindow(strip, 0, PREVIEW_H, STRIP_W, STRIP_H, TRUE);
        refresh_strip(true);
        pump();
    }

    void pump() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        UpdateWindow(parent);
        RedrawWindow(parent, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    }

    StripShape shape() {
        RECT r;
        GetClientRect(strip, &r);
        StripShape s;
        s.m = strip_metrics_96();
        s.count = host.list.count;
        s.client_width = r.right;
        s.rtl = interface_language() == LANGUAGE_ARABIC;
        return s;
    }

    int offset() { return GetScrollPos(strip, SB_HORZ); }
    int client_height() {
        RECT r;
        GetClientRect(strip, &r);
        return r.bottom;
    }
    // The client x of a point inside cell index.
    int cell_point(int index) { return strip_cell_x(shape(), index) - offset() + 30; }

    void press(int x) { SendMessageW(strip, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 40)); }
    void move(int x) { SendMessageW(strip, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, 40)); }
    void release(int x) { SendMessageW(strip, WM_LBUTTONUP, 0, MAKELPARAM(x, 40)); }
    void key(WPARAM vk) { SendMessageW(strip, WM_KEYDOWN, vk, 0); }
    void drag(int from_x, int to_x) {
        press(from_x);
        move(from_x + (to_x > from_x ? 12 : -12));
        move(to_x);
        release(to_x);
    }

    // The page names in document order, e.g. "1 2 3".
    std::string order() {
        std::string text;
        for (int i = 0; i < host.list.count; ++i) {
            if (i) text += ' ';
            text += std::to_string(page_store_header(host.list.store, host.list.items[i]).width - 600);
        }
        return text;
    }

    COLORREF pixel(HWND window, int x, int y) {
        pump();
        HDC dc = GetDC(window);
        const COLORREF c = GetPixel(dc, x, y);
        ReleaseDC(window, dc);
        return c;
    }
};

TEST_F(PageViewTest, APressSelectsAPageAndASmallMoveDoesNotDrag) {
    open(3);
    EXPECT_EQ(host.list.selected, -1);
    const int x = cell_point(1);
    press(x);
    EXPECT_EQ(host.list.selected, 1);
    EXPECT_GE(host.state_updates, 1);
    EXPECT_EQ(GetCapture(), strip);
    move(x + 8);   // not more than 8: still a click
    release(x + 8);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(order(), "1 2 3");
    EXPECT_EQ(host.list.selected, 1);

    // The gap between two cells holds no page: the selection stays.
    const int gap = strip_cell_x(shape(), 1) + 92 + 4;
    press(gap);
    release(gap);
    EXPECT_EQ(host.list.selected, 1);
    EXPECT_EQ(GetFocus(), strip);
}

TEST_F(PageViewTest, DraggingTheFirstPagePastTheLastMakesItLastAndSelected) {
    open(3);
    const int end = strip_marker_x(shape(), 3) - 2;
    press(cell_point(0));
    move(cell_point(0) + 12);
    move(end);
    // The insertion bar stands after the last page while the button is down.
    EXPECT_EQ(pixel(strip, strip_marker_x(shape(), 3), client_height() / 2), COLOR_ACCENT);
    release(end);
    EXPECT_EQ(order(), "2 3 1");
    EXPECT_EQ(host.list.selected, 2);
    EXPECT_NE(pixel(strip, strip_marker_x(shape(), 3), client_height() / 2), COLOR_ACCENT);

    // Back to the front.
    drag(cell_point(2), strip_marker_x(shape(), 0));
    EXPECT_EQ(order(), "1 2 3");
    EXPECT_EQ(host.list.selected, 0);
}

TEST_F(PageViewTest, DroppingOnItsOwnPlaceOrTheGapAfterItChangesNothing) {
    open(3);
    drag(cell_point(1), strip_marker_x(shape(), 1) + 1);
    EXPECT_EQ(order(), "1 2 3");
    drag(cell_point(1), strip_marker_x(shape(), 2) - 1);
    EXPECT_EQ(order(), "1 2 3");
    EXPECT_EQ(host.list.selected, 1);
}

TEST_F(PageViewTest, NoDragWhileAScanOrSaveRuns) {
    open(3);
    host.idle = false;
    press(cell_point(0));
    move(cell_point(0) + 12);
    move(strip_marker_x(shape(), 3));
    EXPECT_NE(pixel(strip, strip_marker_x(shape(), 3), client_height() / 2), COLOR_ACCENT);
    release(strip_marker_x(shape(), 3));
    EXPECT_EQ(order(), "1 2 3");
    EXPECT_EQ(host.list.selected, 0);   // selecting is still allowed

    // Busy only when the button comes up: the drop is refused all the same.
    host.idle = true;
    press(cell_point(0));
    move(cell_point(0) + 12);
    move(strip_marker_x(shape(), 3));
    host.idle = false;
    release(strip_marker_x(shape(), 3));
    EXPECT_EQ(order(), "1 2 3");
}

TEST_F(PageViewTest, LosingTheMouseCancelsTheDrag) {
    open(3);
    press(cell_point(0));
    move(cell_point(0) + 12);
    move(strip_marker_x(shape(), 3));
    SetCapture(parent);
    ReleaseCapture();
    release(strip_marker_x(shape(), 3));
    EXPECT_EQ(order(), "1 2 3");
    EXPECT_NE(pixel(strip, strip_marker_x(shape(), 3), client_height() / 2), COLOR_ACCENT);
}

TEST_F(PageViewTest, ArrowsFollowTheReadingDirection) {
    open(3);
    key(VK_RIGHT);   // no selection: the second page
    EXPECT_EQ(host.list.selected, 1);
    key(VK_RIGHT);
    key(VK_RIGHT);
    EXPECT_EQ(host.list.selected, 2);
    key(VK_LEFT);
    EXPECT_EQ(host.list.selected, 1);
    EXPECT_EQ(SendMessageW(strip, WM_GETDLGCODE, 0, 0) & (DLGC_WANTARROWS | DLGC_WANTCHARS),
              DLGC_WANTARROWS | DLGC_WANTCHARS);
}

TEST_F(PageViewTest, InArabicPageOneIsAtTheRightAndRightGoesBack) {
    open(3, LANGUAGE_ARABIC);
    // The strip is not mirrored by the platform: its own layout puts page 1 at the right.
    EXPECT_EQ(GetWindowLongW(strip, GWL_EXSTYLE) & WS_EX_LAYOUTRTL, 0);
    press(STRIP_W - 40);
    release(STRIP_W - 40);
    EXPECT_EQ(host.list.selected, 0);
    key(VK_LEFT);
    EXPECT_EQ(host.list.selected, 1);
    key(VK_RIGHT);
    EXPECT_EQ(host.list.selected, 0);
    key(VK_RIGHT);
    EXPECT_EQ(host.list.selected, 0);

    // Dragging page 1 leftwards past page 3 makes it the last page.
    drag(cell_point(0), strip_marker_x(shape(), 3));
    EXPECT_EQ(order(), "2 3 1");
    EXPECT_EQ(host.list.selected, 2);
}

TEST_F(PageViewTest, DeleteWorksOnlyWhenIdle) {
    open(3);
    host.list.selected = 1;
    host.idle = false;
    key(VK_DELETE);
    EXPECT_EQ(host.deletes, 0);
    EXPECT_EQ(order(), "1 2 3");
    host.idle = true;
    key(VK_DELETE);
    EXPECT_EQ(host.deletes, 1);
    EXPECT_EQ(order(), "1 3");
    EXPECT_EQ(host.list.selected, 1);
    host.list.selected = -1;
    key(VK_DELETE);   // nothing selected: nothing to delete
    EXPECT_EQ(host.deletes, 1);
}

TEST_F(PageViewTest, TheWheelTheScrollBarAndTheEdgesScrollTheStrip) {
    open(12);   // content 1212 in a 520 client: offsets 0..692
    EXPECT_EQ(offset(), 0);
    SendMessageW(strip, WM_MOUSEWHEEL, MAKEWPARAM(0, (WORD)(short)-120), 0);
    EXPECT_EQ(offset(), 100);
    SendMessageW(strip, WM_MOUSEWHEEL, MAKEWPARAM(0, 240), 0);
    EXPECT_EQ(offset(), 0);
    SendMessageW(strip, WM_HSCROLL, SB_LINERIGHT, 0);
    EXPECT_EQ(offset(), 100);
    SendMessageW(strip, WM_HSCROLL, SB_PAGERIGHT, 0);
    EXPECT_EQ(offset(), 620);
    SendMessageW(strip, WM_HSCROLL, SB_PAGERIGHT, 0);
    EXPECT_EQ(offset(), 692);
    SendMessageW(strip, WM_HSCROLL, SB_PAGELEFT, 0);
    EXPECT_EQ(offset(), 172);
    SendMessageW(strip, WM_HSCROLL, SB_LINELEFT, 0);
    SendMessageW(strip, WM_HSCROLL, SB_LINELEFT, 0);
    EXPECT_EQ(offset(), 0);

    // Dragging near the right edge scrolls 12 per move.
    press(cell_point(0));
    move(cell_point(0) + 12);
    move(STRIP_W - 10);
    move(STRIP_W - 11);
    EXPECT_EQ(offset(), 24);
    move(10);
    EXPECT_EQ(offset(), 12);
    release(10);

    // Selecting the last page and asking to see it scrolls it in with the margin after it.
    host.list.selected = 11;
    refresh_strip(true);
    EXPECT_EQ(offset(), 1108 + 92 + 8 - 520);
    host.list.selected = 0;
    refresh_strip(false);
    EXPECT_EQ(offset(), 688);
    refresh_strip(true);
    EXPECT_EQ(offset(), 0);
}

TEST_F(PageViewTest, ThumbnailsAreDrawnAndFreedWithTheirPage) {
    open(2);
    PageThumbnail* thumb = page_store_thumbnail(host.list.items[0]);
    ASSERT_NE(thumb->bitmap, nullptr);
    EXPECT_EQ(thumb->width, 78);   // 601 x 800 fitted into 84 x 104
    EXPECT_NEAR(thumb->height, 104, 1);
    HGDIOBJ bitmap = static_cast<HGDIOBJ>(thumb->bitmap);
    EXPECT_EQ(GetObjectType(bitmap), (DWORD)OBJ_BITMAP);
    // The middle of the first cell shows the first page's colour.
    const int cx = strip_cell_x(shape(), 0) + 46;
    EXPECT_EQ(pixel(strip, cx, 10 + (client_height() - 36) / 2), PAGE_COLOURS[0]);
    const int cx2 = strip_cell_x(shape(), 1) + 46;
    EXPECT_EQ(pixel(strip, cx2, 10 + (client_height() - 36) / 2), PAGE_COLOURS[1]);

    // Making it again replaces the old bitmap; deleting the page frees the new one.
    page_view_make_thumbnail(&host.list, 0);
    EXPECT_EQ(GetObjectType(bitmap), 0u);
    bitmap = static_cast<HGDIOBJ>(page_store_thumbnail(host.list.items[0])->bitmap);
    EXPECT_EQ(GetObjectType(bitmap), (DWORD)OBJ_BITMAP);
    page_list_delete(&host.list, 0);
    EXPECT_EQ(GetObjectType(bitmap), 0u);
}

TEST_F(PageViewTest, ThePreviewShowsTheSelectedPageOrTheEmptyState) {
    open(0);
    const COLORREF back = RGB(0x3A, 0x40, 0x48);
    EXPECT_EQ(pixel(preview, 5, 5), back);
    // The empty-state icon sits just above the middle.
    bool icon = false;
    for (int y = PREVIEW_H / 2 - 60; y < PREVIEW_H / 2 - 4 && !icon; ++y) {
        for (int x = STRIP_W / 2 - 32; x < STRIP_W / 2 + 32 && !icon; ++x) icon = pixel(preview, x, y) != back;
    }
    EXPECT_TRUE(icon);

    for (int k = 1; k <= 3; ++k) ASSERT_TRUE(page_list_append(&host.list, make_page(k, PAGE_COLOURS[k - 1])));
    host.list.selected = 1;
    refresh_preview();
    EXPECT_EQ(pixel(preview, STRIP_W / 2, (PREVIEW_H - 26) / 2), PAGE_COLOURS[1]);
    EXPECT_EQ(pixel(preview, 5, 5), back);
    // Something (the caption) is written in the band at the bottom.
    bool caption = false;
    for (int x = STRIP_W / 2 - 60; x < STRIP_W / 2 + 60 && !caption; ++x) {
        caption = pixel(preview, x, PREVIEW_H - 15) != back;
    }
    EXPECT_TRUE(caption);

    host.list.selected = 2;
    refresh_preview();
    EXPECT_EQ(pixel(preview, STRIP_W / 2, (PREVIEW_H - 26) / 2), PAGE_COLOURS[2]);
    // The new picture after a replace needs only a refresh.
    ASSERT_TRUE(page_list_replace(&host.list, 2, make_page(3, PAGE_COLOURS[3])));
    refresh_preview();
    EXPECT_EQ(pixel(preview, STRIP_W / 2, (PREVIEW_H - 26) / 2), PAGE_COLOURS[3]);
}

}  // namespace
