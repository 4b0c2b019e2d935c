#pragma once
// The main screen over the sample data directory (nested groups, a device
// of every model, a version-0 item file, Japanese names), which
// tests/gui/sample_listing.sh makes beside the test program together with
// zeloctl's listing of each group. Helpers read the tree and the list the
// way the operator sees them, press keys and open context menus.

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

// Where the sample directory and the listings are.
inline std::filesystem::path sampleDirectory() {
    return testProgramDirectory().parent_path() / "gui-sample";
}

class ScreenFixture : public GuiFixture {
protected:
    // The sample directory (with English names unless asked for the
    // Japanese ones) copied into this test's directory, with ZELO.INI giving
    // `language`, the sample's id counters and then `extra`.
    HWND startSample(int language, const std::string& extra = {}, bool japanese = false) {
        const std::filesystem::path data = sampleDirectory() / (japanese ? "data" : "data-en");
        if (!std::filesystem::exists(data / "ZELO_DIR.DAT")) {
            ADD_FAILURE() << "no sample directory at " << data.string()
                          << " (ctest runs tests/gui/sample_listing.sh first)";
            return nullptr;
        }
        std::filesystem::copy(data, dir.path(),
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::overwrite_existing);
        const std::string ini = (data / "ZELO.INI").string();
        const auto counter = [&](const char* key) {
            return std::to_string(GetPrivateProfileIntA("ZELO", key, 0, ini.c_str()));
        };
        return start("[ZELO]\r\nLanguage=" + std::to_string(language) +
                     "\r\nUniqueTree=" + counter("UniqueTree") + "\r\nUniqueObj=" +
                     counter("UniqueObj") + "\r\n" + extra);
    }

    HWND treePane() { return window().leftPane().child(); }
    HWND listPane() { return window().rightPane().child(); }
    HWND tree() { return GetDlgItem(treePane(), IDC_GROUP_TREE); }
    HWND combo() { return GetDlgItem(treePane(), IDC_GROUP_COMBO); }
    HWND list() { return GetDlgItem(listPane(), IDC_DEVICE_LIST); }

    // Tree items in display order (depth first), with their ids.
    std::vector<std::pair<HTREEITEM, std::uint32_t>> treeItems(HTREEITEM from = TVI_ROOT) {
        std::vector<std::pair<HTREEITEM, std::uint32_t>> out;
        auto next = [&](HTREEITEM item, UINT how) {
            return reinterpret_cast<HTREEITEM>(
                SendMessageA(tree(), TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
        };
        for (HTREEITEM i = next(from == TVI_ROOT ? nullptr : from,
                                from == TVI_ROOT ? TVGN_ROOT : TVGN_CHILD);
             i; i = next(i, TVGN_NEXT)) {
            out.emplace_back(i, static_cast<std::uint32_t>(treeItem(i).lParam));
            for (const auto& below : treeItems(i)) out.push_back(below);
        }
        return out;
    }
    TVITEMA treeItem(HTREEITEM item, char* text = nullptr, int size = 0) {
        TVITEMA it{};
        it.mask = TVIF_PARAM | TVIF_IMAGE | TVIF_STATE | TVIF_CHILDREN | (text ? TVIF_TEXT : 0);
        it.hItem = item;
        it.stateMask = TVIS_EXPANDED | TVIS_SELECTED;
        it.pszText = text;
        it.cchTextMax = size;
        SendMessageA(tree(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
        return it;
    }
    std::string treeText(HTREEITEM item) {
        char text[256] = {};
        treeItem(item, text, sizeof text);
        return text;
    }
    HTREEITEM itemOf(std::uint32_t id) {
        for (const auto& [item, itemId] : treeItems())
            if (itemId == id) return item;
        return nullptr;
    }
    bool expanded(std::uint32_t id) { return treeItem(itemOf(id)).state & TVIS_EXPANDED; }
    std::uint32_t selectedGroup() {
        auto sel = reinterpret_cast<HTREEITEM>(SendMessageA(tree(), TVM_GETNEXTITEM, TVGN_CARET, 0));
        return static_cast<std::uint32_t>(treeItem(sel).lParam);
    }
    void selectGroup(std::uint32_t id) {
        SendMessageA(tree(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(itemOf(id)));
    }

    int rows() { return static_cast<int>(SendMessageA(list(), LVM_GETITEMCOUNT, 0, 0)); }
    int columns() {
        HWND header = reinterpret_cast<HWND>(SendMessageA(list(), LVM_GETHEADER, 0, 0));
        return static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
    }
    std::string cell(int row, int column) {
        char text[256] = {};
        LVITEMA it{};
        it.iSubItem = column;
        it.pszText = text;
        it.cchTextMax = sizeof text;
        SendMessageA(list(), LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&it));
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
    int rowNamed(const std::string& name) {
        for (int r = 0; r < rows(); ++r)
            if (cell(r, 0) == name) return r;
        return -1;
    }
    void setRowState(int row, UINT state) {
        LVITEMA it{};
        it.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        it.state = state;
        SendMessageA(list(), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&it));
    }
    std::string statusPart1() {
        char text[128] = {};
        SendMessageA(GetDlgItem(window().hwnd(), IDC_STATUS_BAR), SB_GETTEXTA, 1,
                     reinterpret_cast<LPARAM>(text));
        return text;
    }

    // A key pressed on a control (with Ctrl held when asked).
    static void key(HWND control, WORD vk, bool ctrl = false) {
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        keys[VK_CONTROL] = ctrl ? 0x80 : 0;
        SetKeyboardState(keys);
        SendMessageA(control, WM_KEYDOWN, vk, 1);
        keys[VK_CONTROL] = 0;
        SetKeyboardState(keys);
    }
    // Ends a label edit as the user does: typing `text` and Enter, or Escape.
    static void finishEdit(HWND edit, const char* text) {
        ASSERT_NE(edit, nullptr);
        if (text) SetWindowTextA(edit, text);
        SendMessageA(edit, WM_KEYDOWN, text ? VK_RETURN : VK_ESCAPE, 1);
    }

    struct MenuEntry {
        UINT id;
        std::string text;
        bool grayed;
        bool isDefault;
        int subItems;  // of its submenu
    };
    // The context menu `open` shows, read while it is up, then closed.
    static std::vector<MenuEntry> popupMenu(const std::function<void()>& open) {
        static thread_local std::vector<MenuEntry> seen;
        static thread_local DWORD started;
        seen.clear();
        started = GetTickCount();
        const UINT_PTR timer = SetTimer(nullptr, 0, 30, [](HWND, UINT, UINT_PTR, DWORD) {
            HWND found = nullptr;
            EnumThreadWindows(
                GetCurrentThreadId(),
                [](HWND w, LPARAM lp) -> BOOL {
                    char cls[16] = {};
                    GetClassNameA(w, cls, sizeof cls);
                    if (lstrcmpA(cls, "#32768") != 0 || !IsWindowVisible(w)) return TRUE;
                    *reinterpret_cast<HWND*>(lp) = w;
                    return FALSE;
                },
                reinterpret_cast<LPARAM>(&found));
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
            if (found || GetTickCount() - started > 5000) EndMenu();
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
    // A right click or double click in the list, on a row or (-1) below them.
    void clickList(int row, UINT code) {
        RECT r{};
        if (row < 0) {
            GetClientRect(list(), &r);
            r.top = r.bottom - 10;
        } else {
            r.left = LVIR_BOUNDS;
            SendMessageA(list(), LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
        }
        NMITEMACTIVATE click{};
        click.hdr = {list(), IDC_DEVICE_LIST, code};
        click.iItem = row;
        click.ptAction = {r.left + 5, (r.top + r.bottom) / 2};
        SendMessageA(listPane(), WM_NOTIFY, IDC_DEVICE_LIST, reinterpret_cast<LPARAM>(&click));
    }
    void command(HWND pane, int id) { SendMessageA(pane, WM_COMMAND, id, 0); }
};

}  // namespace zelo::test
