#pragma once
// Programs the tests run as children, and a raw TCP client on loopback. A
// child's standard output and error go to files or to a pipe the test reads
// lines from; the child goes when the test process goes.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace zelo::test {

inline std::int64_t steadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The next line (without its CR LF) from `fd`, read through `buffer`; false
// when none is complete within the time or the peer closed.
inline bool readLine(int fd, std::string& buffer, std::string& line, int timeoutMs) {
    const std::int64_t deadline = steadyMs() + timeoutMs;
    std::size_t nl;
    while ((nl = buffer.find('\n')) == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        const int r =
            ::poll(&p, 1, static_cast<int>(std::max<std::int64_t>(0, deadline - steadyMs())));
        if (r < 0 && errno == EINTR) continue;
        char chunk[4096];
        const ssize_t n = r > 0 ? ::read(fd, chunk, sizeof chunk) : 0;
        if (n <= 0) return false;
        buffer.append(chunk, static_cast<std::size_t>(n));
    }
    line = buffer.substr(0, nl > 0 && buffer[nl - 1] == '\r' ? nl - 1 : nl);
    buffer.erase(0, nl + 1);
    return true;
}

class ChildProcess {
public:
    ~ChildProcess() {
        signal(SIGTERM);
        wait(5000);
        if (pipe_ >= 0) ::close(pipe_);
    }

    // Starts argv[0]. Each of `outFile` and `errFile` names a file, is "|"
    // for the pipe, or is empty for the test's own stream.
    bool start(const std::vector<std::string>& argv, const std::string& outFile = "|",
               const std::string& errFile = "") {
        int fds[2];
        if (::pipe(fds) != 0) return false;
        const pid_t parent = ::getpid();
        pid_ = ::fork();
        if (pid_ == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent) ::_exit(127);
            ::dup2(::open("/dev/null", O_RDONLY), 0);
            for (const auto& [fd, name] : {std::pair{1, outFile}, std::pair{2, errFile}}) {
                if (name == "|")
                    ::dup2(fds[1], fd);
                else if (!name.empty())
                    ::dup2(::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), fd);
            }
            ::close(fds[0]);
            ::close(fds[1]);
            std::vector<char*> args;
            for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        pipe_ = fds[0];
        return pid_ > 0;
    }
    bool readLine(std::string& line, int timeoutMs) {
        return test::readLine(pipe_, buffer_, line, timeoutMs);
    }
    pid_t pid() const { return pid_; }
    void signal(int sig) {
        if (pid_ > 0) ::kill(pid_, sig);
    }
    // The exit code (-1 after a signal); killed when it has not ended in time.
    int wait(int timeoutMs = 30'000) {
        int status = 0;
        for (const std::int64_t deadline = steadyMs() + timeoutMs;
             pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == 0;) {
            if (steadyMs() > deadline) ::kill(pid_, SIGKILL);
            ::poll(nullptr, 0, 5);
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    int pipe_ = -1;
    std::string buffer_;
};

// A TCP client of a loopback port.
class LoopbackClient {
public:
    ~LoopbackClient() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool connect(int port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    bool send(const std::string& text) {
        return ::send(fd_, text.data(), text.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(text.size());
    }
    bool readLine(std::string& line, int timeoutMs) {
        return test::readLine(fd_, buffer_, line, timeoutMs);
    }

private:
    int fd_ = -1;
    std::string buffer_;
};

// Runs a program to its end, its output and error output in files of
// `scratch`.
struct RunResult {
    int code = -1;
    std::string out, err;
};
inline RunResult runProgram(const std::string& program, std::vector<std::string> args,
                            const TempDir& scratch) {
    args.insert(args.begin(), program);
    ChildProcess child;
    RunResult r;
    if (!child.start(args, scratch.file("stdout.txt"), scratch.file("stderr.txt"))) return r;
    r.code = child.wait();
    r.out = readBytes(scratch.file("stdout.txt"));
    r.err = readBytes(scratch.file("stderr.txt"));
    return r;
}

}  // namespace zelo::test
