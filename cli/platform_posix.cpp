// zeloctl on POSIX systems: the command line and paths are UTF-8 bytes
// already, and the sockets need no start (sends never raise SIGPIPE).
#include "cli/platform.h"

namespace zelo::cli {

bool startPlatform() { return true; }

std::vector<std::string> utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

std::string filePath(const std::string& utf8) { return utf8; }

}  // namespace zelo::cli
