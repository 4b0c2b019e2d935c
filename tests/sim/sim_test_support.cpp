#include "sim_test_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include <gtest/gtest.h>

namespace zelo::sim::test {
namespace {

sockaddr_in loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// About a second of real time from now.
std::chrono::steady_clock::time_point aSecond() { return std::chrono::steady_clock::now() + std::chrono::seconds(1); }

}  // namespace

void RawClient::closeNow() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

bool RawClient::connectTo(int port) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = loopback(port);
    // A loopback connect completes in the kernel's backlog without the
    // simulator's help, so a blocking connect is fine here.
    if (connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        closeNow();
        return false;
    }
    fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
    return true;
}

void RawClient::send(const std::string& bytes) {
    ASSERT_EQ(::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
}

bool RawClient::poll() {
    char buf[65536];
    for (ssize_t got; fd_ >= 0 && !closed_;) {
        if ((got = recv(fd_, buf, sizeof buf, 0)) <= 0) {
            closed_ = got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
            break;
        }
        received_.append(buf, std::size_t(got));
    }
    return !closed_;
}

UdpStation::UdpStation() {
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    sockaddr_in a = loopback(0);
    bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    const int big = 4 << 20;
    setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
}

UdpStation::~UdpStation() { close(fd_); }

std::vector<std::vector<std::uint8_t>> UdpStation::drain() {
    std::vector<std::vector<std::uint8_t>> out;
    std::vector<std::uint8_t> buf(4096);  // room to spare: an oversized one shows its true size
    for (ssize_t got; (got = recv(fd_, buf.data(), buf.size(), 0)) >= 0;) out.emplace_back(buf.begin(), buf.begin() + got);
    return out;
}

SimHarness::SimHarness(const std::string& fleetText, ServerOptions options) {
    Fleet fleet;
    std::string error;
    EXPECT_TRUE(ParseFleet(fleetText, fleet, error)) << error;
    server_ = std::make_unique<SimServer>(std::move(fleet), std::move(options), &clock_);
    EXPECT_TRUE(server_->start(error)) << error;
}

std::string SimHarness::until(RawClient& c, const std::string& tail) {
    for (const auto end = aSecond(); std::chrono::steady_clock::now() < end && !c.peerClosed();) {
        server_->step(1);
        c.poll();
        const std::string& r = c.received();
        if (r.size() >= tail.size() && r.compare(r.size() - tail.size(), tail.size(), tail) == 0) break;
    }
    return c.take();
}

bool SimHarness::untilClosed(RawClient& c) {
    for (const auto end = aSecond(); std::chrono::steady_clock::now() < end && !c.peerClosed(); c.poll()) server_->step(1);
    return c.peerClosed();
}

void SimHarness::settle(RawClient* c, int rounds) {
    for (int i = 0; i < rounds; ++i) {
        server_->step(1);
        if (c) c->poll();
    }
}

std::string SimHarness::exchange(RawClient& c, const std::string& send, const std::string& tail) {
    c.take();
    c.send(send);
    return until(c, tail);
}

void SimHarness::advance(std::int64_t ms, RawClient* c) {
    clock_.advanceMs(ms);
    settle(c, 3);
}

void Play(const Transcript& t) {
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

void LoginFramedPrompt(SimHarness& h, RawClient& c, const std::string& name) {
    ASSERT_TRUE(c.connectTo(h.port(name)));
    const auto& cfg = h.device(name).config();
    ASSERT_GE(h.until(c, cfg.selectNumber + ":" + cfg.prompt + ">").size(), 6u);
}

}  // namespace zelo::sim::test
