// zeloctl on Windows. The narrow argv holds the ANSI code page and loses
// what that page cannot show, so the arguments are taken from the wide
// command line as UTF-8, which is also what the core's file calls take
// (they open files through the UTF-16 functions). The console is switched to UTF-8 for the
// run and back afterwards, so the window it runs in keeps its code page.
// Ctrl+Break and the close of the console window stop `listen` as Ctrl+C
// does.
#include <windows.h>

#include <shellapi.h>
#include <winsock.h>

#include <cstdlib>

#include "cli/platform.h"
#include "common/text_encoding.h"

namespace zelo::cli {
namespace {

UINT savedOutputCodePage = 0;

void restoreConsole() {
    if (savedOutputCodePage) SetConsoleOutputCP(savedOutputCodePage);
}

std::string narrow(const wchar_t* text, UINT codePage) {
    const int bytes = WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) return std::string();
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(codePage, 0, text, -1, out.data(), bytes, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(bytes - 1));
    return out;
}

std::string systemReason(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    std::string out = n && text ? narrow(text, CP_UTF8) : std::string();
    if (text) LocalFree(text);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' '))
        out.pop_back();
    return out.empty() ? "Windows error " + std::to_string(error) : out;
}

volatile std::sig_atomic_t* stopFlag = nullptr;
HANDLE stopDone = nullptr;  // set when the guard goes

// Runs on a thread of its own. Ctrl+C and Ctrl+Break only ask; after the
// other events the process ends when this returns, so it waits for the loop.
BOOL WINAPI consoleControl(DWORD event) {
    if (!stopFlag) return FALSE;
    *stopFlag = 1;
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) WaitForSingleObject(stopDone, INFINITE);
    return TRUE;
}

}  // namespace

StopRequests::StopRequests(volatile std::sig_atomic_t& flag) {
    if (!stopDone) stopDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ResetEvent(stopDone);
    stopFlag = &flag;
    SetConsoleCtrlHandler(consoleControl, TRUE);
}

StopRequests::~StopRequests() {
    SetConsoleCtrlHandler(consoleControl, FALSE);
    stopFlag = nullptr;
    // A close waiting in the handler may now end the process.
    SetEvent(stopDone);
}

int handleConsoleEvent(unsigned long event) {
    return consoleControl(event);
}

bool isDirectory(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(utf8ToWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

MadeDirectory makeDirectory(const std::string& path) {
    MadeDirectory result;
    result.made = CreateDirectoryW(utf8ToWide(path).c_str(), nullptr) != 0;
    if (!result.made) {
        const DWORD error = GetLastError();
        result.parentMissing = error == ERROR_PATH_NOT_FOUND;
        result.reason = systemReason(error);
    }
    return result;
}

bool startPlatform() {
    savedOutputCodePage = GetConsoleOutputCP();  // 0 without a console
    if (savedOutputCodePage && savedOutputCodePage != CP_UTF8 && SetConsoleOutputCP(CP_UTF8))
        std::atexit(restoreConsole);
    else
        savedOutputCodePage = 0;
    // Windows Sockets 1.1, as the desktop program starts them.
    WSADATA wsa;
    return WSAStartup(0x0101, &wsa) == 0;
}

std::vector<std::string> utf8Arguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) args.push_back(narrow(wide[i], CP_UTF8));
    LocalFree(wide);
    return args;
}

bool japaneseLocale() {
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE;
}

}  // namespace zelo::cli
