// tools/ui_shot/page_scene.h
// The preview and the page strip with a few generated pages, as the main window shows
// them: the fourth page selected and being dragged in front of the second.
#ifndef ZAN_TOOLS_UI_SHOT_PAGE_SCENE_H
#define ZAN_TOOLS_UI_SHOT_PAGE_SCENE_H

#include <windows.h>

// Shows the scene in a new top-level window (mirrored in Arabic) and paints it. Null on
// failure. page_scene_close ends the drag and frees everything.
HWND page_scene_open(HINSTANCE instance);
void page_scene_close(HWND window);

#endif
