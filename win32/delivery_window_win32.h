#pragma once
// A schedule delivery on the desktop: the open dialog for the schedule file
// and the progress window (dialog 724 with string 337) whose timer steps the
// delivery walk one device at a time while `busy` keeps the status listener
// quiet. Its Cancel ends the walk after the device in hand.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "schedule/delivery.h"

namespace zelo {

class MonitorApp;

// The "Open schedule" dialog over `owner`; false when the operator cancels.
bool chooseScheduleFile(MonitorApp& app, HWND owner, std::string& path);

class DeliveryWindow {
public:
    explicit DeliveryWindow(MonitorApp& app) : app_(app) {}
    // Runs the walk to its end, or until Cancel, with the progress window
    // on show; the results of the devices reached.
    std::vector<DeliveryResult> run(DeliveryWalk& walk);

private:
    MonitorApp& app_;
};

}  // namespace zelo
