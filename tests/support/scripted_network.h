#pragma once
// A network for tests: connections whose incoming bytes follow a script on
// a manual clock. Waiting for data moves the clock to the moment the next
// bytes are due, so time-outs pass without sleeping.

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/clock.h"
#include "connection/network.h"

namespace zelo::test {

class ScriptedStream : public TcpStream {
public:
    explicit ScriptedStream(ManualClock& clock) : clock_(clock) {}

    // Bytes that arrive `afterMicros` after the previous scheduled event (or now).
    void deliver(const std::string& bytes, std::int64_t afterMicros = 0) {
        schedule({bytes, false}, afterMicros);
    }
    void closeAfter(std::int64_t afterMicros = 0) { schedule({"", true}, afterMicros); }

    // Called with each text the client sends; may schedule replies.
    std::function<void(const std::string&)> onSend;
    std::string sent;

    int send(const char* data, std::size_t size) noexcept override {
        const std::string text(data, size);
        sent += text;
        if (onSend) onSend(text);
        return static_cast<int>(size);
    }

    int waitReadable(std::int64_t timeoutMicros) noexcept override {
        if (events_.empty()) {
            clock_.advanceMicros(timeoutMicros > 0 ? timeoutMicros : 0);
            return 0;
        }
        const std::int64_t due = events_.front().at;
        if (due <= clock_.micros()) return 1;
        if (due <= clock_.micros() + timeoutMicros) {
            clock_.advanceMicros(due - clock_.micros());
            return 1;
        }
        clock_.advanceMicros(timeoutMicros > 0 ? timeoutMicros : 0);
        return 0;
    }

    int recv(char* buffer, std::size_t size) noexcept override {
        if (events_.empty()) return -1;
        Event& e = events_.front();
        if (e.close) return 0;
        const std::size_t n = std::min(size, e.bytes.size());
        std::copy(e.bytes.begin(), e.bytes.begin() + static_cast<long>(n), buffer);
        e.bytes.erase(0, n);
        if (e.bytes.empty()) events_.pop_front();
        return static_cast<int>(n);
    }

    void shutdown(bool) noexcept override {
        if (shutdownCount) ++*shutdownCount;
    }
    int* shutdownCount = nullptr;  // outlives the stream

private:
    struct Event {
        std::string bytes;
        bool close;
        std::int64_t at = 0;
    };
    void schedule(Event e, std::int64_t after) {
        const std::int64_t base =
            events_.empty() ? clock_.micros() : std::max(events_.back().at, clock_.micros());
        e.at = base + after;
        events_.push_back(std::move(e));
    }

    ManualClock& clock_;
    std::deque<Event> events_;
};

class ScriptedNetwork : public Network {
public:
    explicit ScriptedNetwork(ManualClock& clock) : clock_(clock) {}

    std::map<std::string, std::uint32_t> hosts;
    bool refuse = false;
    // Prepares each new connection (greeting, replies).
    std::function<void(ScriptedStream&)> onConnect;
    std::vector<ScriptedStream*>
        streams;  // every connection made, oldest first (closed ones dangle)
    int connects = 0;
    int shutdowns = 0;  // shutdown calls on all streams

    std::uint32_t lookupHost(const std::string& name) noexcept override {
        auto it = hosts.find(name);
        return it == hosts.end() ? 0 : it->second;
    }

    std::unique_ptr<TcpStream> connect(std::uint32_t, std::uint16_t,
                                       bool& socketCreated) noexcept override {
        socketCreated = true;
        ++connects;
        if (refuse) return nullptr;
        auto stream = std::make_unique<ScriptedStream>(clock_);
        stream->shutdownCount = &shutdowns;
        streams.push_back(stream.get());
        if (onConnect) onConnect(*stream);
        return stream;
    }

    ScriptedStream& last() { return *streams.back(); }

private:
    ManualClock& clock_;
};

}  // namespace zelo::test
