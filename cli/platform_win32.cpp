// zeloctl on Windows. The narrow argv holds the ANSI code page and loses
// what that page cannot show, so the arguments are taken from the wide
// command line as UTF-8, which is also what the core's file calls take
// (they open files through the UTF-16 functions). The console is switched to UTF-8 for the
// run and back afterwards, so the window it runs in keeps its code page.
#include <windows.h>
#include <winsock.h>
#include <shellapi.h>

#include <cstdlib>

#include "cli/platform.h"

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

}  // namespace

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

}  // namespace zelo::cli
