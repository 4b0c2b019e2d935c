#pragma once
// The property dialog (resource 704) of one list row: a device's name,
// model, login data, address, port and MAC address or terminal id, or only
// a group row's name. The layout per model, the fields at opening and the
// save rules come from app/property_dialog.h.

#include <windows.h>

#include "app/property_dialog.h"
#include "directory/device_record.h"

namespace zelo {

class MonitorApp;

class PropertyDialog {
public:
    PropertyDialog(MonitorApp& app, const DeviceRecord& row)
        : app_(app), row_(row), layout_(propertyLayoutOf(row.modelCode)) {}
    PropertyDialog(const PropertyDialog&) = delete;
    PropertyDialog& operator=(const PropertyDialog&) = delete;

    // Modal over `owner`: IDOK or IDCANCEL.
    INT_PTR run(HWND owner);

private:
    static INT_PTR CALLBACK dialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);
    INT_PTR handle(UINT msg, WPARAM wp, LPARAM lp);
    void onInit();
    void applyLayout();
    void fill(const PropertyForm& form);
    PropertyForm read() const;
    void onCommand(int id, int code);
    // False when nothing could be saved (an empty name).
    bool save();
    void onDestroy();
    void enableApply(bool on) { EnableWindow(GetDlgItem(dlg_, 4), on); }
    bool applyEnabled() const { return IsWindowEnabled(GetDlgItem(dlg_, 4)) != FALSE; }

    MonitorApp& app_;
    DeviceRecord row_;
    PropertyLayout layout_;
    HWND dlg_ = nullptr;
    bool filling_ = false;
};

}  // namespace zelo
