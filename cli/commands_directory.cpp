// zeloctl commands over the directory: the outline, the list rows, stored
// records, and the changes the tree, the list and the property dialog make.
#include <ostream>
#include <set>

#include "app/main_screen.h"
#include "cli/cli.h"
#include "common/format.h"
#include "common/text_encoding.h"
#include "directory/list_columns.h"
#include "directory/model_table.h"
#include "directory/property_edit.h"

namespace zelo::cli {
namespace {

using Args = std::vector<std::string>;

int tree(Session& s, const Args& args) {
    if (!args.empty()) return s.usage(s.say("tree takes no arguments", "tree は引数を取りません"));
    const auto& entries = s.directory.outline().entries;
    if (s.json) {
        s.out << "[";
        for (std::size_t i = 0; i < entries.size(); ++i)
            s.out << (i ? "," : "") << "{\"level\":" << entries[i].level
                  << ",\"id\":" << entries[i].id
                  << ",\"name\":" << jsonString(cp932ToUtf8(entries[i].name)) << "}";
        s.out << "]\n";
        return kExitOk;
    }
    for (const GroupEntry& g : entries)
        printRow(s, {std::to_string(g.level), std::to_string(g.id), cp932ToUtf8(g.name)});
    return kExitOk;
}

int list(Session& s, const Args& args) {
    if (args.size() != 1) return s.usageOf("list");
    const auto target = resolve(s, args[0], true, false);
    if (!target) return kExitUsage;
    const GroupOutline& outline = s.directory.outline();
    bool first = true;
    if (s.json) s.out << "[";
    // The rows the desktop program's list shows, in its order.
    for (const ListRow& row : groupListRows(s.directory, target->id)) {
        if (s.json) s.out << (first ? "" : ",");
        first = false;
        if (row.isGroup) {
            const GroupEntry& g =
                outline.entries[static_cast<std::size_t>(outline.indexOf(row.id))];
            if (s.json)
                s.out << "{\"kind\":\"group\",\"id\":" << g.id
                      << ",\"name\":" << jsonString(cp932ToUtf8(g.name)) << "}";
            else
                printRow(s, {"group", std::to_string(g.id), cp932ToUtf8(g.name)});
            continue;
        }
        const DeviceRecord& r = *s.directory.devices().find(row.id);
        const auto columns = deviceColumnTexts(r, s.settings, s.strings);
        if (s.json) {
            s.out << "{\"kind\":\"device\",\"id\":" << r.deviceId << ",\"columns\":[";
            for (std::size_t i = 0; i < columns.size(); ++i)
                s.out << (i ? "," : "") << jsonString(cp932ToUtf8(columns[i]));
            s.out << "]}";
        } else {
            Args line{"device", std::to_string(r.deviceId)};
            for (const std::string& c : columns) line.push_back(cp932ToUtf8(c));
            printRow(s, line);
        }
    }
    if (s.json) s.out << "]\n";
    return kExitOk;
}

int show(Session& s, const Args& args) {
    bool showPassword = false;
    Args rest;
    for (const std::string& a : args) {
        if (a == "--show-password")
            showPassword = true;
        else
            rest.push_back(a);
    }
    if (rest.size() != 1) return s.usageOf("show");
    const auto target = resolve(s, rest[0], false, true);
    if (!target) return kExitUsage;
    const DeviceRecord& r = *s.directory.devices().find(target->id);
    const std::vector<std::pair<std::string, std::string>> keys = {
        {"name", r.name},
        {"modelName", r.modelName},
        {"modelCode", std::to_string(r.modelCode)},
        {"groupId", std::to_string(r.groupId)},
        {"address", r.addressText},
        {"port", std::to_string(r.port)},
        {"power", r.powerText},
        {"schedule", r.scheduleText},
        {"updateTime", std::to_string(r.updateTime)},
        {"mac", r.macText},
        {"unitId", std::to_string(r.unitId)},
        {"loginName", r.loginName},
        {"prompt", r.prompt},
        {"select", r.selectNumber},
        {"systemName", r.systemName},
        {"ping", r.pingText},
        {"reboot", r.rebootText},
        {"temperature", std::to_string(r.temperature)},
        {"temperatureState", std::to_string(r.temperatureState)},
        {"password", showPassword ? r.password : std::string("***")},
    };
    if (s.json) {
        // Numbers stay numbers.
        const std::set<std::string> numeric = {"modelCode",       "groupId", "port",
                                               "updateTime",      "unitId",  "temperature",
                                               "temperatureState"};
        s.out << "{";
        for (std::size_t i = 0; i < keys.size(); ++i)
            s.out << (i ? "," : "") << jsonString(keys[i].first) << ":"
                  << (numeric.count(keys[i].first) ? keys[i].second
                                                   : jsonString(cp932ToUtf8(keys[i].second)));
        s.out << "}\n";
    } else {
        for (const auto& [key, value] : keys) s.out << key << "=" << cp932ToUtf8(value) << "\n";
    }
    return kExitOk;
}

void printId(Session& s, std::uint32_t id) {
    if (s.json)
        s.out << "{\"id\":" << id << "}\n";
    else
        s.out << id << "\n";
}

// Why a new group or device was not made: its file could not be written,
// unless the ids or their counter were the trouble.
int addFailed(Session& s, bool group) {
    const std::string kind = group ? s.say("group", "グループ") : s.say("device", "デバイス");
    switch (s.directory.lastAddError()) {
        case DeviceDirectory::AddError::IdsUsedUp:
            s.err << "zeloctl: "
                  << s.say("every " + kind + " id from 1 to " + std::to_string(kHighestId) +
                               " is in use",
                           "1 から " + std::to_string(kHighestId) + " までの" + kind +
                               " ID はすべて使用中です")
                  << "\n";
            break;
        case DeviceDirectory::AddError::CounterNotSaved:
            s.err << "zeloctl: "
                  << s.say("ZELO.INI could not be written (it keeps the last " + kind +
                               " id handed out)",
                           "ZELO.INI を書き込めません (最後に割り当てた" + kind +
                               " ID を保持するファイルです)")
                  << "\n";
            break;
        default:
            s.err << "zeloctl: "
                  << (group ? s.say("the directory could not be written",
                                    "ディレクトリファイルを書き込めません")
                            : s.say("the item file could not be written",
                                    "アイテムファイルを書き込めません"))
                  << "\n";
    }
    return kExitFailed;
}

int addGroup(Session& s, const Args& args) {
    if (args.size() != 2) return s.usageOf("add-group");
    const auto parent = resolve(s, args[0], true, false);
    if (!parent) return kExitUsage;
    if (args[1].empty())
        return s.usage(s.say("a group needs a name", "グループには名前が必要です"));
    const std::uint32_t id = s.directory.addGroup(parent->id, utf8ToCp932(args[1]));
    if (id == 0) return addFailed(s, true);
    printId(s, id);
    return kExitOk;
}

int addDevice(Session& s, const Args& args) {
    if (args.size() != 3) return s.usageOf("add-device");
    const auto group = resolve(s, args[0], true, false);
    if (!group) return kExitUsage;
    int model = modelCodeFromDisplayText(args[1]);
    if (model == 0) {
        const std::int64_t n = parseInt(args[1]);
        if (n > 0 && n <= 13) model = static_cast<int>(n);
    }
    if (!isCreatableModel(model))
        return s.usage(s.say("unknown model '", "不明な機種 '") + args[1] +
                       s.say("' (codes 3, 5, 6..13 or HX-7200 ... GV2208)",
                             "' (コード 3、5、6..13 または HX-7200 ... GV2208)"));
    if (group->id == 0)
        return s.usage(s.say("devices belong in a group below the root",
                             "デバイスはルートの下のグループに置きます"));
    if (args[2].empty())
        return s.usage(s.say("a device needs a name", "デバイスには名前が必要です"));
    const std::uint32_t id = s.directory.addDevice(group->id, model, utf8ToCp932(args[2]));
    if (id == 0) return addFailed(s, false);
    printId(s, id);
    return kExitOk;
}

int set(Session& s, const Args& args) {
    if (args.size() < 2) return s.usageOf("set");
    const auto target = resolve(s, args[0], false, true);
    if (!target) return kExitUsage;
    DeviceRecord r = *s.directory.devices().find(target->id);
    const DeviceRecord before = r;
    // What the save rules made of a value, told on stderr.
    std::vector<std::string> notes;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::size_t eq = args[i].find('=');
        if (eq == std::string::npos)
            return s.usage(
                s.say("expected FIELD=VALUE, got '", "FIELD=VALUE の形ではありません: '") +
                args[i] + "'");
        const std::string field = args[i].substr(0, eq);
        const std::string value = utf8ToCp932(args[i].substr(eq + 1));
        const EditResult result = applyPropertyField(r, field, value);
        if (result == EditResult::Ok) {
            const std::pair<const char*, const std::string*> texts[] = {
                {"name", &r.name},      {"address", &r.addressText}, {"password", &r.password},
                {"user", &r.loginName}, {"prompt", &r.prompt},       {"select", &r.selectNumber}};
            for (const auto& [name, stored] : texts)
                if (field == name && *stored != value)
                    notes.push_back(field + s.say(": cut to ", ": ") +
                                    std::to_string(stored->size()) +
                                    s.say(" bytes, the field's length: '",
                                          " バイト (欄の長さ) に切り詰めました: '") +
                                    cp932ToUtf8(*stored) + "'");
            if (field == "port" && std::to_string(r.port) != value)
                notes.push_back(
                    "port: " + value +
                    s.say(" is above 65535; stored as ", " は 65535 を超えています。保存した値: ") +
                    std::to_string(r.port));
            if (field == "mac" || field == "unit") {
                if (isUnitIdModel(r.modelCode) && std::to_string(r.unitId) != value)
                    notes.push_back(field +
                                    s.say(": the terminal id is the number at the start: ",
                                          ": 端末 ID は先頭の数字です: ") +
                                    std::to_string(r.unitId));
                else if (field == "mac" && !isUnitIdModel(r.modelCode)) {
                    if (r.macText != value)
                        notes.push_back(s.say("mac: letters and digits kept, at most 12: ",
                                              "mac: 英数字のみ、12 文字までを保存しました: ") +
                                        r.macText);
                    if (r.macText.size() != 12 ||
                        r.macText.find_first_not_of("0123456789ABCDEF") != std::string::npos)
                        notes.push_back(s.say("warning: mac: '", "警告: mac: '") + r.macText +
                                        s.say("' is not a MAC address (twelve hex digits)",
                                              "' は MAC アドレス (16 進数 12 桁) ではありません"));
                }
            }
        }
        switch (result) {
            case EditResult::Ok:
                break;
            case EditResult::UnknownField:
                return s.usage(s.say("unknown field '", "不明なフィールド '") + field +
                               "' (name, model, address, port, mac, unit, password, user, "
                               "prompt, select)");
            case EditResult::BadValue:
                return s.usage(s.say("bad value for ", "値が正しくありません: ") + field);
        }
    }
    if (r.modelCode != before.modelCode) {
        // The model name follows the model; fields the new model does not
        // use stay stored but are no longer used.
        const ModelInfo& info = modelInfo(r.modelCode);
        if (!info.newModelName.empty()) r.modelName = std::string(info.newModelName);
        std::string dropped;
        if (isUnitIdModel(before.modelCode) && !isUnitIdModel(r.modelCode) && r.unitId)
            dropped += " unit (" + std::to_string(r.unitId) + ")";
        if (isPromptModel(before.modelCode) && !isPromptModel(r.modelCode)) {
            if (!r.prompt.empty()) dropped += " prompt (" + cp932ToUtf8(r.prompt) + ")";
            if (!r.selectNumber.empty()) dropped += " select (" + cp932ToUtf8(r.selectNumber) + ")";
        }
        if (!dropped.empty())
            notes.push_back(s.say("warning: model ", "警告: 機種 ") +
                            std::string(info.displayText) +
                            s.say(" does not use", " は次を使いません:") + dropped);
    }
    for (const std::string& n : notes) s.err << "zeloctl: " << n << "\n";
    if (!s.directory.saveDevice(r)) {
        s.err << "zeloctl: "
              << s.say("the item file could not be written", "アイテムファイルを書き込めません")
              << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

int rename(Session& s, const Args& args) {
    if (args.size() != 2) return s.usageOf("rename");
    const auto target = resolve(s, args[0], true, true);
    if (!target) return kExitUsage;
    if (args[1].empty()) return s.usage(s.say("a name cannot be empty", "名前を空にはできません"));
    const std::string name = utf8ToCp932(args[1]);
    const bool ok = target->isGroup ? s.directory.renameGroup(target->id, name)
                                    : s.directory.renameDevice(target->id, name);
    if (!ok) {
        s.err << "zeloctl: " << s.say("the change could not be written", "変更を書き込めません")
              << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

int remove(Session& s, const Args& args) {
    if (args.size() != 1) return s.usageOf("delete");
    const auto target = resolve(s, args[0], true, true);
    if (!target) return kExitUsage;
    if (target->isGroup && target->id == 0)
        return s.usage(s.say("the root group cannot be deleted", "ルートグループは削除できません"));
    const bool ok = target->isGroup ? s.directory.deleteGroup(target->id) == GroupDeletion::Deleted
                                    : s.directory.deleteDevice(target->id);
    if (!ok) {
        s.err << "zeloctl: " << s.say("the change could not be written", "変更を書き込めません")
              << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace

std::vector<Command> directoryCommands() {
    return {
        {"tree", "tree", "Prints the group outline: level, id, name per group.", false, tree},
        {"list", "list GROUP",
         "Prints the rows the device list shows for GROUP: sub-groups first\n"
         "(group, id, name), then devices (device, id, the nine column texts).",
         false, list},
        {"show", "show DEVICE [--show-password]", "Prints the stored record as key=value lines.",
         false, show},
        {"add-group", "add-group PARENT NAME",
         "Creates a group as the last child of PARENT; prints its id.", true, addGroup},
        {"add-device", "add-device GROUP MODEL NAME",
         "Creates a device with the model's defaults (MODEL: 3, 5, 6..13 or\n"
         "HX-7200, JB-81K, SWD-6K, SWD-6ZK, SWD-7KA, SWD-7KB, SWD-8KBN, SWD-12K,\n"
         "SWD-Q6M, GV2208); prints its id.",
         true, addDevice},
        {"set", "set DEVICE FIELD=VALUE...",
         "Changes stored fields as the property dialog saves them. FIELDs: name,\n"
         "model, address, port, mac, unit, password, user, prompt, select. What\n"
         "the save rules change (a cut text, a port above 65535, the letters and\n"
         "digits of a MAC) is said on stderr, with a warning for a MAC that is not\n"
         "twelve hex digits and for a model that does not use the unit, prompt or\n"
         "select stored; modelName follows the model.",
         true, set},
        {"rename", "rename TARGET NAME", "Renames a group or a device.", true, rename},
        {"delete", "delete TARGET", "Deletes a group with its sub-groups, or a device.", true,
         remove},
    };
}

}  // namespace zelo::cli
