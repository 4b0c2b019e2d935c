#include <winsock2.h>

#include "tests/status/udp_sender.h"

namespace zelo::test {

UdpSender::UdpSender() {
    WSADATA wsa;
    WSAStartup(0x0101, &wsa);
    handle_ = static_cast<std::intptr_t>(::socket(AF_INET, SOCK_DGRAM, 0));
}
UdpSender::~UdpSender() {
    ::closesocket(static_cast<SOCKET>(handle_));
    WSACleanup();
}

bool UdpSender::send(std::uint16_t port, const std::vector<std::uint8_t>& bytes) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sa.sin_port = htons(port);
    return ::sendto(static_cast<SOCKET>(handle_), reinterpret_cast<const char*>(bytes.data()),
                    static_cast<int>(bytes.size()), 0, reinterpret_cast<const sockaddr*>(&sa),
                    sizeof sa) == static_cast<int>(bytes.size());
}

}  // namespace zelo::test
