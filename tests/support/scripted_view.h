#pragma once
// A DeviceView for tests: records every call.

#include <string>
#include <vector>

#include "directory/device_record.h"
#include "directory/device_view.h"

namespace zelo::test {

class ScriptedView : public DeviceView {
public:
    void recordChanged(const DeviceRecord& r) override { changedRecords.push_back(r); }
    void outletsChanged(int index) override { redrawnOutlets.push_back(index); }
    void reportAccepted(const DeviceRecord& r) override { acceptedReports.push_back(r); }
    void connectionLost() override { ++losses; }
    void connectionBack() override { ++reconnects; }
    void connectingShown(const DeviceRecord&) override { ++connectingShows; }
    void connectingHidden() override { ++connectingHides; }
    void eventLogFailed(const std::string& path, const std::string& reason) override {
        failedLogs.push_back(path);
        logFailureReasons.push_back(reason);
    }
    void itemFileFailed(const std::string& path) override { failedItems.push_back(path); }
    void itemFileWritten(const std::string& path) override { writtenItems.push_back(path); }

    std::vector<DeviceRecord> changedRecords;
    std::vector<int> redrawnOutlets;
    std::vector<DeviceRecord> acceptedReports;
    int losses = 0;
    int reconnects = 0;
    int connectingShows = 0;
    int connectingHides = 0;
    std::vector<std::string> failedLogs, logFailureReasons;
    std::vector<std::string> failedItems;
    std::vector<std::string> writtenItems;
};

}  // namespace zelo::test
