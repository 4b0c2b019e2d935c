#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "status/udp_receiver.h"

namespace zelo {

bool UdpReceiver::open(std::uint16_t port, std::uint32_t address) {
    close();
    openError_.clear();
    const auto fail = [this](int error) {
        openError_ = std::strerror(error);
        if (!openError_.empty() && openError_[0] >= 'A' && openError_[0] <= 'Z')
            openError_[0] = static_cast<char>(openError_[0] - 'A' + 'a');
        return false;
    };
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) return fail(errno);
    const int flags = ::fcntl(fd, F_GETFL, 0);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    int queue = kReceiveQueueBytes;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &queue, sizeof queue);  // best effort
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(address);
    sa.sin_port = htons(port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) < 0) {
        const int error = errno;
        ::close(fd);
        return fail(error);
    }
    handle_ = fd;
    return true;
}

void UdpReceiver::close() noexcept {
    if (handle_ != kNone) ::close(static_cast<int>(handle_));
    handle_ = kNone;
}

std::uint16_t UdpReceiver::localPort() const noexcept {
    if (handle_ == kNone) return 0;
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (::getsockname(static_cast<int>(handle_), reinterpret_cast<sockaddr*>(&sa), &len) != 0)
        return 0;
    return ntohs(sa.sin_port);
}

UdpReceiver::Result UdpReceiver::receive(std::uint8_t* buffer, std::size_t capacity,
                                         std::size_t& size) noexcept {
    size = 0;
    if (handle_ == kNone) return Result::Error;
    for (;;) {
        const ssize_t n = ::recv(static_cast<int>(handle_), buffer, capacity, 0);
        if (n >= 0) {
            size = static_cast<std::size_t>(n);
            return Result::Datagram;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return Result::Empty;
        return Result::Error;
    }
}

bool UdpReceiver::waitReadable(int timeoutMs) noexcept {
    if (handle_ == kNone) return false;
    pollfd p{static_cast<int>(handle_), POLLIN, 0};
    return ::poll(&p, 1, timeoutMs < 0 ? 0 : timeoutMs) > 0 && (p.revents & POLLIN);
}

int UdpReceiver::receiveQueueBytes() const noexcept {
    if (handle_ == kNone) return 0;
    int value = 0;
    socklen_t len = sizeof value;
    if (::getsockopt(static_cast<int>(handle_), SOL_SOCKET, SO_RCVBUF, &value, &len) != 0) return 0;
    return value;
}

}  // namespace zelo
