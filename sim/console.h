#pragma once
// The console of one unit as a byte-in, byte-out state machine: the framed
// dialect of codes 3 and 5 and the plain dialect of codes 6 to 13, with the
// unit's fault modes applied to what it sends. The server moves the bytes.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "sim/device.h"
#include "sim/sim_clock.h"

namespace zelo::sim {

class ConsoleSession {
public:
    ConsoleSession(Device& device, const SimClock& clock);

    // The connection was accepted: greeting, negotiation, faults at connect.
    void open();
    // Bytes from the client.
    void receive(const char* data, std::size_t length);
    // Called after the unit's state moved: reports outlet changes the
    // framed console shows without being asked.
    void deviceChanged();

    struct Piece {
        std::string bytes;
        std::int64_t dueMs = 0;  // not to be sent before
    };
    std::deque<Piece>& output() { return out_; }
    bool hasOutput() const { return !out_.empty(); }
    std::int64_t nextDueMs() const;

    // Close once the output is sent.
    bool closeRequested() const { return close_; }
    // The unit restarts (CPURESET) when this connection closes.
    bool restartRequested() const { return restart_; }
    bool loggedIn() const { return state_ == State::Command; }

private:
    enum class State { Greeting, User, Password, Command, Closed };

    void handleLine(std::string line);
    void framedLine(const std::string& line);
    void plainLine(const std::string& line);
    void framedCommand(const std::string& cmd);
    void plainCommand(const std::string& cmd);

    // send: the raw bytes; answer: a reply (garbage lines and split
    // telnet sequences go before it when those faults are on).
    void send(std::string bytes, bool answer = false);
    void answer(const std::string& text) { send(text, true); }
    // An answer wrapped in a telnet storm: the sends it goes out in.
    std::vector<std::string> stormSends(const std::string& text, int count);
    static std::string stormClosing();
    void closeAfterOutput() {
        close_ = true;
        state_ = State::Closed;
    }
    bool closeAtStep(const char* step);

    std::string framedPrompt() const;
    std::string plainPrompt() const;
    std::string prefix() const;  // "*SN:"
    std::string posFields() const;
    std::string identLine() const;
    std::string dateTimeText() const;

    Device& device_;
    const SimClock& clock_;
    State state_ = State::Greeting;
    bool loginMode_ = false;
    bool greeted_ = false;  // the greeting has gone out
    std::string lineBuffer_;
    int iacSkip_ = 0;  // bytes of an incoming telnet sequence still to drop
    std::deque<Piece> out_;
    std::int64_t bytesQueued_ = 0;
    std::int64_t lastDueMs_ = 0;
    bool close_ = false;
    bool restart_ = false;
    int commands_ = 0;
    int badPasswords_ = 0;
    std::uint64_t seenGeneration_ = 0;
    std::uint32_t noise_ = 12345;
    std::string user_;
};

}  // namespace zelo::sim
