#pragma once
// Loopback helpers for the simulator tests: a raw TCP client, a UDP
// station, a harness that steps an embedded simulator on a manual clock,
// and console transcripts played on it.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sim/fleet.h"
#include "sim/server.h"
#include "sim/sim_clock.h"

namespace zelo::sim::test {

inline sockaddr_in loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

class RawClient {
public:
    RawClient() = default;
    RawClient(const RawClient&) = delete;
    ~RawClient() { closeNow(); }
    bool connectTo(int port) {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = loopback(port);
        // A loopback connect completes in the kernel's backlog without the
        // simulator's help, so a blocking connect is fine here.
        if (connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return closeNow(), false;
        fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
        return true;
    }
    void send(const std::string& bytes) {
        ASSERT_EQ(::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size()));
    }
    bool poll() {  // reads what is there without waiting; false once the peer has closed
        char buf[65536];
        for (ssize_t got; fd_ >= 0 && !closed_; received_.append(buf, std::size_t(got)))
            if ((got = recv(fd_, buf, sizeof buf, 0)) <= 0) {
                closed_ = got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
                break;
            }
        return !closed_;
    }
    std::string take() { return std::exchange(received_, std::string()); }  // every byte since the last take
    const std::string& received() const { return received_; }
    bool peerClosed() const { return closed_; }
    void closeNow() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
    bool closed_ = false;
    std::string received_;
};

class UdpStation {
public:
    UdpStation() : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0)) {
        sockaddr_in a = loopback(0);
        bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t len = sizeof a;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        const int big = 4 << 20;  // room for a burst
        setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
    }
    ~UdpStation() { close(fd_); }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    std::vector<std::vector<std::uint8_t>> drain() {  // the datagrams that arrived, oldest first
        std::vector<std::vector<std::uint8_t>> out;
        std::vector<std::uint8_t> buf(4096);  // room to spare: an oversized one shows its true size
        for (ssize_t got; (got = recv(fd_, buf.data(), buf.size(), 0)) >= 0;)
            out.emplace_back(buf.begin(), buf.begin() + got);
        return out;
    }

private:
    int fd_ = -1, port_ = 0;
};

// An embedded simulator on a manual clock, stepped by the test thread.
class SimHarness {
public:
    explicit SimHarness(const std::string& fleetText, ServerOptions options = {}) {
        Fleet fleet;
        std::string error;
        EXPECT_TRUE(ParseFleet(fleetText, fleet, error)) << error;
        server_ = std::make_unique<SimServer>(std::move(fleet), std::move(options), &clock_);
        EXPECT_TRUE(server_->start(error)) << error;
    }
    SimServer& server() { return *server_; }
    int port(const std::string& name) { return server_->consolePort(std::size_t(server_->find(name))); }
    Device& device(const std::string& name) { return server_->device(std::size_t(server_->find(name))); }
    // Steps the simulator and reads the client until its bytes end with
    // `tail`, the peer closes it, or about a second of real time has passed;
    // returns what was received.
    std::string until(RawClient& c, const std::string& tail) {
        for (const auto end = aSecond(); std::chrono::steady_clock::now() < end && !c.peerClosed();) {
            server_->step(1);
            c.poll();
            const std::string& r = c.received();
            if (r.size() >= tail.size() && r.compare(r.size() - tail.size(), tail.size(), tail) == 0) break;
        }
        return c.take();
    }
    bool untilClosed(RawClient& c) {
        for (const auto end = aSecond(); std::chrono::steady_clock::now() < end && !c.peerClosed(); c.poll())
            server_->step(1);
        return c.peerClosed();
    }
    void settle(RawClient* c = nullptr, int rounds = 5) {  // a few quick rounds
        for (int i = 0; i < rounds; ++i)
            if (server_->step(1), c) c->poll();
    }
    std::string exchange(RawClient& c, const std::string& send, const std::string& tail) {  // sends, then until
        c.take();
        c.send(send);
        return until(c, tail);
    }
    void advance(std::int64_t ms, RawClient* c = nullptr) {  // the clock moved on, what fell due run
        clock_.advanceMs(ms);
        settle(c, 3);
    }

private:
    static std::chrono::steady_clock::time_point aSecond() {
        return std::chrono::steady_clock::now() + std::chrono::seconds(1);
    }
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
inline void Play(const Transcript& t) {
    SCOPED_TRACE(t.name);
    SimHarness h(kFleet);
    RawClient c;
    bool open = false;
    for (const Step& s : t.steps) {
        SCOPED_TRACE(s.send);
        const char kind = s.send.empty() ? ' ' : s.send[0];
        if (kind == '!') {
            EXPECT_EQ(h.server().control(s.send.substr(1)), s.reply);
            continue;
        }
        if (!open) {
            ASSERT_TRUE(open = c.connectTo(h.port(t.unit)));
            h.settle(&c);  // accepted before the clock moves
        }
        if (kind == '<') {
            EXPECT_EQ(h.until(c, s.reply), s.reply);
        } else if (kind == '+') {
            h.advance(std::stoll(s.send.substr(1)), &c);
            if (s.reply.empty()) h.settle(&c, 10);
            EXPECT_EQ(s.reply.empty() ? c.take() : h.until(c, s.reply), s.reply);
            EXPECT_FALSE(c.peerClosed());
        } else if (kind == '~') {
            EXPECT_TRUE(h.untilClosed(c));
            EXPECT_EQ(c.take(), s.reply);
        } else {
            EXPECT_EQ(h.exchange(c, s.send + "\r\n", s.reply), s.reply);
        }
    }
}

}  // namespace zelo::sim::test
