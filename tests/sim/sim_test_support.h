#pragma once
// Loopback helpers for the simulator tests: a raw TCP client, a UDP
// station, and a harness that steps an embedded simulator on a manual clock.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/fleet.h"
#include "sim/server.h"
#include "sim/sim_clock.h"

namespace zelo::sim::test {

class RawClient {
public:
    RawClient() = default;
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool connectTo(int port);
    void send(const std::string& bytes);
    // Reads what is there without waiting; false once the peer has closed.
    bool poll();
    // Every byte received since the last take(), then forgets them.
    std::string take();
    const std::string& received() const { return received_; }
    bool peerClosed() const { return closed_; }
    int chunks() const { return chunks_; }
    std::vector<std::string> chunkList() const { return chunkList_; }
    void closeNow();

private:
    int fd_ = -1;
    std::string received_;
    bool closed_ = false;
    int chunks_ = 0;
    std::vector<std::string> chunkList_;
};

class UdpStation {
public:
    UdpStation();
    ~UdpStation();
    int port() const { return port_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    // Datagrams that arrived, oldest first (received with room to spare, so
    // an oversized one shows its true size).
    std::vector<std::vector<std::uint8_t>> drain();

private:
    int fd_ = -1;
    int port_ = 0;
};

// An embedded simulator on a manual clock, stepped by the test thread.
class SimHarness {
public:
    explicit SimHarness(const std::string& fleetText, ServerOptions options = {});
    SimServer& server() { return *server_; }
    ManualSimClock& clock() { return clock_; }
    int port(const std::string& name) { return server_->consolePort(static_cast<std::size_t>(server_->find(name))); }
    Device& device(const std::string& name) { return server_->device(static_cast<std::size_t>(server_->find(name))); }

    // Steps the simulator and reads the client until its bytes end with
    // `tail` (or contain it when anywhere is set), it is closed, or about a
    // second of real time has passed. Returns what was received.
    std::string until(RawClient& c, const std::string& tail, bool anywhere = false);
    // Steps until the client is closed by the peer.
    bool untilClosed(RawClient& c);
    // A few quick rounds with no expectation.
    void settle(RawClient* c = nullptr, int rounds = 5);
    // Sends and waits for the bytes to end with tail.
    std::string exchange(RawClient& c, const std::string& send, const std::string& tail);
    // Moves the clock and lets the simulator run what fell due.
    void advance(std::int64_t ms, RawClient* c = nullptr);

private:
    ManualSimClock clock_;
    std::unique_ptr<SimServer> server_;
};

// Framed and plain login shortcuts; each asserts on the way.
void LoginFramedPrompt(SimHarness& h, RawClient& c, const std::string& name);
void LoginPlain(SimHarness& h, RawClient& c, const std::string& name, const std::string& password);

}  // namespace zelo::sim::test
