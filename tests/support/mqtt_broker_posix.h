#pragma once
// A real mosquitto broker for the forwarder's tests, on a free loopback
// port, and a real MQTT client (libmosquitto) that watches it. The broker
// is the Debian package's /usr/sbin/mosquitto; a test that cannot start it
// fails, it is never skipped.

#include <mosquitto.h>
#include <pwd.h>

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "tests/support/child_process_posix.h"

namespace zelo::test {

// A port no one listens on now. The broker may lose it to another program
// before it binds: start() then tries another.
inline int unusedTcpPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

class MqttBroker {
public:
    // `listenerLines` are added under the listener (TLS files, a password
    // file); without them anonymous clients are let in.
    bool start(const TempDir& dir, const std::string& listenerLines, std::string& error) {
        conf_ = dir.file("mosquitto.conf");
        log_ = dir.file("mosquitto.log");
        out_ = dir.file("mosquitto.out");
        lines_ = listenerLines.empty() ? "allow_anonymous true\n" : listenerLines;
        for (int attempt = 0; attempt < 5; ++attempt) {
            port_ = unusedTcpPort();
            if (launch()) return true;
        }
        error = "mosquitto did not start: " + readBytes(out_) + readBytes(log_);
        return false;
    }
    // Killed, as by a crash or a power cut: no clean goodbye to anyone.
    void crash() {
        if (process_) process_->signal(SIGKILL);
        process_.reset();
    }
    // Back on the same port.
    bool restart() { return launch(); }
    int port() const { return port_; }
    // The broker's log: connections it accepted and refused.
    std::string log() const { return readBytes(log_); }

private:
    bool launch() {
        // Started by root, the broker would become the user "mosquitto",
        // who cannot read the test's files: it stays who the test is.
        const passwd* me = ::getpwuid(::geteuid());
        writeBytes(conf_, "user " + std::string(me ? me->pw_name : "root") +
                              "\nper_listener_settings true\nlistener " + std::to_string(port_) +
                              " 127.0.0.1\n" + lines_ + "log_dest file " + log_ +
                              "\nlog_type all\npersistence false\n");
        process_ = std::make_unique<ChildProcess>();
        if (!process_->start({"/usr/sbin/mosquitto", "-c", conf_}, out_, out_)) return false;
        // Ready when the port takes a connection; gone when it could not bind.
        for (const std::int64_t deadline = steadyMs() + 5000; steadyMs() < deadline;) {
            LoopbackClient probe;
            if (probe.connect(port_)) return true;
            ::poll(nullptr, 0, 20);
        }
        process_.reset();
        return false;
    }

    std::unique_ptr<ChildProcess> process_;
    std::string conf_, log_, out_, lines_;
    int port_ = 0;
};

// A client that records every message it sees and can wait for one.
class MqttWatcher {
public:
    struct Message {
        std::string topic, payload;
    };

    MqttWatcher() {
        static const int started = mosquitto_lib_init();
        (void)started;
        mosq_ = mosquitto_new(nullptr, true, this);
        mosquitto_message_callback_set(mosq_,
                                       [](mosquitto*, void* self, const mosquitto_message* m) {
                                           static_cast<MqttWatcher*>(self)->take(m);
                                       });
        mosquitto_connect_callback_set(mosq_, [](mosquitto*, void* self, int rc) {
            auto* w = static_cast<MqttWatcher*>(self);
            std::lock_guard<std::mutex> lock(w->mutex_);
            w->connected_ = rc == 0;
            w->cv_.notify_all();
        });
    }
    ~MqttWatcher() {
        mosquitto_disconnect(mosq_);
        mosquitto_loop_stop(mosq_, true);
        mosquitto_destroy(mosq_);
    }

    // Connects and subscribes to `patterns`; true once the broker said yes.
    bool connect(int port, const std::vector<std::string>& patterns) {
        if (mosquitto_connect(mosq_, "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS) return false;
        for (const std::string& p : patterns) mosquitto_subscribe(mosq_, nullptr, p.c_str(), 1);
        mosquitto_loop_start(mosq_);
        return waitFor([this] { return connected_; }, 5000);
    }
    void publish(const std::string& topic, const std::string& payload, bool retain = false) {
        mosquitto_publish(mosq_, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                          payload.data(), 1, retain);
    }

    // Waits until `done` (called under the lock) holds; false after the time.
    bool waitFor(const std::function<bool()>& done, int timeoutMs) {
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), done);
    }
    // Waits for the latest value of a topic to be `payload`.
    bool waitForValue(const std::string& topic, const std::string& payload, int timeoutMs = 8000) {
        return waitFor([&] { return latestLocked(topic) == payload; }, timeoutMs);
    }
    // Waits for a message on the topic whose payload contains `part`;
    // returns the payload, or "" after the time.
    std::string waitForPart(const std::string& topic, const std::string& part,
                            int timeoutMs = 8000) {
        std::string found;
        waitFor(
            [&] {
                for (const Message& m : log_)
                    if (m.topic == topic && m.payload.find(part) != std::string::npos)
                        return !(found = m.payload).empty();
                return false;
            },
            timeoutMs);
        return found;
    }

    // The latest payload of a topic ("" when none or emptied).
    std::string latest(const std::string& topic) {
        std::lock_guard<std::mutex> lock(mutex_);
        return latestLocked(topic);
    }
    bool seen(const std::string& topic) {
        std::lock_guard<std::mutex> lock(mutex_);
        return seenLocked(topic);
    }
    // For waitFor's condition, which runs under the lock.
    bool seenLocked(const std::string& topic) const { return latest_.count(topic) != 0; }
    std::map<std::string, std::string> latestAll() {
        std::lock_guard<std::mutex> lock(mutex_);
        return latest_;
    }

private:
    std::string latestLocked(const std::string& topic) const {
        const auto it = latest_.find(topic);
        return it == latest_.end() ? std::string() : it->second;
    }
    void take(const mosquitto_message* m) {
        std::lock_guard<std::mutex> lock(mutex_);
        std::string payload(static_cast<const char*>(m->payload),
                            static_cast<std::size_t>(m->payloadlen));
        log_.push_back({m->topic, payload});
        latest_[m->topic] = payload;
        cv_.notify_all();
    }

    mosquitto* mosq_;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool connected_ = false;
    std::map<std::string, std::string> latest_;
    std::vector<Message> log_;
};

}  // namespace zelo::test
