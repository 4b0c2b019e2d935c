#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/status/udp_sender.h"

namespace zelo::test {

UdpSender::UdpSender() {
    handle_ = ::socket(AF_INET, SOCK_DGRAM, 0);
}
UdpSender::~UdpSender() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

bool UdpSender::send(std::uint16_t port, const std::vector<std::uint8_t>& bytes) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sa.sin_port = htons(port);
    return ::sendto(static_cast<int>(handle_), bytes.data(), bytes.size(), 0,
                    reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == ssize_t(bytes.size());
}

}  // namespace zelo::test
