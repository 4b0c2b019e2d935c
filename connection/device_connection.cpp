#include "connection/device_connection.h"

#include <algorithm>
#include <cstring>

#include "common/scan.h"

namespace zelo {
namespace {

enum : int { kData = 0, kAfterIac = 1 };
constexpr unsigned char kIac = 255;

// Four decimal numbers separated by dots and nothing after them.
std::uint32_t parseDotted(std::string_view text) {
    std::uint32_t value = 0;
    std::size_t pos = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (pos >= text.size() || text[pos] != '.') return 0;
            ++pos;
        }
        const std::size_t start = pos;
        std::uint32_t number = 0;
        while (pos < text.size() && isDecimalDigit(text[pos]))
            number = number * 10 + static_cast<std::uint32_t>(text[pos++] - '0');
        if (pos == start) return 0;
        value = (value << 8) | (number & 0xFF);
    }
    return pos == text.size() ? value : 0;
}

}  // namespace

std::string TelnetFilter::strip(std::string_view chunk) {
    std::string out;
    out.reserve(chunk.size());
    for (std::size_t i = 0; i < chunk.size(); ++i) {
        if (state_ == kData) {
            // A run of plain data is taken in one piece.
            std::size_t end = i;
            while (end < chunk.size() && chunk[end] != 0 &&
                   static_cast<unsigned char>(chunk[end]) != kIac)
                ++end;
            out.append(chunk.data() + i, end - i);
            i = end;
            if (i == chunk.size()) break;
        }
        const char ch = chunk[i];
        const auto c = static_cast<unsigned char>(ch);
        if (c == 0) break;  // the chunk is a NUL-terminated text
        if (state_ == kData) {
            state_ = kAfterIac;  // c is IAC: the run above stopped at it
        } else if (state_ == kAfterIac) {
            if (c == kIac || c <= 240) {
                out += ch;
                state_ = kData;
            } else {
                state_ = c;  // 241..254: a command, possibly with an option byte
            }
        } else if (state_ >= 251) {
            state_ = kData;  // WILL, WONT, DO, DONT: the option code is dropped
        }
        // 241..250: everything up to the end of the chunk is dropped.
    }
    // Only a sequence still waiting for its next byte carries over.
    if (state_ > kAfterIac && state_ < 251) state_ = kData;
    return out;
}

std::uint32_t resolveDeviceAddress(Network& network, const std::string& text) {
    const std::uint32_t looked = network.lookupHost(text);
    if (looked != 0 && looked != 0xFFFFFFFFu) return looked;
    return parseDotted(text);
}

StepResult DeviceConnection::connectToDevice(std::uint32_t address, std::uint16_t port) {
    resetRing();
    telnet_.reset();
    connected = false;
    stream_.reset();
    bool socketCreated = false;
    stream_ = network_.connect(address, port, socketCreated);
    if (socketCreated) connected = true;
    return stream_ ? StepResult::Ok : StepResult::Failed;
}

void DeviceConnection::appendToRing(std::string_view text) {
    // A full ring drops its oldest bytes: the newest text (where a prompt
    // would be) is what the dialogue still needs. At most kRingSize - 1
    // bytes wait unread.
    const bool overflows = unreadBytes() + text.size() >= kRingSize;
    while (!text.empty()) {
        const std::size_t n = std::min(text.size(), kRingSize - writePos_);
        std::memcpy(ring_.data() + writePos_, text.data(), n);
        writePos_ = (writePos_ + n) % kRingSize;
        text.remove_prefix(n);
    }
    if (overflows) readPos_ = (writePos_ + 1) % kRingSize;
}

int DeviceConnection::receiveChunk(std::int64_t waitMicros) {
    // Without a socket nothing can arrive: say so at once rather than let
    // the caller wait out its time-out.
    if (!stream_) return -1;
    const int ready = stream_->waitReadable(waitMicros);
    if (ready == 0) return 0;
    char raw[kChunkMax];
    const int n = ready < 0 ? -1 : stream_->recv(raw, sizeof raw);
    if (n <= 0) {
        stream_.reset();
        return -1;
    }
    appendToRing(telnet_.strip(std::string_view(raw, static_cast<std::size_t>(n))));
    return n;
}

bool DeviceConnection::readLine(std::string& out, std::string_view prompt1,
                                std::string_view prompt2, std::size_t maxLength) {
    out.clear();
    if (readPos_ == writePos_) return false;
    std::size_t pos = readPos_;
    // Up to and with the first LF, in at most two pieces (the ring wraps).
    while (pos != writePos_ && out.size() < maxLength) {
        const std::size_t run = (writePos_ > pos ? writePos_ : kRingSize) - pos;
        std::size_t n = std::min(run, maxLength - out.size());
        const char* start = ring_.data() + pos;
        const void* lf = std::memchr(start, '\n', n);
        if (lf) n = static_cast<std::size_t>(static_cast<const char*>(lf) - start) + 1;
        out.append(start, n);
        pos = (pos + n) % kRingSize;
        if (lf) break;
    }
    // A prompt that is still in the ring when the next reply arrives (after
    // a command sent without a wait) stands in front of that reply's first
    // line: deliver the prompt alone, so that the line behind it is read as
    // a line of its own.
    for (std::string_view prompt : {prompt1, prompt2}) {
        if (!prompt.empty() && out.size() > prompt.size() &&
            out.compare(0, prompt.size(), prompt) == 0 && out[prompt.size()] != '\r' &&
            out[prompt.size()] != '\n') {
            out.resize(prompt.size());
            readPos_ = (readPos_ + prompt.size()) % kRingSize;
            return true;
        }
    }
    const std::size_t k = out.size();
    bool deliver = false;
    if (k >= 2 && out[k - 2] == '\r' && out[k - 1] == '\n') {
        out.resize(k - 2);
        deliver = true;
    } else if (k >= 1 && (out[k - 1] == '\r' || out[k - 1] == '\n')) {
        out.resize(k - 1);  // a lone LF is an empty line
        deliver = true;
    } else if (out == "*") {
        deliver = true;
    } else if ((!prompt1.empty() && out.find(prompt1) != std::string::npos) ||
               (!prompt2.empty() && out.find(prompt2) != std::string::npos)) {
        deliver = true;  // a prompt comes without a line end
    }
    if (deliver) readPos_ = pos;
    return deliver;
}

void DeviceConnection::send(std::string_view text) {
    if (stream_) stream_->send(text.data(), text.size());
}

WaitResult DeviceConnection::sendAndWait(std::string_view text) {
    send(text);
    const std::int64_t deadline = clock_.micros() + kReplySeconds * kMicrosPerSecond;
    for (;;) {
        const int r = receiveChunk(deadline - clock_.micros());
        if (r > 0) return WaitResult::Arrived;
        if (r < 0) return WaitResult::Closed;
        if (clock_.micros() >= deadline) return WaitResult::TimedOut;
    }
}

void DeviceConnection::closeConnection() {
    if (stream_) {
        stream_->shutdown(false);
        const std::int64_t deadline = clock_.micros() + kReplySeconds * kMicrosPerSecond;
        char discard[256];
        int n = 1;
        while (n > 0 && clock_.micros() < deadline && stream_->waitReadable(100) > 0)
            n = stream_->recv(discard, sizeof discard);
        stream_->shutdown(true);
    }
    stream_.reset();
}

}  // namespace zelo
