#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "sim/server.h"

namespace zelo::sim {

std::int64_t SteadySimClock::nowMs() const noexcept {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::int64_t SteadySimClock::wallSeconds() const noexcept {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

struct SimServer::Connection {
    int fd = -1;
    std::size_t unit = 0;
    std::unique_ptr<ConsoleSession> session;  // null for a refused second console
    std::string pending;                      // accepted for sending, not yet taken by the kernel
    bool closeWhenSent = false;
    bool wantWrite = false;
    std::string input;  // control connections: the partial line
    // The answer under way: since when (steady clock, microseconds) the
    // bytes it answers were read, or the console accepted; -1 when none is.
    std::int64_t answerSince = -1;
};

struct SimServer::Unit {
    std::unique_ptr<Device> device;
    int listenFd = -1;
    int boundPort = 0;
    std::unique_ptr<Connection> console;  // the one console a unit serves
    std::vector<std::unique_ptr<Connection>> refused;
    std::vector<int> silentFds;  // connections held open while the unit is off the network
    bool offline = false;
    bool restarting = false;
    std::int64_t restartUntilMs = 0;
    std::int64_t nextReportMs = 0;
    std::uint64_t reportedGeneration = 0;
    std::int64_t scheduledMs = INT64_MAX;
    // The fleet's recurring events: the next ping trip, the next turn on or
    // off the network.
    std::int64_t nextPingTripMs = INT64_MAX;
    std::int64_t nextPresenceMs = INT64_MAX;
    std::string stationText;
    sockaddr_in station{};
    bool stationValid = false;
    // consoleStats(): the latest console connection's answers.
    std::atomic<std::uint64_t> statConnection{0};
    std::atomic<std::uint64_t> statAnswers{0};
    std::atomic<std::uint64_t> statMicros{0};
};

namespace {

std::int64_t steadyMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool resolveV4(const std::string& host, in_addr& out) {
    if (inet_pton(AF_INET, host.c_str(), &out) == 1) return true;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* res = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &res) != 0 || !res) return false;
    out = reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr;
    freeaddrinfo(res);
    return true;
}

bool parseStation(const std::string& text, sockaddr_in& out) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos) return false;
    const int port = std::atoi(text.c_str() + colon + 1);
    if (port <= 0 || port > 65535) return false;
    out = sockaddr_in{};
    out.sin_family = AF_INET;
    out.sin_port = htons(static_cast<std::uint16_t>(port));
    return resolveV4(text.substr(0, colon), out.sin_addr);
}

int boundPortOf(int fd) {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) return 0;
    return ntohs(a.sin_port);
}

int openTcpListener(const std::string& address, int port, std::string& error) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    if (!resolveV4(address, a.sin_addr)) {
        error = "cannot resolve " + address;
        return -1;
    }
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return -1;
    }
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, 16) != 0) {
        error = address + ":" + std::to_string(port) + ": " + std::strerror(errno);
        close(fd);
        return -1;
    }
    return fd;
}

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> out;
    std::string w;
    while (in >> w) out.push_back(w);
    return out;
}

bool onOff(const std::string& w, bool& out) {
    if (w == "on" || w == "1") return out = true, true;
    if (w == "off" || w == "0") return out = false, true;
    return false;
}

const char* layoutName(ReportLayout l) {
    switch (l) {
        case ReportLayout::Element:
            return "element";
        case ReportLayout::Table:
            return "table";
        case ReportLayout::Short:
            return "short";
        case ReportLayout::None:
            break;
    }
    return "none";
}

}  // namespace

SimServer::SimServer(Fleet fleet, ServerOptions options, const SimClock* clock)
    : fleet_(std::move(fleet)), options_(std::move(options)) {
    if (!clock) {
        ownClock_ = std::make_unique<SteadySimClock>();
        clock = ownClock_.get();
    }
    clock_ = clock;
    rate_ = options_.ratePerSecond > 0 ? options_.ratePerSecond : fleet_.ratePerSecond;
    for (const auto& cfg : fleet_.devices) {
        auto u = std::make_unique<Unit>();
        u->device = std::make_unique<Device>(cfg, now());
        byName_[cfg.name] = units_.size();
        units_.push_back(std::move(u));
    }
}

SimServer::~SimServer() {
    stop();
    for (auto& u : units_) {
        if (u->console) close(u->console->fd);
        for (auto& r : u->refused) close(r->fd);
        for (int fd : u->silentFds) close(fd);
        if (u->listenFd >= 0) close(u->listenFd);
    }
    for (auto& c : controls_) close(c->fd);
    for (int fd : {controlFd_, reportFd_, wakeFd_, epoll_}) {
        if (fd >= 0) close(fd);
    }
}

void SimServer::watch(int fd, Watch w, std::uint32_t events) {
    epoll_event ev{};
    ev.events = events;
    ev.data.fd = fd;
    const bool known = watches_.count(fd) != 0;
    watches_[fd] = w;
    epoll_ctl(epoll_, known ? EPOLL_CTL_MOD : EPOLL_CTL_ADD, fd, &ev);
}

void SimServer::unwatch(int fd) {
    if (watches_.erase(fd)) epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
}

bool SimServer::bindListener(std::size_t i, std::string& error) {
    Unit& u = *units_[i];
    const auto& cfg = u.device->config();
    int port = u.boundPort ? u.device->consolePort() : cfg.port;
    int fd = openTcpListener(cfg.bindAddress, port, error);
    if (fd < 0) return false;
    u.listenFd = fd;
    u.boundPort = boundPortOf(fd);
    u.device->setBoundPort(u.boundPort);
    watch(fd, Watch{Kind::Listener, i}, EPOLLIN);
    return true;
}

void SimServer::closeListener(Unit& u) {
    if (u.listenFd < 0) return;
    unwatch(u.listenFd);
    close(u.listenFd);
    u.listenFd = -1;
}

bool SimServer::start(std::string& error) {
    epoll_ = epoll_create1(EPOLL_CLOEXEC);
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (epoll_ < 0 || wakeFd_ < 0) {
        error = std::string("epoll: ") + std::strerror(errno);
        return false;
    }
    watch(wakeFd_, Watch{Kind::Wake}, EPOLLIN);
    reportFd_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    if (reportFd_ < 0 || !resolveV4(options_.reportBindAddress, a.sin_addr) ||
        bind(reportFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        error = "cannot open the report socket on " + options_.reportBindAddress;
        return false;
    }
    reportPort_ = boundPortOf(reportFd_);
    const std::int64_t t = now();
    int nextPort = options_.portBase;
    for (std::size_t i = 0; i < units_.size(); ++i) {
        Unit& u = *units_[i];
        std::string why;
        int fd = -1;
        if (u.device->config().port == 0 && options_.portBase > 0) {
            while (fd < 0 && nextPort <= 65535) {
                fd = openTcpListener(u.device->config().bindAddress, nextPort++, why);
            }
        } else {
            fd = openTcpListener(u.device->config().bindAddress, u.device->config().port, why);
        }
        if (fd < 0) {
            error = "device " + u.device->name() + ": " + why;
            return false;
        }
        u.listenFd = fd;
        u.boundPort = boundPortOf(fd);
        u.device->setBoundPort(u.boundPort);
        watch(fd, Watch{Kind::Listener, i}, EPOLLIN);
        // The first reports of a large fleet spread over one second.
        u.nextReportMs = t + static_cast<std::int64_t>((i * 37) % 1000);
        u.reportedGeneration = u.device->reportGeneration();
        const DeviceConfig& cfg = u.device->config();
        if (cfg.pingTripSeconds > 0) u.nextPingTripMs = t + cfg.pingTripSeconds * 1000LL;
        if (cfg.offlineSeconds > 0) u.nextPresenceMs = t + cfg.onlineSeconds * 1000LL;
        schedule(i, u.nextReportMs);
    }
    if (options_.controlPort >= 0) {
        controlFd_ = openTcpListener(options_.controlAddress, options_.controlPort, error);
        if (controlFd_ < 0) return false;
        controlPort_ = boundPortOf(controlFd_);
        watch(controlFd_, Watch{Kind::ControlListener}, EPOLLIN);
    }
    if (options_.commandFd >= 0) {
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.fd = options_.commandFd;
        if (epoll_ctl(epoll_, EPOLL_CTL_ADD, options_.commandFd, &ev) == 0) {
            watches_[options_.commandFd] = Watch{Kind::Command};
        }
    }
    rateStartMs_ = t;
    return true;
}

void SimServer::schedule(std::size_t i, std::int64_t due) {
    Unit& u = *units_[i];
    if (due == INT64_MAX || due >= u.scheduledMs) return;
    u.scheduledMs = due;
    timers_.push({due, i});
}

void SimServer::step(int timeoutMs) {
    if (epoll_ < 0) return;
    std::int64_t wait = timeoutMs;
    if (!timers_.empty())
        wait = std::min<std::int64_t>(wait, std::max<std::int64_t>(0, timers_.top().first - now()));
    if (rate_ > 0) wait = std::min<std::int64_t>(wait, 5);
    if (commandResumeMs_ >= 0) {
        if (now() >= commandResumeMs_) {
            commandResumeMs_ = -1;
            epoll_event ev{};
            ev.events = EPOLLIN;
            ev.data.fd = options_.commandFd;
            if (epoll_ctl(epoll_, EPOLL_CTL_ADD, options_.commandFd, &ev) == 0)
                watches_[options_.commandFd] = Watch{Kind::Command};
        } else {
            wait = std::min<std::int64_t>(wait, commandResumeMs_ - now());
        }
    }
    epoll_event events[256];
    int n = epoll_wait(epoll_, events, 256, static_cast<int>(wait));
    for (int k = 0; k < n; ++k) {
        const int fd = events[k].data.fd;
        auto it = watches_.find(fd);
        if (it == watches_.end()) continue;
        Watch w = it->second;
        switch (w.kind) {
            case Kind::Listener:
                onAccept(w.unit);
                break;
            case Kind::Console:
                if (events[k].events & EPOLLOUT) flush(w.conn);
                if (watches_.count(fd) && (events[k].events & (EPOLLIN | EPOLLHUP | EPOLLERR))) {
                    onConsoleReadable(w.conn);
                }
                break;
            case Kind::ControlListener:
                onControlAccept();
                break;
            case Kind::Control:
                onControlReadable(w.conn);
                break;
            case Kind::Command: {
                // A terminal in another process group's hands is left alone
                // (reading it would stop the simulator) and tried again later.
                const bool background = isatty(fd) && tcgetpgrp(fd) != getpgrp();
                char buf[1024];
                const ssize_t got = background ? -1 : read(fd, buf, sizeof buf);
                if (background ||
                    (got < 0 && (errno == EIO || errno == EINTR || errno == EAGAIN))) {
                    epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
                    watches_.erase(fd);
                    commandResumeMs_ = now() + 250;
                    break;
                }
                if (got <= 0) {
                    unwatch(fd);
                    break;
                }
                commandBuffer_.append(buf, static_cast<std::size_t>(got));
                std::size_t nl;
                while ((nl = commandBuffer_.find('\n')) != std::string::npos) {
                    std::string line = commandBuffer_.substr(0, nl);
                    commandBuffer_.erase(0, nl + 1);
                    std::string reply = control(line);
                    if (options_.commandReply) options_.commandReply(reply);
                }
                break;
            }
            case Kind::Wake: {
                std::uint64_t v;
                while (read(wakeFd_, &v, sizeof v) > 0) {
                }
                break;
            }
        }
    }
    runTimers();
    if (rate_ > 0) runRate();
}

void SimServer::runTimers() {
    const std::int64_t t = now();
    while (!timers_.empty() && timers_.top().first <= t) {
        auto [due, i] = timers_.top();
        timers_.pop();
        if (units_[i]->scheduledMs != due) continue;  // superseded
        units_[i]->scheduledMs = INT64_MAX;
        processUnit(i);
    }
}

void SimServer::runRate() {
    // Reports round the fleet so that rate_ go out per second on average.
    const std::int64_t t = now();
    const std::uint64_t owed = static_cast<std::uint64_t>((t - rateStartMs_) * rate_ / 1000);
    std::size_t guard = units_.size();
    while (rateSent_ < owed && !units_.empty()) {
        std::size_t i = rateNext_++ % units_.size();
        Unit& u = *units_[i];
        if (u.offline || u.restarting || !u.device->reportsEnabled() ||
            u.device->config().layout == ReportLayout::None) {
            if (guard-- == 0) {
                rateSent_ = owed;
                break;
            }
            continue;
        }
        guard = units_.size();
        sendReport(i);
        ++rateSent_;
    }
}

void SimServer::run() {
    while (!stop_.load()) step(200);
}

void SimServer::stop() {
    stop_.store(true);
    if (wakeFd_ >= 0) {
        std::uint64_t one = 1;
        ssize_t ignored = write(wakeFd_, &one, sizeof one);
        (void)ignored;
    }
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void SimServer::startThread() {
    stop_.store(false);
    thread_ = std::thread([this] { run(); });
}

Device& SimServer::device(std::size_t i) {
    return *units_[i]->device;
}
int SimServer::consolePort(std::size_t i) const {
    return units_[i]->boundPort;
}

int SimServer::find(const std::string& nameOrIndex) const {
    auto it = byName_.find(nameOrIndex);
    if (it != byName_.end()) return static_cast<int>(it->second);
    if (nameOrIndex.size() > 1 && nameOrIndex[0] == '#') {
        char* end = nullptr;
        long v = std::strtol(nameOrIndex.c_str() + 1, &end, 10);
        if (*end == '\0' && v >= 0 && v < static_cast<long>(units_.size()))
            return static_cast<int>(v);
    }
    return -1;
}

// ---------------------------------------------------------------- consoles

void SimServer::onAccept(std::size_t i) {
    Unit& u = *units_[i];
    for (;;) {
        int fd = accept4(u.listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        auto c = std::make_unique<Connection>();
        c->fd = fd;
        c->unit = i;
        if (u.console) {
            // The unit serves one console at a time.
            c->pending = "503 Too many users\r\n";
            c->closeWhenSent = true;
            Connection* raw = c.get();
            u.refused.push_back(std::move(c));
            watch(fd, Watch{Kind::Console, i, raw}, EPOLLIN);
            flush(raw);
            continue;
        }
        u.device->setClockWall(clock_->wallSeconds());
        c->session = std::make_unique<ConsoleSession>(*u.device, *clock_);
        c->answerSince = steadyMicros();  // the greeting answers the connect
        u.statAnswers.store(0);
        u.statMicros.store(0);
        u.statConnection.fetch_add(1);
        Connection* raw = c.get();
        u.console = std::move(c);
        watch(fd, Watch{Kind::Console, i, raw}, EPOLLIN);
        raw->session->open();
        processUnit(i);
        if (!u.console || u.listenFd < 0) return;
    }
}

void SimServer::onConsoleReadable(Connection* c) {
    Unit& u = *units_[c->unit];
    char buf[4096];
    for (;;) {
        ssize_t got = recv(c->fd, buf, sizeof buf, 0);
        if (got > 0) {
            // Bytes that arrive while an answer still goes out belong to it.
            if (c->session && c->answerSince < 0 && c->pending.empty() && !c->session->hasOutput())
                c->answerSince = steadyMicros();
            if (c->session) {
                u.device->setClockWall(clock_->wallSeconds());
                c->session->receive(buf, static_cast<std::size_t>(got));
            }
            continue;
        }
        if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            closeConnection(c);
            return;
        }
        break;
    }
    if (c->session) processUnit(c->unit);
}

void SimServer::flush(Connection* c) {
    const std::int64_t t = now();
    auto writeOut = [&]() {
        while (!c->pending.empty()) {
            ssize_t sent = send(c->fd, c->pending.data(), c->pending.size(), MSG_NOSIGNAL);
            if (sent > 0) {
                c->pending.erase(0, static_cast<std::size_t>(sent));
                continue;
            }
            if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
            if (sent < 0 && errno == EINTR) continue;
            return false;  // the peer is gone
        }
        return true;
    };
    if (c->session) {
        auto& out = c->session->output();
        while (!out.empty() && out.front().dueMs <= t) {
            // Pieces due at different times go out in separate sends.
            c->pending += out.front().bytes;
            out.pop_front();
            // Counted before the send: a client that has read the end of
            // the answer finds it counted.
            if (out.empty()) countAnswer(c);
            if (!writeOut()) {
                closeConnection(c);
                return;
            }
            if (!c->pending.empty()) break;
        }
        if (c->session->closeRequested() && out.empty()) c->closeWhenSent = true;
        // Bytes that asked for nothing (part of a line) are no answer.
        if (out.empty() && c->pending.empty()) c->answerSince = -1;
    }
    if (!writeOut()) {
        closeConnection(c);
        return;
    }
    const bool blocked = !c->pending.empty();
    if (!blocked && c->closeWhenSent) {
        closeConnection(c);
        return;
    }
    if (blocked != c->wantWrite) {
        c->wantWrite = blocked;
        watch(c->fd, Watch{Kind::Console, c->unit, c}, EPOLLIN | (blocked ? EPOLLOUT : 0u));
    }
}

void SimServer::countAnswer(Connection* c) {
    if (c->answerSince < 0) return;
    Unit& u = *units_[c->unit];
    if (u.console.get() == c) {
        u.statAnswers.fetch_add(1);
        u.statMicros.fetch_add(static_cast<std::uint64_t>(steadyMicros() - c->answerSince));
    }
    c->answerSince = -1;
}

SimServer::ConsoleStats SimServer::consoleStats(std::size_t i) const {
    const Unit& u = *units_[i];
    return ConsoleStats{u.statConnection.load(), u.statAnswers.load(), u.statMicros.load()};
}

void SimServer::closeConnection(Connection* c) {
    Unit& u = *units_[c->unit];
    const std::size_t i = c->unit;
    unwatch(c->fd);
    close(c->fd);
    if (u.console.get() == c) {
        const bool restart = u.console->session && u.console->session->restartRequested();
        u.console.reset();
        if (restart) {
            // The unit reboots: its console is away for a while.
            closeListener(u);
            u.restarting = true;
            u.restartUntilMs = now() + u.device->config().restartMs;
            schedule(i, u.restartUntilMs);
        }
        return;
    }
    for (auto it = u.refused.begin(); it != u.refused.end(); ++it) {
        if (it->get() == c) {
            u.refused.erase(it);
            return;
        }
    }
}

void SimServer::runRecurring(std::size_t i, std::int64_t t) {
    Unit& u = *units_[i];
    const DeviceConfig& cfg = u.device->config();
    if (t >= u.nextPingTripMs) {
        u.nextPingTripMs = t + cfg.pingTripSeconds * 1000LL;
        u.device->tripPing(cfg.pingTripEntry, t);
    }
    if (t >= u.nextPresenceMs) {
        // Each turn flips the presence, also one an operator changed by hand.
        const bool leave = !u.offline;
        u.nextPresenceMs = t + (leave ? cfg.offlineSeconds : cfg.onlineSeconds) * 1000LL;
        if (leave)
            goOffline(i, cfg.offlineSilent);
        else
            rejoin(i);
    }
}

void SimServer::processUnit(std::size_t i) {
    Unit& u = *units_[i];
    Device& d = *u.device;
    const std::int64_t t = now();
    runRecurring(i, t);
    d.setClockWall(clock_->wallSeconds());
    d.tick(t);
    if (u.restarting && t >= u.restartUntilMs && !u.offline) {
        std::string why;
        if (bindListener(i, why)) {
            u.restarting = false;
        } else {
            u.restartUntilMs = t + 1000;  // the port is still taken: try again
        }
    }
    if (u.console && u.console->session) {
        u.console->session->deviceChanged();
        flush(u.console.get());
    }
    const bool reporting = !u.offline && !u.restarting && d.reportsEnabled() &&
                           d.config().layout != ReportLayout::None;
    if (reporting) {
        if (d.reportGeneration() != u.reportedGeneration) {
            sendReport(i);
        } else if (rate_ == 0 && d.intervalSeconds() > 0 && t >= u.nextReportMs) {
            sendReport(i);
        }
    }
    std::int64_t next = d.nextDueMs();
    if (u.console && u.console->session) next = std::min(next, u.console->session->nextDueMs());
    if (u.restarting) next = std::min(next, u.restartUntilMs);
    if (reporting && rate_ == 0 && d.intervalSeconds() > 0) next = std::min(next, u.nextReportMs);
    next = std::min({next, u.nextPingTripMs, u.nextPresenceMs});
    schedule(i, std::max(next, t));
}

void SimServer::sendReport(std::size_t i) {
    Unit& u = *units_[i];
    Device& d = *u.device;
    u.reportedGeneration = d.reportGeneration();
    u.nextReportMs = now() + static_cast<std::int64_t>(d.intervalSeconds()) * 1000;
    const std::string station = d.stationText();
    if (station != u.stationText) {
        u.stationText = station;
        u.stationValid = parseStation(station, u.station);
    }
    if (!u.stationValid) return;
    ReportState s = d.reportState();
    s.sequence = d.nextSequence();
    auto datagram = EncodeReport(d.config().layout, s);
    ApplyReportFault(datagram, d.config().layout, d.faults().reportFault);
    if (datagram.empty()) return;
    if (sendto(reportFd_, datagram.data(), datagram.size(), 0,
               reinterpret_cast<sockaddr*>(&u.station), sizeof u.station) >= 0) {
        reportsSent_.fetch_add(1);
    }
}

// ---------------------------------------------------------------- network presence

void SimServer::goOffline(std::size_t i, bool silent) {
    Unit& u = *units_[i];
    u.offline = true;
    closeListener(u);
    if (u.console) {
        if (silent) {
            // Unplugged: the client's socket stays open and hears nothing.
            unwatch(u.console->fd);
            u.silentFds.push_back(u.console->fd);
            u.console.reset();
        } else {
            closeConnection(u.console.get());
        }
    }
    if (silent) {
        // Connections are taken by the kernel and then never answered.
        std::string why;
        int fd = openTcpListener(u.device->config().bindAddress, u.boundPort, why);
        if (fd >= 0) u.silentFds.push_back(fd);
    }
}

bool SimServer::rejoin(std::size_t i) {
    Unit& u = *units_[i];
    if (!u.offline) return false;
    for (int fd : u.silentFds) close(fd);
    u.silentFds.clear();
    u.offline = false;
    std::string why;
    if (!u.restarting && !bindListener(i, why)) {
        u.restarting = true;  // retried by the timer
        u.restartUntilMs = now() + 1000;
    }
    return true;
}

void SimServer::goOnline(std::size_t i) {
    if (rejoin(i)) processUnit(i);
}

// ---------------------------------------------------------------- control channel

void SimServer::onControlAccept() {
    for (;;) {
        int fd = accept4(controlFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        auto c = std::make_unique<Connection>();
        c->fd = fd;
        watch(fd, Watch{Kind::Control, 0, c.get()}, EPOLLIN);
        controls_.push_back(std::move(c));
    }
}

void SimServer::onControlReadable(Connection* c) {
    char buf[1024];
    bool gone = false;
    for (;;) {
        ssize_t got = recv(c->fd, buf, sizeof buf, 0);
        if (got > 0) {
            c->input.append(buf, static_cast<std::size_t>(got));
            continue;
        }
        gone = got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        break;
    }
    std::size_t nl;
    while (!gone && (nl = c->input.find('\n')) != std::string::npos) {
        std::string line = c->input.substr(0, nl);
        c->input.erase(0, nl + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line == "bye") {
            gone = true;
            break;
        }
        std::string reply = control(line) + "\n";
        // Control replies are short; a reader that does not read loses them.
        ssize_t ignored = send(c->fd, reply.data(), reply.size(), MSG_NOSIGNAL);
        (void)ignored;
    }
    if (gone) {
        unwatch(c->fd);
        close(c->fd);
        for (auto it = controls_.begin(); it != controls_.end(); ++it) {
            if (it->get() == c) {
                controls_.erase(it);
                break;
            }
        }
    }
}

std::string SimServer::control(const std::string& line) {
    const auto w = words(line);
    if (w.empty()) return "ERR empty command";
    const std::string& cmd = w[0];
    const std::int64_t t = now();
    if (cmd == "help") {
        return "list | show DEV | outlet DEV N on|off | master DEV on|off | temp DEV DEGREES "
               "[STATE]\n"
               "sensor DEV on|off | ping DEV N trip | ping DEV N STATE [REBOOTS]\n"
               "offline DEV [refuse|silent] | online DEV | lock DEV on|off | fault DEV SPEC|none\n"
               "report DEV | rate N | quit\nOK";
    }
    if (cmd == "quit") {
        stop_.store(true);
        return "OK";
    }
    if (cmd == "rate") {
        long r = w.size() == 2 ? std::strtol(w[1].c_str(), nullptr, 10) : -1;
        if (r < 0) return "ERR usage: rate N";
        rate_ = static_cast<int>(r);
        rateStartMs_ = t;
        rateSent_ = 0;
        for (std::size_t i = 0; i < units_.size(); ++i) schedule(i, t);
        return "OK";
    }
    if (cmd == "list") {
        std::string out;
        for (std::size_t i = 0; i < units_.size(); ++i) {
            const Unit& u = *units_[i];
            const Device& d = *u.device;
            std::string states;
            for (const auto& o : d.outlets()) states += static_cast<char>('0' + o.state);
            char buf[256];
            std::snprintf(buf, sizeof buf, "%zu %s model=%d port=%d mac=%s unit=%d states=%s%s\n",
                          i, d.name().c_str(), d.model(), u.boundPort, d.config().mac.c_str(),
                          d.config().unit, states.c_str(), u.offline ? " offline" : "");
            out += buf;
        }
        return out + "OK";
    }
    if (w.size() < 2) return "ERR usage: " + cmd + " DEV ...";
    const int idx = find(w[1]);
    if (idx < 0) return "ERR no device " + w[1];
    Unit& u = *units_[static_cast<std::size_t>(idx)];
    Device& d = *u.device;
    const std::size_t i = static_cast<std::size_t>(idx);
    bool flag = false;
    std::string reply = "OK";
    if (cmd == "show") {
        std::ostringstream o;
        o << "name=" << d.name() << "\nmodel=" << d.model() << " " << ModelName(d.model())
          << "\nport=" << u.boundPort << "\nmac=" << d.config().mac << "\nunit=" << d.config().unit
          << "\nmaster=" << d.masterState() << "\nstates=";
        for (const auto& ot : d.outlets()) o << ot.state;
        o << "\ntemperature=" << d.temperature() << " state=" << d.temperatureState()
          << "\nstation=" << d.stationText() << " interval=" << d.intervalSeconds()
          << " layout=" << layoutName(d.config().layout)
          << "\nschedule-entries=" << d.schedule().size() << "\nlocked=" << (d.locked() ? 1 : 0)
          << "\noffline=" << (u.offline ? 1 : 0) << "\nconsole=" << (u.console ? 1 : 0) << "\nOK";
        return o.str();
    } else if (cmd == "outlet") {
        long n = w.size() == 4 ? std::strtol(w[2].c_str(), nullptr, 10) : 0;
        if (w.size() != 4 || !onOff(w[3], flag) || !d.switchByHand(static_cast<int>(n), flag, t)) {
            return "ERR usage: outlet DEV N on|off";
        }
    } else if (cmd == "master") {
        if (w.size() != 3 || !onOff(w[2], flag)) return "ERR usage: master DEV on|off";
        if (!d.setMaster(flag, t)) return "ERR device has no master switch";
    } else if (cmd == "temp") {
        if (w.size() < 3 || w.size() > 4) return "ERR usage: temp DEV DEGREES [STATE]";
        char* end = nullptr;
        double deg = std::strtod(w[2].c_str(), &end);
        if (*end != '\0') return "ERR bad temperature";
        const int h = static_cast<int>(deg * 100 + (deg < 0 ? -0.5 : 0.5));
        int state = h >= 4000 ? 2 : h >= 3500 ? 1 : h <= 0 ? 4 : h <= 500 ? 3 : 0;
        if (w.size() == 4) {
            state = std::atoi(w[3].c_str());
            if (state < 0 || state > 4 ||
                w[3].find_first_not_of("0123456789") != std::string::npos) {
                return "ERR state is 0 to 4";
            }
        }
        d.setTemperature(h, state);
    } else if (cmd == "sensor") {
        if (w.size() != 3 || !onOff(w[2], flag)) return "ERR usage: sensor DEV on|off";
        d.setSensor(flag);
    } else if (cmd == "ping") {
        if (w.size() < 4) return "ERR usage: ping DEV N trip|STATE [REBOOTS]";
        const int n = std::atoi(w[2].c_str());
        if (w[3] == "trip") {
            if (!d.tripPing(n, t)) return "ERR no ping entry " + w[2];
        } else {
            const int reboots = w.size() == 5 ? std::atoi(w[4].c_str()) : -1;
            if (!d.setPingState(n, std::atoi(w[3].c_str()), reboots))
                return "ERR no ping entry " + w[2];
        }
    } else if (cmd == "offline") {
        const bool silent = w.size() == 3 && w[2] == "silent";
        if (w.size() == 3 && !silent && w[2] != "refuse")
            return "ERR usage: offline DEV [refuse|silent]";
        if (u.offline) goOnline(i);
        goOffline(i, silent);
        return "OK";
    } else if (cmd == "online") {
        goOnline(i);
    } else if (cmd == "lock") {
        if (w.size() != 3 || !onOff(w[2], flag)) return "ERR usage: lock DEV on|off";
        d.setLocked(flag);
    } else if (cmd == "fault") {
        std::string spec = line.substr(line.find(w[1], line.find(cmd) + cmd.size()) + w[1].size());
        std::string why;
        if (!ParseFaults(spec, d.faults(), why)) return "ERR " + why;
    } else if (cmd == "report") {
        sendReport(i);
    } else {
        return "ERR unknown command " + cmd;
    }
    processUnit(i);
    return reply;
}

}  // namespace zelo::sim
