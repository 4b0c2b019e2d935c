#include "tests/hostile/external_sim.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <sstream>
#include <vector>

namespace zelo::test {
namespace {

std::int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Reads from fd into buffer until it holds a line end or the time is up;
// the line (without its end) is taken out of the buffer.
bool takeLine(int fd, std::string& buffer, std::string& line, int timeoutMs) {
    const std::int64_t deadline = nowMs() + timeoutMs;
    for (;;) {
        const std::size_t nl = buffer.find('\n');
        if (nl != std::string::npos) {
            line = buffer.substr(0, nl);
            buffer.erase(0, nl + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return true;
        }
        const std::int64_t left = deadline - nowMs();
        if (left <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, static_cast<int>(left));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        char buf[4096];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        buffer.append(buf, static_cast<std::size_t>(n));
    }
}

}  // namespace

bool ExternalSim::readLine(std::string& line, int timeoutMs) {
    return takeLine(out_, outBuffer_, line, timeoutMs);
}

bool ExternalSim::start(const std::string& program, const std::string& fleetText,
                        std::string& error) {
    const std::string fleetFile = dir_.file("hostile.fleet");
    writeBytes(fleetFile, fleetText);
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        error = "pipe failed";
        return false;
    }
    std::vector<std::string> args = {program, fleetFile, "--control", "0", "--interval", "0"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ == 0) {
        // The simulator goes when this process goes, even when it is killed
        // before it could stop it (a test run cut short by its time-out).
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) ::_exit(127);
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    out_ = pipeFds[0];
    if (pid_ < 0) {
        pid_ = -1;
        error = "cannot start " + program;
        return false;
    }
    // "device NAME model CODE MODELNAME console ADDR:PORT", "control ADDR:PORT", "ready"
    int controlPort = 0;
    const std::int64_t deadline = nowMs() + 10'000;
    std::string line;
    for (;;) {
        const std::int64_t left = deadline - nowMs();
        if (left <= 0 || !readLine(line, static_cast<int>(left))) {
            error = "zelo-sim did not get ready";
            return false;
        }
        if (line == "ready") break;
        std::istringstream words(line);
        std::string kind, name, w, address;
        words >> kind;
        if (kind == "device") {
            words >> name >> w >> w >> w >> w >> address;
            ports_[name] = std::atoi(address.substr(address.rfind(':') + 1).c_str());
        } else if (kind == "control") {
            words >> address;
            controlPort = std::atoi(address.substr(address.rfind(':') + 1).c_str());
        }
    }
    controlFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(controlPort));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (controlFd_ < 0 || ::connect(controlFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        error = "cannot reach the control socket";
        return false;
    }
    return true;
}

int ExternalSim::port(const std::string& name) const {
    const auto it = ports_.find(name);
    return it == ports_.end() ? 0 : it->second;
}

std::string ExternalSim::control(const std::string& line) {
    if (controlFd_ < 0) return {};
    const std::string text = line + "\n";
    if (::send(controlFd_, text.data(), text.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(text.size()))
        return {};
    std::string reply, got;
    while (takeLine(controlFd_, controlBuffer_, got, 5000)) {
        reply += got;
        if (got == "OK" || got.compare(0, 4, "ERR ") == 0) return reply;
        reply += "\n";
    }
    return {};
}

void ExternalSim::stop() {
    if (controlFd_ >= 0) ::close(controlFd_);
    controlFd_ = -1;
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        // SIGTERM ends the loop within one round (200 ms); SIGKILL if it does not.
        const std::int64_t deadline = nowMs() + 5000;
        while (::waitpid(pid_, &status, WNOHANG) == 0) {
            if (nowMs() > deadline) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
                break;
            }
            pollfd none{-1, 0, 0};
            ::poll(&none, 0, 10);
        }
        pid_ = -1;
    }
    if (out_ >= 0) ::close(out_);
    out_ = -1;
}

}  // namespace zelo::test
