#include "win32/device_view_win32.h"

#include <commctrl.h>

#include "common/text_encoding.h"
#include "directory/device_record.h"
#include "win32/control_window_win32.h"
#include "win32/main_window_win32.h"
#include "win32/monitor_app_win32.h"

namespace zelo {
namespace {
constexpr WPARAM kMessagePart = 2;  // the status bar's right part
}  // namespace

void WindowDeviceView::recordChanged(const DeviceRecord& record) {
    if (panes_) panes_->recordChanged(record);
}

void WindowDeviceView::outletsChanged(int index) {
    // The view counts outlets from 0; the window numbers them as its rows.
    if (control_) control_->redrawOutlet(index < 0 ? -1 : index + 1);
}

void WindowDeviceView::connectionLost() {
    if (control_) control_->showDisconnected();
}

void WindowDeviceView::connectionBack() {
    if (control_) control_->updateControlTitle();
}

void WindowDeviceView::connectingShown(const DeviceRecord& record) {
    const LangStrings& s = app_.strings();
    const std::string connecting = s.text(Text::Connecting);
    HWND owner = app_.mainWindow() ? app_.mainWindow()->hwnd() : nullptr;
    connecting_.show(owner, app_.instance(), s, connecting, record.name + " " + connecting);
}

void WindowDeviceView::connectingHidden() {
    connecting_.hide();
}

void WindowDeviceView::showMessage(std::optional<Text> textId, const std::string& path,
                                   const std::string& reason) {
    // Shown in the status bar: a message box would stop the timer's polling
    // and come back with every report. The path is UTF-8, the message the
    // ANSI code page's.
    const MainWindow* main = app_.mainWindow();
    if (!main || !main->statusBar()) return;
    const std::wstring text =
        textId ? ansiToWide(app_.strings().text(*textId)) + utf8ToWide(path) +
                     (reason.empty() ? std::wstring() : L" (" + ansiToWide(reason) + L")")
               : std::wstring();
    SendMessageW(main->statusBar(), SB_SETTEXTW, kMessagePart,
                 reinterpret_cast<LPARAM>(text.c_str()));
    shownItemFile_ = textId == Text::ItemFileWriteFailed ? path : std::string();
}

void WindowDeviceView::eventLogFailed(const std::string& path, const std::string& reason) {
    showMessage(Text::EventLogWriteFailed, path, reason);
}

void WindowDeviceView::itemFileFailed(const std::string& path) {
    showMessage(Text::ItemFileWriteFailed, path);
}

void WindowDeviceView::itemFileWritten(const std::string& path) {
    if (path == shownItemFile_) showMessage(std::nullopt, {});
}

}  // namespace zelo
