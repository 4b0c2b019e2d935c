#include "status/event_log.h"

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "common/file_replace.h"
#include "common/format.h"
#include "common/text_encoding.h"
#include "directory/device_record.h"
#include "settings/app_settings.h"
#include "settings/lang_strings.h"

namespace zelo {
namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

bool isSeparator(char c) {
    return c == '/' || c == '\\';
}

bool isAbsolute(const std::string& path) {
    if (!path.empty() && isSeparator(path[0])) return true;
    return path.size() >= 2 && path[1] == ':';  // a drive letter
}

std::tm localTime(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm out{};
#ifdef _WIN32
    localtime_s(&out, &t);
#else
    localtime_r(&t, &out);
#endif
    return out;
}

}  // namespace

std::string eventLogDirectory(AppSettings& settings, const std::string& dataDir) {
    std::string& base = settings.baseDir;
    if (base.empty()) return dataDir;
    if (!isSeparator(base.back())) base += kSeparator;
    // The setting is CP932 text, as ZELO.INI holds it; paths are UTF-8.
    const std::string path = cp932ToUtf8(base);
    return isAbsolute(base) ? path : dataDir + path;
}

std::string eventLogFileName(std::uint32_t deviceId, bool fnameDate, bool fnameHour,
                             std::int64_t now) {
    char buf[48];
    int n = 0;
    for (int shift = 28; shift >= 0; shift -= 4)
        buf[n++] = "0123456789ABCDEF"[(deviceId >> shift) & 0xF];
    if (!fnameDate && !fnameHour) return std::string(buf, std::size_t(n)) + ".LOG";
    const std::tm t = localTime(now);
    if (fnameDate)
        n += std::snprintf(buf + n, sizeof buf - std::size_t(n), "-%04d%02d%02d", t.tm_year + 1900,
                           t.tm_mon + 1, t.tm_mday);
    if (fnameHour) n += std::snprintf(buf + n, sizeof buf - std::size_t(n), "-%02d", t.tm_hour);
    return std::string(buf, std::size_t(n)) + ".LOG";
}

std::string formatEventLine(const DeviceRecord& r, int dateStyle, Language language,
                            std::int64_t now) {
    std::string line = formatUpdateTime(now, dateStyle);
    line += '\t';
    line += r.powerText;
    line += '\t';
    line += formatOutletStates(r.scheduleText, false, language, false);
    line += '\t';
    line += r.pingText;
    line += '\t';
    line += std::to_string(r.temperature);
    line += '\t';
    line += std::to_string(r.temperatureState);
    line += "\r\n";
    return line;
}

std::string eventLogPath(AppSettings& settings, const std::string& dataDir,
                         const DeviceRecord& record, std::int64_t now) {
    return eventLogDirectory(settings, dataDir) +
           eventLogFileName(record.deviceId, settings.fnameDate, settings.fnameHour, now);
}

bool writeEventLog(AppSettings& settings, const std::string& dataDir, const DeviceRecord& record,
                   std::int64_t now) {
    return writeEventLog(settings, dataDir, record, now,
                         eventLogPath(settings, dataDir, record, now));
}

bool writeEventLog(AppSettings& settings, const std::string& dataDir, const DeviceRecord& record,
                   std::int64_t now, const std::string& path) {
    const std::string line = formatEventLine(record, settings.dateStyle, settings.language, now);
    if (appendToFile(path, line)) return true;
    // The log directory (BaseDir, "0" by default) is made when the first
    // line finds it missing; the line is then tried once more. When it
    // cannot be made, errno keeps why the line could not be written.
    const int appendError = errno;
    if (settings.baseDir.empty() || !makeDirectories(eventLogDirectory(settings, dataDir))) {
        errno = appendError;
        return false;
    }
    return appendToFile(path, line);
}

std::string formatDeliveryEntry(const DeviceRecord& r, std::string_view scheduleFileName,
                                bool success, const LangStrings& strings, int dateStyle,
                                std::int64_t now) {
    std::string out = "------------------------------\r\n";
    out += r.name + " " + r.addressText + " " + formatUpdateTime(now, dateStyle) + "\r\n";
    out += strings.text(Text::LogSendFileName);
    out += scheduleFileName;
    out += "\r\n";
    out += strings.text(Text::LogResult);
    out += strings.text(success ? Text::LogNormal : Text::LogAbnormal);
    out += "\r\n\r\n";
    return out;
}

bool writeDeliveryLog(const std::string& dataDir, const DeviceRecord& record,
                      std::string_view scheduleFileName, bool success, const LangStrings& strings,
                      int dateStyle, std::int64_t now) {
    return appendToFile(
        dataDir + kDeliveryLogName,
        formatDeliveryEntry(record, scheduleFileName, success, strings, dateStyle, now));
}

}  // namespace zelo
