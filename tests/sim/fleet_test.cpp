// The fleet description: what a file says and what it may not say.

#include <gtest/gtest.h>

#include <set>

#include "sim/fleet.h"

namespace zelo::sim::test {
namespace {

std::string describe(const DeviceConfig& d) {
    std::string states, ping;
    for (int s : d.states) states += std::to_string(s);
    for (const PingEntry& p : d.ping) ping += std::to_string(p.state);
    return d.name + " m" + std::to_string(d.model) + " mac=" + d.mac + " unit=" + std::to_string(d.unit) + " port=" +
           std::to_string(d.port) + " states=" + states + " ping=" + ping + " every=" + std::to_string(d.intervalSeconds) +
           " to=" + d.station;
}

TEST(SimFleet, FileValuesTopLineDefaultsAndNumberedCopies) {
    const struct {
        std::string text;
        std::vector<std::string> devices;  // and the fleet's rate last
    } rows[] = {
        {"[b]\nmodel = 12\nstates = 10\noutlets = 2\nmac = 00-80-87-aa-bb-cc\nunit = 9\n",
         {"b m12 mac=008087AABBCC unit=9 port=0 states=10 ping=1111 every=60 to=", "rate=0"}},
        // Top lines are defaults that sections override.
        {"rate = 250\nstation = 10.0.0.1:5000\ninterval = 5\nping = none\n[a]\nmodel = 11\nmac = 0000AABBCC01\n"
         "[b]\nmodel = 11\nmac = 0000AABBCC02\ninterval = 9\nping = 1:0\n",
         {"a m11 mac=0000AABBCC01 unit=0 port=0 states=1111 ping= every=5 to=10.0.0.1:5000",
          "b m11 mac=0000AABBCC02 unit=0 port=0 states=1111 ping=1 every=9 to=10.0.0.1:5000", "rate=250"}},
        // Numbered copies with their own ports and addresses; unit numbers wrap at 16 bits.
        {"[rack]\nmodel = 8\ncount = 3\nport = 4000\nunit = 65535\nmac = 00:80:87:00:00:FF\n",
         {"rack-1 m8 mac=0080870000FF unit=65535 port=4000 states=1111 ping= every=60 to=",
          "rack-2 m8 mac=008087000100 unit=0 port=4001 states=1111 ping= every=60 to=",
          "rack-3 m8 mac=008087000101 unit=1 port=4002 states=1111 ping= every=60 to=", "rate=0"}},
    };
    for (const auto& row : rows) {
        Fleet fleet;
        std::string error;
        ASSERT_TRUE(ParseFleet(row.text, fleet, error)) << row.text << error;
        std::vector<std::string> got;
        for (const auto& d : fleet.devices) got.push_back(describe(d));
        got.push_back("rate=" + std::to_string(fleet.ratePerSecond));
        EXPECT_EQ(got, row.devices) << row.text;
    }
    Fleet sample;  // the demonstration fleet: one unit of every model, each on its own port
    std::string error;
    ASSERT_TRUE(LoadFleetFile(ZELO_SIM_SAMPLE_FLEET, sample, error)) << error;
    std::multiset<int> models;
    std::set<int> ports;
    for (const auto& d : sample.devices) models.insert(d.model), ports.insert(d.port);
    EXPECT_EQ(models, (std::multiset<int>{3, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
    EXPECT_EQ(ports.size(), 10u);
}

TEST(SimFleet, ErrorsNameTheirLine) {
    const std::pair<const char*, const char*> bad[] = {
        {"[a]\nmodel = 3\ncolour = red\n", "line 3"},   {"[a]\nmodel = 4\n", "line 1"},
        {"[a]\nmodel = 3\nstates = 101\n", "line 1"},   {"[a]\nmodel = 3\nport = 70000\n", "line 3"},
        {"[a]\nmodel = 3\n[a]\nmodel = 5\n", "line 3"}, {"[a]\nmodel = 3\nfaults = slow:x\n", "line 3"},
        {"[a]\nmodel = 3\njust words\n", "line 3"},     {"[a]\nmodel = 11\nping = 1:0,9\n", "line 3"},
    };
    for (const auto& [text, where] : bad) {
        Fleet fleet;
        std::string error;
        EXPECT_FALSE(ParseFleet(text, fleet, error)) << text;
        EXPECT_EQ(error.compare(0, std::string(where).size(), where), 0) << text << " -> " << error;
    }
}

std::string describe(const FaultConfig& f) {
    return "after=" + std::to_string(f.closeAfterBytes) + " at=" + f.closeAt + " slow=" + std::to_string(f.slowMs) +
           (f.muteAll ? " mute" : "") + (f.muteCommands ? " mute-commands" : "") +
           " garbage=" + std::to_string(f.garbageLines) + (f.splitIac ? " split" : "") +
           " storm=" + std::to_string(f.iacStorm) + " drip=" + std::to_string(f.dripMs) +
           " flood=" + (f.floodBytes > 8192 ? std::string("big") : std::to_string(f.floodBytes)) +  // beyond a client's ring
           (f.refusePassword ? " refuse" : "") + " report=" + f.reportFault;
}

TEST(SimFleet, FaultListsTakeTheirNumbersAndRejectUnknownNames) {
    const std::pair<const char*, const char*> rows[] = {
        {"close-after:120, slow:300, garbage:2, split-iac, flood, refuse-password, close-at:cmd3, "
         "report:truncated, mute-commands",
         "after=120 at=cmd3 slow=300 mute-commands garbage=2 split storm=0 drip=0 flood=big refuse report=truncated"},
        {"mute, iac-storm:500, drip:250", "after=-1 at= slow=0 mute garbage=0 storm=500 drip=250 flood=0 report="},
        {"iac-storm, drip", "after=-1 at= slow=0 garbage=0 storm=32 drip=1000 flood=0 report="},
        {"none", "after=-1 at= slow=0 garbage=0 storm=0 drip=0 flood=0 report="},
        {"explode", nullptr}, {"close-at:never", nullptr}, {"report:loud", nullptr}, {"close-after:-1", nullptr},
        {"close-at:cmd0", nullptr}, {"iac-storm:0", nullptr}, {"iac-storm:x", nullptr}, {"drip:0", nullptr},
        {"drip:-5", nullptr},
    };
    for (const auto& [text, expected] : rows) {
        FaultConfig f;
        std::string error;
        ASSERT_TRUE(ParseFaults("slow:5, drip:7", f, error));  // nothing of an earlier list is left
        EXPECT_EQ(ParseFaults(text, f, error), expected != nullptr) << text;
        EXPECT_EQ(expected ? describe(f) : "", expected ? expected : "") << text;
    }
}

}  // namespace
}  // namespace zelo::sim::test
