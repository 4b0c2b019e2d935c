#pragma once
// The connection to the broker, on a thread of its own: connects (TLS when
// asked, the server's certificate verified), keeps the station's status
// with its last will, subscribes to the command topics, sends what the
// outbox holds, and after a lost or refused connection tries again after 1 s,
// doubling to 30 s. Nothing here ever blocks the listen loop: it talks to
// the loop only through the outbox and two short queues.

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "forward/forwarding.h"
#include "forward/mqtt_outbox.h"
#include "forward/mqtt_topics.h"

struct mosquitto;

namespace zelo::forward {

struct LinkSettings {
    BrokerAddress broker;
    std::string password;
    std::string caFile;
    MqttNames names;
};

// A command message as it came from the broker.
struct Inbound {
    std::string topic;
    std::string payload;
    bool retained = false;
};

class MqttLink {
public:
    // Messages from the broker waiting for the loop, at most this many.
    static constexpr std::size_t kMaxInbound = 10000;
    // How long after the first connection the station's own stale retained
    // topics are looked for.
    static constexpr int kCleanupSeconds = 3;

    MqttLink(LinkSettings settings, Outbox& outbox, std::atomic<bool>& connected);
    ~MqttLink();
    MqttLink(const MqttLink&) = delete;
    MqttLink& operator=(const MqttLink&) = delete;

    // Sets the client up and starts the thread. False (with `error`) when
    // the client cannot be made (TLS files refused by the library).
    bool start(std::string& error);
    // Sends what still waits (for at most a few seconds), says "offline",
    // disconnects and ends the thread.
    void stop();

    std::vector<Inbound> takeInbound();
    // Lines for stderr (connected, refused, lost), each change once.
    std::vector<std::string> takeNotices();

    // Called on the link's thread by libmosquitto.
    void onConnect(int reason);
    void onMessage(const std::string& topic, const std::string& payload, bool retained);
    void onPublish(int mid);
    void onLog(int level, const char* text);

private:
    void run();
    void session();
    void flush(std::size_t max);
    void closeGracefully();
    void notice(const std::string& line);
    bool waitBackoff(int seconds);
    std::string where() const;
    std::string why(int rc) const;

    LinkSettings settings_;
    Outbox& outbox_;
    std::atomic<bool>& connected_;
    mosquitto* mosq_ = nullptr;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::mutex waitMutex_;
    std::condition_variable waitCv_;

    // The link thread's own.
    bool accepted_ = false;
    bool refused_ = false;
    bool cleanedUp_ = false;
    std::int64_t cleanupUntil_ = 0;  // steady milliseconds; 0 none
    int offlineMid_ = -1;
    bool offlineAcked_ = false;
    std::string lastLogError_;

    std::mutex queueMutex_;
    std::vector<Inbound> inbound_;
    std::vector<std::string> notices_;
    std::string lastNotice_;
};

}  // namespace zelo::forward
