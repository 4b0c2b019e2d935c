#include "app/monitor_app_win32.h"

#include <commctrl.h>
#include <winsock.h>

#include "app/main_window_win32.h"
#include "resources/resource_ids.h"

namespace zelo {
namespace {

constexpr COLORREF kBrushColours[9] = {
    RGB(0, 0, 128),  RGB(0, 96, 96),   RGB(255, 255, 255),
    0 /* button face */, RGB(64, 255, 64), RGB(128, 128, 128),
    RGB(255, 255, 0), RGB(255, 0, 0),  RGB(32, 128, 32),
};
constexpr int kButtonFaceBrush = 3;

}  // namespace

MonitorApp::MonitorApp(HINSTANCE instance, int showCommand)
    : instance_(instance),
      showCommand_(showCommand),
      moduleDirectory_(findModuleDirectory()),
      settings_(moduleDirectory_ + kSettingsFileName),
      strings_(settings_),
      frontend_(strings_, state),
      directory_(moduleDirectory_, settings_, strings_),
      station_(directory_, currentStatus_, settings_, strings_, frontend_, clock_, state) {}

MonitorApp::~MonitorApp() { releaseShared(); }

std::string MonitorApp::findModuleDirectory() {
    char path[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path, n);
    const std::size_t slash = dir.find_last_of('\\');
    dir.erase(slash == std::string::npos ? 0 : slash + 1);
    return dir;
}

void MonitorApp::createBrushes() {
    for (int i = 0; i < 9; ++i) {
        const COLORREF colour =
            i == kButtonFaceBrush ? GetSysColor(COLOR_BTNFACE) : kBrushColours[i];
        brushes_[static_cast<std::size_t>(i)] = CreateSolidBrush(colour);
    }
}

void MonitorApp::releaseShared() {
    for (HBRUSH& b : brushes_) {
        if (b) DeleteObject(b);
        b = nullptr;
    }
}

bool MonitorApp::registerWindowClasses() {
    WNDCLASSEXA split{};
    split.cbSize = sizeof split;
    split.style = CS_HREDRAW | CS_VREDRAW;
    split.lpfnWndProc = DefWindowProcA;  // the splitter panes come with the tree and list
    split.hInstance = instance_;
    split.hCursor = LoadCursor(nullptr, IDC_ARROW);
    split.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    split.lpszClassName = "SplitBase Class";
    RegisterClassExA(&split);
    return MainWindow::registerClass(instance_, std::string(LangStrings::entry(101)));
}

int MonitorApp::run() {
    createBrushes();
    // Every file of the program lives beside the executable.
    SetCurrentDirectoryA(moduleDirectory_.c_str());
    settings_.loadSettings(strings_);
    // The group outline and every group's devices (the tree and the list
    // show them once they exist).
    directory_.load();

    InitCommonControls();
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_DATE_CLASSES | ICC_INTERNET_CLASSES};
    InitCommonControlsEx(&icc);

    if (!registerWindowClasses()) {
        releaseShared();
        return 0;
    }
    mainWindow_ = std::make_unique<MainWindow>(*this);
    if (!mainWindow_->create(std::string(LangStrings::entry(101)),
                             std::string(LangStrings::entry(100)), showCommand_)) {
        mainWindow_.reset();
        releaseShared();
        return 0;
    }
    frontend_.setOwner(mainWindow_->hwnd());
    HACCEL accelerators = LoadAcceleratorsA(instance_, MAKEINTRESOURCEA(IDR_ACCELERATORS));

    // Windows Sockets 1.1; a failure only means the listener will not open.
    WSADATA wsa;
    WSAStartup(0x0101, &wsa);
    // The status listener, when MSRPenable is on; the program runs on
    // without it when the port cannot be bound.
    station_.openStatusListener();

    mainWindow_->focusTree();
    const int code = messageLoop(accelerators);
    mainWindow_.reset();
    releaseShared();
    (void)code;
    return 0;
}

int MonitorApp::messageLoop(HACCEL accelerators) {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (!TranslateAcceleratorA(msg.hwnd, accelerators, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace zelo
