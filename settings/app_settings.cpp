#include "settings/app_settings.h"

#include "common/c_number.h"
#include "common/format.h"
#include "settings/lang_strings.h"
#include "settings/profile_file.h"

namespace zelo {
namespace {

std::string decimal(long long v) {
    return std::to_string(v);
}

std::string tenInts(const std::array<int, kListColumns>& a) {
    std::string s;
    for (int i = 0; i < kListColumns; ++i) {
        if (i) s += ' ';
        s += decimal(a[static_cast<std::size_t>(i)]);
    }
    return s;
}

// A stored list shorter than ten numbers is filled up by the appended tail;
// numbers beyond the tenth are ignored, and a list that breaks off early
// leaves the remaining values as they were.
void scanTen(const std::string& stored, const char* tail, std::array<int, kListColumns>& out) {
    scanInts(stored + tail, out.data(), kListColumns);
}

}  // namespace

std::string AppSettings::read(const char* section, const char* key,
                              const char* defaultValue) const {
    return readProfileString(iniPath, section, key, defaultValue);
}

bool AppSettings::write(const char* section, const char* key, const std::string& value) const {
    return writeProfileString(iniPath, section, key, value);
}

bool AppSettings::readFlag(const char* section, const char* key, const char* defaultValue) const {
    return parseFlag(read(section, key, defaultValue));
}

void AppSettings::loadSettings(const LangStrings& strings) {
    int rect[4] = {position.top, position.bottom, position.left, position.right};
    scanInts(read("ZELO", "Position", "0 0 0 0"), rect, 4);
    position = {rect[0], rect[1], rect[2], rect[3]};

    loadListLayout();

    const std::string languageText = read("ZELO", "Language", "");
    languageGiven = !languageText.empty();
    language = savedLanguage =
        languageGiven ? static_cast<Language>(parseCInt(languageText)) : defaultLanguage;
    dateStyle = savedDateStyle = parseCInt(read("ZELO", "DateStyle", "0"));
    uniqueTree = parseCUnsigned(read("ZELO", "UniqueTree", "0"));
    uniqueObj = parseCUnsigned(read("ZELO", "UniqueObj", "0"));

    confirmQuit = readFlag("MessageBox", "Quit", "1");
    confirmDisconnect = readFlag("MessageBox", "Disconnect", "1");
    confirmReconnect = readFlag("MessageBox", "Reconnect", "1");
    confirmPower = readFlag("MessageBox", "Power", "1");
    confirmCancelAccept = readFlag("MessageBox", "CancelAccept", "1");
    confirmDelete = readFlag("MessageBox", "Delete", "1");

    autoJump = readFlag("CtrlDlgMode", "AutoJump", "0");
    taskTray = readFlag("CtrlDlgMode", "TaskTray", "0");
    lineMstPow = readFlag("ListViewMode", "LineMstPow", "0");

    msrpEnable = readFlag("Network", "MSRPenable", "1");
    // The port is held in 16 bits: larger values wrap.
    savedMsrpPort = static_cast<std::uint16_t>(parseCInt(read("Network", "MSRPport", "5000")));
    msrpPort = savedMsrpPort;

    logEnable = readFlag("Log", "LOGenable", "0");
    baseDir = read("Log", "BaseDir", "0").substr(0, kBaseDirMax);
    fnameDate = readFlag("Log", "FnameDate", "0");
    fnameHour = readFlag("Log", "FnameHour", "0");

    clockFormat = strings.text(Text::ClockFormat).substr(0, kClockFormatMax);
}

void AppSettings::loadListLayout() {
    scanTen(read("ZELO", "ListOrder", "0 1 2 3 4 5 6 7 8 9"), " 6 7 8 9", listOrder);
    scanTen(read("ZELO", "ColumnWidth", "80 80 80 80 80 80 80 80 80 80"),
            " 80 80 80 80 80 80 80 80 80 80", columnWidth);
}

bool AppSettings::saveSettings() const {
    const auto flag = [](bool b) { return std::string(b ? "1" : "0"); };
    return write("MessageBox", "Quit", flag(confirmQuit)) &&
           write("MessageBox", "Disconnect", flag(confirmDisconnect)) &&
           write("MessageBox", "Reconnect", flag(confirmReconnect)) &&
           write("MessageBox", "Power", flag(confirmPower)) &&
           write("MessageBox", "CancelAccept", flag(confirmCancelAccept)) &&
           write("MessageBox", "Delete", flag(confirmDelete)) &&
           write("CtrlDlgMode", "AutoJump", flag(autoJump)) &&
           write("CtrlDlgMode", "TaskTray", flag(taskTray)) &&
           write("ListViewMode", "LineMstPow", flag(lineMstPow)) &&
           write("ZELO", "Language", decimal(static_cast<int>(savedLanguage))) &&
           write("ZELO", "DateStyle", decimal(savedDateStyle)) &&
           write("Log", "LOGenable", flag(logEnable)) && write("Log", "BaseDir", baseDir) &&
           write("Log", "FnameDate", flag(fnameDate)) &&
           write("Log", "FnameHour", flag(fnameHour)) &&
           write("Network", "MSRPenable", flag(msrpEnable)) &&
           write("Network", "MSRPport", decimal(savedMsrpPort));
}

bool AppSettings::savePosition(const WindowPosition& rect) const {
    return write("ZELO", "Position",
                 decimal(rect.top) + " " + decimal(rect.bottom) + " " + decimal(rect.left) + " " +
                     decimal(rect.right));
}

bool AppSettings::saveListLayout() const {
    return write("ZELO", "ListOrder", tenInts(listOrder)) &&
           write("ZELO", "ColumnWidth", tenInts(columnWidth));
}

bool AppSettings::saveId(std::uint32_t& counter, const char* key, std::uint32_t id) {
    if (!write("ZELO", key, std::to_string(id))) return false;
    counter = id;
    return true;
}

bool AppSettings::saveTreeId(std::uint32_t id) {
    return saveId(uniqueTree, "UniqueTree", id);
}

bool AppSettings::saveObjectId(std::uint32_t id) {
    return saveId(uniqueObj, "UniqueObj", id);
}

}  // namespace zelo
