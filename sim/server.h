#pragma once
// The simulator's event loop: one thread, non-blocking sockets under epoll,
// one console listener per unit, one UDP socket for every status report,
// and a line-based control channel. Tests embed it and either step it by
// hand or run it on a thread of their own.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <queue>
#include <string>
#include <thread>
#include <vector>

#include "sim/console.h"
#include "sim/device.h"
#include "sim/fleet.h"
#include "sim/sim_clock.h"

namespace zelo::sim {

struct ServerOptions {
    // -1: no control socket; 0: a free port; else that port.
    int controlPort = -1;
    std::string controlAddress = "127.0.0.1";
    // Aggregate report rate in datagrams per second (0: the fleet's rate,
    // and when that is 0 too, each unit's own interval).
    int ratePerSecond = 0;
    // The address the report socket sends from.
    std::string reportBindAddress = "127.0.0.1";
    // When above 0, units without a port of their own take free ports from
    // here upwards (ports in use are skipped) instead of ports the system
    // picks: much quicker to bind for thousands of units.
    int portBase = 0;
    // Read control commands from this descriptor too (the CLI passes stdin).
    int commandFd = -1;
    // Where replies to commandFd go.
    std::function<void(const std::string&)> commandReply;
};

class SimServer {
public:
    // clock may be null: the server then uses the steady clock.
    SimServer(Fleet fleet, ServerOptions options = {}, const SimClock* clock = nullptr);
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    // Binds every listener. False with a reason when one cannot be bound.
    bool start(std::string& error);
    // One round: waits at most timeoutMs for sockets, then runs what is due.
    void step(int timeoutMs);
    // Steps until stop() (from any thread) or a "quit" command.
    void run();
    void stop();
    // run() on a thread of its own; stop() ends it and joins.
    void startThread();
    bool stopped() const { return stop_.load(); }

    std::size_t deviceCount() const { return units_.size(); }
    Device& device(std::size_t i);
    int consolePort(std::size_t i) const;
    int controlPort() const { return controlPort_; }
    int reportPort() const { return reportPort_; }
    std::uint64_t reportsSent() const { return reportsSent_.load(); }

    // How the unit's latest console connection (the open one, or the last
    // one closed) was answered, for benchmarks that set a client's time
    // against the simulator's own. An answer runs from the read that
    // brought the bytes it answers (from the accept, for the greeting) to
    // the moment the end of the answer is handed to the kernel; bytes that
    // arrive while an answer still goes out belong to it, bytes that ask
    // for nothing are no answer. Readable from any thread; consistent once
    // the client has read the end of the last answer.
    struct ConsoleStats {
        std::uint64_t connection = 0;    // the unit's consoles accepted so far
        std::uint64_t answers = 0;       // greeting and commands answered
        std::uint64_t serverMicros = 0;  // the answers' times added up
    };
    ConsoleStats consoleStats(std::size_t i) const;
    // Index of the unit with that name (or "#N"), -1 when none.
    int find(const std::string& nameOrIndex) const;

    // Runs one control command and returns its reply lines, the last "OK"
    // or "ERR reason". Only from the loop's own thread (or while no loop runs).
    std::string control(const std::string& line);

    // Sends a report of unit i now (as when its state changed).
    void sendReport(std::size_t i);

private:
    struct Connection;
    struct Unit;
    enum class Kind { Listener, Console, ControlListener, Control, Command, Wake };
    struct Watch {
        Kind kind;
        std::size_t unit = 0;
        Connection* conn = nullptr;
    };

    std::int64_t now() const { return clock_->nowMs(); }
    bool bindListener(std::size_t i, std::string& error);
    void closeListener(Unit& u);
    void onAccept(std::size_t unit);
    void onConsoleReadable(Connection* c);
    void flush(Connection* c);
    // The end of the answer under way goes out now: counts it.
    void countAnswer(Connection* c);
    void closeConnection(Connection* c);
    void processUnit(std::size_t i);
    void schedule(std::size_t i, std::int64_t due);
    void runTimers();
    void runRate();
    void watch(int fd, Watch w, std::uint32_t events);
    void unwatch(int fd);
    void onControlAccept();
    void onControlReadable(Connection* c);
    void goOffline(std::size_t i, bool silent);
    // Back on the network; false when the unit was not off it.
    bool rejoin(std::size_t i);
    void goOnline(std::size_t i);
    // The fleet's recurring ping trips and network absences that are due.
    void runRecurring(std::size_t i, std::int64_t t);

    Fleet fleet_;
    ServerOptions options_;
    std::unique_ptr<SteadySimClock> ownClock_;
    const SimClock* clock_;
    std::vector<std::unique_ptr<Unit>> units_;
    std::map<std::string, std::size_t> byName_;
    std::map<int, Watch> watches_;
    std::vector<std::unique_ptr<Connection>> controls_;
    int epoll_ = -1;
    int wakeFd_ = -1;
    int reportFd_ = -1;
    int reportPort_ = 0;
    int controlFd_ = -1;
    int controlPort_ = 0;
    std::priority_queue<std::pair<std::int64_t, std::size_t>,
                        std::vector<std::pair<std::int64_t, std::size_t>>, std::greater<>>
        timers_;
    int rate_ = 0;
    std::int64_t rateStartMs_ = 0;
    std::uint64_t rateSent_ = 0;
    std::size_t rateNext_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> reportsSent_{0};
    std::thread thread_;
    std::string commandBuffer_;
    // While the command descriptor is a terminal that belongs to another
    // process group (the simulator runs in the background), it is not read:
    // a read would stop the process. It is looked at again at this time.
    std::int64_t commandResumeMs_ = -1;
};

}  // namespace zelo::sim
