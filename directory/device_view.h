#pragma once
// What happened to devices, told to whoever shows them: the list refreshes
// a row, the control window redraws its lamps and title, the connecting
// window shows and hides, a device's event log could not be written.
// ZELO.exe, zeloctl and the tests each implement it.

#include <string>

namespace zelo {

struct DeviceRecord;

class DeviceView {
public:
    virtual ~DeviceView() = default;
    // A device's record changed: refresh its row. It was saved, or (while
    // its item file cannot be written, see itemFileFailed) it is kept in
    // memory and written with a later tick.
    virtual void recordChanged(const DeviceRecord& record) = 0;
    // A status report from this device was accepted (whether or not it
    // carried anything that changes its row).
    virtual void reportAccepted(const DeviceRecord& record) { (void)record; }
    // A status report named no device of the directory: `sender` is what it
    // named ("MAC 008087100001", "unit 258").
    virtual void reportIgnored(const std::string& sender) { (void)sender; }
    // The open device's outlet `index` (0-based) changed, or with -1 its
    // master power (the lamps and the enabling rules).
    virtual void outletsChanged(int index) = 0;
    // The connection to the open device was lost, or is back after a
    // reconnect.
    virtual void connectionLost() {}
    virtual void connectionBack() {}
    // The "Connecting" window while a device is logged in and read.
    virtual void connectingShown(const DeviceRecord& record) { (void)record; }
    virtual void connectingHidden() {}
    // A device's event log line could not be written to `path` (told once
    // per file until a line goes there again); `reason` in the system's
    // words ("permission denied"), empty when not known.
    virtual void eventLogFailed(const std::string& path, const std::string& reason) {
        (void)path, (void)reason;
    }
    // A group's item file could not be written (told once until it is
    // written again; its records wait in memory and are tried each tick),
    // and the first write that went there again.
    virtual void itemFileFailed(const std::string& path) { (void)path; }
    virtual void itemFileWritten(const std::string& path) { (void)path; }
};

class NullDeviceView final : public DeviceView {
public:
    void recordChanged(const DeviceRecord&) override {}
    void outletsChanged(int) override {}
};

}  // namespace zelo
