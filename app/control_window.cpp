#include "app/control_window.h"

#include "common/format.h"
#include "connection/device_settings.h"
#include "connection/power_control.h"
#include "directory/model_table.h"
#include "settings/app_settings.h"
#include "settings/lang_strings.h"

namespace zelo {
namespace {
// Icons of the machine picture.
constexpr int kIconSerial = 729, kIconLan = 730, kIconSensor = 735;
constexpr int kStandardOutletType = 0x11;

std::string numberText(std::int64_t n) {
    return std::to_string(n);
}

// Tenths as the report field shows them: whole seconds without ".0", a
// negative value as it is (the device's own form is formatTenths).
std::string tenthsFieldText(std::int64_t tenths) {
    if (tenths < 0) return std::to_string(tenths);
    if (tenths % 10 == 0) return std::to_string(tenths / 10);
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

}  // namespace

// ------------------------------------------------------------ page 0

std::optional<PowerButton> powerButtonOf(int id) {
    if (id < kMasterOnButton || id > kLastPowerButton) return std::nullopt;
    const int index = id - kMasterOnButton;
    PowerButton b;
    b.id = id;
    b.command = kPowerButtonTexts[static_cast<std::size_t>(index)];
    if (index < 2) {
        b.target = OutletTarget::Master;
        b.action = index == 0 ? PowerAction::On : PowerAction::Off;
        return b;
    }
    const int k = index - 2;
    if (id < kAllOutletsButton) {
        b.target = OutletTarget::One;
        b.outlet = k / 3 + 1;
    }
    b.action = static_cast<PowerAction>(k % 3);
    return b;
}

std::vector<PowerButton> powerButtons(bool masterPresent, int outletCount) {
    std::vector<PowerButton> out;
    const auto add = [&out](int id) { out.push_back(*powerButtonOf(id)); };
    if (masterPresent) add(kMasterOnButton), add(kMasterOnButton + 1);
    const int n = shownOutletCount(outletCount);
    for (int o = 0; o < n; ++o)
        for (int a = 0; a < 3; ++a) add(kFirstOutletButton + 3 * o + a);
    for (int a = 0; a < 3; ++a) add(kAllOutletsButton + a);
    return out;
}

Lamp lampOf(int stateCode) noexcept {
    switch (stateCode) {
        case 0:
        case 3:
            return Lamp::Grey;
        case 1:
        case 4:
            return Lamp::Green;
        case 2:
            return Lamp::Red;
        case 5:
            return Lamp::DarkGreen;
        default:
            return Lamp::Yellow;
    }
}

// ------------------------------------------------------------ page 1

std::size_t reportFieldKeeps(ReportField field) noexcept {
    return isAddressField(field) ? 18 : 5;
}

bool isAddressField(ReportField field) noexcept {
    return field == ReportField::Address1 || field == ReportField::Address2 ||
           field == ReportField::Address3;
}

bool reportFieldWritable(int modelCode, ReportField field) noexcept {
    if (isPromptModel(modelCode))
        return field == ReportField::Address1 || field == ReportField::Port1 ||
               field == ReportField::Interval;
    return isLatestModel(modelCode);
}

bool reportEnableWritable(int modelCode) noexcept {
    return isPromptModel(modelCode) || isLatestModel(modelCode);
}

bool ReportFields::anyChanged() const noexcept {
    if (enabledChanged) return true;
    for (bool c : changed)
        if (c) return true;
    return false;
}

ReportFields reportFieldsOf(const DeviceStatus& status, int modelCode) {
    const DeviceSettings& s = status.settings;
    ReportFields f;
    f.enabled = s.msrpEnabled;
    for (int i = 0; i < 3; ++i) {
        f.text[static_cast<std::size_t>(2 * i)] = s.ipAdCenter[static_cast<std::size_t>(i)];
        f.text[static_cast<std::size_t>(2 * i + 1)] =
            numberText(s.centerPort[static_cast<std::size_t>(i)]);
    }
    f.textOf(ReportField::Interval) = numberText(s.centerSendTimer);
    if (isPromptModel(modelCode)) {
        const auto reg = [&status](std::uint16_t n) -> const RegisterValue* {
            const auto it = status.registers.find(n);
            return it == status.registers.end() ? nullptr : &it->second;
        };
        f.enabled = reg(0x230) && reg(0x230)->number != 0;
        if (const RegisterValue* v = reg(0x231)) f.text[0] = v->text;
        if (const RegisterValue* v = reg(0x232)) f.text[1] = numberText(v->number);
        if (const RegisterValue* v = reg(0x233))
            f.textOf(ReportField::Interval) = tenthsFieldText(v->number);
    }
    for (int i = 0; i < kReportFields; ++i)
        f.text[static_cast<std::size_t>(i)] = cutText(
            f.text[static_cast<std::size_t>(i)], reportFieldKeeps(static_cast<ReportField>(i)));
    return f;
}

// ------------------------------------------------------------ page 2

InfoPage infoPageOf(const DeviceRecord& record, const DeviceStatus& status) {
    InfoPage p;
    // Framed devices name themselves in the identification, plain ones in
    // their settings.
    p.productName = status.modelNameText.empty() ? status.settings.model : status.modelNameText;
    p.macAddress = formatMac(record.macText);
    p.softwareVersion = status.firmwareText.empty() ? status.settings.version : status.firmwareText;
    const int n = status.outletCount < 0 ? 0 : status.outletCount > 8 ? 8 : status.outletCount;
    p.physicalOutlets = n;
    for (int i = 0; i < n; ++i)
        p.standardOutlet[static_cast<std::size_t>(i)] =
            status.outlets[static_cast<std::size_t>(i)].type == kStandardOutletType;
    p.barText = n == 2 ? "MAX 15A" : n > 2 ? "TOTAL MAX 15A" : "";
    const int model = record.modelCode;
    const bool late = model >= 10 && model <= 13;
    p.ports.push_back({late ? kIconLan : kIconSerial, "COM", ""});
    p.ports.push_back({kIconLan, "LAN", "10M"});
    if (late) p.ports.push_back({kIconSensor, "TEMP", ""});
    if (model == 10 || model == 11 || model == 13) p.ports.push_back({kIconSensor, "AUX", ""});
    return p;
}

// ------------------------------------------------------------ the window

void ControlModel::open() {
    masterPresent_ = isPromptModel(s_.record.modelCode);
    unitOffLock = {};
    report_ = reportFieldsOf(s_.status, s_.record.modelCode);
}

std::string ControlModel::title(const LangStrings& strings) const {
    const DeviceRecord& r = s_.record;
    const std::string state = strings.text(s_.connection.connected ? Text::Online : Text::Offline);
    return r.name + " - " + r.addressText + ":" + std::to_string(r.port) + " - [" + state + "]";
}

int ControlModel::outletCount() const noexcept {
    return shownOutletCount(s_.status.outletCount);
}

bool ControlModel::enabled(const PowerButton& b) const {
    const bool unitLocked = unitOffLock[0] || unitOffLock[1];
    if (b.target == OutletTarget::Master) return !(b.action == PowerAction::Off && unitLocked);
    if (s_.status.masterState == 0) return false;
    if (b.action != PowerAction::Off) return true;
    if (unitLocked) return false;
    return b.target == OutletTarget::All ||
           !s_.status.outlets[static_cast<std::size_t>(b.outlet - 1)].offLock;
}

Lamp ControlModel::lamp(int outlet) const {
    if (outlet < 0) return lampOf(s_.status.masterState);
    if (outlet < 1 || outlet > kMaxOutlets) return Lamp::Yellow;
    return lampOf(s_.status.outlets[static_cast<std::size_t>(outlet - 1)].state);
}

std::string ControlModel::outletName(int outlet) const {
    if (outlet < 1 || outlet > kMaxOutlets) return {};
    const auto n = static_cast<std::size_t>(outlet - 1);
    if (n < s_.status.settings.debOlName.size() && !s_.status.settings.debOlName[n].empty())
        return s_.status.settings.debOlName[n];
    const auto it = s_.status.registers.find(static_cast<std::uint16_t>(0x880 + n));
    return it == s_.status.registers.end() ? std::string() : it->second.text;
}

std::string ControlModel::systemName() const {
    if (!s_.status.settings.sysName.empty()) return s_.status.settings.sysName;
    const auto it = s_.status.registers.find(0x870);
    if (it != s_.status.registers.end()) return it->second.text;
    return s_.record.systemName;
}

void ControlModel::press(int id) {
    const std::optional<PowerButton> b = powerButtonOf(id);
    if (!b || !confirmPowerControl(s_)) return;
    // The reply brings the new states; after a failed send the lamps keep
    // the states the device last reported.
    if (b->target == OutletTarget::Master) {
        static_cast<void>(s_.sendFramedCommand(b->command, true));
        return;
    }
    if (sendPowerCommand(s_, b->command, true) == StepResult::Failed) return;
    // A plain device reports nothing by itself: read the states back.
    if (dialectOf(s_.record.modelCode) == Dialect::Plain) static_cast<void>(s_.queryPlain("XPOS"));
}

Text ControlModel::reportHeaderText() const {
    const int m = s_.record.modelCode;
    return isPromptModel(m) || isLatestModel(m) ? Text::MsrpReport : Text::CenterReport;
}

void ControlModel::setReportEnabled(bool on) {
    report_.enabled = on;
    report_.enabledChanged = true;
}

void ControlModel::editReport(ReportField field, std::string_view text) {
    report_.textOf(field) = cutText(text, reportFieldKeeps(field));
    report_.changedOf(field) = true;
}

StepResult ControlModel::applyReport() {
    ReportFields& f = report_;
    const int model = s_.record.modelCode;
    // A change the device has no register or key for is never sent: the
    // operator is told, and its flag stays so that it is not taken for
    // written.
    bool refused = f.enabledChanged && !reportEnableWritable(model);
    bool toWrite = f.enabledChanged && !refused;
    for (int i = 0; i < kReportFields; ++i) {
        const auto x = static_cast<ReportField>(i);
        if (!f.changedOf(x)) continue;
        if (reportFieldWritable(model, x))
            toWrite = true;
        else
            refused = true;
    }
    if (refused) s_.frontend().showError(Text::NotSupported, Text::ErrorCaption);
    if (!toWrite) return refused ? StepResult::Failed : StepResult::Ok;
    const StepResult written =
        isPromptModel(model) ? applyReportRegisters() : applyReportSettings();
    return written == StepResult::Ok && !refused ? StepResult::Ok : StepResult::Failed;
}

StepResult ControlModel::applyReportRegisters() {
    // Registers 0x230 enabled, 0x231 address 1, 0x232 port 1, 0x233
    // interval. A value the register cannot take fails like a refused
    // write: the writing ends there.
    DeviceSettings& s = s_.status.settings;
    ReportFields& f = report_;
    struct Item {
        bool* flag;
        std::uint32_t reg;
        std::string value;
    };
    const Item items[] = {
        {&f.enabledChanged, 0x230, f.enabled ? "1" : "0"},
        {&f.changedOf(ReportField::Address1), 0x231, f.textOf(ReportField::Address1)},
        {&f.changedOf(ReportField::Port1), 0x232, f.textOf(ReportField::Port1)},
        {&f.changedOf(ReportField::Interval), 0x233, f.textOf(ReportField::Interval)},
    };
    s.centerRegisterChanged = {};
    bool bad = false;
    std::array<bool, 4> entered{};
    for (std::size_t i = 0; i < 4 && !bad; ++i) {
        if (!*items[i].flag) continue;
        bad = enterCenterRegister(s, items[i].reg, items[i].value) != EntryResult::Ok;
        entered[i] = !bad;
    }
    const StepResult applied = applyFramedSettings(s_);
    for (std::size_t i = 0; i < 4; ++i)
        if (entered[i] && !s.centerRegisterChanged[items[i].reg - kCenterRegisterFirst])
            *items[i].flag = false;
    return applied == StepResult::Failed || bad ? StepResult::Failed : StepResult::Ok;
}

StepResult ControlModel::applyReportSettings() {
    // Plain devices: the settings keys, written with the rest of the
    // device's settings.
    DeviceSettings& s = s_.status.settings;
    ReportFields& f = report_;
    struct Key {
        std::string_view key;
        std::vector<ReportField> fields;
        bool entered = false;
    };
    Key keys[] = {
        {"ipAdCenter", {ReportField::Address1, ReportField::Address2, ReportField::Address3}},
        {"centerPort", {ReportField::Port1, ReportField::Port2, ReportField::Port3}},
        {"centerSendTimer", {ReportField::Interval}},
    };
    bool bad = false;
    const bool flagEntered =
        f.enabledChanged &&
        enterSetting(s, "msrpEnabled", f.enabled ? "1" : "0") == EntryResult::Ok;
    for (Key& k : keys) {
        bool any = false;
        std::string joined;
        for (ReportField x : k.fields) {
            any = any || f.changedOf(x);
            joined += (joined.empty() ? "" : ",") + f.textOf(x);
        }
        if (!any) continue;
        k.entered = enterSetting(s, k.key, joined) == EntryResult::Ok;
        bad = bad || !k.entered;
    }
    const StepResult applied = applyPlainSettings(s_);
    const auto written = [&s](std::string_view key) {
        return s.changed.count(std::string(key)) == 0;
    };
    if (flagEntered && written("msrpEnabled")) f.enabledChanged = false;
    for (const Key& k : keys)
        if (k.entered && written(k.key))
            for (ReportField x : k.fields) f.changedOf(x) = false;
    return applied == StepResult::Failed || bad ? StepResult::Failed : StepResult::Ok;
}

void ControlModel::poll() {
    if (!s_.dialogueIdle) return;
    DeviceConnection& c = s_.connection;
    if (c.receiveChunk(0) < 0) {
        if (c.connected) {
            c.connected = false;
            s_.view().connectionLost();
        }
        return;
    }
    // A command's send waits for the start of its reply and leaves it in
    // the ring: the lines there are read whether or not this receive got
    // more.
    const bool framed = dialectOf(s_.record.modelCode) == Dialect::Framed;
    const std::string prompt = framed ? s_.framedPrompt() : s_.plainPrompt();
    std::string line;
    while (c.readLine(line, prompt, "", kLineLength)) {
        // A refusal outside a command answers nothing; the line's other
        // effects are taken all the same.
        static_cast<void>(framed ? s_.takeFramedReply(line) : s_.takePlainReply(line));
    }
}

bool ControlModel::mayCancel(bool applyEnabled) {
    if (!applyEnabled || !s_.settings().confirmCancelAccept) return true;
    return s_.frontend().askYesNo(Text::QuitWithoutAcceptQuestion, Text::QuitCaption,
                                  Icon::Question);
}

}  // namespace zelo
