// zeloctl on POSIX systems: the command line and paths are UTF-8 bytes
// already, and the sockets need no start (sends never raise SIGPIPE).
#include <cstdlib>

#include "cli/platform.h"

namespace zelo::cli {

bool startPlatform() { return true; }

std::vector<std::string> utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

std::string filePath(const std::string& utf8) { return utf8; }

bool japaneseLocale() {
    // The first of these that is set decides, as for the C library's messages.
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return value[0] == 'j' && value[1] == 'a';
    }
    return false;
}

}  // namespace zelo::cli
