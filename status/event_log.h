#pragma once
// The two plain-text logs: per-device event logs (one line per status report
// that changed something visible) and the delivery log ZELO.LOG (one block
// per schedule delivery attempt). Every entry opens its file for appending,
// writes and closes it again. A missing event log directory is created with
// the first line that goes there; an entry whose file still cannot be
// written is skipped, and the caller tells why (writeEventLog's result).
// Line ends are CR LF on every platform.

#include <cstdint>
#include <string>
#include <string_view>

#include "common/language.h"

namespace zelo {

struct AppSettings;
struct DeviceRecord;
class LangStrings;

inline constexpr const char* kDeliveryLogName = "ZELO.LOG";

// The directory the event logs go to. A BaseDir that does not end in a
// separator gets the platform's separator appended to the setting itself, so
// a later save stores it that way; one ending in '/' or '\' is kept. An empty
// BaseDir means `dataDir`; a relative one is taken relative to `dataDir`
// (which ends with a separator).
std::string eventLogDirectory(AppSettings& settings, const std::string& dataDir);

// "%08lX" of the device id, "-%04d%02d%02d" with FnameDate, "-%02d" with
// FnameHour (local time of `now`), then ".LOG".
std::string eventLogFileName(std::uint32_t deviceId, bool fnameDate, bool fnameHour,
                             std::int64_t now);

// One event line, CR LF ended: time, power, schedule (rendered), ping,
// temperature, temperature state, separated by TAB.
std::string formatEventLine(const DeviceRecord& record, int dateStyle, Language language,
                            std::int64_t now);

// The event log file of the record at `now`: directory and file name.
std::string eventLogPath(AppSettings& settings, const std::string& dataDir,
                         const DeviceRecord& record, std::int64_t now);

// Appends the record's event line to its log file, creating the log
// directory (and the ones above it) when it is missing. `now` is the one
// clock reading that serves both the file name and the line. False when the
// file could not be opened or written (nothing else happens then).
bool writeEventLog(AppSettings& settings, const std::string& dataDir, const DeviceRecord& record,
                   std::int64_t now);
// The same to the `path` that eventLogPath gave for the same arguments.
bool writeEventLog(AppSettings& settings, const std::string& dataDir, const DeviceRecord& record,
                   std::int64_t now, const std::string& path);

// The delivery log block for one attempt on one device, fetched in the
// configured language: a line of thirty hyphens, "name address time", the
// file name sent (without its directory), and the result. Written to ZELO.LOG
// in `dataDir` whatever LOGenable says.
std::string formatDeliveryEntry(const DeviceRecord& record, std::string_view scheduleFileName,
                                bool success, const LangStrings& strings, int dateStyle,
                                std::int64_t now);
bool writeDeliveryLog(const std::string& dataDir, const DeviceRecord& record,
                      std::string_view scheduleFileName, bool success, const LangStrings& strings,
                      int dateStyle, std::int64_t now);

}  // namespace zelo
