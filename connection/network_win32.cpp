#include <winsock.h>

#include <string>

#include "connection/network.h"

namespace zelo {
namespace {

class WinsockStream final : public TcpStream {
public:
    explicit WinsockStream(SOCKET s) noexcept : s_(s) {}
    ~WinsockStream() override { closesocket(s_); }

    int send(const char* data, std::size_t size) noexcept override {
        std::size_t done = 0;
        while (done < size) {
            const int n = ::send(s_, data + done, static_cast<int>(size - done), 0);
            if (n <= 0) return -1;
            done += static_cast<std::size_t>(n);
        }
        return static_cast<int>(done);
    }

    int waitReadable(std::int64_t timeoutMicros) noexcept override {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(s_, &set);
        if (timeoutMicros < 0) timeoutMicros = 0;
        timeval tv{static_cast<long>(timeoutMicros / 1000000),
                   static_cast<long>(timeoutMicros % 1000000)};
        const int r = ::select(0, &set, nullptr, nullptr, &tv);
        if (r == SOCKET_ERROR) return -1;
        return r > 0 ? 1 : 0;
    }

    int recv(char* buffer, std::size_t size) noexcept override {
        const int n = ::recv(s_, buffer, static_cast<int>(size), 0);
        return n == SOCKET_ERROR ? -1 : n;
    }

    void shutdown(bool both) noexcept override { ::shutdown(s_, both ? 2 : 1); }

private:
    SOCKET s_;
};

thread_local std::string lastFailure;

// The reasons a user meets, in the words the POSIX build uses.
void noteFailure(int error) {
    switch (error) {
        case WSAECONNREFUSED:
            lastFailure = "connection refused";
            break;
        case WSAETIMEDOUT:
            lastFailure = "connection timed out";
            break;
        case WSAEHOSTUNREACH:
            lastFailure = "no route to host";
            break;
        case WSAENETUNREACH:
            lastFailure = "network is unreachable";
            break;
        case WSAEADDRNOTAVAIL:
            lastFailure = "cannot assign requested address";
            break;
        case WSAHOST_NOT_FOUND:
            lastFailure = "name or service not known";
            break;
        default:
            lastFailure = "Winsock error " + std::to_string(error);
    }
}

class WinsockNetwork final : public Network {
public:
    std::string lastError() const override { return lastFailure; }

    std::uint32_t lookupHost(const std::string& name) noexcept override {
        const hostent* h = gethostbyname(name.c_str());
        if (!h || h->h_addrtype != AF_INET || !h->h_addr_list || !h->h_addr_list[0]) {
            noteFailure(h ? WSAHOST_NOT_FOUND : WSAGetLastError());
            return 0;
        }
        const auto* b = reinterpret_cast<const unsigned char*>(h->h_addr_list[0]);
        return (std::uint32_t(b[0]) << 24) | (std::uint32_t(b[1]) << 16) |
               (std::uint32_t(b[2]) << 8) | std::uint32_t(b[3]);
    }

    std::unique_ptr<TcpStream> connect(std::uint32_t address, std::uint16_t port,
                                       bool& socketCreated) noexcept override {
        socketCreated = false;
        lastFailure.clear();
        const SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
        if (s == INVALID_SOCKET) {
            noteFailure(WSAGetLastError());
            return nullptr;
        }
        socketCreated = true;
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(port);
        sa.sin_addr.s_addr = htonl(address);
        // A bounded connect: an address that never answers must not hang the
        // dialogue.
        u_long on = 1;
        ioctlsocket(s, FIONBIO, &on);
        int r = ::connect(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        const int started = r == SOCKET_ERROR ? WSAGetLastError() : 0;
        if (r == SOCKET_ERROR && started != WSAEWOULDBLOCK) noteFailure(started);
        if (r == SOCKET_ERROR && started == WSAEWOULDBLOCK) {
            fd_set writable, failed;
            FD_ZERO(&writable);
            FD_ZERO(&failed);
            FD_SET(s, &writable);
            FD_SET(s, &failed);
            timeval tv{kConnectTimeoutSeconds, 0};
            const int ready = ::select(0, nullptr, &writable, &failed, &tv);
            r = ready == 1 && FD_ISSET(s, &writable) ? 0 : SOCKET_ERROR;
            if (ready == 0) {
                lastFailure = "no answer within " + std::to_string(kConnectTimeoutSeconds) + " s";
            } else if (r != 0) {
                int error = 0;
                int len = sizeof error;
                getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &len);
                noteFailure(error);
            }
        }
        if (r != 0) {
            closesocket(s);
            return nullptr;
        }
        u_long off = 0;
        ioctlsocket(s, FIONBIO, &off);
        // Every command goes out in one write and is answered before the
        // next: Nagle would only add the device's delayed ACK to a wait.
        const BOOL noDelay = TRUE;
        ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
                     sizeof noDelay);
        return std::make_unique<WinsockStream>(s);
    }
};

}  // namespace

std::unique_ptr<Network> makeSystemNetwork() {
    return std::make_unique<WinsockNetwork>();
}

}  // namespace zelo
