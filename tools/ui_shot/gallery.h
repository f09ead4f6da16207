// tools/ui_shot/gallery.h
// The toolkit gallery: every vector icon at 16, 24 and 48 pixels and every button kind
// in its normal, hover, pressed, focused and disabled states, drawn off screen.
#ifndef ZAN_TOOLS_UI_SHOT_GALLERY_H
#define ZAN_TOOLS_UI_SHOT_GALLERY_H

#include "image/page_image.h"

// A new 24-bit page holding the gallery (the caller frees it), or null.
PageImage* gallery_draw();

#endif
