// ui/controls.cpp
// Class registration only: the controls' drawing and behaviour come with the toolkit.
#include "ui/controls.h"

static bool register_plain_class(HINSTANCE instance, const wchar_t* name) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = name;
    return RegisterClassExW(&wc) != 0;
}

bool register_control_classes(HINSTANCE instance) {
    return register_plain_class(instance, L"ZanBtn") && register_plain_class(instance, L"ZanScroll") &&
           register_plain_class(instance, L"ZanDlg");
}
