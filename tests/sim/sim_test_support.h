#pragma once
// Loopback helpers for the simulator tests: a raw TCP client, a UDP
// station, and a harness that steps an embedded simulator on a manual clock.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sim/fleet.h"
#include "sim/server.h"
#include "sim/sim_clock.h"

namespace zelo::sim::test {

class RawClient {
public:
    RawClient() = default;
    ~RawClient() { closeNow(); }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool connectTo(int port);
    void send(const std::string& bytes);
    // Reads what is there without waiting; false once the peer has closed.
    bool poll();
    // Every byte received since the last take(), then forgets them.
    std::string take() { return std::exchange(received_, std::string()); }
    const std::string& received() const { return received_; }
    bool peerClosed() const { return closed_; }
    // Every chunk a read returned, since the connection opened.
    const std::vector<std::string>& chunkList() const { return chunkList_; }
    void closeNow();

private:
    int fd_ = -1;
    std::string received_;
    bool closed_ = false;
    std::vector<std::string> chunkList_;
};

class UdpStation {
public:
    UdpStation();
    ~UdpStation();
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    // Datagrams that arrived, oldest first.
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
    // `tail`, it is closed, or about a second of real time has passed.
    // Returns what was received.
    std::string until(RawClient& c, const std::string& tail);
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

// One unit of every model, and a few variants, for the console tests.
inline const char kFleet[] = R"(interval = 0
[hx]
model = 3
mac = 00:80:87:12:34:56
schedule = 0110
[hxlogin]
model = 3
login = login
select = 07
[hxdelay]
model = 3
off-delay = 30
on-delay = 20
reboot-time = 10
[jbold]
model = 5
firmware = 3.10.01
[swd6]
model = 6
[swd7]
model = 7
[swd8]
model = 8
[swd9]
model = 9
[swd10]
model = 10
[swd12k]
model = 11
sysname = RACK-12
off-delay = 20,0,0,0
[q6m]
model = 12
[gv]
model = 13
password = s3cret
)";
inline const std::string kTelnetHello = "\xFF\xFB\x01\xFF\xFB\x03";  // WILL ECHO, WILL SUPPRESS-GO-AHEAD

// One console conversation on a fresh simulator of kFleet, step by step.
// By its first character a step's `send` is '!' a control command that
// answers `reply`; '<' `reply` arriving unasked (a greeting, a change shown
// unasked); '+' the clock moved on by the milliseconds that follow, then
// `reply` arriving unasked, or nothing at all when it is empty; '~' the
// console closed by the unit after `reply`. Any other text is a line sent
// with CR LF and answered by exactly `reply`. The console is opened before
// the first step that is no control command.
struct Step {
    std::string send, reply;
};
struct Transcript {
    const char* name;
    const char* unit;
    std::vector<Step> steps;
};
void Play(const Transcript& t);

// Framed and plain login shortcuts; each asserts on the way.
void LoginFramedPrompt(SimHarness& h, RawClient& c, const std::string& name);
void LoginPlain(SimHarness& h, RawClient& c, const std::string& name, const std::string& password);

}  // namespace zelo::sim::test
