#pragma once
// The splitter base panes of the main window ("SplitBase Class"): each holds
// one child pane (the tree pane or the list pane) and, when it has a right
// or bottom neighbour, a 4-pixel bar along that side that the mouse drags.

#include <windows.h>

#include "app/main_layout.h"

namespace zelo {

inline constexpr const char* kSplitBaseClass = "SplitBase Class";
inline constexpr const char* kSplitChildClass = "SplitChid Class";

// What a child pane does with its messages (the tree pane's and the list
// pane's notifications and commands); given as the child's create parameter.
class PaneHandler {
public:
    virtual LRESULT paneMessage(HWND pane, UINT msg, WPARAM wp, LPARAM lp) = 0;

protected:
    ~PaneHandler() = default;
};

class SplitterPane {
public:
    SplitterPane() = default;
    ~SplitterPane();
    SplitterPane(const SplitterPane&) = delete;
    SplitterPane& operator=(const SplitterPane&) = delete;

    // The class procedure of "SplitBase Class".
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    // The class procedure of "SplitChid Class", the panes that hold the
    // group tree and the device list: it hands every message to the pane's
    // PaneHandler, when it has one.
    static LRESULT CALLBACK childProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    // Creates the pane in `owner`'s client area at `rect`. False on failure.
    bool create(HWND owner, HINSTANCE instance, const PaneRect& rect);
    // Creates the child pane ("SplitChid Class") over the part the bar
    // leaves; `handler` (may be null) gets its messages.
    bool createChild(HINSTANCE instance, PaneHandler* handler);
    void setRightNeighbour(SplitterPane* pane) noexcept { right_ = pane; }
    void setBottomNeighbour(SplitterPane* pane) noexcept { bottom_ = pane; }

    // Moves the pane within its owner's client area.
    void place(const PaneRect& rect);

    HWND hwnd() const noexcept { return pane_; }
    HWND child() const noexcept { return child_; }
    // The pane's width and height.
    SIZE size() const;

private:
    enum class Drag { None, Horizontal, Vertical };

    LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);
    bool onSetCursor();
    void onSize(int width, int height);
    void onButtonDown(int x, int y);
    void onMouseMove(int x, int y);
    void onButtonUp();
    bool overBottomBar(int y) const;
    // The pane's rectangle in the owner's client coordinates.
    RECT rectInOwner(HWND window) const;

    HWND pane_ = nullptr;
    HWND owner_ = nullptr;
    HWND child_ = nullptr;
    SplitterPane* right_ = nullptr;
    SplitterPane* bottom_ = nullptr;
    Drag drag_ = Drag::None;
    int grab_ = 0;  // from the pointer to the pane's far edge when the drag began
};

}  // namespace zelo
