// scan/wia.h
// Scanning through Windows Image Acquisition 2.0: listing WIA devices into a DeviceList,
// the platform's device chooser, and one scan on the scan thread (item choice, ordered
// property writes, Download into memory streams, page decoding). The rules that need no
// device (paper area, range scaling, item choice, BMP file import) are portable
// (wia_logic.cpp); the COM side is in wia_win32.cpp. Pages and texts are posted to the
// main window and belong to it.
#ifndef ZAN_SCAN_WIA_H
#define ZAN_SCAN_WIA_H

#include <stddef.h>
#include <stdint.h>

#include "core/wide_string.h"
#include "image/page_image.h"

// ---- values sent to the device
// WIA_DPS_DOCUMENT_HANDLING_SELECT for a paper source (0 glass, 1 feeder, 2 two-sided).
int wia_document_handling(int source);
// WIA_IPA_DATATYPE and WIA_IPA_DEPTH for a colour mode (0 colour, 1 grey, 2 black and white).
int wia_data_type(int colour_mode);
int wia_depth(int colour_mode);

// ---- scan area
// Paper size in thousandths of an inch (A4 for any index outside 1..4).
void wia_paper_thousandths(int paper, int* width, int* height);
// One dimension of the area: the device maximum when it was read, is positive and the
// paper is at least as large; else the paper dimension.
int wia_area_thousandths(int paper, bool have_device_max, int32_t device_max);
// thousandths x dpi / 1000 in 64 bits, truncating.
int64_t wia_pixels(int thousandths, int dpi);

// ---- range scaling
// v in lo..hi mapped onto min..max: min + (v - lo) * (max - min) / (hi - lo), 64-bit.
int32_t wia_scale(int v, int lo, int hi, int32_t min, int32_t max);

// ---- item choice
const int WIA_CATEGORY_UNREADABLE = 0;
const int WIA_CATEGORY_KIND_FEEDER = 1;
const int WIA_CATEGORY_KIND_FLATBED = 2;
const int WIA_CATEGORY_KIND_OTHER = 3;
struct WiaChildInfo {
    int32_t item_type;   // WiaItemType flags
    int category;        // WIA_CATEGORY_*
};
// The child to scan among all children of the root: only image + transfer items with a
// readable category count; a feeder request takes the first feeder item, a flatbed
// request the first flatbed item, else the first counting item of another category
// except feeder. -1 when none.
int wia_choose_child(const WiaChildInfo* children, int count, bool feeder);

// ---- page bytes
// A BMP file as a stream delivers it (14-byte file header, then a packed DIB). The length
// is the stream's, not bfSize; the pixel rows start at bfOffBits, which must lie after
// the header and colour table and inside the data. New page, or null when the bytes are
// not a BMP this import accepts.
PageImage* wia_bmp_page(const uint8_t* bytes, size_t size, int default_dpi);

// ---- Windows side (wia_win32.cpp)
#ifdef _WIN32
#include <windows.h>

struct IWiaDevMgr2;
struct ScanJob;
struct DeviceList;

// Creates the WIA 2 device manager. The program uses CoCreateInstance of WiaDevMgr2 as a
// local server; tests and zancli may put a stand-in in its place.
typedef HRESULT (*WiaManagerFactory)(IWiaDevMgr2** manager);
void wia_set_manager_factory(WiaManagerFactory factory);   // null restores the system's

// Appends the WIA devices to list (scanners only unless show_all); returns how many.
int wia_enumerate(bool show_all, DeviceList* list);
// The platform's device chooser. True when the user chose a device (*device_id filled).
bool wia_select_device(HWND parent, WideString* device_id);
// One scan of a WIA job. Pages (WM_APP+10) and status lines (WM_APP+13) go to
// main_window; *text gets the result text (may stay empty). cancel is read only.
bool wia_scan(const ScanJob& job, HWND main_window, WideString* text, volatile LONG* cancel);
#endif

#endif
