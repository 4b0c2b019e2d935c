#pragma once
// zelo-sim as a child process: the fleet goes to a file, the program starts
// with a control socket, its unit list gives the console ports, and
// commands go over the control socket. The simulator's own memory (a flood
// of megabytes, queued storms) stays out of the test process, so the test
// process's peak RSS is the client's alone.

#include <map>
#include <string>

#include <sys/types.h>

#include "tests/support/temp_dir.h"

namespace zelo::test {

class ExternalSim {
public:
    ExternalSim() = default;
    ~ExternalSim() { stop(); }
    ExternalSim(const ExternalSim&) = delete;
    ExternalSim& operator=(const ExternalSim&) = delete;

    // Starts `program` on the fleet text and waits (at most 10 seconds) for
    // its "ready" line. False with a reason when it does not come up.
    bool start(const std::string& program, const std::string& fleetText, std::string& error);
    // The console port of a unit, 0 when there is no such unit.
    int port(const std::string& name) const;
    // Runs one control command: the reply up to its "OK" or "ERR ..." line
    // (that line included), or an empty text when none came within 5 seconds.
    std::string control(const std::string& line);
    // Ends the program (SIGTERM to its pid) and collects it.
    void stop();

private:
    bool readLine(std::string& line, int timeoutMs);

    TempDir dir_;
    pid_t pid_ = -1;
    int out_ = -1;
    int controlFd_ = -1;
    std::string outBuffer_;
    std::string controlBuffer_;
    std::map<std::string, int> ports_;
};

}  // namespace zelo::test
