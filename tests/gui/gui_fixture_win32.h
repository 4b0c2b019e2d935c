#pragma once
// The program's windows built in the test process: a MonitorApp over a
// temporary data directory whose questions a scripted front end answers;
// message pumps, a driver for modal dialogs, and readers of the tree and the
// list over the sample directory that tests/gui/sample_listing.sh makes
// beside the test program.

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <winsock.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/gui/zelo_process_win32.h"
#include "tests/support/scripted_frontend.h"
#include "tests/support/temp_dir.h"
#include "win32/main_window_win32.h"
#include "win32/monitor_app_win32.h"

namespace zelo::test {

inline std::filesystem::path sampleDirectory() {
    return testProgramDirectory().parent_path() / "gui-sample";
}

inline std::string textOf(HWND w) {
    char text[256] = {};
    GetWindowTextA(w, text, sizeof text);
    return text;
}

class GuiFixture : public ::testing::Test {
protected:
    void SetUp() override {
        WSADATA wsa;
        WSAStartup(0x0101, &wsa);
        pump();  // a stray quit message would end the next modal loop
    }
    void TearDown() override {
        stop();
        WSACleanup();
    }

    // Ends the running program (whose window saves its rectangle), writes
    // ZELO.INI (`ini`, with the listener off unless it has a Network section
    // of its own) and builds the program; its main window, or null.
    HWND start(const std::string& ini = {}) {
        stop();
        const bool network = ini.find("[Network]") != std::string::npos;
        writeBytes(iniPath(), (network ? "" : "[Network]\r\nMSRPenable=0\r\n") + ini);
        return restart();
    }
    // Builds the program again over the files as they are.
    HWND restart() {
        stop();
        app_ = std::make_unique<MonitorApp>(GetModuleHandleA(nullptr), SW_SHOWNORMAL,
                                            dir.path().string() + "\\", frontend);
        return app_->start() ? app_->mainWindow()->hwnd() : nullptr;
    }
    void stop() {
        if (!app_) return;
        if (app_->mainWindow() && app_->mainWindow()->hwnd())
            DestroyWindow(app_->mainWindow()->hwnd());
        app_.reset();
        pump();
    }
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
        std::string ini = "[ZELO]\r\nLanguage=" + std::to_string(language) + "\r\n";
        for (const char* key : {"UniqueTree", "UniqueObj"})
            ini += std::string(key) + "=" +
                   std::to_string(GetPrivateProfileIntA("ZELO", key, 0,
                                                        (data / "ZELO.INI").string().c_str())) +
                   "\r\n";
        return start(ini + extra);
    }

    // A device of `model` in `group`, on the console at 127.0.0.1:`port`
    // when one is given, with `mac` when one is given.
    std::uint32_t addDevice(std::uint32_t group, int model, const std::string& name, int port = 0,
                            const std::string& mac = {}) {
        DeviceRecord r =
            *app().directory().devices().find(app().directory().addDevice(group, model, name));
        if (port) r.addressText = "127.0.0.1", r.port = static_cast<std::uint16_t>(port);
        if (!mac.empty()) r.macText = mac;
        app().directory().saveDevice(r);
        return r.deviceId;
    }

    MonitorApp& app() { return *app_; }
    MainWindow& window() { return *app_->mainWindow(); }
    std::string iniPath() const { return dir.file("ZELO.INI"); }

    // Dispatches what is queued; true when the quit message was among it.
    static bool pump() {
        bool quit = false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                quit = true;
            else
                TranslateMessage(&msg), DispatchMessageA(&msg);
        }
        return quit;
    }
    // Pumps until `done` holds; false when it did not within `milliseconds`.
    static bool waitFor(const std::function<bool()>& done, int milliseconds = 4000) {
        for (int waited = 0; waited <= milliseconds; waited += 10) {
            if (done()) return true;
            pump();
            Sleep(10);
        }
        return false;
    }

    // Calls `open`, which shows a modal dialog, and `drive` with the dialog
    // once it is up (inside the dialog's own loop). False when no dialog
    // showed or the dialog did not close within 5 s (it is then ended).
    static bool withDialog(const std::function<void()>& open,
                           const std::function<void(HWND)>& drive) {
        static struct {
            std::function<void(HWND)> drive;
            DWORD started;
            bool busy, driven, timedOut;
        } d;
        d = {drive, GetTickCount(), false, false, false};
        const UINT_PTR timer = SetTimer(nullptr, 0, 30, [](HWND, UINT, UINT_PTR, DWORD) {
            HWND dlg = visibleWindow(GetCurrentProcessId(), "#32770");
            if (d.busy || !dlg) return;
            if (!d.driven) {
                d.busy = d.driven = true;
                d.drive(dlg);
                d.busy = false;
            } else if (GetTickCount() - d.started > 5000) {
                d.timedOut = true;
                EndDialog(dlg, 0);
            }
        });
        open();
        KillTimer(nullptr, timer);
        return d.driven && !d.timedOut;
    }

    // The main screen's panes and what they show.
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

    TempDir dir;
    ScriptedFrontend frontend;

private:
    std::unique_ptr<MonitorApp> app_;
};

}  // namespace zelo::test
