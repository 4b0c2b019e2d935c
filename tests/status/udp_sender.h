#pragma once
// A UDP socket that sends test datagrams to 127.0.0.1.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zelo::test {

class UdpSender {
public:
    UdpSender();
    ~UdpSender();
    UdpSender(const UdpSender&) = delete;
    UdpSender& operator=(const UdpSender&) = delete;
    bool send(std::uint16_t port, const std::vector<std::uint8_t>& bytes);

private:
    std::intptr_t handle_ = -1;
};

}  // namespace zelo::test
