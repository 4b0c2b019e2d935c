#pragma once
// The zelo-sim that runs beside the Wine tests (tests/gui/sim_fixture.sh
// starts it): its ports file, named by ZELO_SIM_PORTS, and its control socket.

#include <winsock.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

namespace zelo::test {

// The simulator's ports file: "NAME PORT MODEL" per unit, "CONTROL PORT".
inline std::map<std::string, int> simPorts() {
    std::map<std::string, int> ports;
    const char* file = std::getenv("ZELO_SIM_PORTS");
    std::ifstream in(file ? (file[0] == '/' ? "Z:" : "") + std::string(file) : "");
    std::string name, rest;
    for (int port = 0; in >> name >> port; std::getline(in, rest)) ports[name] = port;
    return ports;
}

// One command over the simulator's control socket; its reply up to OK/ERR.
inline std::string simControl(int port, const std::string& command) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<u_short>(port));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string reply;
    if (connect(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) {
        const std::string line = command + "\nbye\n";
        send(s, line.data(), static_cast<int>(line.size()), 0);
        char buf[512];
        int n;
        while ((n = recv(s, buf, sizeof buf, 0)) > 0)
            reply.append(buf, static_cast<std::size_t>(n));
    }
    closesocket(s);
    return reply;
}

}  // namespace zelo::test
