#include <winsock2.h>

#include <cstdint>

#include "status/udp_receiver.h"

namespace zelo {
namespace {

SOCKET asSocket(std::intptr_t h) {
    return static_cast<SOCKET>(h);
}

}  // namespace

bool UdpReceiver::open(std::uint16_t port, std::uint32_t address) {
    close();
    openError_.clear();
    // Each successful start is matched by the cleanup in close().
    WSADATA wsa;
    if (WSAStartup(0x0101, &wsa) != 0) return false;
    started_ = true;
    const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (s == INVALID_SOCKET) {
        close();
        return false;
    }
    u_long nonBlocking = 1;
    ::ioctlsocket(s, FIONBIO, &nonBlocking);
    int queue = kReceiveQueueBytes;
    ::setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&queue), sizeof queue);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(address);
    sa.sin_port = htons(port);
    if (::bind(s, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == SOCKET_ERROR) {
        const int error = WSAGetLastError();
        openError_ = error == WSAEADDRINUSE      ? "address already in use"
                     : error == WSAEADDRNOTAVAIL ? "cannot assign requested address"
                     : error == WSAEACCES        ? "permission denied"
                                                 : "Winsock error " + std::to_string(error);
        ::closesocket(s);
        close();
        return false;
    }
    handle_ = static_cast<std::intptr_t>(s);
    return true;
}

void UdpReceiver::close() noexcept {
    if (handle_ != kNone) ::closesocket(asSocket(handle_));
    handle_ = kNone;
    if (started_) WSACleanup();
    started_ = false;
}

std::uint16_t UdpReceiver::localPort() const noexcept {
    if (handle_ == kNone) return 0;
    sockaddr_in sa{};
    int len = sizeof sa;
    if (::getsockname(asSocket(handle_), reinterpret_cast<sockaddr*>(&sa), &len) != 0) return 0;
    return ntohs(sa.sin_port);
}

UdpReceiver::Result UdpReceiver::receive(std::uint8_t* buffer, std::size_t capacity,
                                         std::size_t& size) noexcept {
    size = 0;
    if (handle_ == kNone) return Result::Error;
    const int n =
        ::recv(asSocket(handle_), reinterpret_cast<char*>(buffer), static_cast<int>(capacity), 0);
    if (n != SOCKET_ERROR) {
        size = static_cast<std::size_t>(n);
        return Result::Datagram;
    }
    switch (WSAGetLastError()) {
        case WSAEWOULDBLOCK:
            return Result::Empty;
        case WSAEMSGSIZE:  // longer than the buffer: the datagram is gone, report it as too long
            size = capacity;
            return Result::Datagram;
        default:
            return Result::Error;
    }
}

bool UdpReceiver::waitReadable(int timeoutMs) noexcept {
    if (handle_ == kNone) return false;
    fd_set read;
    FD_ZERO(&read);
    FD_SET(asSocket(handle_), &read);
    timeval tv{timeoutMs < 0 ? 0 : timeoutMs / 1000, timeoutMs < 0 ? 0 : (timeoutMs % 1000) * 1000};
    return ::select(0, &read, nullptr, nullptr, &tv) > 0;
}

int UdpReceiver::receiveQueueBytes() const noexcept {
    if (handle_ == kNone) return 0;
    int value = 0;
    int len = sizeof value;
    if (::getsockopt(asSocket(handle_), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&value),
                     &len) != 0)
        return 0;
    return value;
}

}  // namespace zelo
