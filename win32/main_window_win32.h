#pragma once
// The program's one top-level window: menu of the active language, status
// bar, the two splitter panes (group tree on the left, device list on the
// right), the 100 ms timer that drives the status listener, close
// confirmation, tray icon and the saved screen rectangle.

#include <windows.h>

#include <memory>
#include <string>

#include "win32/main_screen_win32.h"
#include "win32/splitter_win32.h"

namespace zelo {

class MonitorApp;

class MainWindow {
public:
    explicit MainWindow(MonitorApp& app) : app_(app) {}
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // The class procedure of the main window class.
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    bool create(const std::string& className, const std::string& title, int showCommand);
    void focusTree();
    HWND hwnd() const { return hwnd_; }
    HWND statusBar() const { return statusBar_; }
    const SplitterPane& leftPane() const { return left_; }
    const SplitterPane& rightPane() const { return right_; }
    MainScreen& screen() { return *screen_; }

private:
    LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);

    bool onCreate();
    void onTimer();
    void onSize(WPARAM kind, LPARAM lp);
    void onClose();
    void onDestroy();
    void onKeyDown(WPARAM key);
    void onCommand(int id);
    void onTrayCallback(WPARAM iconId, LPARAM mouseEvent);
    bool createPanes();
    void addTrayIcon();
    void removeTrayIcon();
    HMENU loadMainMenu() const;

    MonitorApp& app_;
    HWND hwnd_ = nullptr;
    HWND statusBar_ = nullptr;
    HMENU menu_ = nullptr;
    SplitterPane left_;                   // the group tree's
    SplitterPane right_;                  // the device list's
    std::unique_ptr<MainScreen> screen_;  // the tree and the list in the panes
};

}  // namespace zelo
