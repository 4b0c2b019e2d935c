#include "win32/control_page_builder_win32.h"

namespace zelo {

void ControlPageBuilder::begin(HWND parent, HINSTANCE instance, HFONT font) {
    destroyAll();
    parent_ = parent;
    instance_ = instance;
    font_ = font;
    pages_.resetIds();
    pages_.setCurrentPage(-1);
}

void ControlPageBuilder::end() {
    destroyAll();
    parent_ = nullptr;
    font_ = nullptr;
    pages_.setCurrentPage(-1);
}

HWND ControlPageBuilder::make(int page, ControlKind kind, const char* cls, const std::string& text,
                              int x, int y, int w, int h, DWORD style, DWORD exStyle) {
    if (!parent_ || !pages_.hasRoom(page)) return nullptr;
    const int id = pages_.takeId(kind);
    HWND control =
        CreateWindowExA(exStyle, cls, text.c_str(), style, x, y, w, h, parent_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    if (!control) return nullptr;
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    pages_.record(page, control);
    return control;
}

HWND ControlPageBuilder::staticText(int page, const std::string& text, int x, int y, int w, int h,
                                    DWORD style, DWORD exStyle) {
    return make(page, ControlKind::StaticText, "Static", text, x, y, w, h,
                WS_CHILD | SS_ENDELLIPSIS | style, WS_EX_TRANSPARENT | exStyle);
}

HWND ControlPageBuilder::opaqueText(int page, const std::string& text, int x, int y, int w, int h,
                                    DWORD style) {
    return make(page, ControlKind::StaticText, "Static", text, x, y, w, h,
                WS_CHILD | SS_ENDELLIPSIS | style, 0);
}

HWND ControlPageBuilder::groupBox(int page, const std::string& text, int x, int y, int w, int h,
                                  DWORD style, DWORD exStyle) {
    return make(page, ControlKind::GroupBox, "Button", text, x, y, w, h,
                WS_CHILD | WS_GROUP | BS_GROUPBOX | style, exStyle);
}

HWND ControlPageBuilder::pushButton(int page, const std::string& text, int x, int y, int w, int h,
                                    DWORD style, DWORD exStyle) {
    return make(page, ControlKind::PushButton, "Button", text, x, y, w, h, WS_CHILD | style,
                exStyle);
}

HWND ControlPageBuilder::checkBox(int page, const std::string& text, int x, int y, int w, int h,
                                  DWORD style, DWORD exStyle) {
    return make(page, ControlKind::CheckBox, "Button", text, x, y, w, h,
                WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX | style, WS_EX_TRANSPARENT | exStyle);
}

HWND ControlPageBuilder::editField(int page, int textLimit, int x, int y, int w, int h, DWORD style,
                                   DWORD exStyle) {
    HWND edit = make(page, ControlKind::EditField, "Edit", "", x, y, w, h,
                     WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | style, WS_EX_CLIENTEDGE | exStyle);
    if (edit) SendMessageA(edit, EM_LIMITTEXT, static_cast<WPARAM>(textLimit), 0);
    return edit;
}

void ControlPageBuilder::showPage(int page) {
    for (int p = 0; p < kControlPages; ++p) {
        for (HWND control : pages_.page(p)) ShowWindow(control, p == page ? SW_SHOW : SW_HIDE);
    }
    pages_.setCurrentPage(page);
}

void ControlPageBuilder::destroyAll() {
    for (HWND control : pages_.takeAll()) DestroyWindow(control);
}

}  // namespace zelo
