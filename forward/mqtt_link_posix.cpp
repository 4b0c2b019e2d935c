#include <mosquitto.h>
#include <mqtt_protocol.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include "forward/mqtt_link.h"

namespace zelo::forward {
namespace {

constexpr int kKeepAliveSeconds = 30;
constexpr int kMaxBackoffSeconds = 30;
constexpr int kConnackSeconds = 10;
constexpr int kLoopMillis = 25;  // how long a new message may wait for the link to look
constexpr std::size_t kPublishBatch = 500;
constexpr auto kCloseBudget = std::chrono::seconds(3);

std::int64_t steadyMillis() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

MqttLink* linkOf(void* obj) {
    return static_cast<MqttLink*>(obj);
}

extern "C" void connectCallback(mosquitto*, void* obj, int rc, int, const mosquitto_property*) {
    linkOf(obj)->onConnect(rc);
}
extern "C" void messageCallback(mosquitto*, void* obj, const mosquitto_message* m,
                                const mosquitto_property*) {
    linkOf(obj)->onMessage(
        m->topic,
        std::string(static_cast<const char*>(m->payload), static_cast<std::size_t>(m->payloadlen)),
        m->retain);
}
extern "C" void publishCallback(mosquitto*, void* obj, int mid, int, const mosquitto_property*) {
    linkOf(obj)->onPublish(mid);
}
extern "C" void logCallback(mosquitto*, void* obj, int level, const char* text) {
    linkOf(obj)->onLog(level, text);
}

std::once_flag libraryStarted;

// A library result as a phrase: the system's words for a failed call.
std::string failureText(int rc) {
    std::string text = rc == MOSQ_ERR_ERRNO ? std::strerror(errno) : mosquitto_strerror(rc);
    while (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

}  // namespace

MqttLink::MqttLink(LinkSettings settings, Outbox& outbox, std::atomic<bool>& connected)
    : settings_(std::move(settings)), outbox_(outbox), connected_(connected) {}

MqttLink::~MqttLink() {
    stop();
    if (mosq_) mosquitto_destroy(mosq_);
}

std::string MqttLink::why(int rc) const {
    // The library's log has the detail (OpenSSL's reason for a refused
    // certificate).
    std::string text = failureText(rc);
    if (!lastLogError_.empty()) text += " (" + lastLogError_ + ")";
    return text;
}

std::string MqttLink::where() const {
    return settings_.broker.host + ":" + std::to_string(settings_.broker.port);
}

bool MqttLink::start(std::string& error) {
    std::call_once(libraryStarted, [] { mosquitto_lib_init(); });
    const std::string clientId = "zelo_" + settings_.names.station;
    mosq_ = mosquitto_new(clientId.c_str(), true, this);
    if (!mosq_) {
        error = "cannot make the MQTT client";
        return false;
    }
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
    mosquitto_connect_v5_callback_set(mosq_, connectCallback);
    mosquitto_message_v5_callback_set(mosq_, messageCallback);
    mosquitto_publish_v5_callback_set(mosq_, publishCallback);
    mosquitto_log_callback_set(mosq_, logCallback);
    const BrokerAddress& b = settings_.broker;
    if (!b.user.empty() || !settings_.password.empty())
        mosquitto_username_pw_set(
            mosq_, b.user.empty() ? nullptr : b.user.c_str(),
            settings_.password.empty() ? nullptr : settings_.password.c_str());
    const std::string status = settings_.names.statusTopic();
    mosquitto_will_set(mosq_, status.c_str(), 7, "offline", 1, true);
    if (b.tls) {
        // The server's certificate is always verified: against the CA file
        // given, or the system's certificates.
        const int rc = mosquitto_tls_set(
            mosq_, settings_.caFile.empty() ? nullptr : settings_.caFile.c_str(),
            settings_.caFile.empty() ? "/etc/ssl/certs" : nullptr, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            error = "the MQTT client refuses the CA certificate: " +
                    std::string(mosquitto_strerror(rc));
            return false;
        }
        mosquitto_tls_opts_set(mosq_, 1, nullptr, nullptr);
        mosquitto_tls_insecure_set(mosq_, false);
    }
    thread_ = std::thread([this] { run(); });
    return true;
}

void MqttLink::stop() {
    if (!thread_.joinable()) return;
    stopping_ = true;
    waitCv_.notify_all();
    thread_.join();
}

std::vector<Inbound> MqttLink::takeInbound() {
    std::lock_guard<std::mutex> lock(queueMutex_);
    return std::exchange(inbound_, {});
}

std::vector<std::string> MqttLink::takeNotices() {
    std::lock_guard<std::mutex> lock(queueMutex_);
    return std::exchange(notices_, {});
}

void MqttLink::notice(const std::string& line) {
    std::lock_guard<std::mutex> lock(queueMutex_);
    if (line == lastNotice_) return;  // a fault that repeats is told once
    lastNotice_ = line;
    notices_.push_back(line);
}

bool MqttLink::waitBackoff(int seconds) {
    std::unique_lock<std::mutex> lock(waitMutex_);
    return !waitCv_.wait_for(lock, std::chrono::seconds(seconds),
                             [this] { return stopping_.load(); });
}

void MqttLink::run() {
    int backoff = 1;
    while (!stopping_) {
        accepted_ = refused_ = false;
        lastLogError_.clear();
        const int rc =
            mosquitto_connect_bind_async(mosq_, settings_.broker.host.c_str(),
                                         settings_.broker.port, kKeepAliveSeconds, nullptr);
        if (rc == MOSQ_ERR_SUCCESS) {
            session();
        } else {
            notice("MQTT: cannot connect to the broker at " + where() + ": " + why(rc));
        }
        connected_ = false;
        if (stopping_) break;
        if (accepted_) backoff = 1;  // a connection that worked starts the backoff afresh
        if (!waitBackoff(backoff)) break;
        if (!accepted_) backoff = std::min(backoff * 2, kMaxBackoffSeconds);
    }
}

void MqttLink::session() {
    const std::int64_t connackDeadline = steadyMillis() + kConnackSeconds * 1000;
    for (;;) {
        if (stopping_) {
            if (accepted_)
                closeGracefully();
            else
                mosquitto_disconnect(mosq_);
            return;
        }
        if (accepted_) flush(kPublishBatch);
        const bool more = accepted_ && outbox_.pending() && !mosquitto_want_write(mosq_);
        const int rc = mosquitto_loop(mosq_, more ? 0 : kLoopMillis, 1);
        if (refused_) return;
        if (rc != MOSQ_ERR_SUCCESS) {
            if (accepted_)
                notice("MQTT: lost the broker at " + where() + ": " + why(rc) + "; trying again");
            else
                notice("MQTT: cannot connect to the broker at " + where() + ": " + why(rc));
            return;
        }
        const std::int64_t now = steadyMillis();
        if (!accepted_ && now > connackDeadline) {
            notice("MQTT: the broker at " + where() + " does not answer the connection");
            mosquitto_disconnect(mosq_);
            return;
        }
        if (cleanupUntil_ && now >= cleanupUntil_) {
            cleanupUntil_ = 0;
            for (const std::string& p : ownRetainedPatterns(settings_.names))
                mosquitto_unsubscribe(mosq_, nullptr, p.c_str());
        }
    }
}

void MqttLink::flush(std::size_t max) {
    // Only as much as the socket takes: what the broker cannot take yet
    // stays in the outbox, where a newer value replaces an older one.
    if (mosquitto_want_write(mosq_)) return;
    for (const OutMessage& m : outbox_.take(max))
        mosquitto_publish_v5(mosq_, nullptr, m.topic.c_str(), static_cast<int>(m.payload.size()),
                             m.payload.data(), m.retain ? 0 : 1, m.retain, nullptr);
}

void MqttLink::closeGracefully() {
    const auto deadline = std::chrono::steady_clock::now() + kCloseBudget;
    while (outbox_.pending() && std::chrono::steady_clock::now() < deadline) {
        flush(kPublishBatch);
        if (mosquitto_loop(mosq_, 10, 1) != MOSQ_ERR_SUCCESS) return;
    }
    const std::string status = settings_.names.statusTopic();
    offlineAcked_ = false;
    mosquitto_publish_v5(mosq_, &offlineMid_, status.c_str(), 7, "offline", 1, true, nullptr);
    while (!offlineAcked_ && std::chrono::steady_clock::now() < deadline)
        if (mosquitto_loop(mosq_, 10, 1) != MOSQ_ERR_SUCCESS) return;
    mosquitto_disconnect(mosq_);
    for (int i = 0; i < 10 && mosquitto_want_write(mosq_); ++i) mosquitto_loop(mosq_, 10, 1);
}

void MqttLink::onConnect(int reason) {
    if (reason != 0) {
        refused_ = true;
        notice("MQTT: the broker at " + where() +
               " refused the connection: " + mosquitto_reason_string(reason));
        return;
    }
    accepted_ = true;
    connected_ = true;
    notice("MQTT: connected to the broker at " + where());
    const MqttNames& n = settings_.names;
    const std::string status = n.statusTopic();
    mosquitto_publish_v5(mosq_, nullptr, status.c_str(), 6, "online", 1, true, nullptr);
    // Commands: retain-as-published, so that a retained command is known as
    // one and ignored.
    for (const char* tail : {"/+/outlet/+/set", "/+/all/set", "/+/master/set"}) {
        const std::string topic = n.base + tail;
        mosquitto_subscribe_v5(mosq_, nullptr, topic.c_str(), 1, MQTT_SUB_OPT_RETAIN_AS_PUBLISHED,
                               nullptr);
    }
    if (!n.ha.empty()) {
        const std::string topic = n.haStatusTopic();
        mosquitto_subscribe_v5(mosq_, nullptr, topic.c_str(), 1, 0, nullptr);
    }
    // The station's own retained topics left by an earlier run, read back
    // once: those of devices it no longer knows are emptied.
    if (!cleanedUp_) {
        cleanedUp_ = true;
        cleanupUntil_ = steadyMillis() + kCleanupSeconds * 1000;
        for (const std::string& p : ownRetainedPatterns(n))
            mosquitto_subscribe_v5(mosq_, nullptr, p.c_str(), 1, 0, nullptr);
    }
    outbox_.markAllDirty();
}

void MqttLink::onMessage(const std::string& topic, const std::string& payload, bool retained) {
    const MqttNames& n = settings_.names;
    if (!n.ha.empty() && topic == n.haStatusTopic()) {
        if (payload == "online") outbox_.markDirty(n.ha + "/");  // Home Assistant restarted
        return;
    }
    const bool command = topic.size() > n.base.size() + 4 && topic.rfind(n.base + "/", 0) == 0 &&
                         topic.compare(topic.size() - 4, 4, "/set") == 0;
    if (command) {
        if (payload.empty()) return;  // a retained command being emptied
        // A retained command would run again at every start: it is emptied,
        // and refused.
        if (retained)
            mosquitto_publish_v5(mosq_, nullptr, topic.c_str(), 0, nullptr, 1, true, nullptr);
        std::lock_guard<std::mutex> lock(queueMutex_);
        if (inbound_.size() < kMaxInbound) inbound_.push_back({topic, payload, retained});
        return;
    }
    // Read back from the station's own topics: only what the broker kept.
    if (retained && !payload.empty() && ownRetainedTopic(topic, n) && !outbox_.has(topic))
        mosquitto_publish_v5(mosq_, nullptr, topic.c_str(), 0, nullptr, 1, true, nullptr);
}

void MqttLink::onPublish(int mid) {
    if (mid == offlineMid_) offlineAcked_ = true;
}

void MqttLink::onLog(int level, const char* text) {
    if ((level & MOSQ_LOG_ERR) && text) lastLogError_ = text;
}

}  // namespace zelo::forward
