// zelo_post_command: drives the running ZELO.exe from a script, as its menu
// and its tree would (the screenshots of docs/screenshots are made this way).
//   zelo_post_command.exe COMMAND-ID     posts a window command
//   zelo_post_command.exe select I J...  selects child J of child I ... of
//                                        the root group in the tree
//   zelo_post_command.exe open ROW       opens row ROW (from 0) of the list
//   zelo_post_command.exe close          cancels the window in front of it
// Exit code 0 when the window was found and driven, 1 otherwise.
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <cstring>

#include "resources/resource_ids.h"

namespace {

// A control of one of the main window's panes (the tree on the left, the
// list on the right).
HWND findPaneControl(HWND main, int id) {
    HWND base = FindWindowExA(main, nullptr, "SplitBase Class", nullptr);
    for (; base; base = FindWindowExA(main, base, "SplitBase Class", nullptr)) {
        HWND pane = FindWindowExA(base, nullptr, "SplitChid Class", nullptr);
        if (HWND control = pane ? GetDlgItem(pane, id) : nullptr) return control;
    }
    return nullptr;
}

HWND findTree(HWND main) { return findPaneControl(main, IDC_GROUP_TREE); }

// Keys work from another process where item pointers do not: Home selects
// the first row, Down moves on, Enter opens it as the operator's key does.
int openRow(HWND main, int row) {
    HWND list = findPaneControl(main, IDC_DEVICE_LIST);
    if (!list) return 1;
    SetForegroundWindow(main);
    PostMessageA(list, WM_KEYDOWN, VK_HOME, 0);
    for (int i = 0; i < row; ++i) PostMessageA(list, WM_KEYDOWN, VK_DOWN, 0);
    return PostMessageA(list, WM_KEYDOWN, VK_RETURN, 0) ? 0 : 1;
}

int selectPath(HWND main, int count, char** positions) {
    HWND tree = findTree(main);
    if (!tree) return 1;
    // Item handles and these messages carry no pointers: they work from
    // another process.
    auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    for (int i = 0; i < count && item; ++i) {
        SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
        item = reinterpret_cast<HTREEITEM>(
            SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
        for (int k = std::atoi(positions[i]); k > 0 && item; --k)
            item = reinterpret_cast<HTREEITEM>(
                SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
    }
    if (!item) return 1;
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    SetForegroundWindow(main);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 1;
    HWND main = FindWindowA("ZELO", nullptr);
    if (!main) return 1;
    if (std::strcmp(argv[1], "select") == 0) return selectPath(main, argc - 2, argv + 2);
    if (std::strcmp(argv[1], "close") == 0) {
        // The dialog the main window is disabled for: its Cancel.
        HWND front = GetLastActivePopup(main);
        if (!front || front == main) return 1;
        return PostMessageA(front, WM_COMMAND, IDCANCEL, 0) ? 0 : 1;
    }
    if (std::strcmp(argv[1], "open") == 0) return openRow(main, argc > 2 ? std::atoi(argv[2]) : 0);
    const int id = std::atoi(argv[1]);
    if (id <= 0) return 1;
    return PostMessageA(main, WM_COMMAND, static_cast<WPARAM>(id), 0) ? 0 : 1;
}
