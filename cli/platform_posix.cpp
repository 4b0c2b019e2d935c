// zeloctl on POSIX systems: the command line is UTF-8 bytes already, and the sockets need no start
// (sends never raise SIGPIPE).
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "cli/platform.h"

namespace zelo::cli {
namespace {

volatile std::sig_atomic_t* stopFlag = nullptr;
void (*previousInt)(int) = SIG_DFL;
void (*previousTerm)(int) = SIG_DFL;

extern "C" void requestStop(int) {
    if (stopFlag) *stopFlag = 1;
}

}  // namespace

StopRequests::StopRequests(volatile std::sig_atomic_t& flag) {
    stopFlag = &flag;
    previousInt = std::signal(SIGINT, requestStop);
    previousTerm = std::signal(SIGTERM, requestStop);
}

StopRequests::~StopRequests() {
    std::signal(SIGINT, previousInt);
    std::signal(SIGTERM, previousTerm);
    stopFlag = nullptr;
}

bool startPlatform() {
    return true;
}

std::vector<std::string> utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

bool isDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

MadeDirectory makeDirectory(const std::string& path) {
    MadeDirectory result;
    result.made = ::mkdir(path.c_str(), 0777) == 0;
    if (!result.made) {
        result.parentMissing = errno == ENOENT;
        result.reason = std::strerror(errno);
    }
    return result;
}

bool japaneseLocale() {
    // The first of these that is set decides, as for the C library's messages.
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return value[0] == 'j' && value[1] == 'a';
    }
    return false;
}

}  // namespace zelo::cli
