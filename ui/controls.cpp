// ui/controls.cpp
// ZanBtn and ZanScroll, and the creation helpers for standard controls. Each window keeps
// its state record in GWLP_USERDATA from WM_NCCREATE to WM_NCDESTROY.
#include "ui/controls.h"

#include <commctrl.h>

#include "app/strings.h"
#include "core/heap.h"
#include "core/wide_string.h"
#include "ui/dialog_frame.h"
#include "ui/icons.h"
#include "ui/paint.h"
#include "ui/theme.h"

namespace {

struct ButtonState {
    WideString caption;
    int icon;
    int kind;
    bool hover;
    bool pressed;
    bool focused;
    WPARAM key_down;   // Space or Enter pressed on the button and not yet released
    COLORREF back;
};

struct ButtonCreate {
    int icon;
    int kind;
};

struct PanelState {
    HWND notify;
    int content_height;
    int position;
    PanelPainter painter;
};

const int kLineStep = 30;
const int kWheelStep = 60;

template <typename State>
State* state_of(HWND window) {
    return reinterpret_cast<State*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

template <typename State>
State* attach_state(HWND window) {
    State* state = static_cast<State*>(mem_alloc(sizeof(State)));
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    return state;
}

bool is_arabic() {
    return interface_language() == LANGUAGE_ARABIC;
}

RECT rect_of(int x, int y, int w, int h) {
    RECT r = {x, y, x + w, y + h};
    return r;
}

// ---- buttons

void tooltip_update(HWND button, const wchar_t* text, bool add) {
    HWND tip = ui_tooltip();
    if (!tip) return;
    TTTOOLINFOW info = {};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = GetParent(button);
    info.uId = reinterpret_cast<UINT_PTR>(button);
    info.lpszText = const_cast<wchar_t*>(text);
    SendMessageW(tip, add ? TTM_ADDTOOLW : TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

void tooltip_remove(HWND button) {
    HWND tip = ui_tooltip();
    if (!tip) return;
    TTTOOLINFOW info = {};
    info.cbSize = sizeof info;
    info.hwnd = GetParent(button);
    info.uId = reinterpret_cast<UINT_PTR>(button);
    SendMessageW(tip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void button_click(HWND button) {
    HWND parent = GetParent(button);
    if (parent) SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), 0), reinterpret_cast<LPARAM>(button));
}

void button_on_paint(HWND button, ButtonState* s) {
    PaintBuffer buffer;
    HDC dc = paint_begin(button, &buffer);
    ButtonFace face = {text_of(s->caption), s->icon, s->kind, IsWindowEnabled(button) != FALSE, s->hover,
                       s->pressed, s->focused, s->back};
    button_paint(dc, buffer.client.right, buffer.client.bottom, &face);
    paint_end(&buffer);
}

bool pointer_inside(HWND window, LPARAM lp) {
    RECT client;
    GetClientRect(window, &client);
    POINT p = {(short)LOWORD(lp), (short)HIWORD(lp)};
    return PtInRect(&client, p) != FALSE;
}

void button_on_mouse_move(HWND button, ButtonState* s, LPARAM lp) {
    const bool captured = GetCapture() == button;
    const bool inside = pointer_inside(button, lp);
    bool changed = false;
    if (!s->hover && inside) {
        s->hover = true;
        changed = true;
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, button, 0};
        TrackMouseEvent(&track);
    }
    if (captured) {
        // While the mouse button is held the button looks pressed only with the pointer on it.
        if (s->pressed != inside || s->hover != inside) changed = true;
        s->pressed = inside;
        s->hover = inside;
    }
    if (changed) InvalidateRect(button, nullptr, FALSE);
}

LRESULT CALLBACK button_proc(HWND button, UINT msg, WPARAM wp, LPARAM lp) {
    ButtonState* s = state_of<ButtonState>(button);
    switch (msg) {
    case WM_NCCREATE: {
        s = attach_state<ButtonState>(button);
        if (!s) return FALSE;
        const CREATESTRUCTW* cs = reinterpret_cast<const CREATESTRUCTW*>(lp);
        const ButtonCreate* create = static_cast<const ButtonCreate*>(cs->lpCreateParams);
        assign(&s->caption, cs->lpszName);
        s->icon = create ? create->icon : -1;
        s->kind = create && create->kind >= BUTTON_PRIMARY && create->kind <= BUTTON_SUCCESS ? create->kind : BUTTON_SECONDARY;
        s->back = COLOR_PANEL;
        break;
    }
    case WM_NCDESTROY:
        if (s) {
            if (s->kind == BUTTON_ICON) tooltip_remove(button);
            release(&s->caption);
            mem_free(s);
            SetWindowLongPtrW(button, GWLP_USERDATA, 0);
        }
        break;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT:
        if (!s) break;
        button_on_paint(button, s);
        return 0;
    case WM_SETCURSOR:
        if (IsWindowEnabled(button)) {
            SetCursor(LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        }
        break;
    case WM_GETDLGCODE: return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (!s || !IsWindowEnabled(button)) return 0;
        SetFocus(button);
        s->pressed = true;
        SetCapture(button);
        InvalidateRect(button, nullptr, FALSE);
        return 0;
    case WM_LBUTTONUP: {
        if (!s || GetCapture() != button) return 0;
        const bool inside = pointer_inside(button, lp);
        ReleaseCapture();
        s->pressed = false;
        InvalidateRect(button, nullptr, FALSE);
        if (inside && IsWindowEnabled(button)) button_click(button);
        return 0;
    }
    case WM_CAPTURECHANGED:
        if (s && s->pressed && !s->key_down) {
            s->pressed = false;
            InvalidateRect(button, nullptr, FALSE);
        }
        return 0;
    case WM_MOUSEMOVE:
        if (s) button_on_mouse_move(button, s, lp);
        return 0;
    case WM_MOUSELEAVE:
        if (s) {
            s->hover = false;
            s->pressed = false;
            InvalidateRect(button, nullptr, FALSE);
        }
        return 0;
    case WM_KEYDOWN:
        if (s && (wp == VK_SPACE || wp == VK_RETURN) && IsWindowEnabled(button)) {
            s->key_down = wp;
            s->pressed = true;
            InvalidateRect(button, nullptr, FALSE);
            return 0;
        }
        break;
    case WM_KEYUP:
        if (s && s->key_down != 0 && wp == s->key_down) {
            s->key_down = 0;
            s->pressed = false;
            InvalidateRect(button, nullptr, FALSE);
            if (IsWindowEnabled(button)) button_click(button);
            return 0;
        }
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        if (s) {
            s->focused = msg == WM_SETFOCUS;
            if (!s->focused) {
                s->key_down = 0;
                s->pressed = false;
            }
            InvalidateRect(button, nullptr, FALSE);
        }
        return 0;
    case WM_ENABLE:
        if (s && !wp) {
            s->hover = s->pressed = false;
            s->key_down = 0;
        }
        InvalidateRect(button, nullptr, FALSE);
        return 0;
    }
    return DefWindowProcW(button, msg, wp, lp);
}

// ---- panels

void panel_update_bar(HWND panel, const PanelState* s) {
    RECT client;
    GetClientRect(panel, &client);
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = 0;
    info.nMax = s->content_height > 0 ? s->content_height - 1 : 0;
    info.nPage = (UINT)client.bottom;
    info.nPos = s->position;
    SetScrollInfo(panel, SB_VERT, &info, TRUE);
}

void panel_move(HWND panel, PanelState* s, int position) {
    RECT client;
    GetClientRect(panel, &client);
    position = panel_clamp(position, s->content_height, client.bottom);
    const int delta = s->position - position;
    s->position = position;
    if (delta != 0) {
        ScrollWindowEx(panel, 0, delta, nullptr, nullptr, nullptr, nullptr, SW_SCROLLCHILDREN | SW_INVALIDATE | SW_ERASE);
    }
    panel_update_bar(panel, s);
}

void panel_on_vscroll(HWND panel, PanelState* s, WPARAM wp) {
    RECT client;
    GetClientRect(panel, &client);
    int position = s->position;
    switch (LOWORD(wp)) {
    case SB_LINEUP: position -= scaled(kLineStep); break;
    case SB_LINEDOWN: position += scaled(kLineStep); break;
    case SB_PAGEUP: position -= client.bottom; break;
    case SB_PAGEDOWN: position += client.bottom; break;
    case SB_TOP: position = 0; break;
    case SB_BOTTOM: position = s->content_height; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
        SCROLLINFO info = {};
        info.cbSize = sizeof info;
        info.fMask = SIF_TRACKPOS;
        GetScrollInfo(panel, SB_VERT, &info);
        position = info.nTrackPos;
        break;
    }
    default: return;
    }
    panel_move(panel, s, position);
}

void panel_on_paint(HWND panel, PanelState* s) {
    PaintBuffer buffer;
    HDC dc = paint_begin(panel, &buffer);
    if (s->painter) {
        FillRect(dc, &buffer.client, canvas_brush());
        s->painter(panel, dc, s->position, &buffer.client);
    } else {
        FillRect(dc, &buffer.client, panel_brush());
    }
    paint_end(&buffer);
}

LRESULT CALLBACK panel_proc(HWND panel, UINT msg, WPARAM wp, LPARAM lp) {
    PanelState* s = state_of<PanelState>(panel);
    switch (msg) {
    case WM_NCCREATE: {
        s = attach_state<PanelState>(panel);
        if (!s) return FALSE;
        s->notify = static_cast<HWND>(reinterpret_cast<const CREATESTRUCTW*>(lp)->lpCreateParams);
        break;
    }
    case WM_NCDESTROY:
        mem_free(s);
        SetWindowLongPtrW(panel, GWLP_USERDATA, 0);
        break;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT:
        if (!s) break;
        panel_on_paint(panel, s);
        return 0;
    case WM_SIZE:
        if (s) panel_move(panel, s, s->position);
        return 0;
    case WM_VSCROLL:
        if (s) panel_on_vscroll(panel, s, wp);
        return 0;
    case WM_MOUSEWHEEL:
        if (s) panel_move(panel, s, s->position + (short)HIWORD(wp) * scaled(kWheelStep) / -120);
        return 0;
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_HSCROLL:
        if (s && s->notify) return SendMessageW(s->notify, msg, wp, lp);
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        return control_colours(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
    }
    return DefWindowProcW(panel, msg, wp, lp);
}

bool register_class(HINSTANCE instance, const wchar_t* name, WNDPROC proc, UINT style) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = name;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// Arabic controls that show text are right-aligned with right-to-left reading instead of
// mirrored with WS_EX_LAYOUTRTL: a mirrored control lays its text out left to right and
// then flips it, which puts the words of a sentence in reverse order on Wine. Controls
// without text (the slider) are mirrored.
const DWORD kArabicTextExStyle = WS_EX_RTLREADING | WS_EX_RIGHT;

HWND make_standard(HWND parent, int id, const wchar_t* cls, const wchar_t* text, DWORD style, DWORD ex_style) {
    // Wine's statics and buttons ignore right-to-left reading; an embedding (RLE ... PDF)
    // keeps an Arabic sentence's closing full stop at its left end.
    WideString shown = {};
    if (is_arabic() && text && text[0]) {
        append_char(&shown, 0x202B);
        append(&shown, text);
        append_char(&shown, 0x202C);
        text = text_of(shown);
    }
    HWND control = CreateWindowExW(ex_style, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    release(&shown);
    if (control) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(ui_font(FONT_NORMAL)), FALSE);
    return control;
}

BOOL CALLBACK set_font_of(HWND child, LPARAM font) {
    SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), TRUE);
    return TRUE;
}

}  // namespace

// ---- buttons

ButtonLook button_look(int kind, bool enabled, bool hover, bool pressed) {
    ButtonLook look = {COLOR_NONE, COLOR_NONE, COLOR_INK, COLOR_ACCENT, false, false};
    switch (kind) {
    case BUTTON_PRIMARY:
        look.fill = pressed ? COLOR_ACCENT_PRESSED : hover ? COLOR_ACCENT_HOVER : COLOR_ACCENT;
        look.text = look.icon = COLOR_WHITE;
        look.semibold = true;
        break;
    case BUTTON_LINK:
        look.text = look.icon = hover ? COLOR_ACCENT_HOVER : COLOR_ACCENT;
        look.underline = hover;
        break;
    case BUTTON_ICON:
        look.fill = pressed ? COLOR_TINT_PRESSED : hover ? COLOR_TINT_HOVER : COLOR_NONE;
        look.text = look.icon = COLOR_ACCENT;
        break;
    case BUTTON_OUTLINE:
        look.fill = pressed ? COLOR_TINT_PRESSED : hover ? COLOR_TINT_HOVER : COLOR_NONE;
        look.border = COLOR_ACCENT;
        look.text = look.icon = COLOR_ACCENT;
        break;
    case BUTTON_DANGER:
        look.fill = hover || pressed ? COLOR_DANGER : COLOR_WHITE;
        look.border = COLOR_DANGER;
        look.text = look.icon = hover || pressed ? COLOR_WHITE : COLOR_DANGER;
        break;
    case BUTTON_SUCCESS:
        look.fill = pressed ? COLOR_SUCCESS_PRESSED : hover ? COLOR_SUCCESS_HOVER : COLOR_SUCCESS;
        look.text = look.icon = COLOR_WHITE;
        look.semibold = true;
        break;
    default:
        look.fill = pressed ? COLOR_TINT_PRESSED : hover ? COLOR_TINT_HOVER : COLOR_WHITE;
        look.border = hover || pressed ? COLOR_ACCENT : COLOR_LINE;
        look.text = COLOR_INK;
        look.icon = COLOR_ACCENT;
        break;
    }
    if (!enabled) {
        look.text = look.icon = COLOR_DISABLED_TEXT;
        look.underline = false;
        if (kind != BUTTON_LINK && kind != BUTTON_ICON) {
            look.border = COLOR_LINE;
            look.fill = COLOR_DISABLED_FILL;
        } else {
            look.fill = COLOR_NONE;
        }
    }
    return look;
}

ButtonLayout button_layout(int kind, int icon, bool has_caption, int caption_width, int w, int h, int dpi,
                           int language) {
    ButtonLayout out = {};
    const bool draws_icon = icon >= 0;
    const bool draws_caption = has_caption && kind != BUTTON_ICON;
    out.icon_size = scaled_at(kind == BUTTON_ICON && !has_caption ? 20 : 18, dpi);
    const int icon_w = draws_icon ? out.icon_size : 0;
    const int gap = draws_icon && draws_caption ? scaled_at(8, dpi) : 0;
    const int pad = scaled_at(kind == BUTTON_LINK ? 2 : 12, dpi);
    int text_w = 0;
    if (draws_caption) {
        text_w = caption_width;
        const int room = w - icon_w - gap - 2 * pad;
        if (text_w > room) text_w = room;
        if (text_w < 10) text_w = 10;
    }
    const int group = icon_w + gap + text_w;
    int left;
    if (kind == BUTTON_LINK) {
        left = language == LANGUAGE_ARABIC ? w - pad - group : pad;
    } else {
        left = (w - group) / 2;
    }
    const int icon_left = language == LANGUAGE_ARABIC ? left + text_w + gap : left;
    const int text_left = language == LANGUAGE_ARABIC ? left : left + icon_w + gap;
    if (draws_icon) out.icon = rect_of(icon_left, (h - out.icon_size) / 2, out.icon_size, out.icon_size);
    if (draws_caption) out.caption = rect_of(text_left, 0, text_w, h);
    return out;
}

void button_paint(HDC dc, int w, int h, const ButtonFace* face) {
    const RECT client = rect_of(0, 0, w, h);
    fill_solid(dc, client, face->back);
    const ButtonLook look = button_look(face->kind, face->enabled, face->hover, face->pressed);
    if (look.fill != COLOR_NONE || look.border != COLOR_NONE) {
        fill_round_rect(dc, client, scaled(7), look.fill, look.border, scaled(1) > 0 ? scaled(1) : 1);
    }
    if (face->enabled && face->focused) {
        RECT ring = {scaled(2), scaled(2), w - scaled(2), h - scaled(2)};
        const bool white = face->kind == BUTTON_PRIMARY || face->kind == BUTTON_SUCCESS;
        fill_round_rect(dc, ring, scaled(5), COLOR_NONE, white ? COLOR_WHITE : COLOR_ACCENT, 1);
    }
    HFONT font = ui_font(look.semibold ? FONT_SEMIBOLD : FONT_NORMAL);
    const wchar_t* caption = face->caption ? face->caption : L"";
    const bool has_caption = caption[0] != 0;
    const int caption_width = has_caption && face->kind != BUTTON_ICON ? text_width(font, caption) : 0;
    const ButtonLayout layout =
        button_layout(face->kind, face->icon, has_caption, caption_width, w, h, ui_dpi(), interface_language());
    if (face->icon >= 0) {
        draw_icon(dc, (unsigned)face->icon, layout.icon.left, layout.icon.top, layout.icon_size, look.icon);
    }
    if (layout.caption.right > layout.caption.left) {
        draw_text(dc, caption, layout.caption, font, look.text, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
        if (look.underline) {
            const int y = h / 2 + scaled(9);
            RECT under = {layout.caption.left, y, layout.caption.right, y + 1};
            fill_solid(dc, under, look.text);
        }
    }
}

bool register_control_classes(HINSTANCE instance) {
    return register_class(instance, L"ZanBtn", button_proc, CS_DBLCLKS) &&
           register_class(instance, L"ZanScroll", panel_proc, 0) && register_dialog_class(instance);
}

HWND make_button(HWND parent, int id, const wchar_t* caption, int icon, int kind, int x, int y, int w, int h) {
    ButtonCreate create = {icon, kind};
    HWND button = CreateWindowExW(0, L"ZanBtn", caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP, x, y, w, h, parent,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), &create);
    if (button && kind == BUTTON_ICON) tooltip_update(button, caption, true);
    return button;
}

int button_needed_width(int kind, int icon, const wchar_t* caption) {
    const bool has_caption = caption && caption[0] && kind != BUTTON_ICON;
    const bool semibold = button_look(kind, true, false, false).semibold;
    const int text_w = has_caption ? text_width(ui_font(semibold ? FONT_SEMIBOLD : FONT_NORMAL), caption) : 0;
    const ButtonLayout l = button_layout(kind, icon, caption && caption[0], text_w, 0, 0, ui_dpi(), LANGUAGE_ENGLISH);
    const int icon_w = icon >= 0 ? l.icon_size : 0;
    const int gap = icon >= 0 && has_caption ? scaled(8) : 0;
    return icon_w + gap + text_w + 2 * scaled(kind == BUTTON_LINK ? 2 : 12);
}

void button_set_caption(HWND button, const wchar_t* text, int icon) {
    ButtonState* s = state_of<ButtonState>(button);
    if (!s) return;
    assign(&s->caption, text);
    if (icon > -2) s->icon = icon;
    if (s->kind == BUTTON_ICON) tooltip_update(button, text_of(s->caption), false);
    InvalidateRect(button, nullptr, FALSE);
}

void button_set_kind(HWND button, int kind) {
    ButtonState* s = state_of<ButtonState>(button);
    if (!s) return;
    if (s->kind == BUTTON_ICON && kind != BUTTON_ICON) tooltip_remove(button);
    if (s->kind != BUTTON_ICON && kind == BUTTON_ICON) tooltip_update(button, text_of(s->caption), true);
    s->kind = kind;
    InvalidateRect(button, nullptr, FALSE);
}

void button_set_back(HWND button, COLORREF colour) {
    ButtonState* s = state_of<ButtonState>(button);
    if (!s) return;
    s->back = colour;
    InvalidateRect(button, nullptr, FALSE);
}

// ---- panels

int panel_clamp(int position, int content_height, int client_height) {
    int max = content_height - client_height;
    if (max < 0) max = 0;
    if (position > max) position = max;
    return position < 0 ? 0 : position;
}

HWND make_panel(HWND parent, int id, HWND notify_window) {
    return CreateWindowExW(WS_EX_CONTROLPARENT, L"ZanScroll", nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_VSCROLL,
                           0, 0, 10, 10, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleW(nullptr), notify_window);
}

void panel_set_content_height(HWND panel, int height) {
    PanelState* s = state_of<PanelState>(panel);
    if (!s) return;
    s->content_height = height < 0 ? 0 : height;
    panel_move(panel, s, s->position);
}

void panel_scroll_to(HWND panel, int position) {
    PanelState* s = state_of<PanelState>(panel);
    if (s) panel_move(panel, s, position);
}

void panel_reset(HWND panel) {
    panel_scroll_to(panel, 0);
}

void panel_set_painter(HWND panel, PanelPainter painter) {
    PanelState* s = state_of<PanelState>(panel);
    if (!s) return;
    s->painter = painter;
    InvalidateRect(panel, nullptr, FALSE);
}

int panel_position(HWND panel) {
    PanelState* s = state_of<PanelState>(panel);
    return s ? s->position : 0;
}

// ---- standard controls

HWND make_label(HWND parent, int id, const wchar_t* text, DWORD extra_style) {
    if (is_arabic()) {
        // Left and right alignment swap places; centred stays centred.
        const DWORD align = extra_style & SS_TYPEMASK;
        if (align == SS_LEFT) extra_style |= SS_RIGHT;
        if (align == SS_RIGHT) extra_style &= ~(DWORD)SS_RIGHT;
    }
    return make_standard(parent, id, L"STATIC", text, SS_NOPREFIX | extra_style, is_arabic() ? kArabicTextExStyle : 0);
}

HWND make_list(HWND parent, int id) {
    HWND list = make_standard(parent, id, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP,
                              is_arabic() ? kArabicTextExStyle | WS_EX_LEFTSCROLLBAR : 0);
    if (list) SendMessageW(list, CB_SETMINVISIBLE, 10, 0);
    return list;
}

HWND make_check(HWND parent, int id, const wchar_t* text) {
    // In Arabic the box sits at the right with the text to its left.
    const DWORD arabic = is_arabic() ? (DWORD)(BS_LEFTTEXT | BS_RIGHT) : 0;
    return make_standard(parent, id, L"BUTTON", text, BS_AUTOCHECKBOX | WS_TABSTOP | arabic,
                         is_arabic() ? kArabicTextExStyle : 0);
}

HWND make_radio(HWND parent, int id, const wchar_t* text, bool first) {
    // Like the check box: in Arabic the circle sits at the right with the text to its left.
    const DWORD arabic = is_arabic() ? (DWORD)(BS_LEFTTEXT | BS_RIGHT) : 0;
    return make_standard(parent, id, L"BUTTON", text,
                         BS_AUTORADIOBUTTON | WS_TABSTOP | (first ? (DWORD)WS_GROUP : 0) | arabic,
                         is_arabic() ? kArabicTextExStyle : 0);
}

HWND make_edit(HWND parent, int id, bool password) {
    const DWORD arabic = is_arabic() ? (DWORD)ES_RIGHT : 0;
    return make_standard(parent, id, L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP | (password ? ES_PASSWORD : 0) | arabic,
                         WS_EX_CLIENTEDGE | (is_arabic() ? kArabicTextExStyle : 0));
}

HWND make_slider(HWND parent, int id, int min, int max, int pos) {
    HWND slider = make_standard(parent, id, TRACKBAR_CLASSW, L"", TBS_NOTICKS | TBS_TOOLTIPS | WS_TABSTOP,
                                is_arabic() ? WS_EX_LAYOUTRTL : 0);
    if (slider) {
        SendMessageW(slider, TBM_SETRANGE, FALSE, MAKELPARAM(min, max));
        SendMessageW(slider, TBM_SETPOS, TRUE, pos);
    }
    return slider;
}

HWND make_text_view(HWND parent, int id, bool wrap, bool follows_language) {
    DWORD style = ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP |
                  (wrap ? 0 : (DWORD)(ES_AUTOHSCROLL | WS_HSCROLL));
    // Wine's multi-line edit assumes left-to-right paragraphs: callers give Arabic lines a
    // right-to-left embedding (help_view_text).
    const bool arabic = follows_language && is_arabic();
    if (arabic) style |= ES_RIGHT;
    HWND view = make_standard(parent, id, L"EDIT", L"", style, WS_EX_CLIENTEDGE | (arabic ? kArabicTextExStyle : 0));
    if (!view) return nullptr;
    SendMessageW(view, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELONG(scaled(4), scaled(6)));
    return view;
}

void set_font_all(HWND window, HFONT font) {
    EnumChildWindows(window, set_font_of, reinterpret_cast<LPARAM>(font));
}

void list_add(HWND list, const wchar_t* text) {
    SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}

int list_selection(HWND list) {
    return (int)SendMessageW(list, CB_GETCURSEL, 0, 0);
}

void list_select(HWND list, int index) {
    SendMessageW(list, CB_SETCURSEL, (WPARAM)index, 0);
}

COLORREF control_text_colour(int control_id) {
    if (control_id == 4990) return COLOR_ACCENT;
    if (control_id >= 5000 && control_id <= 5999) return COLOR_MUTED;
    return COLOR_INK;
}

LRESULT control_colours(HDC dc, HWND control) {
    SetTextColor(dc, control_text_colour(GetDlgCtrlID(control)));
    SetBkColor(dc, COLOR_PANEL);
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<LRESULT>(panel_brush());
}
