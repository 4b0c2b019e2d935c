#pragma once
// Builds the pages of a tabbed dialog at run time: labelled controls on up
// to 13 numbered pages, with ids counted per kind (push buttons from 3000,
// check boxes from 3100, edit fields from 3300; labels and frames get none).
// One page shows at a time. The options dialog and the device control window
// each hold one for the time they are open.

#include <windows.h>

#include <string>

#include "app/control_pages.h"

namespace zelo {

class ControlPageBuilder {
public:
    ControlPageBuilder() = default;
    ~ControlPageBuilder() { destroyAll(); }
    ControlPageBuilder(const ControlPageBuilder&) = delete;
    ControlPageBuilder& operator=(const ControlPageBuilder&) = delete;

    // A tabbed dialog opens: its controls go into `parent` with `font`, and
    // the id counters start again.
    void begin(HWND parent, HINSTANCE instance, HFONT font);
    // The dialog closes: every control is destroyed and the parent forgotten.
    void end();

    // Each returns the control, or null when the page is out of range or full
    // (or the window could not be made). Positions and sizes are pixels in
    // the dialog's client area. Labels stay hidden until their page shows.
    HWND staticText(int page, const std::string& text, int x, int y, int w, int h, DWORD style = 0,
                    DWORD exStyle = 0);
    // The same label painting its own background (not drawn through to its
    // siblings): a coloured frame or lamp.
    HWND opaqueText(int page, const std::string& text, int x, int y, int w, int h, DWORD style = 0);
    HWND groupBox(int page, const std::string& text, int x, int y, int w, int h, DWORD style = 0,
                  DWORD exStyle = 0);
    HWND pushButton(int page, const std::string& text, int x, int y, int w, int h, DWORD style = 0,
                    DWORD exStyle = 0);
    HWND checkBox(int page, const std::string& text, int x, int y, int w, int h, DWORD style = 0,
                  DWORD exStyle = 0);
    HWND editField(int page, int textLimit, int x, int y, int w, int h, DWORD style = 0,
                   DWORD exStyle = 0);

    // Ids start again at the first of each kind, or pass over `count`.
    void resetIds() noexcept { pages_.resetIds(); }
    void skipIds(ControlKind kind, int count) noexcept { pages_.skipIds(kind, count); }

    // Shows every control of `page` and hides those of the others.
    void showPage(int page);
    // Destroys every control of every page.
    void destroyAll();

    int currentPage() const noexcept { return pages_.currentPage(); }
    const std::vector<HWND>& page(int page) const { return pages_.page(page); }

private:
    HWND make(int page, ControlKind kind, const char* cls, const std::string& text, int x, int y,
              int w, int h, DWORD style, DWORD exStyle);

    ControlPages<HWND> pages_;
    HWND parent_ = nullptr;
    HINSTANCE instance_ = nullptr;
    HFONT font_ = nullptr;
};

}  // namespace zelo
