#include "app/main_layout.h"

#include <algorithm>

namespace zelo {

PaneRect initialWindowRect(const WindowPosition& saved) {
    PaneRect r{saved.left, saved.top, kDefaultWindowWidth, kDefaultWindowHeight};
    if (saved.left != 0 && saved.right != 0) {
        r.width = saved.right - saved.left;
        r.height = saved.bottom - saved.top;
    }
    return r;
}

PaneLayout createPanes(int clientWidth, int clientHeight, int percent) {
    const int leftWidth = clientWidth * percent / 100;
    const int height = clientHeight - kInitialHeightSlack;
    return {{0, 0, leftWidth, height}, {leftWidth, 0, clientWidth - leftWidth, height}};
}

PaneLayout sizePanes(int clientWidth, int clientHeight, int statusBarHeight, int leftWidth) {
    const int height = std::max(0, clientHeight - statusBarHeight);
    return {{0, 0, leftWidth, height},
            {leftWidth, 0, std::max(0, clientWidth - leftWidth), height}};
}

PaneRect childRect(int width, int height, bool rightNeighbour, bool bottomNeighbour) {
    return {0, 0, width - (rightNeighbour ? kSplitterBar : 0),
            height - (bottomNeighbour ? kSplitterBar : 0)};
}

SplitResult dragSplit(int pointer, int grab, int span) {
    int pane = std::max(kSplitterBar, pointer + grab);
    int neighbour = span - pane;
    if (neighbour < kSplitterBar) {
        neighbour = kSplitterBar;
        pane = std::max(kSplitterBar, span - kSplitterBar);
    }
    return {pane, pane, neighbour};
}

PaneControls paneControls(int leftWidth, int leftHeight, int rightWidth, int rightHeight,
                          int comboHeight, int layoutHeight) {
    const auto size = [](int v) { return std::max(0, v); };
    const int treeTop = comboHeight + 3;
    return {{0, 0, size(leftWidth - 7), size(layoutHeight / 2)},
            {0, treeTop, size(leftWidth - 8), size(leftHeight - 4 - treeTop)},
            {0, 0, size(rightWidth - 4), size(rightHeight - 4)}};
}

}  // namespace zelo
