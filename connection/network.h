#pragma once
// The sockets under the device dialogue, behind a small interface: the
// system's sockets on each platform, a scripted network in tests.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace zelo {

// One connected TCP stream.
class TcpStream {
public:
    virtual ~TcpStream() = default;
    // Bytes sent, or -1.
    virtual int send(const char* data, std::size_t size) noexcept = 0;
    // Waits at most `timeoutMicros` for data (or the peer's close): 1 when
    // readable, 0 when not, -1 on an error.
    virtual int waitReadable(std::int64_t timeoutMicros) noexcept = 0;
    // Bytes read (1..size), 0 when the peer closed, -1 on an error.
    virtual int recv(char* buffer, std::size_t size) noexcept = 0;
    // Ends sending (both = false) or both directions.
    virtual void shutdown(bool both) noexcept = 0;
};

class Network {
public:
    virtual ~Network() = default;
    // The first IPv4 address a name lookup gives, host byte order; 0 when
    // the lookup finds nothing.
    virtual std::uint32_t lookupHost(const std::string& name) noexcept = 0;
    // Connects (host byte order address). `socketCreated` tells whether a
    // socket could be made at all; nullptr when the connection failed.
    virtual std::unique_ptr<TcpStream> connect(std::uint32_t address, std::uint16_t port,
                                               bool& socketCreated) noexcept = 0;
    // Why the last lookup or connect of this thread failed, in the system's
    // words ("connection refused"); empty when nothing is known.
    virtual std::string lastError() const { return {}; }
};

// The platform's sockets (Winsock must be started by the program on Windows).
std::unique_ptr<Network> makeSystemNetwork();

// How long a connect may take before it counts as failed.
inline constexpr int kConnectTimeoutSeconds = 5;

}  // namespace zelo
