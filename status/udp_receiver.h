#pragma once
// The station's UDP socket: bound to one port, read without blocking. The
// platform files (udp_receiver_posix.cpp, udp_receiver_win32.cpp) hold the
// only socket calls of the status subsystem.

#include <cstddef>
#include <cstdint>
#include <string>

namespace zelo {

class UdpReceiver {
public:
    enum class Result { Empty, Datagram, Error };

    UdpReceiver() = default;
    ~UdpReceiver() { close(); }
    UdpReceiver(const UdpReceiver&) = delete;
    UdpReceiver& operator=(const UdpReceiver&) = delete;

    // Binds a datagram socket to `port` on `address` (host order; 0 = all
    // local addresses), non-blocking, with a large receive queue so bursts
    // wait in the system instead of being lost. False when the socket
    // cannot be created or bound; nothing stays open then.
    bool open(std::uint16_t port, std::uint32_t address = 0);
    // Why the last open failed, in the system's words ("address already in
    // use"); empty after a successful open.
    const std::string& openError() const noexcept { return openError_; }
    void close() noexcept;
    bool isOpen() const noexcept { return handle_ != kNone; }
    // The bound port (useful when 0 was asked for); 0 when closed.
    std::uint16_t localPort() const noexcept;

    // Takes the next waiting datagram into `buffer`. `size` gets its length;
    // a datagram longer than `capacity` gives a size above it (or exactly
    // `capacity` when the platform cannot tell more), so a caller that
    // receives into capacity = limit + 1 recognises every datagram longer
    // than the limit. Empty when nothing is waiting.
    Result receive(std::uint8_t* buffer, std::size_t capacity, std::size_t& size) noexcept;

    // Blocks until a datagram is waiting or `timeoutMs` has passed (or a
    // signal interrupts the wait). True when one is waiting.
    bool waitReadable(int timeoutMs) noexcept;

    // The receive queue the system granted, in bytes (0 when unknown).
    int receiveQueueBytes() const noexcept;

private:
    static constexpr std::intptr_t kNone = -1;
    std::intptr_t handle_ = kNone;
    bool started_ = false;
    std::string openError_;  // the platform's socket library was started by open()
};

// The receive queue asked for: room for thousands of waiting reports.
inline constexpr int kReceiveQueueBytes = 8 * 1024 * 1024;

}  // namespace zelo
