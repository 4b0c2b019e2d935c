#include "cli/cli.h"

#include <ostream>

#include "common/file_replace.h"
#include "common/format.h"
#include "common/text_encoding.h"
#include "connection/device_settings.h"
#include "directory/group_outline.h"
#include "settings/profile_file.h"

namespace zelo::cli {

Session::Session(std::ostream& o, std::ostream& e, std::string dir, bool j)
    : out(o),
      err(e),
      dataDir(std::move(dir)),
      json(j),
      network(makeSystemNetwork()),
      workspace(dataDir, *network, clock, frontend, view),
      settings(workspace.settings()),
      strings(workspace.strings()),
      directory(workspace.directory()) {}

void CliFrontend::showError(Text textId, Text captionId) {
    showErrorDetail(textId, captionId, "");
}

void CliFrontend::showErrorDetail(Text textId, Text, const std::string& detail) {
    const std::string line = "zeloctl: " + cp932ToUtf8(s_.strings.text(textId)) +
                             (detail.empty() ? "" : " (" + cp932ToUtf8(detail) + ")") + "\n";
    if (!hold) {
        s_.err << line;
        return;
    }
    held.push_back(line);
    heldIds.push_back(textId);
}

void CliFrontend::release() {
    hold = false;
    for (const std::string& line : held) s_.err << line;
    held.clear();
    heldIds.clear();
}

void CliView::eventLogFailed(const std::string& path, const std::string& reason) {
    s_.err << "zeloctl: "
           << s_.say("the event log could not be written: ", "イベントログを書き込めません: ")
           << cp932ToUtf8(path) << (reason.empty() ? "" : " (" + reason + ")") << std::endl;
}

void CliView::itemFileFailed(const std::string& path) {
    s_.err << "zeloctl: "
           << s_.say("the item file could not be written (its records are kept and tried again): ",
                     "アイテムファイルを書き込めません (レコードは保持し、再び書き込みます): ")
           << path << std::endl;
}

void CliView::itemFileWritten(const std::string& path) {
    s_.err << "zeloctl: "
           << s_.say("the item file is written again: ", "アイテムファイルを再び書き込みました: ")
           << path << std::endl;
}

bool CliFrontend::askYesNo(Text textId, Text, Icon) {
    return textId == Text::RestartQuestion ? restart : true;
}

bool directoryFileExists(const Session& s) {
    std::string data;
    return readWholeFile(s.dataDir + kDirectoryFileName, data);
}

void keepLanguage(Session& s) {
    if (s.settings.languageGiven) return;
    if (!writeProfileString(s.settings.iniPath, "ZELO", "Language",
                            std::to_string(static_cast<int>(s.settings.language))))
        s.err << "zeloctl: "
              << s.say("the language could not be written to ZELO.INI",
                       "ZELO.INI に言語を書き込めません")
              << "\n";
}

int Session::usage(const std::string& message) const {
    err << "zeloctl: " << message << "\n";
    return kExitUsage;
}

int Session::usageOf(const char* name) const {
    for (const Command& c : commands())
        if (std::string_view(c.name) == name) return usage(say("usage: ", "使い方: ") + c.synopsis);
    return usage(name);
}

int Session::fail(Text textId, int code) const {
    err << "zeloctl: " << cp932ToUtf8(strings.text(textId)) << "\n";
    return code;
}

std::string jsonString(const std::string& utf8) {
    std::string out;
    appendJsonString(out, utf8);
    return out;
}

void printRow(Session& s, const std::vector<std::string>& fields) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i) s.out << '\t';
        s.out << fields[i];
    }
    s.out << '\n';
}

std::optional<Target> resolve(Session& s, const std::string& arg, bool groups, bool devices) {
    std::string text = arg;
    if (text.rfind("group:", 0) == 0 && groups) {
        text = text.substr(6);
        devices = false;
    } else if (text.rfind("device:", 0) == 0 && devices) {
        text = text.substr(7);
        groups = false;
    }
    std::vector<Target> found;
    std::vector<std::string> described;
    auto add = [&](bool isGroup, std::uint32_t id, const std::string& name) {
        found.push_back({isGroup, id});
        described.push_back(
            s.say(isGroup ? "group " : "device ", isGroup ? "グループ " : "デバイス ") +
            std::to_string(id) + " (" + cp932ToUtf8(name) + ")");
    };
    const std::int64_t number = parseInt(text);
    if (!text.empty() && number >= 0) {
        const auto id = static_cast<std::uint32_t>(number);
        if (groups) {
            const int index = s.directory.outline().indexOf(id);
            if (index >= 0) add(true, id, s.directory.outline().entries[std::size_t(index)].name);
        }
        if (devices) {
            // Devices of deleted groups stay in memory; they are not addressable.
            const DeviceRecord* r = s.directory.devices().find(id);
            if (r && s.directory.outline().indexOf(r->groupId) >= 0) add(false, id, r->name);
        }
    }
    if (found.empty()) {
        const std::string stored = utf8ToCp932(text);
        if (groups)
            for (const GroupEntry& g : s.directory.outline().entries)
                if (g.name == stored) add(true, g.id, g.name);
        if (devices)
            for (const DeviceRecord& r : s.directory.devices())
                if (r.name == stored && s.directory.outline().indexOf(r.groupId) >= 0)
                    add(false, r.deviceId, r.name);
    }
    const std::string what = groups && devices ? s.say("group or device", "グループまたはデバイス")
                             : groups ? s.say("group", "グループ")
                                      : s.say("device", "デバイス");
    if (found.empty()) {
        s.usage(s.say("no ", "") + what + s.say(" named '", " '") + arg +
                s.say("'", "' はありません"));
        return std::nullopt;
    }
    if (found.size() > 1) {
        std::string list;
        for (const std::string& d : described) list += "\n  " + d;
        s.usage("'" + arg + s.say("' is ambiguous; candidates:", "' は複数あります。候補:") + list +
                s.say("\n  (name one by id, as group:ID or device:ID)",
                      "\n  (group:ID または device:ID のように ID で指定してください)"));
        return std::nullopt;
    }
    return found.front();
}

const std::vector<Command>& commands() {
    static const std::vector<Command> table = [] {
        std::vector<Command> all;
        for (auto& c : directoryCommands()) all.push_back(std::move(c));
        for (auto& c : connectionCommands()) all.push_back(std::move(c));
        for (auto& c : statusCommands()) all.push_back(std::move(c));
        for (auto& c : scheduleCommands()) all.push_back(std::move(c));
        return all;
    }();
    return table;
}

}  // namespace zelo::cli
