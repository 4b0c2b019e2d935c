#pragma once
// What zeloctl needs from the system under it, in one small seam: the
// sockets started, a console that shows the UTF-8 it prints, and the command
// line as UTF-8 (paths stay UTF-8: the core's file calls take them so).

#include <csignal>
#include <string>
#include <vector>

namespace zelo::cli {

// Once, before any command runs. False when the sockets cannot be started.
bool startPlatform();

// The program's arguments after the program name, as UTF-8 (names on the
// command line are compared with the stored texts through UTF-8).
std::vector<std::string> utf8Arguments(int argc, char** argv);

// Whether `path` (UTF-8) names a directory.
bool isDirectory(const std::string& path);

// Makes the directory `path` (UTF-8; its parent must exist).
struct MadeDirectory {
    bool made = false;
    bool parentMissing = false;
    std::string reason;  // the system's, UTF-8, when not made
};
MadeDirectory makeDirectory(const std::string& path);

// While one lives, a request to end the program sets `flag` instead of
// ending it: SIGINT and SIGTERM; on Windows Ctrl+C, Ctrl+Break and the close
// of the console window (or the user's logoff, the system's shutdown). After
// a close Windows ends the process as soon as the handler returns, so the
// handler waits (within the few seconds the system gives) until the guard is
// gone: the loop that watches the flag ends first, with every file whole.
// One at a time.
class StopRequests {
public:
    explicit StopRequests(volatile std::sig_atomic_t& flag);
    ~StopRequests();
    StopRequests(const StopRequests&) = delete;
    StopRequests& operator=(const StopRequests&) = delete;
};
#ifdef _WIN32
// What the console calls on an event (CTRL_C_EVENT to CTRL_SHUTDOWN_EVENT),
// callable as the console calls it: Wine delivers Ctrl+C alone, so a test
// makes the other events this way.
int handleConsoleEvent(unsigned long event);
#endif
// Whether the user's locale is Japanese (LC_ALL, LC_MESSAGES or LANG
// beginning with "ja"; on Windows the user's interface language).
bool japaneseLocale();

}  // namespace zelo::cli
