#pragma once
// The program's one top-level window: menu of the active language, status
// bar, the 100 ms timer that drives the status listener, close confirmation,
// tray icon and the saved screen rectangle. The splitter panes with the
// group tree and the device list are placed in its client area.

#include <windows.h>

#include <string>

namespace zelo {

class MonitorApp;

class MainWindow {
public:
    explicit MainWindow(MonitorApp& app) : app_(app) {}
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    static bool registerClass(HINSTANCE instance, const std::string& className);
    bool create(const std::string& className, const std::string& title, int showCommand);
    void focusTree();
    HWND hwnd() const { return hwnd_; }

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);

    bool onCreate();
    void onTimer();
    void onSize(WPARAM kind, LPARAM lp);
    void onClose();
    void onDestroy();
    void onKeyDown(WPARAM key);
    void onCommand(int id);
    void onTrayCallback(WPARAM iconId, LPARAM mouseEvent);
    void addTrayIcon();
    void removeTrayIcon();
    HMENU loadMainMenu() const;

    MonitorApp& app_;
    HWND hwnd_ = nullptr;
    HWND statusBar_ = nullptr;
    HMENU menu_ = nullptr;
};

}  // namespace zelo
