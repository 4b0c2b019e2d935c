#include "cli/listen_forwarding.h"

#include <ostream>

#include "common/text_encoding.h"

#ifdef ZELO_FORWARD
#include "forward/forwarding.h"
#endif

namespace zelo::cli {

#ifdef ZELO_FORWARD

struct ListenForwarding::State {
    forward::ForwardingOptions options;
    std::unique_ptr<forward::Forwarding> forwarding;
};

ListenForwarding::ListenForwarding() : state_(std::make_unique<State>()) {}
ListenForwarding::~ListenForwarding() {
    stop();
}

bool ListenForwarding::parse(Session& s, const std::vector<std::string>& args, std::size_t& i,
                             int& rc) {
    std::string error;
    rc = kExitOk;
    switch (forward::parseForwardingOption(args, i, state_->options, error)) {
        case forward::OptionParse::NotMine:
            return false;
        case forward::OptionParse::Taken:
            return true;
        case forward::OptionParse::Bad:
            break;
    }
    rc = s.usage(error);
    return false;
}

int ListenForwarding::start(Session& s) {
    const forward::ForwardingOptions& o = state_->options;
    if (const std::string problem = forward::checkForwardingOptions(o); !problem.empty())
        return s.usage(problem);
    if (!o.any()) return kExitOk;
    auto id = [&s](bool group) {
        return [&s, group](const std::string& arg) -> std::optional<std::uint32_t> {
            const auto t = resolve(s, arg, group, !group);
            if (!t) return std::nullopt;
            return t->id;
        };
    };
    forward::ForwardingConfig config;
    if (const std::string problem =
            forward::makeForwardingConfig(o, s.directory, id(true), id(false), config);
        !problem.empty())
        return s.usage(problem);
    state_->forwarding = std::make_unique<forward::Forwarding>(std::move(config));
    forward::addForwarders(*state_->forwarding);
    auto printCommand = [&s](const forward::CommandLine& c) {
        if (s.json) return;  // the JSON array holds the reports only
        printRow(s, {"command", c.key, c.name, c.topicTail, c.payload,
                     forward::outcomeWord(c.outcome), c.reason});
        s.out.flush();
    };
    auto printError = [&s](const std::string& line) { s.err << "zeloctl: " << line << std::endl; };
    std::string error;
    if (!state_->forwarding->start(s.workspace, printCommand, printError, error)) {
        state_->forwarding.reset();
        return s.usage(error);
    }
    return kExitOk;
}

void ListenForwarding::afterTick(const std::vector<DeviceRecord>& accepted) {
    if (state_->forwarding) state_->forwarding->afterTick(accepted);
}

void ListenForwarding::stop() {
    if (state_ && state_->forwarding) {
        state_->forwarding->stop();
        state_->forwarding.reset();
    }
}

const char* ListenForwarding::synopsis() {
    return forward::kForwardingSynopsis;
}
const char* ListenForwarding::help() {
    return forward::kForwardingHelp;
}

#else

struct ListenForwarding::State {};
ListenForwarding::ListenForwarding() = default;
ListenForwarding::~ListenForwarding() = default;
bool ListenForwarding::parse(Session&, const std::vector<std::string>&, std::size_t&, int& rc) {
    rc = kExitOk;
    return false;
}
int ListenForwarding::start(Session&) {
    return kExitOk;
}
void ListenForwarding::afterTick(const std::vector<DeviceRecord>&) {}
void ListenForwarding::stop() {}
const char* ListenForwarding::synopsis() {
    return "";
}
const char* ListenForwarding::help() {
    return "";
}

#endif

}  // namespace zelo::cli
