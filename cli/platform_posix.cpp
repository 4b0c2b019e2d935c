// zeloctl on POSIX systems: the command line is UTF-8 bytes already, and the sockets need no start (sends never raise SIGPIPE).
#include "cli/platform.h"

namespace zelo::cli {

bool startPlatform() { return true; }

std::vector<std::string> utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

}  // namespace zelo::cli
