#pragma once
// zelo-sim's fleet running in the test process on loopback, on a thread of
// its own, until it goes out of scope.

#include <memory>
#include <string>

#include "sim/fleet.h"
#include "sim/server.h"

namespace zelo::test {

class SimFleet {
public:
    ~SimFleet() { stop(); }

    // False, with the reason in `error`, when the fleet text is wrong or
    // the consoles cannot listen.
    bool start(const std::string& fleetText, std::string& error) {
        if (!bind(fleetText, error)) return false;
        run();
        return true;
    }
    // start() in two steps: the consoles listen (their ports are known)...
    bool bind(const std::string& fleetText, std::string& error) {
        sim::Fleet fleet;
        if (!sim::ParseFleet(fleetText, fleet, error)) return false;
        server_ = std::make_unique<sim::SimServer>(std::move(fleet));
        return server_->start(error);
    }
    // ...and, with every unit's station set, the fleet runs.
    void setStation(const std::string& hostPort) {
        for (std::size_t i = 0; i < server_->deviceCount(); ++i)
            server_->device(i).setStation(hostPort);
    }
    void run() { server_->startThread(); }
    std::uint64_t reportsSent() const { return server_->reportsSent(); }
    // Console connections the unit has accepted so far (from any thread).
    std::uint64_t consoleConnections(const std::string& unit) const {
        return server_->consoleStats(index(unit)).connection;
    }
    void stop() {
        if (server_) server_->stop();
    }
    int port(const std::string& unit) const { return server_->consolePort(index(unit)); }
    // The unit's state (read it after stop()).
    sim::Device& device(const std::string& unit) { return server_->device(index(unit)); }

private:
    std::size_t index(const std::string& unit) const {
        return static_cast<std::size_t>(server_->find(unit));
    }
    std::unique_ptr<sim::SimServer> server_;
};

}  // namespace zelo::test
