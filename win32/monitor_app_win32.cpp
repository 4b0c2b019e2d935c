#include "win32/monitor_app_win32.h"

#include <winsock.h>

#include <chrono>
#include <cstdio>

#include "common/text_encoding.h"
#include "resources/resource_ids.h"
#include "win32/image_list_win32.h"
#include "win32/main_window_win32.h"
#include "win32/splitter_win32.h"

namespace zelo {
namespace {

constexpr std::chrono::microseconds kWindowTickBudget{10000};
constexpr WPARAM kMessagePart = 2;  // the status bar's right part

constexpr COLORREF kBrushColours[9] = {
    RGB(0, 0, 128),     RGB(0, 96, 96),   RGB(255, 255, 255), 0 /* button face */, RGB(64, 255, 64),
    RGB(128, 128, 128), RGB(255, 255, 0), RGB(255, 0, 0),     RGB(32, 128, 32),
};
constexpr int kButtonFaceBrush = 3;

// A class registered by an earlier MonitorApp of this process serves again.
bool registered(const WNDCLASSEXA& wc) {
    return RegisterClassExA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

MonitorApp::MonitorApp(HINSTANCE instance, int showCommand)
    : MonitorApp(instance, showCommand, findModuleDirectory(), nullptr, true) {}

MonitorApp::MonitorApp(HINSTANCE instance, int showCommand, std::string dataDir, Frontend& frontend)
    : MonitorApp(instance, showCommand, std::move(dataDir), &frontend, false) {}

MonitorApp::MonitorApp(HINSTANCE instance, int showCommand, std::string dataDir, Frontend* frontend,
                       bool ownDirectory)
    : instance_(instance),
      showCommand_(showCommand),
      ownDirectory_(ownDirectory),
      moduleDirectory_(std::move(dataDir)),
      network_(makeSystemNetwork()),
      frontend_(frontend ? *frontend : guiFrontend_),
      workspace_(moduleDirectory_, *network_, clock_, frontend_, view_) {
    guiFrontend_.setStrings(workspace_.strings());
}

MonitorApp::~MonitorApp() {
    mainWindow_.reset();
    releaseShared();
}

std::string MonitorApp::findModuleDirectory() {
    // UTF-8, as the file calls take paths: a folder outside the ANSI code
    // page is found too.
    std::wstring path(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(n < path.size() ? n : 0);
    std::string dir = wideToUtf8(path);
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

void MonitorApp::buildImageList() {
    if (!imageList_) imageList_ = zelo::buildImageList(instance_);
}

void MonitorApp::releaseShared() {
    for (HBRUSH& b : brushes_) {
        if (b) DeleteObject(b);
        b = nullptr;
    }
    if (imageList_) ImageList_Destroy(imageList_);
    imageList_ = nullptr;
}

bool MonitorApp::registerWindowClasses() {
    WNDCLASSEXA split{};
    split.cbSize = sizeof split;
    split.style = CS_HREDRAW | CS_VREDRAW;
    split.lpfnWndProc = SplitterPane::windowProc;
    split.hInstance = instance_;
    split.hCursor = LoadCursor(nullptr, IDC_ARROW);
    split.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    split.lpszClassName = kSplitBaseClass;
    registered(split);

    const std::string mainClass(LangStrings::entry(Text::MainWindowClass));
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWindow::windowProc;
    wc.hInstance = instance_;
    wc.hIcon = LoadIconA(instance_, MAKEINTRESOURCEA(IDI_PROGRAM));
    wc.hIconSm = static_cast<HICON>(
        LoadImageA(instance_, MAKEINTRESOURCEA(IDI_PROGRAM), IMAGE_ICON, 16, 16, 0));
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    wc.lpszClassName = mainClass.c_str();
    if (!registered(wc)) return false;
    // The child panes: the same attributes, the pane procedure.
    wc.lpfnWndProc = SplitterPane::childProc;
    wc.lpszClassName = kSplitChildClass;
    return registered(wc);
}

bool MonitorApp::start() {
    createBrushes();
    // Every file of the program lives beside the executable.
    if (ownDirectory_) SetCurrentDirectoryW(utf8ToWide(moduleDirectory_).c_str());
    // The settings, the group outline and every group's devices (the tree
    // and the list show them once they exist).
    workspace_.load();

    InitCommonControls();
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_DATE_CLASSES | ICC_INTERNET_CLASSES};
    InitCommonControlsEx(&icc);

    if (!registerWindowClasses()) {
        releaseShared();
        return false;
    }
    mainWindow_ = std::make_unique<MainWindow>(*this);
    if (!mainWindow_->create(std::string(LangStrings::entry(Text::MainWindowClass)),
                             std::string(LangStrings::entry(Text::WindowTitle)), showCommand_)) {
        mainWindow_.reset();
        releaseShared();
        return false;
    }
    guiFrontend_.setOwner(mainWindow_->hwnd());
    accelerators_ = LoadAcceleratorsA(instance_, MAKEINTRESOURCEA(IDR_ACCELERATORS));

    // Windows Sockets 1.1; a failure only means the listener will not open.
    WSADATA wsa;
    WSAStartup(0x0101, &wsa);
    // The status listener, when MSRPenable is on; the program runs on
    // without it when the port cannot be bound.
    workspace_.station().openStatusListener();
    // A timer tick decodes for at most 10 ms (its save of the changed
    // groups comes on top), so that the window answers within about 50 ms
    // even in a storm of reports; what is left waits in the socket for the
    // next tick.
    workspace_.station().setTickBudget(kWindowTickBudget);

    // Lines of the directory file that could not be read were skipped (and
    // stay in the file): the status bar says how many.
    if (const int damaged = workspace_.directory().outline().damagedLines) {
        const std::string text =
            strings().text(Text::DirectoryLinesSkipped) + std::to_string(damaged);
        SendMessageA(mainWindow_->statusBar(), SB_SETTEXTA, kMessagePart,
                     reinterpret_cast<LPARAM>(text.c_str()));
    }
    mainWindow_->focusTree();
    return true;
}

void MonitorApp::messageLoop() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        // The commands go to the main window, whichever control has the focus.
        HWND main = mainWindow_ ? mainWindow_->hwnd() : nullptr;
        if (!main || !TranslateAcceleratorA(main, accelerators_, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

bool MonitorApp::lockDataDirectory() {
    // A directory that cannot be locked at all (read-only) still opens: the
    // program cannot write there either.
    if (dataLock_.take(moduleDirectory_, "ZELO.exe") != DataLock::Result::Held) return true;
    // The message in the configured language; reading ZELO.INI writes nothing.
    settings().loadSettings(strings());
    char text[1024];
    std::snprintf(text, sizeof text, strings().text(Text::DirectoryInUse).c_str(),
                  moduleDirectory_.c_str(), dataLock_.holder().c_str());
    MessageBoxA(nullptr, text, strings().text(Text::ErrorCaption).c_str(), MB_OK | MB_ICONHAND);
    return false;
}

int MonitorApp::run() {
    if (!lockDataDirectory() || !start()) return 0;
    messageLoop();
    mainWindow_.reset();
    releaseShared();
    return 0;
}

}  // namespace zelo
