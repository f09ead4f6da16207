// ui/gdiplus_calls.h
// The GDI+ flat functions the interface draws with, looked up once in the gdiplus.dll
// that the image codec loaded from the system folder. The program never imports GDI+
// by name, so a gdiplus.dll planted beside it is never loaded.
#ifndef ZAN_UI_GDIPLUS_CALLS_H
#define ZAN_UI_GDIPLUS_CALLS_H

#include <windows.h>

#include <objidl.h>
#include <gdiplus.h>

struct GdiplusCalls {
    decltype(&Gdiplus::DllExports::GdipAddPathArc) GdipAddPathArc;
    decltype(&Gdiplus::DllExports::GdipAddPathRectangle) GdipAddPathRectangle;
    decltype(&Gdiplus::DllExports::GdipCloneBitmapAreaI) GdipCloneBitmapAreaI;
    decltype(&Gdiplus::DllExports::GdipClosePathFigure) GdipClosePathFigure;
    decltype(&Gdiplus::DllExports::GdipCreateBitmapFromStream) GdipCreateBitmapFromStream;
    decltype(&Gdiplus::DllExports::GdipCreateFromHDC) GdipCreateFromHDC;
    decltype(&Gdiplus::DllExports::GdipCreatePath) GdipCreatePath;
    decltype(&Gdiplus::DllExports::GdipCreatePen1) GdipCreatePen1;
    decltype(&Gdiplus::DllExports::GdipCreateSolidFill) GdipCreateSolidFill;
    decltype(&Gdiplus::DllExports::GdipDeleteBrush) GdipDeleteBrush;
    decltype(&Gdiplus::DllExports::GdipDeleteGraphics) GdipDeleteGraphics;
    decltype(&Gdiplus::DllExports::GdipDeletePath) GdipDeletePath;
    decltype(&Gdiplus::DllExports::GdipDeletePen) GdipDeletePen;
    decltype(&Gdiplus::DllExports::GdipDisposeImage) GdipDisposeImage;
    decltype(&Gdiplus::DllExports::GdipDrawArc) GdipDrawArc;
    decltype(&Gdiplus::DllExports::GdipDrawBezier) GdipDrawBezier;
    decltype(&Gdiplus::DllExports::GdipDrawEllipse) GdipDrawEllipse;
    decltype(&Gdiplus::DllExports::GdipDrawImageRectI) GdipDrawImageRectI;
    decltype(&Gdiplus::DllExports::GdipDrawLine) GdipDrawLine;
    decltype(&Gdiplus::DllExports::GdipDrawLines) GdipDrawLines;
    decltype(&Gdiplus::DllExports::GdipDrawPath) GdipDrawPath;
    decltype(&Gdiplus::DllExports::GdipDrawPolygon) GdipDrawPolygon;
    decltype(&Gdiplus::DllExports::GdipFillEllipse) GdipFillEllipse;
    decltype(&Gdiplus::DllExports::GdipFillPath) GdipFillPath;
    decltype(&Gdiplus::DllExports::GdipFillPolygon) GdipFillPolygon;
    decltype(&Gdiplus::DllExports::GdipFillRectangle) GdipFillRectangle;
    decltype(&Gdiplus::DllExports::GdipGetImageHeight) GdipGetImageHeight;
    decltype(&Gdiplus::DllExports::GdipGetImagePixelFormat) GdipGetImagePixelFormat;
    decltype(&Gdiplus::DllExports::GdipGetImageWidth) GdipGetImageWidth;
    decltype(&Gdiplus::DllExports::GdipSetInterpolationMode) GdipSetInterpolationMode;
    decltype(&Gdiplus::DllExports::GdipSetPenEndCap) GdipSetPenEndCap;
    decltype(&Gdiplus::DllExports::GdipSetPenLineJoin) GdipSetPenLineJoin;
    decltype(&Gdiplus::DllExports::GdipSetPenStartCap) GdipSetPenStartCap;
    decltype(&Gdiplus::DllExports::GdipSetPixelOffsetMode) GdipSetPixelOffsetMode;
    decltype(&Gdiplus::DllExports::GdipSetSmoothingMode) GdipSetSmoothingMode;
};

// The table, or null while GDI+ is not loaded (nothing is drawn then).
const GdiplusCalls* gdiplus_calls();

#endif
