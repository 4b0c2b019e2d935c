// zelo_post_command: drives the running ZELO.exe from a script, as its menu
// and its tree would (the screenshots of docs/screenshots are made this way).
//   zelo_post_command.exe COMMAND-ID     posts a window command
//   zelo_post_command.exe select I J...  selects child J of child I ... of
//                                        the root group in the tree
// Exit code 0 when the window was found and driven, 1 otherwise.
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <cstring>

#include "resources/resource_ids.h"

namespace {

// The group tree inside the main window's left pane.
HWND findTree(HWND main) {
    HWND base = FindWindowExA(main, nullptr, "SplitBase Class", nullptr);
    for (; base; base = FindWindowExA(main, base, "SplitBase Class", nullptr)) {
        HWND pane = FindWindowExA(base, nullptr, "SplitChid Class", nullptr);
        if (HWND tree = pane ? GetDlgItem(pane, IDC_GROUP_TREE) : nullptr) return tree;
    }
    return nullptr;
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
    const int id = std::atoi(argv[1]);
    if (id <= 0) return 1;
    return PostMessageA(main, WM_COMMAND, static_cast<WPARAM>(id), 0) ? 0 : 1;
}
