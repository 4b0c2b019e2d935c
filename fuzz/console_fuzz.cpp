// Arbitrary device output through the console layer: the telnet stripper,
// the receive ring, the line reader, both logins, the reply waits and the
// plain reply parser. The first byte picks the dialogue; the rest is a
// sequence of chunks, each a length byte and that many bytes.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "connection/device_session.h"
#include "settings/app_settings.h"
#include "tests/support/test_workspace.h"

namespace {

using namespace zelo;

class FuzzStream : public TcpStream {
public:
    FuzzStream(std::deque<std::string>& chunks, ManualClock& clock)
        : chunks_(chunks), clock_(clock) {}
    int send(const char*, std::size_t size) noexcept override { return static_cast<int>(size); }
    int waitReadable(std::int64_t timeout) noexcept override {
        if (!chunks_.empty()) return 1;
        clock_.advanceMicros(timeout > 0 ? timeout : 1);
        return 1;  // then the peer closes
    }
    int recv(char* buffer, std::size_t size) noexcept override {
        if (chunks_.empty()) return 0;
        std::string& c = chunks_.front();
        const std::size_t n = std::min(size, c.size());
        std::copy(c.begin(), c.begin() + static_cast<long>(n), buffer);
        c.erase(0, n);
        if (c.empty()) chunks_.pop_front();
        return static_cast<int>(n);
    }
    void shutdown(bool) noexcept override {}

private:
    std::deque<std::string>& chunks_;
    ManualClock& clock_;
};

class FuzzNetwork : public Network {
public:
    FuzzNetwork(std::deque<std::string>& chunks, ManualClock& clock)
        : chunks_(chunks), clock_(clock) {}
    std::uint32_t lookupHost(const std::string&) noexcept override { return 0x7F000001; }
    std::unique_ptr<TcpStream> connect(std::uint32_t, std::uint16_t,
                                       bool& created) noexcept override {
        created = true;
        return std::make_unique<FuzzStream>(chunks_, clock_);
    }

private:
    std::deque<std::string>& chunks_;
    ManualClock& clock_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const int mode = data[0] % 3;
    std::deque<std::string> chunks;
    for (std::size_t i = 1; i < size;) {
        const std::size_t n = std::min<std::size_t>(data[i], size - i - 1);
        chunks.emplace_back(reinterpret_cast<const char*>(data + i + 1), n);
        i += n + 1;
    }
    ManualClock clock(1'700'000'000);
    FuzzNetwork network(chunks, clock);
    test::TestWorkspace w("unused/", network, clock);
    auto session = w.ws.newSession(DeviceRecord{});
    DeviceSession& s = *session;
    s.record.addressText = "127.0.0.1";
    s.record.port = 23;
    s.record.selectNumber = "00";
    s.record.prompt = "HX";
    s.record.password = "7394";
    s.record.systemName = "pdu";
    if (mode == 0) {
        s.record.modelCode = 3;
        // Only what the dialogue does with the bytes counts, not its results.
        if (s.loginFramed(true) == StepResult::Ok) {
            static_cast<void>(s.awaitFramedReply("MPOS"));
            s.listMode = 1;
            static_cast<void>(s.awaitFramedReply("RL"));
        }
    } else if (mode == 1) {
        s.record.modelCode = 11;
        if (s.loginPlain(true) == StepResult::Ok) s.startPlainQueries();
    } else {
        s.record.modelCode = 11;
        static_cast<void>(s.connection.connectToDevice(0x7F000001, 23));
        std::string line;
        while (s.connection.receiveChunk(0) > 0) {
            while (s.connection.readLine(line, "pdu> ", "login:", 120))
                static_cast<void>(s.takePlainReply(line));
        }
    }
    return 0;
}
