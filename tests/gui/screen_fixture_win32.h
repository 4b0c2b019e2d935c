#pragma once
// The main screen over the sample data directory (nested groups, a device
// of every model, a version-0 item file), which tests/gui/sample_listing.sh
// makes beside the test program together with zeloctl's listing of each
// group. Helpers read the tree and the list as the operator sees them,
// press keys and read context menus while they are up.

#include <windows.h>
#include <commctrl.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/gui/gui_fixture_win32.h"
#include "tests/gui/zelo_process_win32.h"

namespace zelo::test {

inline std::filesystem::path sampleDirectory() {
    return testProgramDirectory().parent_path() / "gui-sample";
}

class ScreenFixture : public GuiFixture {
protected:
    // The sample (English names unless `japanese`) copied here; ZELO.INI
    // gives `language`, the sample's id counters and then `extra`.
    HWND startSample(int language, const std::string& extra = {}, bool japanese = false) {
        namespace fs = std::filesystem;
        const fs::path data = sampleDirectory() / (japanese ? "data" : "data-en");
        if (!fs::exists(data / "ZELO_DIR.DAT")) {
            ADD_FAILURE() << "no sample at " << data.string() << " (ctest makes it first)";
            return nullptr;
        }
        fs::copy(data, dir.path(),
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        const std::string ini = (data / "ZELO.INI").string();
        auto counter = [&](const char* key) {
            return std::string(key) + "=" +
                   std::to_string(GetPrivateProfileIntA("ZELO", key, 0, ini.c_str())) + "\r\n";
        };
        return start("[ZELO]\r\nLanguage=" + std::to_string(language) + "\r\n" +
                     counter("UniqueTree") + counter("UniqueObj") + extra);
    }

    HWND treePane() { return window().leftPane().child(); }
    HWND listPane() { return window().rightPane().child(); }
    HWND tree() { return GetDlgItem(treePane(), IDC_GROUP_TREE); }
    HWND combo() { return GetDlgItem(treePane(), IDC_GROUP_COMBO); }
    HWND list() { return GetDlgItem(listPane(), IDC_DEVICE_LIST); }

    // Tree items depth first, with their ids (item data).
    std::vector<std::pair<HTREEITEM, std::uint32_t>> treeItems(HTREEITEM parent = nullptr) {
        std::vector<std::pair<HTREEITEM, std::uint32_t>> out;
        HTREEITEM i = parent ? TreeView_GetChild(tree(), parent) : TreeView_GetRoot(tree());
        for (; i; i = TreeView_GetNextSibling(tree(), i)) {
            out.emplace_back(i, static_cast<std::uint32_t>(treeItem(i).lParam));
            for (const auto& below : treeItems(i)) out.push_back(below);
        }
        return out;
    }
    TVITEMA treeItem(HTREEITEM item, char* text = nullptr) {
        TVITEMA it{};
        it.mask = TVIF_PARAM | TVIF_IMAGE | TVIF_STATE | (text ? TVIF_TEXT : 0);
        it.hItem = item;
        it.stateMask = TVIS_EXPANDED;
        it.pszText = text;
        it.cchTextMax = 256;
        SendMessageA(tree(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
        return it;
    }
    std::string treeText(HTREEITEM item) {
        char text[256] = {};
        treeItem(item, text);
        return text;
    }
    HTREEITEM itemOf(std::uint32_t id) {
        for (const auto& [item, itemId] : treeItems())
            if (itemId == id) return item;
        return nullptr;
    }
    bool expanded(std::uint32_t id) { return treeItem(itemOf(id)).state & TVIS_EXPANDED; }
    std::uint32_t selectedGroup() {
        return static_cast<std::uint32_t>(treeItem(TreeView_GetSelection(tree())).lParam);
    }
    void selectGroup(std::uint32_t id) { TreeView_SelectItem(tree(), itemOf(id)); }

    int rows() { return ListView_GetItemCount(list()); }
    int columns() { return Header_GetItemCount(ListView_GetHeader(list())); }
    std::string cell(int row, int column) {
        char text[256] = {};
        ListView_GetItemText(list(), row, column, text, sizeof text);
        return text;
    }
    int image(int row) {
        LVITEMA it{};
        it.mask = LVIF_IMAGE;
        it.iItem = row;
        SendMessageA(list(), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
        return it.iImage;
    }
    std::vector<std::string> names() {
        std::vector<std::string> out;
        for (int r = 0; r < rows(); ++r) out.push_back(cell(r, 0));
        return out;
    }
    void setRowState(int row, UINT state) {
        ListView_SetItemState(list(), row, state, LVIS_SELECTED | LVIS_FOCUSED);
    }
    std::string statusPart1() {
        char text[128] = {};
        SendMessageA(GetDlgItem(window().hwnd(), IDC_STATUS_BAR), SB_GETTEXTA, 1,
                     reinterpret_cast<LPARAM>(text));
        return text;
    }
    void command(HWND pane, int id) { SendMessageA(pane, WM_COMMAND, id, 0); }

    // A key pressed on a control, with Ctrl held when asked.
    static void key(HWND control, WORD vk, bool ctrl = false) {
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        keys[VK_CONTROL] = ctrl ? 0x80 : 0;
        SetKeyboardState(keys);
        SendMessageA(control, WM_KEYDOWN, vk, 1);
        keys[VK_CONTROL] = 0;
        SetKeyboardState(keys);
    }
    // Ends a label edit as the user does: `text` and Enter, or (null) Escape.
    static void finishEdit(HWND edit, const char* text) {
        ASSERT_NE(edit, nullptr);
        if (text) SetWindowTextA(edit, text);
        SendMessageA(edit, WM_KEYDOWN, text ? VK_RETURN : VK_ESCAPE, 1);
    }

    struct MenuEntry {
        UINT id;
        std::string text;
        bool grayed, isDefault;
        int subItems;  // of its submenu
    };
    // The context menu that `open` shows, read while it is up, then closed.
    static std::vector<MenuEntry> popupMenu(const std::function<void()>& open) {
        static thread_local std::vector<MenuEntry> seen;
        static thread_local DWORD started;
        seen.clear();
        started = GetTickCount();
        const UINT_PTR timer = SetTimer(nullptr, 0, 30, [](HWND, UINT, UINT_PTR, DWORD) {
            HWND found = nullptr;  // this thread's visible menu window
            EnumThreadWindows(GetCurrentThreadId(), [](HWND w, LPARAM lp) -> BOOL {
                char cls[16] = {};
                GetClassNameA(w, cls, sizeof cls);
                if (lstrcmpA(cls, "#32768") || !IsWindowVisible(w)) return TRUE;
                *reinterpret_cast<HWND*>(lp) = w;
                return FALSE;
            }, reinterpret_cast<LPARAM>(&found));
            if (found && seen.empty()) {
                HMENU menu = reinterpret_cast<HMENU>(SendMessageA(found, MN_GETHMENU, 0, 0));
                const UINT def = GetMenuDefaultItem(menu, FALSE, GMDI_USEDISABLED);
                for (int i = 0; i < GetMenuItemCount(menu); ++i) {
                    char text[64] = {};
                    MENUITEMINFOA mi{};
                    mi.cbSize = sizeof mi;
                    mi.fMask = MIIM_ID | MIIM_STATE | MIIM_STRING | MIIM_SUBMENU;
                    mi.dwTypeData = text;
                    mi.cch = sizeof text;
                    GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &mi);
                    seen.push_back({mi.wID, text, (mi.fState & MFS_GRAYED) != 0, mi.wID == def,
                                    mi.hSubMenu ? GetMenuItemCount(mi.hSubMenu) : 0});
                }
            }
            if (!seen.empty() || GetTickCount() - started > 5000) EndMenu();
        });
        open();
        KillTimer(nullptr, timer);
        return seen;
    }
    // A right click on a tree item (the tree hit-tests the pointer).
    void rightClickTree(std::uint32_t id) {
        RECT r{};
        TreeView_GetItemRect(tree(), itemOf(id), &r, TRUE);
        POINT p{r.left + 3, (r.top + r.bottom) / 2};
        ClientToScreen(tree(), &p);
        SetCursorPos(p.x, p.y);
        NMHDR hdr{tree(), IDC_GROUP_TREE, static_cast<UINT>(NM_RCLICK)};
        SendMessageA(treePane(), WM_NOTIFY, IDC_GROUP_TREE, reinterpret_cast<LPARAM>(&hdr));
    }
    // A right or double click in the list: on a row, or (-1) below the rows.
    void clickList(int row, UINT code) {
        RECT r{};
        if (row < 0) GetClientRect(list(), &r), r.top = r.bottom - 10;
        else ListView_GetItemRect(list(), row, &r, LVIR_BOUNDS);
        NMITEMACTIVATE click{};
        click.hdr = {list(), IDC_DEVICE_LIST, code};
        click.iItem = row;
        click.ptAction = {r.left + 5, (r.top + r.bottom) / 2};
        SendMessageA(listPane(), WM_NOTIFY, IDC_DEVICE_LIST, reinterpret_cast<LPARAM>(&click));
    }
};

}  // namespace zelo::test
