#pragma once
// The byte layer of the device dialogue: one TCP connection, a receive step
// that strips telnet command sequences into a ring of text, a line reader
// that cuts lines (or a prompt without a line end) out of the ring, the
// send-then-wait step of every command, and a graceful close.
//
// Waits block on the socket with the time that remains; time-outs run on
// the injected clock.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "common/clock.h"
#include "connection/network.h"

namespace zelo {

inline constexpr std::size_t kChunkMax = 1600;
inline constexpr std::size_t kRingSize = 8192;
inline constexpr std::int64_t kReplySeconds = 3;
inline constexpr std::int64_t kMicrosPerSecond = 1'000'000;

// What one step of the device dialogue came to. A step that fails has
// noted why; whether it has also shown a message and closed the
// connection, its comment says.
enum class [[nodiscard]] StepResult{Ok, Failed};

// What a wait for the device's answer met.
enum class [[nodiscard]] WaitResult{
    Arrived,   // data (or the line waited for) came
    TimedOut,  // nothing in time; the connection stays open
    Closed,    // the device closed the connection, or there was none
};

// Drops telnet command sequences from the received chunks. A sequence
// split between two chunks is dropped whole, as if it had come in one
// piece; a chunk's text ends at a NUL byte. Negotiations are never
// answered.
class TelnetFilter {
public:
    std::string strip(std::string_view chunk);
    void reset() noexcept { state_ = 0; }

private:
    int state_ = 0;  // 0 data, 1 after IAC, else the command byte waiting for its option
};

// IPv4 address of a host name or dotted text, host byte order; 0 when
// neither gives one.
std::uint32_t resolveDeviceAddress(Network& network, const std::string& text);

class DeviceConnection {
public:
    DeviceConnection(Network& network, const Clock& clock) noexcept
        : network_(network), clock_(clock) {}

    // Empties the ring and connects.
    StepResult connectToDevice(std::uint32_t address, std::uint16_t port);

    // Receives one chunk into the ring, waiting at most `waitMicros` for it:
    // the byte count (1..1600), 0 when nothing came, -1 when the peer closed
    // or the receive failed (the socket is then released; the connected flag
    // stays as it is) or there is no socket.
    int receiveChunk(std::int64_t waitMicros = 0);

    // The next line from the ring (see the line rules in the source). False,
    // with `out` empty or partial and nothing taken from the ring, when no
    // complete line is there yet.
    bool readLine(std::string& out, std::string_view prompt1, std::string_view prompt2,
                  std::size_t maxLength);

    void resetRing() noexcept { readPos_ = writePos_ = 0; }

    // Sends the whole text (a failed send shows up as a missing reply).
    void send(std::string_view text);
    // Sends, then waits up to 3 seconds for data; the data stays in the
    // ring.
    WaitResult sendAndWait(std::string_view text);

    // Ends sending, drains what the device still sends (at most 3 seconds),
    // then closes.
    void closeConnection();

    // Set when a socket was made for the last connect; cleared by the owner
    // when it notices a loss. A command reconnects first when it is clear.
    bool connected = false;
    bool isOpen() const noexcept { return stream_ != nullptr; }
    std::size_t unreadBytes() const noexcept {
        return (writePos_ + kRingSize - readPos_) % kRingSize;
    }
    const Clock& clock() const noexcept { return clock_; }

private:
    void appendToRing(std::string_view text);

    Network& network_;
    const Clock& clock_;
    std::unique_ptr<TcpStream> stream_;
    TelnetFilter telnet_;
    std::array<char, kRingSize> ring_{};
    std::size_t readPos_ = 0;
    std::size_t writePos_ = 0;
};

}  // namespace zelo
