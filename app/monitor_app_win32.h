#pragma once
// The desktop program's owner object: settings, strings, window handles and
// the flags the main window timer reads. Built once by the entry point; it
// runs start-up, the message loop and the release of what it holds.

#include <windows.h>

#include <array>
#include <memory>
#include <string>

#include "app/app_settings.h"
#include "app/lang_strings.h"

namespace zelo {

class MainWindow;

// Which modal window is open; the main window timer does not poll the
// status listener while the property dialog is.
enum class OpenDialog { None = 0, ControlWindow = 1, Options = 2, Property = 3 };

class MonitorApp {
public:
    MonitorApp(HINSTANCE instance, int showCommand);
    ~MonitorApp();
    MonitorApp(const MonitorApp&) = delete;
    MonitorApp& operator=(const MonitorApp&) = delete;

    // Start-up, message loop, release. The process exit code (always 0).
    int run();

    HINSTANCE instance() const { return instance_; }
    const std::string& moduleDirectory() const { return moduleDirectory_; }
    AppSettings& settings() { return settings_; }
    const LangStrings& strings() const { return strings_; }
    HBRUSH brush(int index) const { return brushes_[static_cast<std::size_t>(index)]; }

    // Flags of the background work, read by the main window timer.
    bool listenerOpen = false;
    bool busy = false;
    OpenDialog openDialog = OpenDialog::None;

    // Whether the timer tick may poll the status listener now.
    bool mayPollListener() const {
        return listenerOpen && openDialog != OpenDialog::Property && !busy;
    }

    // Error box with caption 185 and text `textId`; question box with caption
    // `captionId`, Yes/No and the question icon: true for Yes.
    void showError(HWND owner, int textId) const;
    bool askYesNo(HWND owner, int textId, int captionId) const;

private:
    static std::string findModuleDirectory();
    void createBrushes();
    void releaseShared();
    bool registerWindowClasses();
    int messageLoop(HACCEL accelerators);

    HINSTANCE instance_;
    int showCommand_;
    std::string moduleDirectory_;  // ends with a backslash
    AppSettings settings_;
    LangStrings strings_;
    std::array<HBRUSH, 9> brushes_{};
    std::unique_ptr<MainWindow> mainWindow_;
};

}  // namespace zelo
