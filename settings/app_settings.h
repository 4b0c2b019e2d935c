#pragma once
// The settings of ZELO.INI. Read once before any window exists; single keys
// are written at the moment they change.

#include <array>
#include <cstdint>
#include <string>

#include "common/language.h"

namespace zelo {

class LangStrings;

inline constexpr const char* kSettingsFileName = "ZELO.INI";
inline constexpr int kListColumns = 10;
inline constexpr std::size_t kBaseDirMax = 200;
inline constexpr std::size_t kClockFormatMax = 63;

// The main window's screen rectangle, in the order the file keeps it.
struct WindowPosition {
    int top = 0;
    int bottom = 0;
    int left = 0;
    int right = 0;
};

struct AppSettings {
    // `iniPath` is the full path of ZELO.INI (module directory + file name).
    explicit AppSettings(std::string iniPath) : iniPath(std::move(iniPath)) {}

    // Reads every key in the file's order; missing values take the defaults.
    // `strings` supplies the clock format in the language just read.
    void loadSettings(const LangStrings& strings);
    // Writes the keys the options dialog owns, in their order. False when a
    // write failed (the keys before it are written).
    bool saveSettings() const;
    // Re-reads ListOrder and ColumnWidth.
    void loadListLayout();
    // Writes `Position`.
    bool savePosition(const WindowPosition& rect) const;
    // Writes ListOrder and ColumnWidth (the device list does after a rebuild).
    bool saveListLayout() const;

    // Counts `id` as the last group (device) id handed out and saves the
    // counter at once. False, with the counter as it was, when it cannot be
    // saved: an id that was not saved could be handed out again after a
    // restart. The directory picks the id (DeviceDirectory::newTreeId and
    // newObjectId).
    bool saveTreeId(std::uint32_t id);
    bool saveObjectId(std::uint32_t id);

    std::string iniPath;

    // [ZELO]
    WindowPosition position;
    std::array<int, kListColumns> listOrder{};
    std::array<int, kListColumns> columnWidth{};
    Language language = Language::Japanese;  // active: what all code uses
    Language savedLanguage = Language::Japanese;
    // The language a file without a Language key gets (Japanese for the
    // desktop program; zeloctl follows the user's locale), and whether the
    // key was there.
    Language defaultLanguage = Language::Japanese;
    bool languageGiven = false;
    int dateStyle = 0;  // active
    int savedDateStyle = 0;
    std::uint32_t uniqueTree = 0;
    std::uint32_t uniqueObj = 0;
    // [MessageBox]
    bool confirmQuit = true;
    bool confirmDisconnect = true;
    bool confirmReconnect = true;
    bool confirmPower = true;
    bool confirmCancelAccept = true;
    bool confirmDelete = true;
    // [CtrlDlgMode], [ListViewMode]
    bool autoJump = false;
    bool taskTray = false;
    bool lineMstPow = false;
    // [Network]
    bool msrpEnable = true;
    std::uint16_t msrpPort = 5000;  // active: the port the listener binds
    std::uint16_t savedMsrpPort = 5000;
    // [Log]
    bool logEnable = false;
    std::string baseDir = "0";
    bool fnameDate = false;
    bool fnameHour = false;

    // String 312 in the active language, for the device control window.
    std::string clockFormat;

private:
    std::string read(const char* section, const char* key, const char* defaultValue) const;
    bool write(const char* section, const char* key, const std::string& value) const;
    bool readFlag(const char* section, const char* key, const char* defaultValue) const;
    bool saveId(std::uint32_t& counter, const char* key, std::uint32_t id);
};

}  // namespace zelo
