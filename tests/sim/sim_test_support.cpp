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

RawClient::~RawClient() { closeNow(); }

void RawClient::closeNow() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

bool RawClient::connectTo(int port) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
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
    ASSERT_GE(fd_, 0);
    ASSERT_EQ(::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
}

bool RawClient::poll() {
    if (fd_ < 0 || closed_) return !closed_;
    char buf[65536];
    for (;;) {
        ssize_t got = recv(fd_, buf, sizeof buf, 0);
        if (got > 0) {
            received_.append(buf, static_cast<std::size_t>(got));
            ++chunks_;
            chunkList_.emplace_back(buf, static_cast<std::size_t>(got));
            continue;
        }
        if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) closed_ = true;
        return !closed_;
    }
}

std::string RawClient::take() {
    std::string out;
    out.swap(received_);
    return out;
}

UdpStation::UdpStation() {
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    int big = 4 << 20;
    setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
}

UdpStation::~UdpStation() { close(fd_); }

std::vector<std::vector<std::uint8_t>> UdpStation::drain() {
    std::vector<std::vector<std::uint8_t>> out;
    std::vector<std::uint8_t> buf(4096);
    for (;;) {
        ssize_t got = recv(fd_, buf.data(), buf.size(), 0);
        if (got < 0) return out;
        out.emplace_back(buf.begin(), buf.begin() + got);
    }
}

SimHarness::SimHarness(const std::string& fleetText, ServerOptions options) {
    Fleet fleet;
    std::string error;
    EXPECT_TRUE(ParseFleet(fleetText, fleet, error)) << error;
    server_ = std::make_unique<SimServer>(std::move(fleet), std::move(options), &clock_);
    EXPECT_TRUE(server_->start(error)) << error;
}

namespace {
std::int64_t realMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}
}  // namespace

std::string SimHarness::until(RawClient& c, const std::string& tail, bool anywhere) {
    const std::int64_t deadline = realMs() + 1000;
    while (realMs() < deadline) {
        server_->step(1);
        c.poll();
        const std::string& r = c.received();
        if (anywhere ? r.find(tail) != std::string::npos : endsWith(r, tail)) break;
        if (c.peerClosed()) break;
    }
    return c.take();
}

bool SimHarness::untilClosed(RawClient& c) {
    const std::int64_t deadline = realMs() + 1000;
    while (realMs() < deadline && !c.peerClosed()) {
        server_->step(1);
        c.poll();
    }
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

void LoginFramedPrompt(SimHarness& h, RawClient& c, const std::string& name) {
    ASSERT_TRUE(c.connectTo(h.port(name)));
    const auto& cfg = h.device(name).config();
    std::string hello = h.until(c, cfg.selectNumber + ":" + cfg.prompt + ">");
    ASSERT_TRUE(hello.size() >= 6) << hello;
}

void LoginPlain(SimHarness& h, RawClient& c, const std::string& name, const std::string& password) {
    ASSERT_TRUE(c.connectTo(h.port(name)));
    h.until(c, "\r\n");
    EXPECT_EQ(h.exchange(c, "\r\n", "Password:"), "Password:");
    std::string prompt = h.device(name).systemName() + "> ";
    EXPECT_EQ(h.exchange(c, password + "\r\n", prompt), "\r\n" + prompt);
}

}  // namespace zelo::sim::test
