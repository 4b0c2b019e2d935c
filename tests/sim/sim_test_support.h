#pragma once
// Loopback helpers for the simulator tests: a raw TCP client, a UDP
// station, a harness that steps an embedded simulator on a manual clock,
// and console transcripts played on it.

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
    RawClient(const RawClient&) = delete;
    ~RawClient() { closeNow(); }
    bool connectTo(int port);
    void send(const std::string& bytes);
    bool poll();  // reads what is there without waiting; false once the peer has closed
    std::string take() { return std::exchange(received_, std::string()); }  // every byte since the last take
    const std::string& received() const { return received_; }
    bool peerClosed() const { return closed_; }
    void closeNow();

private:
    int fd_ = -1;
    bool closed_ = false;
    std::string received_;
};

class UdpStation {
public:
    UdpStation();
    ~UdpStation();
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    std::vector<std::vector<std::uint8_t>> drain();  // the datagrams that arrived, oldest first

private:
    int fd_ = -1, port_ = 0;
};

// An embedded simulator on a manual clock, stepped by the test thread.
class SimHarness {
public:
    explicit SimHarness(const std::string& fleetText, ServerOptions options = {});
    SimServer& server() { return *server_; }
    int port(const std::string& name) { return server_->consolePort(std::size_t(server_->find(name))); }
    Device& device(const std::string& name) { return server_->device(std::size_t(server_->find(name))); }
    // Steps the simulator and reads the client until its bytes end with
    // `tail`, it is closed, or about a second of real time has passed;
    // returns what was received.
    std::string until(RawClient& c, const std::string& tail);
    bool untilClosed(RawClient& c);  // steps until the peer closes the client
    void settle(RawClient* c = nullptr, int rounds = 5);  // a few quick rounds
    // Sends and waits for the bytes to end with tail.
    std::string exchange(RawClient& c, const std::string& send, const std::string& tail);
    void advance(std::int64_t ms, RawClient* c = nullptr);  // the clock moved on, what fell due run

private:
    ManualSimClock clock_;
    std::unique_ptr<SimServer> server_;
};

// One unit of every model, and a few variants, for the console tests.
inline const std::string kFleet =
    "interval = 0\n[hx]\nmodel = 3\nmac = 00:80:87:12:34:56\nschedule = 0110\n"
    "[hxlogin]\nmodel = 3\nlogin = login\nselect = 07\n"
    "[hxdelay]\nmodel = 3\noff-delay = 30\non-delay = 20\nreboot-time = 10\n"
    "[jbold]\nmodel = 5\nfirmware = 3.10.01\n"
    "[swd6]\nmodel = 6\n[swd7]\nmodel = 7\n[swd8]\nmodel = 8\n[swd9]\nmodel = 9\n[swd10]\nmodel = 10\n"
    "[swd12k]\nmodel = 11\nsysname = RACK-12\noff-delay = 20,0,0,0\n"
    "[q6m]\nmodel = 12\n[gv]\nmodel = 13\npassword = s3cret\n";
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

// A framed console in prompt mode; asserts on the way.
void LoginFramedPrompt(SimHarness& h, RawClient& c, const std::string& name);

}  // namespace zelo::sim::test
