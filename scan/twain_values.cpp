// scan/twain_values.cpp
#include "scan/twain_values.h"

#include <math.h>

#include "core/heap.h"

TW_UINT32 twain_fix32_item(double value) {
    double whole = floor(value);
    TW_UINT32 frac = (TW_UINT32)((value - whole) * 65536.0 + 0.5);
    // A fraction just below 1 rounds up to 65536: that is one more whole unit.
    if (frac > 0xFFFFu) {
        whole += 1.0;
        frac = 0;
    }
    const TW_UINT32 low = (TW_UINT32)(TW_INT32)whole & 0xFFFFu;
    return low | (frac << 16);
}

int twain_image_dpi(const TW_FIX32& resolution, int requested_dpi) {
    const int dpi = resolution.Frac >= 0x8000 ? resolution.Whole + 1 : resolution.Whole;
    return dpi >= 20 && dpi <= 4800 ? dpi : requested_dpi;
}

TW_UINT16 twain_pixel_type(int color_mode) {
    if (color_mode == 1) return TWPT_GRAY;
    if (color_mode == 2) return TWPT_BW;
    return TWPT_RGB;
}

TW_UINT16 twain_paper_size(int paper) {
    static const TW_UINT16 kSizes[] = {TWSS_A4, TWSS_A3, TWSS_A5, TWSS_USLEGAL, TWSS_USLETTER};
    return paper >= 0 && paper < 5 ? kSizes[paper] : TWSS_A4;
}

static bool is_16bit_type(TW_UINT16 type) {
    return type == TWTY_INT16 || type == TWTY_UINT16 || type == TWTY_BOOL;
}

int twain_bool_from_container(TW_UINT16 con_type, const void* container, size_t size) {
    if (!container) return TWAIN_BOOL_UNKNOWN;
    const uint8_t* bytes = static_cast<const uint8_t*>(container);
    if (con_type == TWON_ONEVALUE) {
        if (size < sizeof(TW_ONEVALUE)) return TWAIN_BOOL_UNKNOWN;
        TW_ONEVALUE one;
        mem_copy(&one, bytes, sizeof(one));
        return (one.Item & 0xFFFFu) != 0 ? 1 : 0;
    }
    if (con_type != TWON_ENUMERATION) return TWAIN_BOOL_UNKNOWN;
    const size_t header = offsetof(TW_ENUMERATION, ItemList);
    if (size < header) return TWAIN_BOOL_UNKNOWN;
    TW_ENUMERATION list;
    mem_copy(&list, bytes, header);
    if (!is_16bit_type(list.ItemType) || list.CurrentIndex >= list.NumItems) return TWAIN_BOOL_UNKNOWN;
    // The item must lie inside the block the source actually handed over.
    const uint64_t end = (uint64_t)header + ((uint64_t)list.CurrentIndex + 1) * 2;
    if (end > size) return TWAIN_BOOL_UNKNOWN;
    TW_UINT16 item;
    mem_copy(&item, bytes + header + (size_t)list.CurrentIndex * 2, 2);
    return item != 0 ? 1 : 0;
}
