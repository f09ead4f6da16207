// scan/twain_values.h
// The value rules of a TWAIN negotiation that need no manager: fixed-point numbers, the
// pixel-type and paper-size codes of the scan settings, the reading of a boolean
// capability container, the page resolution taken from an image's information.
#ifndef ZAN_SCAN_TWAIN_VALUES_H
#define ZAN_SCAN_TWAIN_VALUES_H

#include <stddef.h>

#include "scan/twain.h"

// The 32-bit item of a TW_FIX32: Whole = floor(v) in the low 16 bits, Frac =
// trunc((v - floor(v)) * 65536 + 0.5) in the high 16 bits; a Frac that rounds up to 65536
// carries into Whole.
TW_UINT32 twain_fix32_item(double value);
// XResolution rounded (Whole + 1 when Frac >= 0x8000), or requested_dpi when the result
// lies outside 20..4800.
int twain_image_dpi(const TW_FIX32& resolution, int requested_dpi);
// Colour mode 0/1/2 -> TWPT_RGB/TWPT_GRAY/TWPT_BW.
TW_UINT16 twain_pixel_type(int color_mode);
// Paper 0..4 (A4, A3, A5, Legal, Letter) -> TWSS_*; any other index gives TWSS_A4.
TW_UINT16 twain_paper_size(int paper);

const int TWAIN_BOOL_UNKNOWN = -1;
// The value of a boolean capability answer: 0 or 1, or TWAIN_BOOL_UNKNOWN for another
// container, an item type that is not 16-bit, or a container (of size bytes) too short for
// what it claims, including a CurrentIndex outside NumItems.
int twain_bool_from_container(TW_UINT16 con_type, const void* container, size_t size);

#endif
