// zelo_post_command: posts a window command to the running ZELO.exe's main
// window, as its menu would, so that scripts can open its dialogs (the
// screenshots of docs/screenshots are made this way).
//   zelo_post_command.exe COMMAND-ID
// Exit code 0 when the window was found and the command posted, 1 otherwise.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 2) return 1;
    const int id = std::atoi(argv[1]);
    HWND main = FindWindowA("ZELO", nullptr);
    if (!main || id <= 0) return 1;
    return PostMessageA(main, WM_COMMAND, static_cast<WPARAM>(id), 0) ? 0 : 1;
}
