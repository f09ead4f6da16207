// ui/main_layout.h
// Where everything of the main window goes, as pure functions of the client size, the DPI,
// the language and the caption widths (so every size, both reading directions and both
// DPIs are tested without a window): the window's own controls and painted areas, the
// side panel's cards and controls, the window placement at start-up, and the enable table.
// Lengths are given at 96 DPI for English; in Arabic a control at x with width w moves to
// client width - x - w (in pixels, after scaling).
#ifndef ZAN_UI_MAIN_LAYOUT_H
#define ZAN_UI_MAIN_LAYOUT_H

#include <windows.h>

// ---- control ids of the main window
enum MainControlId {
    ID_LANGUAGE = 101, ID_HELP = 102, ID_SERVICE = 103, ID_PHONE = 104, ID_WEB = 105, ID_PANEL = 106,
    ID_PROGRESS = 107,
    ID_DEVICES = 201, ID_REFRESH = 202, ID_SELECT_WINDOWS = 203, ID_DIAGNOSTICS = 204, ID_DOWNLOAD = 205,
    ID_SHOW_ALL_WIA = 206, ID_PRESETS = 207, ID_PRESET_SAVE = 208, ID_PRESET_DELETE = 209, ID_COLOR = 210,
    ID_DPI = 211, ID_SOURCE = 212, ID_PAPER = 213, ID_BRIGHTNESS = 214, ID_CONTRAST = 215, ID_THRESHOLD = 216,
    ID_DRIVER_UI = 217, ID_APPEND = 218, ID_SCAN = 219, ID_ADVANCED = 220, ID_MERGE = 221, ID_SPLIT = 222,
    ID_CONNECTION = 223, ID_FIREWALL = 224, ID_SHARE_WIZARD = 225, ID_ADD_NETWORK_SCANNER = 226,
    ID_ROTATE = 301, ID_DELETE_PAGE = 302, ID_CLEAR_ALL = 303, ID_AUTO_CROP = 304, ID_DESKEW = 305,
    ID_REMOVE_BLANKS = 306, ID_PREVIEW = 307, ID_STRIP = 308, ID_FORMAT = 309, ID_CHOOSE_FOLDER = 310,
    ID_OPEN_FOLDER = 311, ID_AFTER_SAVE = 312, ID_SAVE = 313,
    ID_COLOR_LABEL = 4002, ID_DPI_LABEL = 4003, ID_SOURCE_LABEL = 4004, ID_PAPER_LABEL = 4005,
    ID_BRIGHTNESS_LABEL = 4006, ID_CONTRAST_LABEL = 4007, ID_THRESHOLD_LABEL = 4008, ID_BRIGHTNESS_VALUE = 4009,
    ID_CONTRAST_VALUE = 4010, ID_THRESHOLD_VALUE = 4011, ID_DEVICE_STATE = 4990, ID_HINT = 4991,
    ID_DEVICE_DETAILS = 5001, ID_FORMAT_LABEL = 5002, ID_AFTER_SAVE_LABEL = 5003, ID_FOLDER_LABEL = 5004
};
const int PAGE_TOOL_COUNT = 6;   // 301..306

// A control and where it goes (pixels, client coordinates of its parent).
struct PlacedControl {
    int id;
    RECT rect;
};

// ---- the window
struct MainLayoutInput {
    int client_w, client_h, dpi, language;
    // Caption widths in pixels (text_width): help, language and the page tools in the
    // normal font, the service button in the semibold font, the two folder buttons.
    int help_tw, language_tw, service_tw;
    int tool_tw[PAGE_TOOL_COUNT];
    int choose_folder_tw, open_folder_tw;
};
const int MAIN_PLACED_MAX = 24;
struct MainLayout {
    PlacedControl controls[MAIN_PLACED_MAX];   // every child of the main window
    int count;
    int header_bottom;          // the white header band 0..header_bottom
    int footer_top;             // the white footer band footer_top..client height
    int toolbar_bottom;
    RECT save_card;             // painted card behind 309..313 and 5002..5004
    RECT folder_box;            // painted box around the folder path label
    RECT folder_icon;
    RECT logo, product_name, subtitle;
};
MainLayout main_layout(const MainLayoutInput& in);
// The rectangle of control id in a layout (an empty rectangle when absent).
RECT placed_rect(const PlacedControl* controls, int count, int id);

// ---- the side panel (its own client coordinates)
struct PanelLayoutInput {
    int width, dpi, language;
    // The wider caption width of each button pair: refresh/select, diagnostics/download,
    // merge/split (pixels, normal font).
    int pair_tw[3];
};
const int PANEL_PLACED_MAX = 48;
const int PANEL_CARD_COUNT = 4;
struct PanelCard {
    RECT box;
    RECT icon;
    RECT heading;
    int heading_id;   // string-table id
    int icon_id;
};
struct PanelLayout {
    PlacedControl controls[PANEL_PLACED_MAX];
    int count;
    PanelCard cards[PANEL_CARD_COUNT];
    int content_height;
};
PanelLayout panel_layout(const PanelLayoutInput& in);
// The panel width that is laid out: the full width when the content fits height, else the
// width less the scroll bar's.
int panel_layout_width(const PanelLayoutInput& in, int panel_height, int scrollbar_w);

// ---- placement at start-up (screen coordinates; work = the work area)
// The stored values are WinX/WinY/WinW/WinH in workspace coordinates (relative to the
// work area's top-left corner, as GetWindowPlacement gives them).
RECT main_window_rect(const RECT& work, int dpi, int stored_x, int stored_y, int stored_w, int stored_h);
// The smallest window size the user can drag to, each limited to the work area.
SIZE main_min_track_size(const RECT& work, int dpi);

// ---- the enable table
struct MainState {
    int pages;
    bool page_selected;
    int devices;
    bool enumerating, scanning, saving;
};
// Whether control id is enabled in state (ids without a rule are always enabled).
bool main_control_enabled(int id, const MainState& state);
// The controls the table governs, in table order.
int main_enable_ids(const int** ids);

#endif
