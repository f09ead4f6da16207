// ui/gdiplus_calls.cpp
#include "ui/gdiplus_calls.h"

template <typename Function>
static bool look_up(HMODULE module, Function* slot, const char* name) {
    *slot = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return *slot != nullptr;
}

const GdiplusCalls* gdiplus_calls() {
    static GdiplusCalls table = {};
    static bool ready = false;
    if (ready) return &table;
    // Only a module that is already loaded: the codec loads it by its full system path.
    HMODULE module = GetModuleHandleW(L"gdiplus.dll");
    if (!module) return nullptr;
    GdiplusCalls& t = table;
    ready = look_up(module, &t.GdipAddPathArc, "GdipAddPathArc") &&
           look_up(module, &t.GdipAddPathRectangle, "GdipAddPathRectangle") &&
           look_up(module, &t.GdipCloneBitmapAreaI, "GdipCloneBitmapAreaI") &&
           look_up(module, &t.GdipClosePathFigure, "GdipClosePathFigure") &&
           look_up(module, &t.GdipCreateBitmapFromStream, "GdipCreateBitmapFromStream") &&
           look_up(module, &t.GdipCreateFromHDC, "GdipCreateFromHDC") &&
           look_up(module, &t.GdipCreatePath, "GdipCreatePath") &&
           look_up(module, &t.GdipCreatePen1, "GdipCreatePen1") &&
           look_up(module, &t.GdipCreateSolidFill, "GdipCreateSolidFill") &&
           look_up(module, &t.GdipDeleteBrush, "GdipDeleteBrush") &&
           look_up(module, &t.GdipDeleteGraphics, "GdipDeleteGraphics") &&
           look_up(module, &t.GdipDeletePath, "GdipDeletePath") &&
           look_up(module, &t.GdipDeletePen, "GdipDeletePen") &&
           look_up(module, &t.GdipDisposeImage, "GdipDisposeImage") &&
           look_up(module, &t.GdipDrawArc, "GdipDrawArc") &&
           look_up(module, &t.GdipDrawBezier, "GdipDrawBezier") &&
           look_up(module, &t.GdipDrawEllipse, "GdipDrawEllipse") &&
           look_up(module, &t.GdipDrawImageRectI, "GdipDrawImageRectI") &&
           look_up(module, &t.GdipDrawLine, "GdipDrawLine") &&
           look_up(module, &t.GdipDrawLines, "GdipDrawLines") &&
           look_up(module, &t.GdipDrawPath, "GdipDrawPath") &&
           look_up(module, &t.GdipDrawPolygon, "GdipDrawPolygon") &&
           look_up(module, &t.GdipFillEllipse, "GdipFillEllipse") &&
           look_up(module, &t.GdipFillPath, "GdipFillPath") &&
           look_up(module, &t.GdipFillPolygon, "GdipFillPolygon") &&
           look_up(module, &t.GdipFillRectangle, "GdipFillRectangle") &&
           look_up(module, &t.GdipGetImageHeight, "GdipGetImageHeight") &&
           look_up(module, &t.GdipGetImagePixelFormat, "GdipGetImagePixelFormat") &&
           look_up(module, &t.GdipGetImageWidth, "GdipGetImageWidth") &&
           look_up(module, &t.GdipSetInterpolationMode, "GdipSetInterpolationMode") &&
           look_up(module, &t.GdipSetPenEndCap, "GdipSetPenEndCap") &&
           look_up(module, &t.GdipSetPenLineJoin, "GdipSetPenLineJoin") &&
           look_up(module, &t.GdipSetPenStartCap, "GdipSetPenStartCap") &&
           look_up(module, &t.GdipSetPixelOffsetMode, "GdipSetPixelOffsetMode") &&
           look_up(module, &t.GdipSetSmoothingMode, "GdipSetSmoothingMode");
    return ready ? &table : nullptr;
}
