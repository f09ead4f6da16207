// tools/ui_shot/gallery.h
// The toolkit gallery: every vector icon at 16, 24 and 48 pixels and every button kind
// in its normal, hover, pressed, focused and disabled states, drawn off screen.
#ifndef ZAN_TOOLS_UI_SHOT_GALLERY_H
#define ZAN_TOOLS_UI_SHOT_GALLERY_H

#include "image/page_image.h"

#include <windows.h>

// A new 24-bit page holding the gallery (the caller frees it), or null.
PageImage* gallery_draw();

// A new 24-bit page with a copy of the w x h area at (x, y) of a device context, or null.
PageImage* page_from_dc(HDC dc, int x, int y, int w, int h);

#endif
