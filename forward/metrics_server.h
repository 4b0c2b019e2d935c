#pragma once
// The HTTP side of the metrics: GET /metrics, /metrics?group=GROUP and
// /healthz on one address, served on threads of its own from a snapshot its
// source makes for each scrape. A scrape never waits for the tick.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "forward/metrics.h"

namespace zelo::forward {

struct HttpAnswer {
    int status = 200;
    std::string contentType;
    std::shared_ptr<const std::string> body;
};

// The longest query (the part after '?') taken; longer ones are refused.
inline constexpr std::size_t kMaxQueryBytes = 1024;

// The answer to GET `path` with the query's parameters, from `snapshot`
// (none yet: 503). Pure: the server's routing, testable without a socket.
HttpAnswer answerRequest(const std::string& path,
                         const std::vector<std::pair<std::string, std::string>>& params,
                         std::size_t queryBytes, const MetricsSnapshot* snapshot);

class MetricsServer {
public:
    struct Limits {
        std::size_t threads = 4;  // connections served at once; more wait their turn
        std::size_t renders = 2;  // expositions rendered at once (each up to ~10 MB)
        // How long a scrape waits for a render slot before it is told 503.
        std::chrono::milliseconds renderWait{5000};
    };

    MetricsServer();
    explicit MetricsServer(Limits limits);
    ~MetricsServer();
    MetricsServer(const MetricsServer&) = delete;
    MetricsServer& operator=(const MetricsServer&) = delete;

    // Binds `host`:`port` (0: a free port) and starts serving. False, with
    // the reason in `error`, when the address cannot be bound.
    [[nodiscard]] bool start(const std::string& host, std::uint16_t port, std::string& error);
    // The bound port; 0 before start().
    std::uint16_t port() const noexcept;
    // What a scrape renders: called on the scrape's thread (within the
    // render slots), before start().
    void setSource(std::function<std::shared_ptr<const MetricsSnapshot>()> source);
    // Stops serving; returns when every serving thread has ended.
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace zelo::forward
