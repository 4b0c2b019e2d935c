#pragma once
// The one way tests, benchmarks and fuzz targets get a Workspace: over a
// data directory, with a hand-driven clock, a scripted front end and view,
// and a network that is the scripted one (the default), the system's
// sockets, or one the caller brings.

#include <cstdint>
#include <memory>
#include <string>

#include "app/workspace.h"
#include "common/clock.h"
#include "connection/network.h"
#include "tests/support/scripted_frontend.h"
#include "tests/support/scripted_network.h"
#include "tests/support/scripted_view.h"

namespace zelo::test {

inline constexpr std::int64_t kWorkspaceNow = 1167606300;  // 2006-12-31 23:05 UTC

enum class Net { Scripted, System };
// A hand-driven clock, or the system's for dialogues with real devices.
enum class Time { Manual, System };

class TestWorkspace {
public:
    // `dataDir` ends with a separator (it may be a name that is never
    // written, for tests that keep no files). Nothing is loaded yet: write
    // files or change settings first, then load.
    explicit TestWorkspace(std::string dataDir, Net kind = Net::Scripted,
                           std::int64_t now = kWorkspaceNow, Time time = Time::Manual)
        : clock(now),
          net(clock),
          system_(kind == Net::System ? makeSystemNetwork() : nullptr),
          ws(std::move(dataDir), system_ ? *system_ : static_cast<Network&>(net),
             time == Time::System ? static_cast<const Clock&>(systemClock_) : clock, frontend,
             view) {}
    TestWorkspace(std::string dataDir, Network& network, Time time = Time::Manual,
                  std::int64_t now = kWorkspaceNow)
        : clock(now),
          net(clock),
          ws(std::move(dataDir), network,
             time == Time::System ? static_cast<const Clock&>(systemClock_) : clock, frontend,
             view) {}

    // Over the caller's network and clock (a fuzz target's scripted peer).
    TestWorkspace(std::string dataDir, Network& network, const Clock& externalClock)
        : clock(kWorkspaceNow),
          net(clock),
          ws(std::move(dataDir), network, externalClock, frontend, view) {}

    // ZELO.INI, then the directory (created when missing unless told not to).
    bool load(bool createMissing = true) { return ws.load(createMissing); }

    // The device being handled, as the list's open command selects it.
    CurrentDevice& select(std::uint32_t deviceId) {
        ws.current().select(*ws.directory().devices().find(deviceId));
        return ws.current();
    }
    DeviceSession& session() { return ws.current().session(); }

    ManualClock clock;
    ScriptedNetwork net;  // used unless the system's or the caller's network is
    ScriptedFrontend frontend;
    ScriptedView view;

private:
    SystemClock systemClock_;
    std::unique_ptr<Network> system_;

public:
    Workspace ws;
};

}  // namespace zelo::test
