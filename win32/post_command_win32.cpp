// zelo_post_command: drives the running ZELO.exe from a script, as its menu
// and its tree would (the screenshots of docs/screenshots are made this way).
//   zelo_post_command.exe COMMAND-ID     posts a window command
//   zelo_post_command.exe select I J...  selects child J of child I ... of
//                                        the root group in the tree
//   zelo_post_command.exe open ROW       opens row ROW (from 0) of the list
//   zelo_post_command.exe close          cancels the window in front of it
// Exit code 0 when the window was found and driven, 1 otherwise. Item
// handles, keys and these messages carry no pointers: they work from
// another process.
#include <windows.h>

#include <commctrl.h>

#include <cstdlib>
#include <cstring>

#include "resources/resource_ids.h"

namespace {

// A control of one of the main window's panes (the tree on the left, the
// list on the right).
HWND findPaneControl(HWND main, int id) {
    for (HWND base = nullptr; (base = FindWindowExA(main, base, "SplitBase Class", nullptr));) {
        HWND pane = FindWindowExA(base, nullptr, "SplitChid Class", nullptr);
        if (HWND control = pane ? GetDlgItem(pane, id) : nullptr) return control;
    }
    return nullptr;
}

// Home selects the first row, Down moves on, Enter opens it.
int openRow(HWND main, int row) {
    HWND list = findPaneControl(main, IDC_DEVICE_LIST);
    if (!list) return 1;
    SetForegroundWindow(main);
    PostMessageA(list, WM_KEYDOWN, VK_HOME, 0);
    for (int i = 0; i < row; ++i) PostMessageA(list, WM_KEYDOWN, VK_DOWN, 0);
    return PostMessageA(list, WM_KEYDOWN, VK_RETURN, 0) ? 0 : 1;
}

int selectPath(HWND main, int count, char** positions) {
    HWND tree = findPaneControl(main, IDC_GROUP_TREE);
    if (!tree) return 1;
    const auto next = [&](UINT how, HTREEITEM item) {
        return reinterpret_cast<HTREEITEM>(
            SendMessageA(tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
    };
    HTREEITEM item = next(TVGN_ROOT, nullptr);
    for (int i = 0; i < count && item; ++i) {
        SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
        item = next(TVGN_CHILD, item);
        for (int k = std::atoi(positions[i]); k > 0 && item; --k) item = next(TVGN_NEXT, item);
    }
    if (!item) return 1;
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    SetForegroundWindow(main);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    HWND main = argc < 2 ? nullptr : FindWindowA("ZELO", nullptr);
    if (!main) return 1;
    if (std::strcmp(argv[1], "select") == 0) return selectPath(main, argc - 2, argv + 2);
    if (std::strcmp(argv[1], "open") == 0) return openRow(main, argc > 2 ? std::atoi(argv[2]) : 0);
    if (std::strcmp(argv[1], "close") == 0) {  // the dialog the main window is disabled for
        HWND front = GetLastActivePopup(main);
        return front && front != main && PostMessageA(front, WM_COMMAND, IDCANCEL, 0) ? 0 : 1;
    }
    const int id = std::atoi(argv[1]);
    return id > 0 && PostMessageA(main, WM_COMMAND, static_cast<WPARAM>(id), 0) ? 0 : 1;
}
