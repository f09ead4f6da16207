// ui/main_window_state.h
// The main window's one state record and the functions its two files share
// (main_window.cpp: controls, layout, painting, window events; main_commands.cpp:
// commands, workers' messages, status line). Main thread only.
#ifndef ZAN_UI_MAIN_WINDOW_STATE_H
#define ZAN_UI_MAIN_WINDOW_STATE_H

#include <windows.h>

#include "core/wide_string.h"
#include "image/page_store.h"
#include "output/pdf_document.h"
#include "scan/device_list.h"
#include "ui/main_layout.h"
#include "ui/page_list.h"
#include "ui/page_view.h"

// The timer that bounds the wait for a cancelled scan when the window closes.
const UINT_PTR MAIN_TIMER_CLOSE_WAIT = 1;
// How long a close waits for a cancelled scan to end.
const UINT MAIN_CLOSE_SCAN_WAIT_MS = 10000;

struct MainWindow {
    HWND hwnd, panel, preview, strip, progress;
    MainLayout layout;
    PanelLayout panel_layout;
    void* logo;                    // GDI+ bitmap
    PageList pages;
    PageViewHost view_host;
    DeviceList* devices;           // the last enumeration's list, owned here
    int selected_device;           // -1: none
    bool enumerating, scanning, saving;
    WideString status;
    COLORREF status_colour;
    WideString phone_caption;      // the phone number as the button shows it
    // The save batch: the page pointers copied at the start of a save.
    StoredPage** save_batch;
    PdfStorePages save_pages;
    // Unattended runs and closing.
    bool test_enum;
    WideString test_scan;
    WideString demo_image;
    int demo_pages;
    bool closing;                  // the user confirmed closing; waiting for a worker
    bool destroyed;
    int exit_code;
};

MainWindow* main_state();
HWND main_child(int id);

// main_window.cpp
void main_create_controls();
void main_layout_window();
void main_paint_panel(HWND panel, HDC dc, int scroll, const RECT* client);
void main_fill_presets();
void main_refresh_phone_caption();
void main_footer_rect(RECT* r);

// main_commands.cpp
PageViewHost main_view_host();
void main_on_command(int id, int notification);
void main_on_slider();
void main_on_close();
void main_on_close_wait_over();
bool main_on_private_message(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);
void main_state_update();
void main_set_status(const wchar_t* text, COLORREF colour);
void main_store_controls();
void main_set_controls_from_settings();
void main_refresh_device_area();
void main_refresh_folder_label();
void main_add_demo_pages();

#endif
