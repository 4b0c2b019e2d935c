// zeloctl deliver: a schedule file to devices and groups, several
// connections at a time when asked.
#include <cstdio>
#include <memory>
#include <ostream>
#include <sstream>

#include "cli/cli.h"
#include "common/format.h"
#include "common/text_encoding.h"
#include "connection/device_session.h"
#include "directory/model_table.h"
#include "schedule/delivery.h"

namespace zelo::cli {
namespace {

using Args = std::vector<std::string>;

// Keeps one device's messages until its result is printed.
class CollectingFrontend final : public SilentFrontend {
public:
    explicit CollectingFrontend(const LangStrings& strings)
        : SilentFrontend(true), strings_(strings) {}
    void showError(Text textId, Text) override {
        messages.push_back(cp932ToUtf8(strings_.text(textId)));
    }
    void showErrorDetail(Text textId, Text, const std::string& detail) override {
        messages.push_back(cp932ToUtf8(strings_.text(textId)) +
                           (detail.empty() ? "" : " (" + cp932ToUtf8(detail) + ")"));
    }
    void showNumberedError(Text textId, Text, int number) override {
        char text[512];
        std::snprintf(text, sizeof text, strings_.text(textId).c_str(), number);
        messages.push_back(cp932ToUtf8(text));
    }
    std::vector<std::string> messages;

private:
    const LangStrings& strings_;
};

int deliver(Session& s, const Args& args) {
    int parallel = 1;
    Args rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--parallel") {
            if (i + 1 >= args.size())
                return s.usage(s.say("--parallel needs a number", "--parallel には数が必要です"));
            const std::int64_t k = parseInt(args[++i]);
            if (k < 1 || k > 256)
                return s.usage(s.say("--parallel takes 1 to 256", "--parallel は 1 から 256 です"));
            parallel = static_cast<int>(k);
        } else {
            rest.push_back(args[i]);
        }
    }
    if (rest.size() < 2) return s.usageOf("deliver");

    std::vector<ListRow> selection;
    for (std::size_t i = 1; i < rest.size(); ++i) {
        const auto target = resolve(s, rest[i], true, true);
        if (!target) return kExitUsage;
        selection.push_back({target->isGroup, target->id});
    }
    // Every line is checked before any device is called: a file the device
    // would not take whole never clears a device's schedule.
    ScheduleFault fault;
    if (!loadScheduleFromPath(rest[0], s.workspace.schedule(), fault)) {
        if (!fault)
            return s.usage(
                s.say("cannot read the schedule file ", "スケジュールファイルを読めません: ") +
                rest[0]);
        char text[512];
        std::snprintf(text, sizeof text, s.strings.text(fault.textId).c_str(), fault.line);
        return s.usage(rest[0] + ": " + cp932ToUtf8(text));
    }
    if (s.workspace.schedule().count == 0)
        s.err << "zeloctl: " << s.say("warning: ", "警告: ") << rest[0]
              << s.say(" holds no entries: each device's schedule is cleared",
                       " にはエントリがありません。各デバイスのスケジュールは消去されます")
              << "\n";
    std::vector<DeviceRecord> skipped;
    deliveryTargets(s.directory, selection, &skipped);
    for (const DeviceRecord& r : skipped)
        s.err << "zeloctl: " << cp932ToUtf8(r.name) << ": "
              << (isPromptModel(r.modelCode) ? s.say("skipped: has no address or port",
                                                     "スキップ: アドレスまたはポートがありません")
                                             : s.say("skipped: takes no schedules",
                                                     "スキップ: スケジュールを受け取りません"))
              << "\n";

    const auto walk = s.workspace.startDelivery(selection);
    std::vector<std::unique_ptr<CollectingFrontend>> frontends;
    for (std::size_t i = 0; i < walk->size(); ++i)
        frontends.push_back(std::make_unique<CollectingFrontend>(s.strings));
    walk->runToEnd(parallel, [&](std::size_t i) -> Frontend& { return *frontends[i]; });
    const std::vector<DeliveryResult>& results = walk->results();

    bool anyAbnormal = false;
    if (s.json) s.out << "[";
    for (std::size_t i = 0; i < results.size(); ++i) {
        const DeliveryResult& r = results[i];
        anyAbnormal = anyAbnormal || !r.normal;
        const std::string name = cp932ToUtf8(r.name);
        for (const std::string& m : frontends[i]->messages)
            s.err << "zeloctl: " << name << ": " << m << "\n";
        if (s.json) {
            s.out << (i ? "," : "") << "{\"id\":" << r.deviceId << ",\"name\":" << jsonString(name)
                  << ",\"result\":" << jsonString(r.normal ? "Normal" : "Abnormal");
            if (!r.normal) s.out << ",\"step\":" << jsonString(failedStepText(r));
            s.out << "}";
        } else {
            Args row{std::to_string(r.deviceId), name, r.normal ? "Normal" : "Abnormal"};
            if (!r.normal) row.push_back(failedStepText(r));
            printRow(s, row);
        }
    }
    if (s.json) s.out << "]\n";
    return anyAbnormal ? kExitFailed : kExitOk;
}

}  // namespace

std::vector<Command> scheduleCommands() {
    return {
        {"deliver", "deliver FILE TARGET... [--parallel K]",
         "Loads a .shx schedule file and delivers it to the devices and groups named\n"
         "(groups with their sub-groups; only HX-7200 and JB-81K devices with an\n"
         "address and a port take schedules; others are named on stderr as skipped),\n"
         "each attempt logged in ZELO.LOG. Every line of FILE is checked first: a\n"
         "line a device would not take (or a repeated entry) is named with its\n"
         "number and reason (exit 2) before any device is called.\n"
         "--parallel K keeps up to K connections at a time. Prints per device: id,\n"
         "name, Normal or Abnormal and the step that failed (login, readout,\n"
         "upload line N). Exit status 1 when any device is Abnormal.",
         true, deliver},
    };
}

}  // namespace zelo::cli
