#include "forward/metrics_server.h"

#include <httplib.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace zelo::forward {
namespace {

HttpAnswer text(int status, std::string body) {
    return {status, "text/plain; charset=utf-8",
            std::make_shared<const std::string>(std::move(body))};
}

HttpAnswer notFound() {
    return text(404, "not found: try /metrics or /healthz\n");
}

}  // namespace

HttpAnswer answerRequest(const std::string& path,
                         const std::vector<std::pair<std::string, std::string>>& params,
                         std::size_t queryBytes, const MetricsSnapshot* snapshot) {
    if (path == "/healthz") return text(200, "ok\n");
    if (path != "/metrics") return notFound();
    if (queryBytes > kMaxQueryBytes) return text(400, "query too long\n");
    const std::string* group = nullptr;
    for (const auto& [key, value] : params) {
        if (key != "group") return text(400, "unknown parameter '" + key + "'\n");
        if (group) return text(400, "one group per scrape\n");
        group = &value;
    }
    if (group && group->empty()) return text(400, "group= names no group\n");
    if (!snapshot) return text(503, "the station has not started\n");
    if (!group)
        return {200, kMetricsContentType,
                std::make_shared<const std::string>(renderMetrics(*snapshot))};
    std::uint32_t id = 0;
    switch (findGroup(*snapshot->groups, *group, id)) {
        case GroupMatch::Unknown:
            return text(404, "no group '" + *group + "'\n");
        case GroupMatch::Ambiguous:
            return text(
                400, "more than one group is named '" + *group + "': name it by its path or id\n");
        case GroupMatch::Found:
            break;
    }
    GroupFilter filter;
    filter.add(snapshot->groups->outline, id);
    return {200, kMetricsContentType,
            std::make_shared<const std::string>(renderMetrics(*snapshot, &filter))};
}

struct MetricsServer::Impl {
    explicit Impl(Limits l) : limits(l) {}

    Limits limits;
    httplib::Server http;
    std::thread thread;
    std::atomic<bool> loopEnded{false};
    int port = 0;

    std::function<std::shared_ptr<const MetricsSnapshot>()> source;

    // Render slots: a counting semaphore.
    std::mutex slotMutex;
    std::condition_variable slotFree;
    std::size_t rendering = 0;

    bool takeSlot() {
        std::unique_lock<std::mutex> lock(slotMutex);
        if (!slotFree.wait_for(lock, limits.renderWait,
                               [this] { return rendering < limits.renders; }))
            return false;
        ++rendering;
        return true;
    }
    void giveSlot() {
        {
            std::lock_guard<std::mutex> lock(slotMutex);
            --rendering;
        }
        slotFree.notify_one();
    }

    void serve(const httplib::Request& req, httplib::Response& res) {
        std::vector<std::pair<std::string, std::string>> params(req.params.begin(),
                                                                req.params.end());
        const std::size_t q = req.target.find('?');
        const std::size_t queryBytes = q == std::string::npos ? 0 : req.target.size() - q - 1;
        HttpAnswer answer;
        const bool renders = req.path == "/metrics" && queryBytes <= kMaxQueryBytes;
        if (renders && !takeSlot()) {
            answer = text(503, "busy: too many scrapes at once\n");
            res.set_header("Retry-After", "1");
        } else {
            const std::shared_ptr<const MetricsSnapshot> snapshot =
                renders && source ? source() : nullptr;
            answer = answerRequest(req.path, params, queryBytes, snapshot.get());
            if (renders) giveSlot();
        }
        res.status = answer.status;
        if (answer.status != 200) {
            // A body of its own: the error handler leaves it as it is.
            res.set_content(*answer.body, answer.contentType);
            return;
        }
        // The exposition is shared, not copied: a large one goes out as it is.
        const std::shared_ptr<const std::string> body = answer.body;
        res.set_content_provider(
            body->size(), answer.contentType,
            [body](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                return sink.write(body->data() + offset, std::min(length, body->size() - offset));
            });
    }
};

MetricsServer::MetricsServer() : MetricsServer(Limits{}) {}
MetricsServer::MetricsServer(Limits limits) : impl_(std::make_unique<Impl>(limits)) {}
MetricsServer::~MetricsServer() {
    stop();
}

bool MetricsServer::start(const std::string& host, std::uint16_t port, std::string& error) {
    Impl& m = *impl_;
    const std::size_t threads = m.limits.threads;
    m.http.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    m.http.set_keep_alive_timeout(2);
    m.http.set_read_timeout(5);
    m.http.set_write_timeout(10);
    m.http.set_payload_max_length(0);  // requests carry no body
    // The library's default also sets SO_REUSEPORT, with which a second station
    // would share a port another one serves and the scrapes would alternate.
    m.http.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&yes), sizeof yes);
    });
    auto handler = [&m](const httplib::Request& req, httplib::Response& res) { m.serve(req, res); };
    m.http.Get("/metrics", handler);
    m.http.Get("/healthz", handler);
    // Every other path and method, and the library's own refusals, answered
    // in plain text. A request line over the library's 8 KB is a query too
    // long like any over kMaxQueryBytes: 400, not the library's 414.
    m.http.set_error_handler([](const httplib::Request& req, httplib::Response& res) {
        if (!res.body.empty()) return;
        if (res.status == 404 && req.method != "GET" && req.method != "HEAD") {
            res.status = 405;
            res.set_header("Allow", "GET, HEAD");
        }
        if (res.status == 414) res.status = 400;
        // Neither served path reaches here as a 404.
        const HttpAnswer answer = res.status == 404 ? notFound() : text(res.status, "refused\n");
        res.set_content(*answer.body, answer.contentType);
    });
    m.port =
        port == 0 ? m.http.bind_to_any_port(host) : (m.http.bind_to_port(host, port) ? port : -1);
    if (m.port <= 0) {
        error = "cannot serve metrics on " + host + ":" + std::to_string(port);
        m.port = 0;
        return false;
    }
    m.thread = std::thread([&m] {
        m.http.listen_after_bind();
        m.loopEnded = true;
    });
    // A stop() before the serving loop runs would not reach it.
    while (!m.http.is_running() && !m.loopEnded)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

std::uint16_t MetricsServer::port() const noexcept {
    return static_cast<std::uint16_t>(impl_->port);
}

void MetricsServer::setSource(std::function<std::shared_ptr<const MetricsSnapshot>()> source) {
    impl_->source = std::move(source);
}

void MetricsServer::stop() {
    if (!impl_->thread.joinable()) return;
    impl_->http.stop();
    impl_->thread.join();
}

}  // namespace zelo::forward
