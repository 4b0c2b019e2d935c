#pragma once
// The device control window's rules, apart from the window: the power
// buttons of page 0 with their fixed ids and enabling, the lamp colours, the
// caption, the report page's fields with their change flags and their write
// per model group, what the idle timer reads, and the information page.
// The window creates controls and forwards clicks; everything it decides
// comes from here.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "connection/device_session.h"

namespace zelo {

class LangStrings;

// ------------------------------------------------------------ page 0

enum class PowerAction { On, Off, Reset };

inline constexpr int kMasterOnButton = 3000;
inline constexpr int kFirstOutletButton = 3002;  // outlet n: 3002 + 3(n-1) ON, +1 OFF, +2 RESET
inline constexpr int kAllOutletsButton = 3026;   // ON; OFF 3027, RESET 3028
inline constexpr int kLastPowerButton = 3028;

// What a power button switches: the master power, every outlet at once
// (the device's outlet 0), or the one outlet `PowerButton::outlet` names.
enum class OutletTarget { Master, All, One };

struct PowerButton {
    int id = 0;
    OutletTarget target = OutletTarget::All;
    int outlet = 0;  // 1..8 when the target is One
    PowerAction action = PowerAction::On;
    std::string_view command;  // "MPON", "PON3", "POR0", ...
};

// The button of an id of the range 3000..3028, whichever rows exist.
std::optional<PowerButton> powerButtonOf(int id);
// The buttons page 0 has, top to bottom: the master pair when the device has
// master power, three per outlet, three for all outlets. Their ids stay
// fixed whichever rows are missing.
std::vector<PowerButton> powerButtons(bool masterPresent, int outletCount);

enum class Lamp { Grey, Green, Red, DarkGreen, Yellow };
// 0, 3 grey; 1, 4 green; 2 red; 5 dark green; anything else (-1 too) yellow.
Lamp lampOf(int stateCode) noexcept;
// The legend's four lamps, left to right: Power ON, Power OFF, ON Delay,
// Delay time.
inline constexpr std::array<Lamp, 4> kLegendLamps = {Lamp::Green, Lamp::Grey, Lamp::DarkGreen,
                                                     Lamp::Red};

// ------------------------------------------------------------ page 1

// The report page's seven edits in page order (ids 3415..3421), and its
// check box.
enum class ReportField { Address1, Port1, Address2, Port2, Address3, Port3, Interval };
inline constexpr int kReportFields = 7;
inline constexpr int kReportCheckBox = 3127;
inline constexpr int kFirstReportEdit = 3415;
// What an edit keeps of its text: addresses 18 characters, numbers 5.
std::size_t reportFieldKeeps(ReportField field) noexcept;
bool isAddressField(ReportField field) noexcept;
// Whether a model's device takes a field of the report page. The framed
// models (3, 5) have registers for the enabled flag, address 1, P1 and the
// interval only; the plain models 6 to 10 are given no report keys by the
// settings write; 11 to 13 take every field. A field the device does not
// take is shown read-only.
bool reportFieldWritable(int modelCode, ReportField field) noexcept;
bool reportEnableWritable(int modelCode) noexcept;

struct ReportFields {
    bool enabled = false;
    std::array<std::string, kReportFields> text{};
    bool enabledChanged = false;
    std::array<bool, kReportFields> changed{};

    bool anyChanged() const noexcept;
    std::string& textOf(ReportField f) { return text[static_cast<std::size_t>(f)]; }
    bool& changedOf(ReportField f) { return changed[static_cast<std::size_t>(f)]; }
};

// The report fields as the device reported them at login: the framed
// registers 0x230..0x233 (with the other centres from the settings), or the
// plain settings. Numbers as decimal text; tenths as "%d.%d" when not whole.
ReportFields reportFieldsOf(const DeviceStatus& status, int modelCode);

// ------------------------------------------------------------ page 2

struct InfoIcon {
    int iconResource = 0;
    std::string line1, line2;
};

struct InfoPage {
    std::string productName, macAddress, softwareVersion, htmlVersion;
    int physicalOutlets = 0;               // 0..8
    std::array<bool, 8> standardOutlet{};  // type 0x11: 100V 15A
    std::string barText;                   // under the outlets; empty for one
    std::vector<InfoIcon> ports;           // COM..., LAN, TEMP, AUX
};
InfoPage infoPageOf(const DeviceRecord& record, const DeviceStatus& status);

// ------------------------------------------------------------ the window

// The portable half of an open control window, over the open device's
// session.
class ControlModel {
public:
    explicit ControlModel(DeviceSession& session) : s_(session) {}

    // The window opens: master row for the prompt models only, unit-wide
    // off-locks cleared, report fields from the settings read at login.
    void open();

    // "%s - %s:%d - [%s]": name, address, port, Online or Offline.
    std::string title(const LangStrings& strings) const;

    bool masterPresent() const noexcept { return masterPresent_; }
    int outletCount() const noexcept;
    std::vector<PowerButton> buttons() const { return powerButtons(masterPresent_, outletCount()); }
    // With master power off every outlet and all-outlet button is disabled;
    // an outlet's OFF also by its off-lock; every OFF by a unit-wide lock.
    bool enabled(const PowerButton& button) const;
    // Outlet 1..8, or -1 for the master lamp.
    Lamp lamp(int outlet) const;
    // The names in the rows: outlet 1..8, and the device's system name.
    std::string outletName(int outlet) const;
    std::string systemName() const;
    std::array<bool, 2> unitOffLock{};

    // A button: asks (when the Power question is on), then sends; the new
    // states come with the device's reply.
    void press(int id);

    // The report page.
    Text reportHeaderText() const;  // MsrpReport or CenterReport
    ReportFields& report() noexcept { return report_; }
    void setReportEnabled(bool on);
    void editReport(ReportField field, std::string_view text);
    bool reportEditable(ReportField field) const noexcept {
        return reportFieldWritable(s_.record.modelCode, field);
    }
    bool reportEnableEditable() const noexcept { return reportEnableWritable(s_.record.modelCode); }
    // Writes the changed fields in the model group's way, then asks about a
    // restart. Failed when a write failed: its flag and those behind it
    // stay. Changed fields the device does not take are not sent: the error
    // "Not supported" says so, their flags stay set, and the result is
    // Failed.
    StepResult applyReport();

    // The 100 ms timer: while no reply wait runs, reads what the device sent
    // by itself and acts on every complete line. A closed connection is a
    // loss, told to the view once.
    void poll();

    // Cancel: true when the window may close (asks when edits were not
    // applied and the CancelAccept question is on).
    bool mayCancel(bool applyEnabled);

    DeviceSession& session() noexcept { return s_; }

private:
    // The writable changed fields, entered and applied in the model group's
    // way; the flags of what was written are cleared.
    StepResult applyReportRegisters();
    StepResult applyReportSettings();

    DeviceSession& s_;
    bool masterPresent_ = false;
    ReportFields report_;
};

}  // namespace zelo
