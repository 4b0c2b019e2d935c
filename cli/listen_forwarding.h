#pragma once
// listen's forwarding options and forwarders (MQTT, metrics). The native
// build has them; the Windows build, which leaves the forwarders out, gets a
// stand-in that takes no option and does nothing.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace zelo::cli {

class ListenForwarding {
public:
    ListenForwarding();
    ~ListenForwarding();

    // Reads a forwarding option at args[i] (moving i past its value). False
    // when args[i] is not one (`rc` 0) or its value is bad (the usage error
    // is printed, `rc` is its exit code).
    bool parse(Session& s, const std::vector<std::string>& args, std::size_t& i, int& rc);
    // Before the listener opens: resolves the options against the directory
    // and starts the forwarders. 0, or the exit code.
    int start(Session& s);
    // After each tick, with the records accepted in it.
    void afterTick(const std::vector<DeviceRecord>& accepted);
    void stop();

    // The synopsis and help of the options ("" without forwarders).
    static const char* synopsis();
    static const char* help();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace zelo::cli
