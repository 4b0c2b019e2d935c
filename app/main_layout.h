#pragma once
// The geometry rules of the main window: where it opens, how its client area
// is shared between the two splitter panes, and how a drag of the bar moves
// them. Pure arithmetic in pixels, so the window code only applies it.

#include "settings/app_settings.h"

namespace zelo {

inline constexpr int kMinTrackSize = 300;   // smallest window the user can drag
inline constexpr int kMaxTrackSize = 8192;  // largest
inline constexpr int kDefaultWindowWidth = 800;
inline constexpr int kDefaultWindowHeight = 500;
inline constexpr int kSplitterBar = 4;       // width of the bar, and the narrowest pane
inline constexpr int kLeftPanePercent = 20;  // of the client width, at creation
// Until the first size message the panes are this much lower than the client.
inline constexpr int kInitialHeightSlack = 100;

struct PaneRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const PaneRect& a, const PaneRect& b) {
        return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
    }
};

// Where the main window opens: the saved rectangle's size when both its left
// and right edge are set, else 800 x 500; always at the saved left and top
// edge (the screen's corner when nothing was saved).
PaneRect initialWindowRect(const WindowPosition& saved);

// The two base panes side by side.
struct PaneLayout {
    PaneRect left;
    PaneRect right;
};

// At creation: the left pane takes `percent` of the client width (integer
// division), the right one the rest; both are 100 pixels lower than the
// client until the first size message.
PaneLayout createPanes(int clientWidth, int clientHeight, int percent = kLeftPanePercent);

// On every size of the main window: the left pane keeps `leftWidth`, the right
// one starts there and takes the rest (never less than 0); both are as high
// as the client less the status bar (never less than 0).
PaneLayout sizePanes(int clientWidth, int clientHeight, int statusBarHeight, int leftWidth);

// The child pane inside a base pane of `width` x `height`: the bar is left
// out on the side that has a neighbour.
PaneRect childRect(int width, int height, bool rightNeighbour, bool bottomNeighbour);

// A drag of the bar between a pane and its neighbour, along one axis.
struct SplitResult {
    int paneSize;        // the dragged pane's new width (or height)
    int neighbourStart;  // where the neighbour begins, relative to the pane's start
    int neighbourSize;
};

// `pointer` is the mouse position relative to the pane's start, `grab` the
// distance from the pointer to the pane's end when the drag began, `span` the
// space from the pane's start to the neighbour's end. The pane is never
// narrower than the bar; neither is the neighbour, and when both cannot be,
// the neighbour gets the bar's width and the pane the rest (at least the bar).
SplitResult dragSplit(int pointer, int grab, int span);

// The controls inside the panes, from the base panes' sizes: the list fills
// the right pane less 4 pixels each way; the group box spans the left pane
// less 7, its drop-down half of `layoutHeight` (what is being laid out: the
// main client area or one pane); the tree sits 3 pixels below the closed
// group box (`comboHeight`) and fills the rest less the 4-pixel bar. Never
// a negative size.
struct PaneControls {
    PaneRect combo;
    PaneRect tree;
    PaneRect list;
};
PaneControls paneControls(int leftWidth, int leftHeight, int rightWidth, int rightHeight,
                          int comboHeight, int layoutHeight);

}  // namespace zelo
