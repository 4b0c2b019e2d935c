#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "connection/network.h"

namespace zelo {
namespace {

class PosixStream final : public TcpStream {
public:
    explicit PosixStream(int fd) noexcept : fd_(fd) {}
    ~PosixStream() override { ::close(fd_); }

    int send(const char* data, std::size_t size) noexcept override {
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::send(fd_, data + done, size - done, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return -1;
            done += static_cast<std::size_t>(n);
        }
        return static_cast<int>(done);
    }

    int waitReadable(std::int64_t timeoutMicros) noexcept override {
        pollfd p{fd_, POLLIN, 0};
        const int ms = timeoutMicros <= 0 ? 0 : static_cast<int>((timeoutMicros + 999) / 1000);
        int r;
        do r = ::poll(&p, 1, ms);
        while (r < 0 && errno == EINTR);
        if (r < 0) return -1;
        return r > 0 ? 1 : 0;
    }

    int recv(char* buffer, std::size_t size) noexcept override {
        ssize_t n;
        do n = ::recv(fd_, buffer, size, 0);
        while (n < 0 && errno == EINTR);
        return n < 0 ? -1 : static_cast<int>(n);
    }

    void shutdown(bool both) noexcept override { ::shutdown(fd_, both ? SHUT_RDWR : SHUT_WR); }

private:
    int fd_;
};

// The reason of the calling thread's last failure (deliveries connect from
// several threads at once).
thread_local std::string lastFailure;

void noteFailure(int error) {
    lastFailure = std::strerror(error);
    if (!lastFailure.empty() && lastFailure[0] >= 'A' && lastFailure[0] <= 'Z')
        lastFailure[0] = static_cast<char>(lastFailure[0] - 'A' + 'a');
}

class PosixNetwork final : public Network {
public:
    std::string lastError() const override { return lastFailure; }

    std::uint32_t lookupHost(const std::string& name) noexcept override {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* result = nullptr;
        const int rc = ::getaddrinfo(name.c_str(), nullptr, &hints, &result);
        if (rc != 0 || !result) {
            lastFailure = rc == EAI_SYSTEM ? std::strerror(errno) : ::gai_strerror(rc);
            return 0;
        }
        const auto* in = reinterpret_cast<const sockaddr_in*>(result->ai_addr);
        const std::uint32_t address = ntohl(in->sin_addr.s_addr);
        ::freeaddrinfo(result);
        return address;
    }

    std::unique_ptr<TcpStream> connect(std::uint32_t address, std::uint16_t port,
                                       bool& socketCreated) noexcept override {
        socketCreated = false;
        lastFailure.clear();
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0) {
            noteFailure(errno);
            return nullptr;
        }
        socketCreated = true;
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(port);
        sa.sin_addr.s_addr = htonl(address);
        // A bounded connect: an address that never answers must not hang the
        // dialogue.
        const int flags = ::fcntl(fd, F_GETFL, 0);
        ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
        int r = ::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        if (r < 0 && errno != EINPROGRESS) noteFailure(errno);
        if (r < 0 && errno == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            do r = ::poll(&p, 1, kConnectTimeoutSeconds * 1000);
            while (r < 0 && errno == EINTR);
            int error = 0;
            socklen_t len = sizeof error;
            if (r == 0) {
                lastFailure = "no answer within " + std::to_string(kConnectTimeoutSeconds) + " s";
                r = -1;
            } else if (r == 1 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) == 0 &&
                       error == 0) {
                r = 0;
            } else {
                noteFailure(error ? error : errno);
                r = -1;
            }
        }
        if (r != 0) {
            ::close(fd);
            return nullptr;
        }
        ::fcntl(fd, F_SETFL, flags);
        // Every command goes out in one write and is answered before the
        // next: a small write held back for the acknowledgement of the one
        // before (Nagle) would only add the device's delayed ACK to a wait.
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        return std::make_unique<PosixStream>(fd);
    }
};

}  // namespace

std::unique_ptr<Network> makeSystemNetwork() {
    return std::make_unique<PosixNetwork>();
}

}  // namespace zelo
